// Attribute readers: the limits of each value, what a refused value leaves in
// the caller's buffer, the checks of the record every reader shares, and a
// null output refused by each.
#include <algorithm>
#include <cstdio>

#include "tavrel/general_utilities.h"
#include "tavrel/samba_utilities.h"
#include "tavrel_test.h"

namespace {

using tavrel_test::repeat;

using Reader = int (*)(char *, int32_t);
constexpr char kUntouched[] = "untouched";
enum Kind { text = 0, integer = 1, address = 2, error = 3, missing, mismatched };  // the first four: record types

struct ReadCase {
    const char *name;
    Reader read;
    int32_t id;
    Kind kind;
    std::string value;  // text or address
    uint32_t port;      // the port, the integer, or the error code
    int result;
    std::string output;
    std::string log_line = {};  // a record the read must log
};
void PrintTo(const ReadCase &c, std::ostream *os) { *os << c.name; }

class Read : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(Read, ResultOutputAndLog) {
    const ReadCase &c = GetParam();
    EXPECT_EQ(c.read(nullptr, c.id), 0);  // refused before the service monitor is asked
    EXPECT_TRUE(host::svcmon_requests().empty());
    host::log_clear();
    if (c.kind != missing)
        host::svcmon_set(c.id, {.type = c.kind == mismatched ? text : c.kind, .text = c.value,
                                .integer = static_cast<int32_t>(c.port), .port = c.port,
                                .echo_id = c.kind == mismatched ? std::optional(12) : std::nullopt});
    char out[512] = "untouched";
    EXPECT_EQ(c.read(out, c.id), c.result);
    EXPECT_EQ(std::string(out), c.output);
    EXPECT_TRUE(c.log_line.empty() || std::ranges::count(log_lines(), c.log_line) == 1) << c.log_line;
}

// The protocol reader answers a number; here it is shown as text.
int protocol(char *out, int32_t id) {
    int32_t value = -1;
    const int result = get_filingProtocol_from_dstore(out ? &value : nullptr, id);
    if (result) std::snprintf(out, 16, "%d", value);
    return result;
}
const auto realm = get_realm_from_dstore, port = get_port_from_dstore, share = get_sharename_from_dstore,
           dns = get_dns_name_from_dstore, addr = get_just_the_ip_address_from_dstore,
           addr_port = get_ip_address_from_dstore, nt = get_nt_domain_from_dstore;

INSTANTIATE_TEST_SUITE_P(
    Readers, Read,
    ::testing::Values(
        ReadCase{"Protocol", protocol, 259, integer, "", 4, 1, "4", "LIBINFO get_filingProtocol_from_dstore - Filing Protocol for (259) is (4)"},
        ReadCase{"RealmEmpty", realm, 36, text, "", 0, 1, ""},
        ReadCase{"RealmTwo", realm, 36, text, "ab", 0, 0, kUntouched, "ERROR get_realm_from_dstore - Realm is syntactically incorrect"},
        ReadCase{"RealmThree", realm, 36, text, "a.b", 0, 1, "A.B"},
        ReadCase{"Realm255", realm, 36, text, repeat(255), 0, 1, repeat(255, 'A')},
        ReadCase{"Realm256", realm, 36, text, repeat(256), 0, 0, kUntouched},
        ReadCase{"RealmBlank", realm, 36, text, "CORP NET", 0, 0, kUntouched},
        ReadCase{"RealmErrorRecord", realm, 36, error, "", 5, 0, kUntouched, "ERROR get_realm_from_dstore - Error retrieving realm from data store, SvcMon Code: 5"},
        ReadCase{"RealmMissing", realm, 36, missing, "", 0, 0, kUntouched, "ERROR get_realm_from_dstore - NULL returned from SvcMon_GetAttr"},
        ReadCase{"Port65535", port, 40, address, "", 65535, 1, "65535", "LIBINFO get_port_from_dstore - Port Val for (40) is (65535)"},
        ReadCase{"Port65536", port, 40, address, "", 65536, 0, "", "LIBINFO get_port_from_dstore - Invalid port number: 65536"},
        ReadCase{"PortTextType", port, 40, text, "88", 0, 0, kUntouched, "ERROR get_port_from_dstore - Invalid type returned from SvcMon_GetAttr for attribute 40"},
        ReadCase{"ShareEmpty", share, 260, text, "", 0, 1, "", "LIBINFO get_sharename_from_dstore - sharename is undefined for (260)."},
        ReadCase{"Share127", share, 260, text, repeat(127), 0, 1, repeat(127)},
        ReadCase{"Share128", share, 260, text, repeat(128), 0, 0, "", "ERROR get_sharename_from_dstore - sharename is too long."},
        ReadCase{"ShareControl", share, 260, text, "scans\nx", 0, 0, "", "ERROR get_sharename_from_dstore - sharename holds a control character."},
        ReadCase{"ShareMismatchedId", share, 260, mismatched, "scans", 0, 0, kUntouched, "ERROR get_sharename_from_dstore - Attribute returned (12) does not equal one sent (260)"},
        ReadCase{"Dns256", dns, 80, text, repeat(256), 0, 0, "", "ERROR get_dns_name_from_dstore - DNS name is too long."},
        ReadCase{"DnsScopedAddress", dns, 80, text, "fe80::5%eth0", 0, 1, "fe80::5%eth0"},
        ReadCase{"DnsNetbiosName", dns, 80, text, "SCAN$", 0, 1, "SCAN$", "LIBINFO get_dns_name_from_dstore - DNS Name for (80) is (SCAN$)"},
        ReadCase{"DnsEmpty", dns, 80, text, "", 0, 1, "", "LIBINFO get_dns_name_from_dstore - DNS name is undefined."},
        ReadCase{"DnsFinalBackslash", dns, 80, text, "dc1\\", 0, 0, "", "ERROR get_dns_name_from_dstore - DNS name holds an invalid character."},
        ReadCase{"DnsBlank", dns, 80, text, "dc 1", 0, 0, "", "ERROR get_dns_name_from_dstore - DNS name holds an invalid character."},
        ReadCase{"AddressEmpty", addr, 79, address, "", 0, 0, kUntouched, "ERROR get_just_the_ip_address_from_dstore - IP Address is syntactically incorrect"},
        ReadCase{"WithPortIPv4AndPort0", addr_port, 37, address, "192.0.2.7", 0, 1, "192.0.2.7:0", "LIBINFO get_ip_address_from_dstore - IP Address for (37) is (192.0.2.7:0)"},
        ReadCase{"WithPortIPv6", addr_port, 37, address, "2001:db8::7", 88, 1, "[2001:db8::7]:88", "DEBUG New IPv6 address is [[2001:db8::7]]"},
        ReadCase{"WithPortEmpty", addr_port, 37, address, "", 70000, 1, "", "LIBINFO get_ip_address_from_dstore - IP addr for (37) is NULL"},
        ReadCase{"WithPortHostName", addr_port, 37, address, "kdc1", 88, 1, "kdc1:88", "ERROR get_ip_address_from_dstore - IP Address is syntactically incorrect"},
        ReadCase{"WithPortBadPort", addr_port, 37, address, "192.0.2.7", 65536, 0, "192.0.2.7", "ERROR get_ip_address_from_dstore - Invalid port number: 65536"},
        ReadCase{"WithPortJustFits", addr_port, 37, address, repeat(47), 65535, 1, repeat(47) + ":65535"},
        ReadCase{"WithPortTooLong", addr_port, 37, address, repeat(48), 65535, 0, kUntouched, "ERROR get_ip_address_from_dstore - IP Address is syntactically incorrect"},
        ReadCase{"WithPortMissing", addr_port, 37, missing, "", 0, 0, kUntouched, "ERROR get_ip_address_from_dstore - NULL returned from SvcMon_GetAttr"},
        ReadCase{"WithPortBlank", addr_port, 37, address, "kdc 1", 88, 0, kUntouched},
        ReadCase{"NtDomain", nt, 103, text, "Corp", 0, 1, "Corp", "LIBINFO get_nt_domain_from_dstore - NT Domain is (Corp)"},
        ReadCase{"NtDomain255", nt, 78, text, repeat(255), 0, 1, repeat(255)},
        ReadCase{"NtDomain256", nt, 78, text, repeat(256), 0, 0, "", "INFO NT Domain is syntactically incorrect"},
        ReadCase{"NtDomainEmpty", nt, 78, text, "", 0, 0, "", "INFO NT Domain is syntactically incorrect"},
        ReadCase{"NtDomainBackslash", nt, 78, text, "CORP\\", 0, 0, "", "INFO NT Domain holds a backslash or a control character"},
        ReadCase{"NtDomainId79", nt, 79, text, "CORP", 0, 0, kUntouched, "ERROR get_nt_domain_from_dstore - Invalid Domain Name Attribute passed for SvcMon"}),
    [](const auto &p) { return std::string(p.param.name); });

}  // namespace
