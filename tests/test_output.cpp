// Every builder where its file cannot simply be replaced, and what a replaced
// file keeps. The builds run in a child process, as nobody where the case
// says (root could write anything), and with the kernel refusing one system
// call where the case says (a seccomp filter). Whatever happens, a failed
// build leaves the previous file byte for byte, no temporary file remains,
// and no file holding a secret is readable by others. A replaced file keeps
// what fopen "w" would have kept: owner, group, mode, ACL and attributes.
#include <fcntl.h>
#include <grp.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "library_memory.h"
#include "tavrel/SambaConfig.h"
#include "builds.h"

namespace {

using namespace tavrel_test::builds;
namespace fs = std::filesystem;
using host::Level;

constexpr uid_t kNobody = 65534;
const std::string kPrevious = "previous text\n";

// One builder: its file, whether that holds secrets, a build that succeeds
// and (where the builder has one) a build whose course fails, and what it
// logs when its file cannot be opened.
struct Builder {
    const char *name, *path;
    bool secret;
    std::function<bool()> succeeds, fails;  // fails null: no course that fails once the file is open
    bool failure_removes;                   // the builder removes its file when the course fails
    const char *open_error;                 // null: it logs nothing
};

bool filing() {
    char server[] = "192.0.2.30", folder[] = "scans";
    return build_smb_conf_for_filing(server, folder) == 0;
}

constexpr char kWirelessOpenError[] = "Error opening file " CF_IO_WIRELESS_CONF_PATH;
const std::vector<Builder> kBuilders = {
    {"smb.conf.auth", "/etc/smb.conf.auth", false, [] { return build_smb_conf_for_authentication() == 1; }, [] { host::svcmon_unset(81); return build_smb_conf_for_authentication() == 1; }, true, nullptr},
    {"smb.conf.file", "/etc/smb.conf.file", false, filing, nullptr, false, "Unable to open SMB configuration file"},
    {"krb5", "/etc/krb5.conf", false, [] { return build_krb5_conf() == 1; }, [] { host::svcmon_unset(36); return build_krb5_conf() == 1; }, true, "build_krb5_conf - Error opening file /etc/krb5.conf"},
    {"krb5-record", "/etc/krb5.conf", false, [] { return record({"CORP.EXAMPLE", "kdc1.corp.example", "", 88, "", "", 0}) == 1; }, [] { return record({"CORP.EXAMPLE", "", "", 88, "", "", 0}) == 1; }, false, "cf_build_krb_conf_with_XML_data - Error opening file /etc/krb5.conf"},
    {"krb5-realm", "/etc/krb5.conf", false, [] { return realm_only("corp.example") == 1; }, [] { return realm_only("unknown.example") == 1; }, true, nullptr},
    {"krb5-service", "/etc/krb5.conf", false, [] { return with_service("CORP.EXAMPLE", 1) == 1; }, [] { return with_service("CORP.EXAMPLE", 3) == 1; }, true, "cf_build_krb_conf_file_with_this - Error opening file /etc/krb5.conf"},
    {"krb5-cac", "/usr/heimdal/etc/krb5.conf", false, [] { return cac("corp.example", "kdc1.corp.example") == 1; }, nullptr, false, "cf_build_krb_conf_file_for_CAC - Error opening file /usr/heimdal/etc/krb5.conf"},
    {"pam-cac", "/etc/pam.d/pam_cac", false, [] { return cf_build_pam_conf_file_for_CAC() == 1; }, nullptr, false, "Error Opening /etc/pam.d/pam_cac for writing: Error: "},
    {"wifi-open", CF_IO_WIRELESS_CONF_PATH, true, [] { return open_net({"office", 0, 1, nullptr}) == 1; }, [] { return open_net({"office", 6, 1, nullptr}) == 1; }, false, kWirelessOpenError},
    {"wifi-wep", CF_IO_WIRELESS_CONF_PATH, true, [] { return wep("wep-k") == 1; }, [] { return wep("wep-key-6") == 1; }, false, kWirelessOpenError},
    {"wifi-personal", CF_IO_WIRELESS_CONF_PATH, true, [] { return personal({"office", 3, 1, "psk-secret-9"}) == 1; }, [] { return personal({"office", 3, 1, "short"}) == 1; }, false, kWirelessOpenError},
    {"dot1x", CF_IO_WIRED_CONF_PATH, true, [] { return enterprise([](auto &) {})() == 1; }, [] { return enterprise([](auto &p) { p.password = nullptr; })() == 1; }, false, "Error opening file " CF_IO_WIRED_CONF_PATH},
};
const char *const kSecrets[] = {"pw-secret-1", "psk-secret-9", "wep-k"};

// How the child runs the build.
struct Child {
    bool as_nobody = true;
    long refused = -1;  // a system call the kernel answers with error
    int error = 0;
};
constexpr int kCannot = 121;  // this machine cannot do what the case needs

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
std::ptrdiff_t open_descriptors() { return std::distance(fs::directory_iterator("/proc/self/fd"), {}); }
ino_t inode(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

class Output : public tavrel_test::TavrelTest {
protected:
    void SetUp() override {
        TavrelTest::SetUp();
        if (geteuid() != 0) GTEST_SKIP() << "building as another user needs root";
        std::string office = tavrel_test::source_text("examples/office.toml");
        office.replace(office.find("hosts = { "), 10, "hosts = { \"corp.example\" = \"192.0.2.5\", ");
        load(office);
        ::chmod(root().c_str(), 0755);
        fs::create_directories(path("/data/hop"));  // where links at the targets lead
        // The test's files are nobody's.
        for (const auto &entry : fs::recursive_directory_iterator(root()))
            ASSERT_EQ(::chown(entry.path().c_str(), kNobody, kNobody), 0) << entry.path();
    }

    // Runs body in a child as the child says; the test fails when the
    // child's checks did. False when this machine has no seccomp filter
    // (an emulator, a container).
    bool in_child(const Child &how, const std::function<void()> &body) {
        std::fflush(nullptr);
        const pid_t pid = fork();
        if (pid == 0) {
            if (how.as_nobody && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(4);
            if (how.refused >= 0 && !refuse(how.refused, how.error)) _exit(kCannot);
            // A check the test failed before counts here too: the test has failed either way.
            body();
            std::fflush(nullptr);
            _exit(HasFailure() ? 1 : 0);
        }
        int status = 0;
        EXPECT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && (WEXITSTATUS(status) == 0 || WEXITSTATUS(status) == kCannot)) << status;
        return !WIFEXITED(status) || WEXITSTATUS(status) != kCannot;
    }

    // After each build: no temporary file, and a file holding a secret a
    // build passed is readable by nobody else.
    void expect_clean() const {
        EXPECT_TRUE(strays().empty()) << ::testing::PrintToString(strays());
        for (const auto &entry : fs::recursive_directory_iterator(root())) {
            if (!entry.is_regular_file()) continue;
            const std::string text = read(entry.path().string().substr(root().size())).value_or("");
            const bool secret = std::ranges::any_of(kSecrets, [&](const char *s) { return text.find(s) != text.npos; });
            EXPECT_TRUE(!secret || (entry.status().permissions() & fs::perms::all) ==
                                       (fs::perms::owner_read | fs::perms::owner_write)) << entry.path();
        }
    }
};

// ---- What a replaced file keeps ------------------------------------------------

enum class Outcome { replaced, in_place, failed };
struct Case {
    const char *name;
    Child child;
    Outcome outcome = Outcome::replaced;
    bool attributes_kept = true;
    const char *error = nullptr;  // what a failed build logs after the path
};
void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

// The previous file is nobody's, in group daemon, with an ACL entry and a
// user attribute. Root replaces it, all carried over; nobody, who may write
// it but not give it to group daemon, has it written in place. A step the
// kernel refuses sends the text another way, without losing what the file
// had, or fails the build with the previous file as it was.
const Case kCases[] = {
    {"root", {false}},
    {"nobody", {true}, Outcome::in_place},
    {"chown_refused", {false, SYS_fchown, EPERM}, Outcome::in_place},
    {"attribute_refused", {false, SYS_fsetxattr, EPERM}, Outcome::in_place},
    {"attribute_unreadable", {false, SYS_lgetxattr, ERANGE}, Outcome::in_place},
    {"attributes_unlisted", {false, SYS_llistxattr, EIO}, Outcome::in_place},
    {"attributes_unsupported", {false, SYS_llistxattr, ENOTSUP}, Outcome::replaced, false},
    {"unnamed_file_unsupported", {false, SYS_openat, EOPNOTSUPP}},
    {"unnamed_file_unknown", {false, SYS_openat, EISDIR}},
    {"directory_takes_no_file", {false, SYS_openat, EACCES}, Outcome::in_place},
    {"no_proc", {false, SYS_linkat, ENOENT}},
    {"rename_refused", {false, SYS_renameat, EIO}, Outcome::failed, true, "Failed to replace "},
    {"disk_full", {false, SYS_pwrite64, ENOSPC}, Outcome::failed, true, "Failed to write "},
};

class Replaced : public Output, public ::testing::WithParamInterface<Case> {};

TEST_P(Replaced, KeepsWhatTheFileHad) {
    const Case &c = GetParam();
    for (const Builder &b : kBuilders) {
        SCOPED_TRACE(b.name);
        const std::string file = path(b.path);
        write(b.path, kPrevious);
        ASSERT_EQ(::chown(file.c_str(), kNobody, 1), 0);  // group daemon
        ASSERT_EQ(tavrel_test::run_program({"setfacl", "-m", "u:daemon:r", file}).status, 0);
        ASSERT_EQ(::chmod(file.c_str(), b.secret ? 0600 : 0640), 0);  // after the ACL, which sets the mask
        ASSERT_EQ(setxattr(file.c_str(), "user.origin", "kept", 4, 0), 0);
        const std::string before = kept(file);
        const ino_t previous = inode(file);
        const bool ran = in_child(c.child, [&] {
            const std::ptrdiff_t descriptors = open_descriptors();
            EXPECT_EQ(b.succeeds(), c.outcome != Outcome::failed);
            EXPECT_EQ(open_descriptors(), descriptors) << "a descriptor left open";
            EXPECT_TRUE(!c.error || logged(Level::Error, c.error + std::string(b.path) + ": " + strerror(c.child.error)));
        });
        if (!ran) GTEST_SKIP() << "no seccomp filter here (an emulator?)";
        EXPECT_EQ(read(b.path) == kPrevious, c.outcome == Outcome::failed);
        EXPECT_EQ(inode(file) == previous, c.outcome != Outcome::replaced);
        EXPECT_EQ(kept(file) == before, c.attributes_kept);
        expect_clean();
    }
}

INSTANTIATE_TEST_SUITE_P(Situations, Replaced, ::testing::ValuesIn(kCases),
                         [](const auto &row) { return std::string(row.param.name); });

// ---- Where the file cannot simply be replaced -----------------------------------

// A directory that cannot be written, where the file can: the file is
// written whole where it is, untouched when the build fails (even by a
// builder that removes). A file holding secrets must be made private first;
// where its owner is another user that cannot be done, and the build fails
// with the previous file as it was. A link at the target is followed to the
// file it finally names, which is replaced in its own directory; the link
// stays. A dangling link gets its file.
TEST_F(Output, TheTextLandsWhereTheFileIs) {
    for (const std::string how : {"read-only", "read-only, root's", "absolute", "relative", "chain of two", "dangling"}) {
        SCOPED_TRACE(how);
        const bool read_only = how.starts_with("read-only");
        const bool roots = how.ends_with("root's");
        for (const Builder &b : kBuilders) {
            SCOPED_TRACE(b.name);
            const fs::path dir = fs::path(path(b.path)).parent_path();
            const std::string linked = "/data/" + std::string(b.name), hop = "/data/hop/" + std::string(b.name);
            const std::string at = read_only ? b.path : linked;  // where the text belongs
            for (const std::string &p : {std::string(b.path), linked, hop}) unlink(path(p).c_str());
            if (how != "dangling") {
                write(at, kPrevious, 0666);
                ASSERT_EQ(::chown(path(at).c_str(), roots ? 0 : kNobody, roots ? 0 : kNobody), 0);
            }
            std::string to = path(linked);
            if (how == "relative") {  // from the link's own directory
                to = linked.substr(1);
                for (auto up = std::ranges::count(std::string_view(b.path), '/'); up > 1; --up) to.insert(0, "../");
            }
            if (how == "chain of two") {
                ASSERT_EQ(symlink(to.c_str(), path(hop).c_str()), 0);
                to = path(hop);
            }
            if (!read_only) {
                ASSERT_EQ(symlink(to.c_str(), path(b.path).c_str()), 0);
            }
            ::chmod(dir.c_str(), read_only ? 0555 : 0755);
            const bool refused = b.secret && roots;
            in_child({}, [&] {
                EXPECT_EQ(b.succeeds(), !refused);
                EXPECT_EQ(read(at).value_or(kPrevious) == kPrevious, refused);
                // kept, or a new file's
                EXPECT_EQ(mode_of(at), b.secret && !refused ? 0600u : how == "dangling" ? 0644u : 0666u);
                EXPECT_TRUE(!refused || messages(Level::Error).back().starts_with("Failed to set the mode of "));
                EXPECT_EQ(fs::is_symlink(path(b.path)), !read_only);
                if (!b.fails) return;
                const std::optional<std::string> before = read(at);
                EXPECT_FALSE(b.fails());
                EXPECT_EQ(fs::is_symlink(path(b.path)), !read_only);
                EXPECT_EQ(read(at), b.failure_removes && !read_only ? std::nullopt : before);
            });
            expect_clean();
            ::chmod(dir.c_str(), 0755);
        }
    }
}

// Nothing can be opened where a directory stands, where links loop or where
// the directory is missing: each builder logs its own open failure and stops
// there, before any realm is recorded or any line reported written.
TEST_F(Output, ATargetThatCannotBeOpenedIsAnOpenFailure) {
    for (const std::string how : {"directory", "loop of links", "no directory"}) {
        SCOPED_TRACE(how);
        for (const Builder &b : kBuilders) {
            SCOPED_TRACE(b.name);
            const std::string dir = fs::path(path(b.path)).parent_path();
            unlink(path(b.path).c_str());
            if (how == "directory") fs::create_directory(path(b.path));
            if (how == "loop of links") symlink(path(b.path).c_str(), path(b.path).c_str());
            if (how == "no directory") fs::rename(dir, dir + ".away");
            in_child({}, [&] {
                host::log_clear();
                EXPECT_FALSE(b.succeeds());
                const std::vector<std::string> errors = messages(Level::Error);
                EXPECT_TRUE(b.open_error ? errors.size() == 1 && errors[0].starts_with(b.open_error) : errors.empty())
                    << ::testing::PrintToString(errors);
                EXPECT_EQ(sm_get_current_realm_name(), nullptr);
                EXPECT_TRUE(messages(Level::Info).empty()) << ::testing::PrintToString(messages(Level::Info));
            });
            fs::remove(path(b.path));
            if (how == "no directory") fs::rename(dir + ".away", dir);
        }
    }
    expect_clean();
}

// ---- No secret outlives the build -------------------------------------------

// After each supplicant build that took a psk, WEP key, password or key
// password (written, or dropped when the build failed), the library's
// writable memory holds no copy of it, as given or in the hex form the file
// may hold it in.
struct Secret {
    const char *name, *secret;
    bool (*build)(const char *secret);
    bool written = true;
};

constexpr char kHexDigits[] = "0123456789abcdef";
const std::string kLongPath(2000, 'c');  // too long for a line of the file: the build fails there
const Secret kSecretCases[] = {
    {"wep_text", "wep-k", [](const char *s) { return wep(s) == 1; }},
    {"wep_hex", "0123456789", [](const char *s) { return wep(s, 1) == 1; }},
    {"wep_quote_as_hex", "ab\"cd", [](const char *s) { return wep(s) == 1; }},
    {"psk_passphrase", "psk-secret-9", [](const char *s) { return personal({"office", 3, 1, s}) == 1; }},
    {"psk_key", "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff", [](const char *s) { return personal({"office", 3, 1, s}) == 1; }},
    {"password", "pw-secret-1", [](const char *s) { return enterprise([s](auto &p) { p.password = s; })() == 1; }},
    {"password_as_hex", "pw\"secret", [](const char *s) { return enterprise([s](auto &p) { p.password = s; })() == 1; }},
    {"key_password", "kp-secret-2", [](const char *s) { return enterprise([s](auto &p) { p.private_key_passwd = s; }, CF_IO_EAP_TLS)() == 1; }},
    {"dropped_after_password", "pw-secret-3", [](const char *s) { return enterprise([s](auto &p) { p.password = s; p.ca_cert = kLongPath.c_str(); })() == 1; }, false},
};

class SecretsWiped : public tavrel_test::TavrelTest {};

TEST_F(SecretsWiped, NoCopyIsLeftInTheLibrarysMemory) {
    ASSERT_FALSE(tavrel_test::library_memory().empty());  // the library was found
    for (const Secret &c : kSecretCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.build(c.secret), c.written);
        std::string hex;
        for (const unsigned char b : std::string_view(c.secret)) hex += {kHexDigits[b >> 4], kHexDigits[b & 15]};
        const std::string memory = tavrel_test::library_memory();
        for (const std::string &form : {std::string(c.secret), hex}) EXPECT_EQ(memory.find(form), memory.npos) << form;
    }
}

}  // namespace
