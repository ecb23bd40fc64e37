// No secret outlives the build that wrote it: after each supplicant build
// that took a psk, WEP key, password or key password (written, or dropped
// when the build failed), the library's writable memory holds no copy of
// it, as given or in the hex form the file may hold it in.
#include "library_memory.h"
#include "tavrel/8021x_config.h"
#include "tavrel_test.h"

namespace {

unsigned wep(const char *key, int32_t hex) {
    const CF_IO_WEP_Params p{"office", CF_IO_SECMODE_WEP, key, 0, 0, 0, hex};
    return cf_build_wireless_wep_8021x_conf_for_authentication(&p);
}
unsigned personal(const char *psk) {
    const CF_IO_Wireless_Params p{"office", CF_IO_SECMODE_WPA2_PSK, 1, psk};
    return cf_build_wireless_personal_8021x_conf_for_authentication(&p);
}
unsigned enterprise(uint32_t eap, const char *password, const char *key_password, const char *ca = "/c/ca.pem") {
    const CF_IO_8021x_Params p{CF_IO_IFACE_WIRED, nullptr, 0, 0, eap, "alice", password, nullptr, ca,
                               "/c/cl.pem", "/c/k.pem", key_password};
    return cf_build_enterprise_8021x_conf_for_authentication(&p);
}
const std::string kLongPath(2000, 'c');  // too long for a line of the file: the build fails there

struct Case {
    const char *name;
    const char *secret;
    unsigned (*build)(const char *secret);
    unsigned result = 1;
};
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

const Case kCases[] = {
    {"wep_text", "wep-k", [](const char *s) { return wep(s, 0); }},
    {"wep_hex", "0123456789", [](const char *s) { return wep(s, 1); }},
    {"wep_quote_as_hex", "ab\"cd", [](const char *s) { return wep(s, 0); }},
    {"psk_passphrase", "psk-secret-9", personal},
    {"psk_key", "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff", personal},
    {"password", "pw-secret-1", [](const char *s) { return enterprise(CF_IO_EAP_PEAP_MSCHAPV2, s, nullptr); }},
    {"password_as_hex", "pw\"secret", [](const char *s) { return enterprise(CF_IO_EAP_PEAP_MSCHAPV2, s, nullptr); }},
    {"key_password", "kp-secret-2", [](const char *s) { return enterprise(CF_IO_EAP_TLS, nullptr, s); }},
    {"dropped_after_password", "pw-secret-3",
     [](const char *s) { return enterprise(CF_IO_EAP_PEAP_MSCHAPV2, s, nullptr, kLongPath.c_str()); }, 0},
};

class SecretsWiped : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Case> {};

TEST_P(SecretsWiped, NoCopyIsLeftInTheLibrarysMemory) {
    const Case &c = GetParam();
    ASSERT_EQ(c.build(c.secret), c.result);
    std::string hex;
    for (const unsigned char b : std::string_view(c.secret))
        hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    EXPECT_FALSE(tavrel_test::library_memory_holds(c.secret));
    EXPECT_FALSE(tavrel_test::library_memory_holds(hex)) << hex;
    EXPECT_FALSE(tavrel_test::library_memory().empty());  // the library was found
}

INSTANTIATE_TEST_SUITE_P(Supplicant, SecretsWiped, ::testing::ValuesIn(kCases),
                         [](const auto &row) { return std::string(row.param.name); });

}  // namespace
