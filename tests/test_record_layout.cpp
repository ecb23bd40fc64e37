// The records callers fill cross the library boundary by pointer: a device
// service compiled against its own copy of a header hands them over. Their
// layout is pinned here for both ABIs the library is built for: the device's
// 32-bit PowerPC (4-byte pointers, ILP32) and the build machine's x86-64
// (8-byte pointers, LP64). A reordered, widened or re-signed field fails here.
#include <cstddef>
#include <type_traits>

#include "tavrel_test.h"

namespace {

static_assert(sizeof(void *) == 4 || sizeof(void *) == 8, "only ILP32 and LP64 are known here");
constexpr bool kIlp32 = sizeof(void *) == 4;

// One field as "KIND OFFSET:SIZE": 'p' a pointer (the caller's text), 'i' /
// 'u' a signed / unsigned code, 'c' characters.
template <typename T>
std::string field(std::size_t offset) {
    const char kind = std::is_pointer_v<T> ? 'p' : std::is_array_v<T> ? 'c' : std::is_signed_v<T> ? 'i' : 'u';
    return std::string(1, kind) + std::to_string(offset) + ":" + std::to_string(sizeof(T)) + " ";
}
#define FIELD(record, name) field<decltype(record::name)>(offsetof(record, name))

// Sizes include the padding: a caller allocates and copies whole records.
TEST(CallerRecords, FieldsSitAtTheirOffsetsWithTheirWidthsAndTypes) {
    using W = CF_IO_Wireless_Params;
    EXPECT_EQ(FIELD(W, ssid) + FIELD(W, sec_mode) + FIELD(W, enc_mode) + FIELD(W, psk) + std::to_string(sizeof(W)),
              kIlp32 ? "p0:4 u4:4 i8:4 p12:4 16" : "p0:8 u8:4 i12:4 p16:8 24");
    using P = CF_IO_WEP_Params;
    EXPECT_EQ(FIELD(P, ssid) + FIELD(P, sec_mode) + FIELD(P, wep_key) + FIELD(P, key_is_hex) + std::to_string(sizeof(P)),
              kIlp32 ? "p0:4 u4:4 p8:4 i24:4 28" : "p0:8 u8:4 p16:8 i36:4 40");
    using X = CF_IO_8021x_Params;
    EXPECT_EQ(FIELD(X, interface) + FIELD(X, ssid) + FIELD(X, sec_mode) + FIELD(X, enc_mode) + FIELD(X, eap_type) +
                  FIELD(X, user_name) + FIELD(X, password) + FIELD(X, outer_identity) + FIELD(X, ca_cert) +
                  FIELD(X, client_cert) + FIELD(X, private_key) + FIELD(X, private_key_passwd) +
                  std::to_string(sizeof(X)),
              kIlp32 ? "i0:4 p4:4 u8:4 i12:4 u16:4 p20:4 p24:4 p28:4 p32:4 p36:4 p40:4 p44:4 48"
                     : "i0:4 p8:8 u16:4 i20:4 u24:4 p32:8 p40:8 p48:8 p56:8 p64:8 p72:8 p80:8 88");
    // Character arrays and 32-bit integers only: the same on both ABIs.
    using K = krb_server_settings;
    EXPECT_EQ(FIELD(K, realm) + FIELD(K, kdc_hostname) + FIELD(K, kdc_ip_address) + FIELD(K, kdc_port) +
                  FIELD(K, backup_kdc_hostname) + FIELD(K, backup_kdc_ip_address) + FIELD(K, backup_kdc_port) +
                  std::to_string(sizeof(K)),
              "c0:256 c256:256 c512:40 i552:4 c556:256 c812:40 i852:4 856");
}

}  // namespace
