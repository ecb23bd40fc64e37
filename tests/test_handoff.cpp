// The sign-in hand-off: a user's request read from a real, seekable
// descriptor, what it changes in the remembered settings, and where it
// leaves the descriptor.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>

#include "tavrel/general_utilities.h"
#include "tavrel/kerberos_data.h"
#include "tavrel/samba_data.h"
#include "tavrel_test.h"

namespace {

using tavrel_test::repeat;

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

INSTANTIATE_TEST_SUITE_P(
    Requests, Handoff,
    ::testing::Values(
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

class HandoffDescriptor : public tavrel_test::TavrelTest {};

TEST_F(HandoffDescriptor, NegativeClosedOrUnseekableIsRefused) {
    const int closed = dup(0);
    close(closed);
    for (const int fd : {-1, closed}) {
        EXPECT_EQ(handle_smb_info_from_caller(fd), 0);
        EXPECT_EQ(handle_kerberos_info_from_caller(fd), 0);
    }
    const std::string bad = "bad FD retrieved from IPC message for ";
    EXPECT_EQ(messages(host::Level::Warn), (std::vector{bad + "SMB", bad + "Kerberos", bad + "SMB", bad + "Kerberos"}));
    // A pipe holds a whole request but cannot be rewound.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    ASSERT_EQ(::write(ends[1], "alice\nCORP\n", 11), 11);
    host::log_clear();
    EXPECT_EQ(handle_smb_info_from_caller(ends[0]), 0);
    EXPECT_EQ(messages(host::Level::Warn), std::vector<std::string>{"A problem occurred while reseting the FD for SMB"});
    close(ends[0]);
    close(ends[1]);
}

// Descriptor 0 is a descriptor like any other (a service may have closed its standard input).
TEST_F(HandoffDescriptor, ZeroIsRead) {
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
