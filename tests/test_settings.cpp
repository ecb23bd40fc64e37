// The settings-file loader: every refusal names its place; accepted values
// land in the platform services under the device's attribute ids.
#include <gtest/gtest.h>

#include "settings.h"
#include "tavrel_test.h"

namespace {

using tavrel_test::record_text;
using tavrel_test::repeat;

std::string tables(const std::string &header, int n) {
    std::string text;
    while (n-- > 0) text += header + "\n";
    return text;
}

// Each refusal's whole message after "test.toml:" ("" when accepted); a
// syntax error is checked by its place only.
TEST(SettingsFile, RefusalsNameFileLineAndColumnAndLimitsAreKept) {
    const std::pair<std::string, std::string> cases[] = {
        {"[network]\naddress = = 1\n", "2:11: "},
        {"[netwrok]\n", "1:2: unknown table [netwrok]"},
        {"[[kerberos]]\nrealm = \"A\"\nkdc_ip = \"x\"\n", "3:1: unknown key 'kdc_ip' in [[kerberos]]"},
        {"[network]\naddress = 5\n", "2:11: [network] address: expected a text"},
        {"[[filing]]\nport = 4.5\n", "2:8: [[filing]] port: expected a whole number"},
        {"[wireless]\nsec_mode = 4294967296\n", "2:12: [wireless] sec_mode: 4294967296 is outside -2147483648 to 4294967295"},
        {"[krb5_record]\nrealm = \"" + repeat(256) + "\"\n", "2:9: [krb5_record] realm: longer than 255 characters"},
        {tables("[[smb.auth]]", 10), "10:1: [[smb.auth]]: more than 9 services"},
        {"[filing]\nserver = \"x\"\n", "1:1: filing: expected [[filing]] tables"},
        {"[platform]\nhosts = { \"a.example\" = \"nowhere\" }\n", "2:25: [platform] hosts.a.example: 'nowhere' is not an IP address"},
        {"[attributes]\nrealm = \"x\"\n", "2:1: [attributes]: 'realm' is not an attribute id"},
        {"[attributes]\n36 = { error = 5, value = \"x\" }\n", "2:6: [attributes] 36: give only one of value, address and error"},
        {"[attributes]\n36 = { type = 1, value = \"x\" }\n", "2:6: [attributes] 36: type 1 needs a number as its value"},
        {"[config]\n\"a.b\" = [1]\n", "2:9: [config] a.b: expected true, false, a whole number or a text"},
        {"[krb5_record]\nrealm = \"" + repeat(255) + "\"\n" + tables("[[smb.auth]]", 9), ""},
        {"[wireless]\nsec_mode = -1\nenc_mode = 4294967295\nkey_is_hex = -2147483648\n", ""},
    };
    for (const auto &[toml, message] : cases) {
        std::string error;  // stays empty when accepted
        try {
            host::load_settings_text(toml, "test.toml");
        } catch (const host::SettingsError &e) {
            error = e.what();
        }
        const std::string expected = message.empty() ? "" : "test.toml:" + message;
        EXPECT_EQ(expected.ends_with(": ") ? error.substr(0, expected.size()) : error, expected) << toml;
    }
}

using AppliedSettings = tavrel_test::TavrelTest;

// Numbers are 32-bit values as the record fields hold them.
TEST_F(AppliedSettings, EveryRawFormBecomesItsRecord) {
    for (const auto &[value, record] : std::vector<std::pair<std::string, std::string>>{
             {"\"domain\"", "0 38 'domain' 0"}, {"4", "1 38 4 0"}, {"{ error = 5 }", "3 38 5 0"},
             {"{ address = \"192.0.2.10\", port = 445 }", "2 38 '192.0.2.10' 445"}, {"{ type = 9 }", "9 38 0 0"},
             {"{ id = 99, value = \"CORP.EXAMPLE\" }", "0 99 'CORP.EXAMPLE' 0"},
             {"{ type = 2, value = \"::1\", port = 88 }", "2 38 '::1' 88"},
             {"{ type = 1, value = 4294967295 }", "1 38 -1 0"}}) {
        load("[attributes]\n38 = " + value + "\n");
        EXPECT_EQ(record_text(38), record) << value;
    }
}

TEST_F(AppliedSettings, ServicesLandUnderTheirAttributeIdsAndAttributesApplyLast) {
    load("filing = [{}, { server = \"files.example\", protocol = 4, port = 445, share = \"scans\" }]\n"
         "kerberos = [{}, { realm = \"LAB.EXAMPLE\", kdc = \"kdc.lab.example\", kdc_port = 88, "
         "backup_kdc_address = \"192.0.2.8\" }]\n"
         "smb = { method = \"domain\", auth = [{}, { domain = \"LAB\", address = \"192.0.2.11\", "
         "hostname = \"dc2.lab.example\" }] }\n"
         "attributes = { 81 = \"share\" }\n");
    for (const auto &[id, record] : std::vector<std::pair<int32_t, std::string>>{
             {82, "0 82 'LAB' 0"}, {83, "2 83 '192.0.2.11' 0"}, {84, "0 84 'dc2.lab.example' 0"}, {79, "none"},
             {259, "0 259 'files.example' 0"}, {289, "1 289 4 0"}, {264, "2 264 '' 445"}, {279, "0 279 'scans' 0"},
             {41, "0 41 'LAB.EXAMPLE' 0"}, {39, "0 39 'kdc.lab.example' 0"}, {37, "2 37 '' 88"},
             {38, "2 38 '192.0.2.8' 0"}, {40, "none"}, {81, "0 81 'share' 0"}})
        EXPECT_EQ(record_text(id), record) << id;
}

}  // namespace
