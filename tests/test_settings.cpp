// The settings-file loader: every refusal names its place; accepted values
// land in the platform services under the device's attribute ids.
#include "svcmon.h"
#include "tavrel_test.h"

namespace {

// Each refusal's whole message after "test.toml:" ("" when accepted); a
// syntax error is checked by its place only.
TEST(SettingsFile, RefusalsNameFileLineAndColumnAndLimitsAreKept) {
    for (const auto &[toml, message] : std::vector<std::pair<std::string, std::string>>{
             {"[network]\naddress = = 1\n", "2:11: "},
             {"[netwrok]\n", "1:2: unknown table [netwrok]"},
             {"[[kerberos]]\nrealm = \"A\"\nkdc_ip = \"x\"\n", "3:1: unknown key 'kdc_ip' in [[kerberos]]"},
             {"[network]\naddress = 5\n", "2:11: [network] address: expected a text"},
             {"[[filing]]\nport = 4.5\n", "2:8: [[filing]] port: expected a whole number"},
             {"[wireless]\nsec_mode = 4294967296\n", "2:12: [wireless] sec_mode: 4294967296 is outside -2147483648 to 4294967295"},
             {"[krb5_record]\nrealm = \"" + tavrel_test::repeat(256) + "\"\n", "2:9: [krb5_record] realm: longer than 255 characters"},
             {"[smb]\nauth = [{}, {}, {}, {}, {}, {}, {}, {}, {}, {}]\n", "2:45: [[smb.auth]]: more than 9 services"},
             {"[filing]\nserver = \"x\"\n", "1:1: filing: expected [[filing]] tables"},
             {"[platform]\nhosts = { \"a.example\" = \"nowhere\" }\n", "2:25: [platform] hosts.a.example: 'nowhere' is not an IP address"},
             {"[attributes]\nrealm = \"x\"\n", "2:1: [attributes]: 'realm' is not an attribute id"},
             {"[attributes]\n36 = { error = 5, value = \"x\" }\n", "2:6: [attributes] 36: give only one of value, address and error"},
             {"[attributes]\n36 = { type = 1, value = \"x\" }\n", "2:6: [attributes] 36: type 1 needs a number as its value"},
             {"[config]\n\"a.b\" = [1]\n", "2:9: [config] a.b: expected true, false, a whole number or a text"},
             // What the TOML parser must never see, and texts the library would read short.
             {"\xcf\xbb", "1:1: a non-ASCII character outside a string or comment"},
             {"[wireless] \xc3\xa9", "1:12: a non-ASCII character outside a string or comment"},
             {std::string("[\0", 2), "1:2: a NUL byte"},
             {"[dot1x]\npassword = \"abc\\u0000def\"\n", "2:12: a text holds a NUL character"},
             {"[config]\n\"a\\u0000b\" = 1\n", "2:1: a key holds a NUL character"},
             // A quote inside a bad bare value opens no string for the parser.
             {"[dot1x]\neap_type = 0'\xd0\xba'\n", "2:14: a non-ASCII character outside a string or comment"},
             {"[dot1x]\npassword = \"\"\"a\\\n  \xc3\xa9\"\"\"\n", "2:16: a non-ASCII character after a backslash (write it as \\uXXXX)"},
             {"wireless.ssid = \"\xc3\xa9\"\n[smb]\nauth = [\n  { domain = \"\xc3\xa9\" }, # \xc3\xa9\n  { domain = '\xc3\xa9' },\n]\n"
              "[dot1x]\npassword = \"\"\"a\\\n  \\u00e9\"\"\"\n", ""},
             {"# caf\xc3\xa9\n[wireless] # \xc3\xa9\nssid = \"caf\xc3\xa9\\\"\"\npsk = \"\"\"\xc3\xa9\"\"\"\"\"\nwep_key = '\xc3\xa9'\n", ""},
             {"smb = { auth = [{}, {}, {}, {}, {}, {}, {}, {}, {}] }\n[krb5_record]\nrealm = \"" + tavrel_test::repeat(255) +
                  "\"\n[wireless]\nsec_mode = -1\nenc_mode = 4294967295\nkey_is_hex = -2147483648\n", ""}}) {
        std::string error;  // stays empty when accepted
        try {
            host::load_settings_text(toml, "test.toml");
        } catch (const host::SettingsError &e) {
            error = std::string(e.what()).substr(std::string("test.toml:").size());
        }
        EXPECT_EQ(message.ends_with(": ") ? error.substr(0, message.size()) : error, message) << toml;
    }
}

// The record for an id as "TYPE ECHOED-ID VALUE PORT" (a text value in
// quotes), or "none"; the record is returned.
std::string record_text(int32_t id) {
    SvcMonAttr *r = SvcMon_GetAttr(id);
    if (r == nullptr) return "none";
    const bool text = r->type == SVCMON_TYPE_TEXT || r->type == SVCMON_TYPE_ADDRESS;
    // Appended, not `"'" + std::string(...)`: that trips GCC 12's false
    // -Wrestrict in libstdc++ when optimised.
    const std::string value = text ? std::string("'").append(r->value.text).append("'") : std::to_string(r->value.integer);
    const std::string out = std::to_string(r->type) + " " + std::to_string(r->attr_id) + " " + value + " " + std::to_string(r->port);
    SvcMon_Free(r);
    return out;
}

using AppliedSettings = tavrel_test::TavrelTest;

// Service 2 of each kind (service 1 left empty sets nothing), then every raw
// form of [attributes], which apply last: 81 replaces the smb method.
// Numbers are 32-bit values as the record fields hold them.
TEST_F(AppliedSettings, SettingsLandUnderTheirAttributeIds) {
    load("filing = [{}, { server = \"files.example\", protocol = 4, port = 445, share = \"scans\" }]\n"
         "kerberos = [{}, { realm = \"LAB.EXAMPLE\", kdc = \"kdc.lab.example\", kdc_port = 88, backup_kdc_address = \"192.0.2.8\" }]\n"
         "smb = { method = \"domain\", auth = [{}, { domain = \"LAB\", address = \"192.0.2.11\", hostname = \"dc2.lab.example\" }] }\n"
         "[attributes]\n81 = \"share\"\n1 = 4\n2 = { error = 5 }\n3 = { address = \"192.0.2.10\", port = 445 }\n4 = { type = 9 }\n"
         "5 = { id = 99, value = \"CORP.EXAMPLE\" }\n6 = { type = 2, value = \"::1\", port = 88 }\n7 = { type = 1, value = 4294967295 }\n");
    for (const auto &[id, record] : std::vector<std::pair<int32_t, std::string>>{
             {82, "0 82 'LAB' 0"}, {83, "2 83 '192.0.2.11' 0"}, {84, "0 84 'dc2.lab.example' 0"}, {79, "none"},
             {259, "0 259 'files.example' 0"}, {289, "1 289 4 0"}, {264, "2 264 '' 445"}, {279, "0 279 'scans' 0"},
             {41, "0 41 'LAB.EXAMPLE' 0"}, {39, "0 39 'kdc.lab.example' 0"}, {37, "2 37 '' 88"}, {38, "2 38 '192.0.2.8' 0"},
             {81, "0 81 'share' 0"}, {1, "1 1 4 0"}, {2, "3 2 5 0"}, {3, "2 3 '192.0.2.10' 445"}, {4, "9 4 0 0"},
             {5, "0 99 'CORP.EXAMPLE' 0"}, {6, "2 6 '::1' 88"}, {7, "1 7 -1 0"}})
        EXPECT_EQ(record_text(id), record) << id;
}

}  // namespace
