// The records callers fill cross the library boundary by pointer: a device
// service compiled against its own copy of a header hands them over. Their
// layout is pinned here for both ABIs the library is built for: the device's
// 32-bit PowerPC (4-byte pointers, ILP32) and the build machine's x86-64
// (8-byte pointers, LP64). A reordered, widened or re-signed field fails here.
#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <type_traits>

#include "tavrel/8021x_config.h"
#include "tavrel/kerberos_config.h"

namespace {

static_assert(sizeof(void *) == 4 || sizeof(void *) == 8, "only ILP32 and LP64 are known here");
constexpr bool kIlp32 = sizeof(void *) == 4;

// What a field holds, by the record's description.
enum class Kind { text, u32, i32, chars };

struct Field {
    std::string name;
    std::size_t offset;
    std::size_t size;
    bool is_pointer;
    bool is_signed;
    Kind kind;
    std::size_t ilp32_offset, lp64_offset;
    std::size_t ilp32_size, lp64_size;
};

#define FIELD(record, field, kind, ilp32_offset, lp64_offset, ilp32_size, lp64_size)                           \
    Field {                                                                                                   \
        #record "_" #field, offsetof(record, field), sizeof(record::field),                                   \
            std::is_pointer_v<decltype(record::field)>, std::is_signed_v<decltype(record::field)>, Kind::kind, \
            ilp32_offset, lp64_offset, ilp32_size, lp64_size                                                  \
    }

void PrintTo(const Field &f, std::ostream *os) { *os << f.name; }

class RecordField : public ::testing::TestWithParam<Field> {};

TEST_P(RecordField, SitsAtItsOffsetWithItsWidthAndType) {
    const Field &f = GetParam();
    EXPECT_EQ(f.offset, kIlp32 ? f.ilp32_offset : f.lp64_offset);
    EXPECT_EQ(f.size, kIlp32 ? f.ilp32_size : f.lp64_size);
    EXPECT_EQ(f.is_pointer, f.kind == Kind::text);
    if (f.kind == Kind::u32 || f.kind == Kind::i32) {
        EXPECT_EQ(f.is_signed, f.kind == Kind::i32);
    }
}

INSTANTIATE_TEST_SUITE_P(
    WirelessParams, RecordField,
    ::testing::Values(FIELD(CF_IO_Wireless_Params, ssid, text, 0, 0, 4, 8),
                      FIELD(CF_IO_Wireless_Params, sec_mode, u32, 4, 8, 4, 4),
                      FIELD(CF_IO_Wireless_Params, enc_mode, i32, 8, 12, 4, 4),
                      FIELD(CF_IO_Wireless_Params, psk, text, 12, 16, 4, 8)),
    [](const auto &p) { return p.param.name; });

INSTANTIATE_TEST_SUITE_P(
    WepParams, RecordField,
    ::testing::Values(FIELD(CF_IO_WEP_Params, ssid, text, 0, 0, 4, 8),
                      FIELD(CF_IO_WEP_Params, sec_mode, u32, 4, 8, 4, 4),
                      FIELD(CF_IO_WEP_Params, wep_key, text, 8, 16, 4, 8),
                      FIELD(CF_IO_WEP_Params, key_is_hex, i32, 24, 36, 4, 4)),
    [](const auto &p) { return p.param.name; });

INSTANTIATE_TEST_SUITE_P(
    EnterpriseParams, RecordField,
    ::testing::Values(FIELD(CF_IO_8021x_Params, interface, i32, 0, 0, 4, 4),
                      FIELD(CF_IO_8021x_Params, ssid, text, 4, 8, 4, 8),
                      FIELD(CF_IO_8021x_Params, sec_mode, u32, 8, 16, 4, 4),
                      FIELD(CF_IO_8021x_Params, enc_mode, i32, 12, 20, 4, 4),
                      FIELD(CF_IO_8021x_Params, eap_type, u32, 16, 24, 4, 4),
                      FIELD(CF_IO_8021x_Params, user_name, text, 20, 32, 4, 8),
                      FIELD(CF_IO_8021x_Params, password, text, 24, 40, 4, 8),
                      FIELD(CF_IO_8021x_Params, outer_identity, text, 28, 48, 4, 8),
                      FIELD(CF_IO_8021x_Params, ca_cert, text, 32, 56, 4, 8),
                      FIELD(CF_IO_8021x_Params, client_cert, text, 36, 64, 4, 8),
                      FIELD(CF_IO_8021x_Params, private_key, text, 40, 72, 4, 8),
                      FIELD(CF_IO_8021x_Params, private_key_passwd, text, 44, 80, 4, 8)),
    [](const auto &p) { return p.param.name; });

// Character arrays and 32-bit integers only: the same on both ABIs.
INSTANTIATE_TEST_SUITE_P(
    KerberosServerSettings, RecordField,
    ::testing::Values(FIELD(krb_server_settings, realm, chars, 0, 0, 256, 256),
                      FIELD(krb_server_settings, kdc_hostname, chars, 256, 256, 256, 256),
                      FIELD(krb_server_settings, kdc_ip_address, chars, 512, 512, 40, 40),
                      FIELD(krb_server_settings, kdc_port, i32, 552, 552, 4, 4),
                      FIELD(krb_server_settings, backup_kdc_hostname, chars, 556, 556, 256, 256),
                      FIELD(krb_server_settings, backup_kdc_ip_address, chars, 812, 812, 40, 40),
                      FIELD(krb_server_settings, backup_kdc_port, i32, 852, 852, 4, 4)),
    [](const auto &p) { return p.param.name; });

struct Record {
    std::string name;
    std::size_t size;
    std::size_t ilp32_size, lp64_size;
};

void PrintTo(const Record &r, std::ostream *os) { *os << r.name; }

class RecordSize : public ::testing::TestWithParam<Record> {};

// Padding included: a caller allocates and copies whole records.
TEST_P(RecordSize, IsTheSizeCallersAllocate) {
    const Record &r = GetParam();
    EXPECT_EQ(r.size, kIlp32 ? r.ilp32_size : r.lp64_size);
}

INSTANTIATE_TEST_SUITE_P(CallerRecords, RecordSize,
                         ::testing::Values(Record{"CF_IO_Wireless_Params", sizeof(CF_IO_Wireless_Params), 16, 24},
                                           Record{"CF_IO_WEP_Params", sizeof(CF_IO_WEP_Params), 28, 40},
                                           Record{"CF_IO_8021x_Params", sizeof(CF_IO_8021x_Params), 48, 88},
                                           Record{"krb_server_settings", sizeof(krb_server_settings), 856, 856}),
                         [](const auto &p) { return p.param.name; });

}  // namespace
