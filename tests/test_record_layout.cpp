// The records callers fill cross the library boundary by pointer: a device
// service compiled against its own copy of a header hands them over. Their
// layout is pinned here for both ABIs the library is built for: the device's
// 32-bit PowerPC (4-byte pointers, ILP32) and the build machine's x86-64
// (8-byte pointers, LP64). A reordered, widened or re-signed field fails here.

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "tavrel_test.h"

namespace {

static_assert(sizeof(void *) == 4 || sizeof(void *) == 8, "only ILP32 and LP64 are known here");
constexpr bool kIlp32 = sizeof(void *) == 4;

// What a field holds: 'p' a pointer (the caller's text), 'i' / 'u' a signed /
// unsigned code, 'c' characters; 'r' marks the whole record's size.
template <typename T>
constexpr char kind_of() {
    return std::is_pointer_v<T> ? 'p' : std::is_array_v<T> ? 'c' : std::is_signed_v<T> ? 'i' : 'u';
}

using At = std::pair<std::size_t, std::size_t>;  // offset, size
// A field or record as built here (name, actual, actual_kind) and as pinned.
struct Pin { const char *name; At actual; char actual_kind, kind; At ilp32, lp64; };
#define FIELD(record, field) \
    #record "." #field, {offsetof(record, field), sizeof(record::field)}, kind_of<decltype(record::field)>()
#define RECORD(record) #record, {0, sizeof(record)}, 'r'

// Sizes include the padding: a caller allocates and copies whole records.
const Pin kPins[] = {
    {FIELD(CF_IO_Wireless_Params, ssid), 'p', {0, 4}, {0, 8}},
    {FIELD(CF_IO_Wireless_Params, sec_mode), 'u', {4, 4}, {8, 4}},
    {FIELD(CF_IO_Wireless_Params, enc_mode), 'i', {8, 4}, {12, 4}},
    {FIELD(CF_IO_Wireless_Params, psk), 'p', {12, 4}, {16, 8}},
    {RECORD(CF_IO_Wireless_Params), 'r', {0, 16}, {0, 24}},
    {FIELD(CF_IO_WEP_Params, ssid), 'p', {0, 4}, {0, 8}},
    {FIELD(CF_IO_WEP_Params, sec_mode), 'u', {4, 4}, {8, 4}},
    {FIELD(CF_IO_WEP_Params, wep_key), 'p', {8, 4}, {16, 8}},
    {FIELD(CF_IO_WEP_Params, key_is_hex), 'i', {24, 4}, {36, 4}},
    {RECORD(CF_IO_WEP_Params), 'r', {0, 28}, {0, 40}},
    {FIELD(CF_IO_8021x_Params, interface), 'i', {0, 4}, {0, 4}},
    {FIELD(CF_IO_8021x_Params, ssid), 'p', {4, 4}, {8, 8}},
    {FIELD(CF_IO_8021x_Params, sec_mode), 'u', {8, 4}, {16, 4}},
    {FIELD(CF_IO_8021x_Params, enc_mode), 'i', {12, 4}, {20, 4}},
    {FIELD(CF_IO_8021x_Params, eap_type), 'u', {16, 4}, {24, 4}},
    {FIELD(CF_IO_8021x_Params, user_name), 'p', {20, 4}, {32, 8}},
    {FIELD(CF_IO_8021x_Params, password), 'p', {24, 4}, {40, 8}},
    {FIELD(CF_IO_8021x_Params, outer_identity), 'p', {28, 4}, {48, 8}},
    {FIELD(CF_IO_8021x_Params, ca_cert), 'p', {32, 4}, {56, 8}},
    {FIELD(CF_IO_8021x_Params, client_cert), 'p', {36, 4}, {64, 8}},
    {FIELD(CF_IO_8021x_Params, private_key), 'p', {40, 4}, {72, 8}},
    {FIELD(CF_IO_8021x_Params, private_key_passwd), 'p', {44, 4}, {80, 8}},
    {RECORD(CF_IO_8021x_Params), 'r', {0, 48}, {0, 88}},
    // Character arrays and 32-bit integers only: the same on both ABIs.
    {FIELD(krb_server_settings, realm), 'c', {0, 256}, {0, 256}},
    {FIELD(krb_server_settings, kdc_hostname), 'c', {256, 256}, {256, 256}},
    {FIELD(krb_server_settings, kdc_ip_address), 'c', {512, 40}, {512, 40}},
    {FIELD(krb_server_settings, kdc_port), 'i', {552, 4}, {552, 4}},
    {FIELD(krb_server_settings, backup_kdc_hostname), 'c', {556, 256}, {556, 256}},
    {FIELD(krb_server_settings, backup_kdc_ip_address), 'c', {812, 40}, {812, 40}},
    {FIELD(krb_server_settings, backup_kdc_port), 'i', {852, 4}, {852, 4}},
    {RECORD(krb_server_settings), 'r', {0, 856}, {0, 856}},
};

TEST(CallerRecords, FieldsSitAtTheirOffsetsWithTheirWidthsAndTypes) {
    for (const Pin &pin : kPins) {
        SCOPED_TRACE(pin.name);
        EXPECT_EQ(pin.actual, kIlp32 ? pin.ilp32 : pin.lp64);
        EXPECT_EQ(pin.actual_kind, pin.kind);
    }
}

}  // namespace
