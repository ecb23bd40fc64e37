// The settings-file loader: every refusal names its place; accepted values
// land in the platform services under the device's attribute ids.
#include <gtest/gtest.h>

#include "settings.h"
#include "svcmon.h"
#include "platform.h"
#include "tavrel_test.h"

namespace {

using tavrel_test::repeat;

std::string error_of(const std::string &toml) {
    try {
        host::load_settings_text(toml, "test.toml");
    } catch (const host::SettingsError &error) {
        return error.what();
    }
    return "(accepted)";
}

// N tables of a header, for the list-length limits.
std::string tables(const std::string &header, int n) {
    std::string text;
    for (int i = 0; i < n; ++i) text += header + "\n";
    return text;
}

struct ErrorCase {
    std::string name;
    std::string toml;
    std::string message;  // whole message; a syntax error is checked by its place only
};

void PrintTo(const ErrorCase &c, std::ostream *os) { *os << c.name; }

class SettingsRefusal : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SettingsRefusal, NamesFileLineAndColumn) {
    const std::string error = error_of(GetParam().toml);
    if (GetParam().message.back() == ' ')
        EXPECT_EQ(error.substr(0, GetParam().message.size()), GetParam().message) << error;
    else
        EXPECT_EQ(error, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, SettingsRefusal,
    ::testing::Values(
        ErrorCase{"Syntax", "[network]\naddress = = 1\n", "test.toml:2:11: "},
        ErrorCase{"UnknownTable", "[netwrok]\n", "test.toml:1:2: unknown table [netwrok]"},
        ErrorCase{"UnknownNestedTable", "[smb.extra]\n", "test.toml:1:6: unknown table [smb.extra]"},
        ErrorCase{"UnknownTopKey", "colour = 1\n", "test.toml:1:1: unknown key 'colour'"},
        ErrorCase{"UnknownKey", "[network]\nadress = \"x\"\n", "test.toml:2:1: unknown key 'adress' in [network]"},
        ErrorCase{"UnknownKeyInService", "[[kerberos]]\nrealm = \"A\"\nkdc_ip = \"x\"\n",
                  "test.toml:3:1: unknown key 'kdc_ip' in [[kerberos]]"},
        ErrorCase{"TextExpected", "[network]\naddress = 5\n", "test.toml:2:11: [network] address: expected a text"},
        ErrorCase{"WholeNumberExpected", "[[filing]]\nport = 4.5\n",
                  "test.toml:2:8: [[filing]] port: expected a whole number"},
        ErrorCase{"NumberAboveRange", "[wireless]\nsec_mode = 4294967296\n",
                  "test.toml:2:12: [wireless] sec_mode: 4294967296 is outside -2147483648 to 4294967295"},
        ErrorCase{"NumberBelowRange", "[dot1x]\ninterface = -2147483649\n",
                  "test.toml:2:13: [dot1x] interface: -2147483649 is outside -2147483648 to 4294967295"},
        ErrorCase{"RealmTooLong", "[krb5_record]\nrealm = \"" + repeat(256) + "\"\n",
                  "test.toml:2:9: [krb5_record] realm: longer than 255 characters"},
        ErrorCase{"AddressTooLong", "[krb5_record]\nbackup_kdc_ip_address = \"" + repeat(40, '1') + "\"\n",
                  "test.toml:2:25: [krb5_record] backup_kdc_ip_address: longer than 39 characters"},
        ErrorCase{"TooManySmbServices", tables("[[smb.auth]]", 10), "test.toml:10:1: [[smb.auth]]: more than 9 services"},
        ErrorCase{"TooManyFilingServices", tables("[[filing]]", 7), "test.toml:7:1: [[filing]]: more than 6 services"},
        ErrorCase{"ServiceListAsTable", "[filing]\nserver = \"x\"\n", "test.toml:1:1: filing: expected [[filing]] tables"},
        ErrorCase{"HostNotAnAddress", "[platform]\nhosts = { \"a.example\" = \"nowhere\" }\n",
                  "test.toml:2:25: [platform] hosts.a.example: 'nowhere' is not an IP address"},
        ErrorCase{"AttributeIdNotANumber", "[attributes]\nrealm = \"x\"\n",
                  "test.toml:2:1: [attributes]: 'realm' is not an attribute id"},
        ErrorCase{"AttributeTwoValues", "[attributes]\n36 = { error = 5, value = \"x\" }\n",
                  "test.toml:2:6: [attributes] 36: give only one of value, address and error"},
        ErrorCase{"AttributeTextForIntegerType", "[attributes]\n36 = { type = 1, value = \"x\" }\n",
                  "test.toml:2:6: [attributes] 36: type 1 needs a number as its value"},
        ErrorCase{"AttributeWithoutValue", "[attributes]\n36 = { id = 4 }\n",
                  "test.toml:2:6: [attributes] 36: needs a value, an address, an error or a type"},
        ErrorCase{"AttributeUnknownField", "[attributes]\n36 = { text = \"x\" }\n",
                  "test.toml:2:8: unknown key 'text' in [attributes] 36"},
        ErrorCase{"ConfigArray", "[config]\n\"a.b\" = [1]\n",
                  "test.toml:2:9: [config] a.b: expected true, false, a whole number or a text"}),
    [](const auto &param_info) { return param_info.param.name; });

TEST(SettingsFile, NumbersAcceptTheWhole32BitRangeAsTheirValue) {
    const host::Settings s = host::load_settings_text(
        "[wireless]\nsec_mode = -1\nenc_mode = 4294967295\nkey_is_hex = -2147483648\n", "t");
    EXPECT_EQ(s.wireless->sec_mode, 4294967295u);
    EXPECT_EQ(s.wireless->enc_mode, -1);
    EXPECT_EQ(s.wireless->key_is_hex, INT32_MIN);
}

TEST(SettingsFile, FieldsAndListsThatJustFitAreKept) {
    const host::Settings s = host::load_settings_text("[krb5_record]\nrealm = \"" + repeat(255) +
                                                          "\"\nkdc_ip_address = \"" + repeat(39, '1') + "\"\n" +
                                                          tables("[[smb.auth]]", 9) + tables("[[filing]]", 6),
                                                      "t");
    EXPECT_EQ(s.krb5_record->realm->size(), 255u);
    EXPECT_FALSE(s.krb5_record->kdc_hostname.has_value());
    EXPECT_EQ(s.smb_auth.size(), 9u);
    EXPECT_EQ(s.filing.size(), 6u);
}

// ---- Applying to the platform ------------------------------------------------------

class AppliedSettings : public tavrel_test::TavrelTest {
protected:
    // The record for an id, copied, and the record returned.
    std::optional<host::RawAttr> attr(int32_t id) {
        SvcMonAttr *r = SvcMon_GetAttr(id);
        if (r == nullptr) return std::nullopt;
        host::RawAttr out;
        out.type = r->type;
        out.echo_id = r->attr_id;
        out.port = r->port;
        if (r->type == SVCMON_TYPE_TEXT || r->type == SVCMON_TYPE_ADDRESS)
            out.text = r->value.text;
        else
            out.integer = r->value.integer;
        SvcMon_Free(r);
        return out;
    }
};

struct RawCase {
    std::string name, value;
    int32_t type;
    std::string text;
    int32_t integer;
    uint32_t port;
    int32_t echo;
};

void PrintTo(const RawCase &c, std::ostream *os) { *os << c.name; }

class RawRecord : public AppliedSettings, public ::testing::WithParamInterface<RawCase> {};

TEST_P(RawRecord, EveryFormBecomesItsRecord) {
    load("[attributes]\n38 = " + GetParam().value + "\n");
    const auto a = attr(38);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->type, GetParam().type);
    EXPECT_EQ(a->text, GetParam().text);
    EXPECT_EQ(a->integer, GetParam().integer);
    EXPECT_EQ(a->port, GetParam().port);
    EXPECT_EQ(a->echo_id, GetParam().echo);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RawRecord,
    ::testing::Values(RawCase{"Text", "\"domain\"", 0, "domain", 0, 0, 38},
                      RawCase{"Integer", "4", 1, "", 4, 0, 38},
                      RawCase{"Address", "{ address = \"192.0.2.10\", port = 445 }", 2, "192.0.2.10", 0, 445, 38},
                      RawCase{"Error", "{ error = 5 }", 3, "", 5, 0, 38},
                      RawCase{"OtherType", "{ type = 9 }", 9, "", 0, 0, 38},
                      RawCase{"EchoedId", "{ id = 99, value = \"CORP.EXAMPLE\" }", 0, "CORP.EXAMPLE", 0, 0, 99},
                      RawCase{"FullAddress", "{ type = 2, value = \"::1\", port = 88 }", 2, "::1", 0, 88, 38},
                      RawCase{"UnsignedValue", "{ type = 1, value = 4294967295 }", 1, "", -1, 0, 38}),
    [](const auto &param_info) { return param_info.param.name; });

TEST_F(AppliedSettings, ServicesLandUnderTheirAttributeIds) {
    load(R"(
[smb]
method = "domain"
[[smb.auth]]
domain = "CORP"
[[smb.auth]]
domain = "LAB"
address = "192.0.2.11"
hostname = "dc2.lab.example"
[[filing]]
[[filing]]
server = "files.example"
protocol = 4
port = 445
share = "scans"
[[kerberos]]
[[kerberos]]
realm = "LAB.EXAMPLE"
kdc = "kdc.lab.example"
kdc_port = 88
backup_kdc_address = "192.0.2.8"
[attributes]
81 = "share"
)");
    EXPECT_EQ(attr(82)->text, "LAB");
    EXPECT_EQ(attr(83)->text, "192.0.2.11");
    EXPECT_EQ(attr(84)->text, "dc2.lab.example");
    EXPECT_FALSE(attr(79));
    EXPECT_EQ(attr(259)->text, "files.example");
    EXPECT_EQ(attr(289)->integer, 4);
    EXPECT_EQ(attr(264)->port, 445u);
    EXPECT_EQ(attr(279)->text, "scans");
    EXPECT_EQ(attr(41)->text, "LAB.EXAMPLE");
    EXPECT_EQ(attr(39)->text, "kdc.lab.example");
    EXPECT_EQ(attr(37)->port, 88u);
    EXPECT_EQ(attr(38)->text, "192.0.2.8");
    EXPECT_EQ(attr(38)->port, 0u);
    EXPECT_FALSE(attr(40));
    EXPECT_EQ(attr(81)->text, "share") << "[attributes] applies last";
}

TEST_F(AppliedSettings, NetworkFipsHostsAndConfigReachTheirServices) {
    load("[network]\naddress = \"192.0.2.20\"\n[platform]\nfips = true\nhosts = { \"kdc.example\" = \"192.0.2.7\" }\n"
         "[config]\n\"a.count\" = 3\n");
    CnPmCfg record{};
    EXPECT_EQ(cn_get_pm_cfg_by_index(CN_PM_GROUP_INTERFACE, CN_PM_INDEX_ADDRESS, &record), 1);
    EXPECT_STREQ(record.text, "192.0.2.20");
    EXPECT_EQ(cn_get_pm_cfg_by_index(CN_PM_GROUP_INTERFACE, CN_PM_INDEX_NETMASK, &record), 0);
    EXPECT_EQ(getFIPSstatus(), 1);
    char address[IPU_MAX_ADDRESS_TEXT + 1];
    EXPECT_EQ(get_ip_from_hostname("other.example", address), 0);
    int value = 0;
    EXPECT_EQ(Cfg_GetBoolAttrValue("a.count", &value), 0);
    EXPECT_EQ(value, 3);
}

}  // namespace
