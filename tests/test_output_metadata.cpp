// A replaced file keeps what fopen "w" would have kept: owner, group, mode,
// ACL and extended attributes. The previous file is nobody's, in group
// daemon, with an ACL entry and a user attribute. Root replaces it (a new
// file, all carried over); nobody, who may write it but not give it to
// group daemon, gets it written in place. A kernel or file system that
// refuses a step (a seccomp filter makes it) sends the text another way,
// never loses what the file had, and leaves no temporary file.
#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>

#include <filesystem>

#include "tavrel/8021x_config.h"
#include "tavrel_test.h"

namespace {

constexpr uid_t kNobody = 65534;
constexpr int kNoSeccomp = 121;

struct Builder {
    const char *path;
    std::vector<std::string> args;
    mode_t mode = 0640;  // the previous file's, and the new one's
};
const std::vector<Builder> kBuilders = {
    {"/etc/smb.conf.auth", {"smb-auth"}},
    {"/etc/smb.conf.file", {"smb-filing", "files.corp.example", "scans"}},
    {"/etc/krb5.conf", {"krb5"}},
    {"/usr/heimdal/etc/krb5.conf", {"krb5-cac", "CORP.EXAMPLE", "dc1.corp.example", "88"}},
    {"/etc/pam.d/pam_cac", {"pam-cac"}},
    {CF_IO_WIRELESS_CONF_PATH, {"wifi-personal"}, 0600},
    {CF_IO_WIRED_CONF_PATH, {"dot1x"}, 0600},
};

enum class Outcome { replaced, in_place, failed };
struct Case {
    const char *name;
    long refused = -1;  // a system call the kernel refuses, with error (through krb5 and wifi-personal)
    int error = 0;
    Outcome outcome = Outcome::replaced;
    bool as_nobody = false;
    bool attributes_kept = true;
};
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

const Case kCases[] = {
    {"root"},
    {"nobody", -1, 0, Outcome::in_place, true},
    {"chown_refused", SYS_fchown, EPERM, Outcome::in_place},
    {"attribute_refused", SYS_fsetxattr, EPERM, Outcome::in_place},
    {"attribute_unreadable", SYS_lgetxattr, ERANGE, Outcome::in_place},
    {"attributes_unlisted", SYS_llistxattr, EIO, Outcome::in_place},
    {"attributes_unsupported", SYS_llistxattr, ENOTSUP, Outcome::replaced, false, false},
    {"unnamed_file_unsupported", SYS_openat, EOPNOTSUPP},
    {"unnamed_file_unknown", SYS_openat, EISDIR},
    {"directory_takes_no_file", SYS_openat, EACCES, Outcome::in_place},
    {"no_proc", SYS_linkat, ENOENT},
    {"rename_refused", SYS_renameat, EIO, Outcome::failed},
};

// The kernel answers error to the system call from now on (openat only
// where it asks for an unnamed file).
bool refuse(long syscall, int error) {
    const unsigned flags = offsetof(seccomp_data, args[2]) + (__BYTE_ORDER__ == __ORDER_BIG_ENDIAN__ ? 4 : 0);
    sock_filter code[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<unsigned>(syscall), syscall == SYS_openat ? __u8{0} : __u8{2}, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, flags),
        BPF_JUMP(BPF_JMP | BPF_JSET | BPF_K, O_TMPFILE & ~O_DIRECTORY, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<unsigned>(error)),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

// Owner, group, mode and ACL as getfacl shows them, and the user attribute.
std::string kept(const std::string &path) {
    std::array<char, 16> value{};
    const ssize_t size = getxattr(path.c_str(), "user.origin", value.data(), value.size());
    return tavrel_test::run_program({"getfacl", "-p", path}).out + std::string(value.data(), size > 0 ? size : 0);
}
ino_t inode(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class OutputMetadata : public tavrel_test::TavrelTest, public ::testing::WithParamInterface<Case> {
protected:
    void SetUp() override {
        TavrelTest::SetUp();
        if (geteuid() != 0) GTEST_SKIP() << "giving files to other users needs root";
        ::chmod(root().c_str(), 0755);
        for (const auto &entry : std::filesystem::recursive_directory_iterator(root()))
            ASSERT_EQ(::chown(entry.path().c_str(), kNobody, kNobody), 0);
    }

    // The tool's exit status for a build of b in a child, as the case says.
    int build(const Builder &b, const Case &c) {
        std::vector<std::string> args{TAVREL_TOOL_PATH, "-s", tavrel_test::source_path("examples/office.toml"), "-r", root()};
        args.insert(args.end(), b.args.begin(), b.args.end());
        std::vector<char *> argv;
        for (std::string &a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(::open("/dev/null", O_WRONLY), 2);
            if (c.as_nobody && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(120);
            if (c.refused >= 0 && !refuse(c.refused, c.error)) _exit(kNoSeccomp);
            execv(argv[0], argv.data());
            _exit(122);
        }
        int status = 0;
        return waitpid(pid, &status, 0) == pid && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

TEST_P(OutputMetadata, TheReplacedFileKeepsWhatItHad) {
    const Case &c = GetParam();
    for (const Builder &b : c.refused < 0 ? kBuilders : std::vector<Builder>{kBuilders[2], kBuilders[5]}) {
        SCOPED_TRACE(b.path);
        const std::string file = path(b.path);
        write(b.path, "previous\n");
        ASSERT_EQ(::chown(file.c_str(), kNobody, 1), 0);
        ASSERT_EQ(tavrel_test::run_program({"setfacl", "-m", "u:daemon:r", file}).status, 0);
        ASSERT_EQ(::chmod(file.c_str(), b.mode), 0);
        ASSERT_EQ(setxattr(file.c_str(), "user.origin", "kept", 4, 0), 0);
        const std::string before = kept(file);
        const ino_t previous = inode(file);

        const int status = build(b, c);
        if (status == kNoSeccomp) GTEST_SKIP() << "no seccomp filter here (an emulator?)";
        EXPECT_EQ(status, c.outcome == Outcome::failed ? 1 : 0);
        EXPECT_EQ(read(b.path) == "previous\n", c.outcome == Outcome::failed);
        EXPECT_EQ(inode(file) == previous, c.outcome != Outcome::replaced);
        EXPECT_EQ(kept(file) == before, c.attributes_kept);
        EXPECT_TRUE(strays().empty()) << ::testing::PrintToString(strays());
    }
}

INSTANTIATE_TEST_SUITE_P(Replace, OutputMetadata, ::testing::ValuesIn(kCases),
                         [](const auto &row) { return std::string(row.param.name); });

}  // namespace
