// What the library's general utilities give a caller: the text and output
// helpers; the attribute readers (the limits of each value, what a refused
// value leaves in the caller's buffer, the checks of the record every reader
// shares, a null output refused by each); and the sign-in hand-off (a user's
// request read from a real, seekable descriptor, what it changes in the
// remembered settings, and where it leaves the descriptor).
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include "tavrel_test.h"

namespace {

using tavrel_test::Lines;
using tavrel_test::repeat;

class Helpers : public tavrel_test::TavrelTest {};

// What the text helpers do in place shows in the files the builders write
// and in the realm the reader gives; a null text is left alone. The
// deprecated calls only log.
TEST_F(Helpers, NullTextsAreIgnoredAndDeprecatedCallsOnlyLog) {
    string_replace(nullptr, '\\', '/');
    upcase(nullptr);
    write_out_port_value(nullptr, 88);
    set_config_update_needed();
    EXPECT_EQ(config_update_needed(), 1);
    const std::string deprecated = " is Depreciated, do not use it!!";
    EXPECT_EQ(log_lines(), (Lines{"FORCEINFO [set_config_update_needed]" + deprecated,
                                  "FORCEINFO [config_update_needed]" + deprecated}));
}

TEST_F(Helpers, PortIsWrittenWithItsColonOnlyFrom1To65534) {
    for (const auto &[port, text] : {std::pair{0u, ""}, {1u, ":1"}, {65534u, ":65534"}, {65535u, ""}}) {
        char out[16] = {};
        FILE *stream = fmemopen(out, sizeof out, "w");
        ASSERT_NE(stream, nullptr);
        write_out_port_value(stream, port);
        std::fclose(stream);
        EXPECT_STREQ(out, text) << port;
    }
}

// ---- Attribute readers --------------------------------------------------------

constexpr char kUntouched[] = "untouched";
enum Kind { text = 0, integer = 1, address = 2, error = 3, missing, mismatched };  // the first four: record types

struct ReadCase {
    const char *name;
    int (*read)(char *, int32_t);
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

INSTANTIATE_TEST_SUITE_P(Readers, Read, ::testing::ValuesIn(std::vector<ReadCase>{
        {"Protocol", protocol, 259, integer, "", 4, 1, "4", "LIBINFO get_filingProtocol_from_dstore - Filing Protocol for (259) is (4)"},
        {"RealmEmpty", get_realm_from_dstore, 36, text, "", 0, 1, "", "LIBINFO Getting SvcMon entry [36] for the realm"},
        {"RealmTwo", get_realm_from_dstore, 36, text, "ab", 0, 0, kUntouched, "ERROR get_realm_from_dstore - Realm is syntactically incorrect"},
        {"RealmThree", get_realm_from_dstore, 36, text, "a.b", 0, 1, "A.B"},
        {"Realm255", get_realm_from_dstore, 36, text, repeat(255), 0, 1, repeat(255, 'A')},
        {"Realm256", get_realm_from_dstore, 36, text, repeat(256), 0, 0, kUntouched},
        {"RealmBlank", get_realm_from_dstore, 36, text, "CORP NET", 0, 0, kUntouched},
        {"RealmErrorRecord", get_realm_from_dstore, 36, error, "", 5, 0, kUntouched, "ERROR get_realm_from_dstore - Error retrieving realm from data store, SvcMon Code: 5"},
        {"RealmMissing", get_realm_from_dstore, 36, missing, "", 0, 0, kUntouched, "ERROR get_realm_from_dstore - NULL returned from SvcMon_GetAttr"},
        {"Port65535", get_port_from_dstore, 40, address, "", 65535, 1, "65535", "LIBINFO get_port_from_dstore - Port Val for (40) is (65535)"},
        {"Port65536", get_port_from_dstore, 40, address, "", 65536, 0, "", "LIBINFO get_port_from_dstore - Invalid port number: 65536"},
        {"PortTextType", get_port_from_dstore, 40, text, "88", 0, 0, kUntouched, "ERROR get_port_from_dstore - Invalid type returned from SvcMon_GetAttr for attribute 40"},
        {"ShareEmpty", get_sharename_from_dstore, 260, text, "", 0, 1, "", "LIBINFO get_sharename_from_dstore - sharename is undefined for (260)."},
        {"Share127", get_sharename_from_dstore, 260, text, repeat(127), 0, 1, repeat(127)},
        {"Share128", get_sharename_from_dstore, 260, text, repeat(128), 0, 0, "", "ERROR get_sharename_from_dstore - sharename is too long."},
        {"ShareControl", get_sharename_from_dstore, 260, text, "scans\nx", 0, 0, "", "ERROR get_sharename_from_dstore - sharename holds a control character."},
        {"ShareMismatchedId", get_sharename_from_dstore, 260, mismatched, "scans", 0, 0, kUntouched, "ERROR get_sharename_from_dstore - Attribute returned (12) does not equal one sent (260)"},
        {"Dns256", get_dns_name_from_dstore, 80, text, repeat(256), 0, 0, "", "ERROR get_dns_name_from_dstore - DNS name is too long."},
        {"DnsNetbiosName", get_dns_name_from_dstore, 80, text, "SCAN$", 0, 1, "SCAN$", "LIBINFO get_dns_name_from_dstore - DNS Name for (80) is (SCAN$)"},
        {"DnsEmpty", get_dns_name_from_dstore, 80, text, "", 0, 1, "", "LIBINFO get_dns_name_from_dstore - DNS name is undefined."},
        {"DnsFinalBackslash", get_dns_name_from_dstore, 80, text, "dc1\\", 0, 0, "", "ERROR get_dns_name_from_dstore - DNS name holds an invalid character."},
        {"DnsBlank", get_dns_name_from_dstore, 80, text, "dc 1", 0, 0, "", "ERROR get_dns_name_from_dstore - DNS name holds an invalid character."},
        {"AddressEmpty", get_just_the_ip_address_from_dstore, 79, address, "", 0, 0, kUntouched, "ERROR get_just_the_ip_address_from_dstore - IP Address is syntactically incorrect"},
        {"WithPortIPv4AndPort0", get_ip_address_from_dstore, 37, address, "192.0.2.7", 0, 1, "192.0.2.7:0", "LIBINFO get_ip_address_from_dstore - IP Address for (37) is (192.0.2.7:0)"},
        {"WithPortIPv6", get_ip_address_from_dstore, 37, address, "2001:db8::7", 88, 1, "[2001:db8::7]:88", "DEBUG New IPv6 address is [[2001:db8::7]]"},
        {"WithPortEmpty", get_ip_address_from_dstore, 37, address, "", 70000, 1, "", "LIBINFO get_ip_address_from_dstore - IP addr for (37) is NULL"},
        {"WithPortHostName", get_ip_address_from_dstore, 37, address, "kdc1", 88, 1, "kdc1:88", "ERROR get_ip_address_from_dstore - IP Address is syntactically incorrect"},
        {"WithPortBadPort", get_ip_address_from_dstore, 37, address, "192.0.2.7", 65536, 0, "192.0.2.7", "ERROR get_ip_address_from_dstore - Invalid port number: 65536"},
        {"WithPortJustFits", get_ip_address_from_dstore, 37, address, repeat(47), 65535, 1, repeat(47) + ":65535"},
        {"WithPortTooLong", get_ip_address_from_dstore, 37, address, repeat(48), 65535, 0, kUntouched, "ERROR get_ip_address_from_dstore - IP Address is syntactically incorrect"},
        {"WithPortMissing", get_ip_address_from_dstore, 37, missing, "", 0, 0, kUntouched, "ERROR get_ip_address_from_dstore - NULL returned from SvcMon_GetAttr"},
        {"WithPortBlank", get_ip_address_from_dstore, 37, address, "kdc 1", 88, 0, kUntouched},
        {"NtDomain255", get_nt_domain_from_dstore, 103, text, repeat(255), 0, 1, repeat(255), "LIBINFO get_nt_domain_from_dstore - NT Domain is (" + repeat(255) + ")"},
        {"NtDomain256", get_nt_domain_from_dstore, 78, text, repeat(256), 0, 0, "", "INFO NT Domain is syntactically incorrect"},
        {"NtDomainEmpty", get_nt_domain_from_dstore, 78, text, "", 0, 0, "", "INFO NT Domain is syntactically incorrect"},
        {"NtDomainBackslash", get_nt_domain_from_dstore, 78, text, "CORP\\", 0, 0, "", "INFO NT Domain holds a backslash or a control character"},
        {"NtDomainId79", get_nt_domain_from_dstore, 79, text, "CORP", 0, 0, kUntouched, "ERROR get_nt_domain_from_dstore - Invalid Domain Name Attribute passed for SvcMon"}}),
    [](const auto &p) { return std::string(p.param.name); });

// ---- Sign-in hand-off ---------------------------------------------------------

struct HandoffCase {
    const char *name;
    bool kerberos;
    std::string request;
    int result;
    const char *new_name;  // the new domain or realm afterwards ("": left as it was)
    std::vector<std::string> log;  // records the hand-off must log, each once
    off_t offset;          // where the descriptor is left
};
void PrintTo(const HandoffCase &c, std::ostream *os) { *os << c.name; }

class Handoff : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<HandoffCase> {};

TEST_P(Handoff, ResultNewNameAndOffset) {
    const HandoffCase &c = GetParam();
    sm_set_current_domain_name("CORP");
    sm_set_current_realm_name("CORP.EXAMPLE");
    // Regular files and memfds alike; the request is left at its end, so the
    // hand-off has to rewind it itself.
    const int fd = c.kerberos ? memfd_create("request", 0)
                              : ::open(path("/request").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_EQ(::write(fd, c.request.data(), c.request.size()), static_cast<ssize_t>(c.request.size()));

    EXPECT_EQ(c.kerberos ? handle_kerberos_info_from_caller(fd) : handle_smb_info_from_caller(fd), c.result);
    EXPECT_STREQ(c.kerberos ? sm_get_new_realm_name() : sm_get_new_domain_name(), c.new_name);
    EXPECT_EQ(lseek(fd, 0, SEEK_CUR), c.offset);
    close(fd);
    const auto lines = log_lines();
    for (const std::string &line : c.log) EXPECT_EQ(std::ranges::count(lines, line), 1) << line;
    // Only the Kerberos hand-off traces its entry and every return.
    EXPECT_EQ(!lines.empty() && lines.front() == "LIBENTER handle_kerberos_info_from_caller" &&
                  lines.back() == "LIBRETURN handle_kerberos_info_from_caller", c.kerberos);
}

INSTANTIATE_TEST_SUITE_P(Requests, Handoff, ::testing::Values(
        HandoffCase{"CurrentDomainOtherCase", false, "alice\ncorp", 1, "", {}, 0},
        HandoffCase{"CurrentRealmOtherCase", true, "alice\ncorp.example", 1, "", {}, 0},
        HandoffCase{"Exactly774Bytes", false, "alice\nHOME\n" + repeat(763, '\n'), 1, "HOME", {}, 0},
        HandoffCase{"Over774Bytes", false, "alice\nHOME\n" + repeat(764, '\n'), 0, "", {"WARN More bytes on IPC fd then expected for SMB"}, 775},
        HandoffCase{"LeadingEmptyLinesAndUserName256", true, "\n\n" + repeat(256) + "\n\nHOME.EXAMPLE\n", 1, "HOME.EXAMPLE", {}, 0},
        HandoffCase{"UserName257", true, repeat(257) + "\nHOME", 0, "", {"WARN Couldn't retrieve request username for Kerberos"}, 262},
        HandoffCase{"EmptyRequest", false, "", 0, "", {"WARN Couldn't retrieve request username for SMB"}, 0},
        HandoffCase{"OnlyUserKerberos", true, "alice\n", 1, "", {"FORCEINFO A null realm was passed in by user for Kerberos"}, 0},
        HandoffCase{"OnlyUserSmb", false, "alice", 1, "\n", {"FORCEINFO Could not get the default NT Domain for SMB", "FORCEINFO A null domain was passed in by user for SMB"}, 0},
        HandoffCase{"OneCharacterDomain", false, "alice\nC\n", 0, "\n", {"WARN Couldn't retrieve domain for SMB from user"}, 8},
        HandoffCase{"OneCharacterRealm", true, "alice\nC", 1, "\n", {"FORCEINFO Could not get the default realm for Kerberos"}, 0}),
    [](const auto &p) { return std::string(p.param.name); });

// Both hand-offs share the checks of the descriptor; each protocol names itself.
// Descriptor 0 is a descriptor like any other (a service may have closed its
// standard input).
TEST_F(Helpers, HandoffRefusesANegativeClosedOrUnseekableDescriptorAndReadsZero) {
    int ends[2];  // a pipe holds a whole request but cannot be rewound
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "alice\nCORP\n", 11), 11);
    const int closed = dup(0);
    close(closed);
    EXPECT_EQ(handle_smb_info_from_caller(-1), 0);
    EXPECT_EQ(handle_kerberos_info_from_caller(closed), 0);
    EXPECT_EQ(handle_smb_info_from_caller(ends[0]), 0);
    close(ends[0]);
    close(ends[1]);
    EXPECT_EQ(messages(host::Level::Warn), (Lines{"bad FD retrieved from IPC message for SMB",
                                                  "bad FD retrieved from IPC message for Kerberos",
                                                  "A problem occurred while reseting the FD for SMB"}));
    const int saved = dup(0);
    const int fd = memfd_create("request", 0);
    ASSERT_EQ(::write(fd, "alice\nHOME\n", 11), 11);
    ASSERT_EQ(dup2(fd, 0), 0);
    EXPECT_EQ(handle_smb_info_from_caller(0), 1);
    dup2(saved, 0);
    close(saved);
    close(fd);
    EXPECT_STREQ(sm_get_new_domain_name(), "HOME");
}

}  // namespace
