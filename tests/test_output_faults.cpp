// Every builder where its file cannot simply be replaced: a read-only
// directory, a link at the target (followed or dangling), a directory
// standing at the target, a full file system. Run as an unprivileged user
// (the suite drops to nobody when it runs as root, where no permission would
// ever be refused): each build succeeds or fails as it says, a failed build
// leaves the previous file byte for byte, no temporary file remains, and no
// file the build wrote secrets into is readable by others.
#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "tavrel/tavrel.h"
#include "tavrel/SambaConfig.h"
#include "tavrel_test.h"

namespace {

namespace fs = std::filesystem;
using host::Level;

constexpr uid_t kNobody = 65534;
const std::string kPrevious = "previous text\n";

const std::string kSettings = R"(
[network]
address = "192.0.2.20"
netmask = "255.255.255.0"
[platform]
fips = false
hosts = { "dc1.corp.example" = "192.0.2.5", "kdc1.corp.example" = "192.0.2.5", "corp.example" = "192.0.2.5" }
[smb]
method = "domain"
[[smb.auth]]
domain = "CORP"
address = "192.0.2.5"
hostname = "dc1.corp.example"
[[kerberos]]
realm = "CORP.EXAMPLE"
kdc = "kdc1.corp.example"
kdc_address = ""
kdc_port = 88
backup_kdc = ""
backup_kdc_address = "0.0.0.0"
backup_kdc_port = 88
[config]
"services[scan2file].resolveHostname" = true
"connectivity.ipproxy.enabled" = false
"authentication.smartcard.ocsp.enabled" = true
"authentication.smartcard.ocsp.url" = "http://ocsp.corp.example/"
)";

// One builder: its file, whether that holds secrets, a build that succeeds
// and (where the builder has one) a build whose course fails, and what it
// logs when its file cannot be opened.
struct Builder {
    const char *name;
    const char *path;
    bool secret;
    std::function<bool()> succeeds;
    std::function<bool()> fails;  // null: no course that fails once the file is open
    bool failure_removes;         // the builder removes its file when the course fails
    const char *open_error;       // null: it logs nothing
};

// The Kerberos builders upper-case the caller's realm in place: each call gets its own copy.
struct Realm {
    char text[64];
    explicit Realm(const char *r) { snprintf(text, sizeof text, "%s", r); }
};

CF_IO_8021x_Params wired(const char *password) {
    return {CF_IO_IFACE_WIRED, nullptr, 0, 0, CF_IO_EAP_PEAP_MSCHAPV2, "alice", password, nullptr, nullptr,
            nullptr, nullptr, nullptr};
}
bool open_net(uint32_t mode) {
    const CF_IO_Wireless_Params p{"office", mode, 0, nullptr};
    return cf_build_wireless_nosecurity_8021x_conf_for_authentication(&p) == 1;
}
bool wep(const char *key) {
    const CF_IO_WEP_Params p{"office", CF_IO_SECMODE_WEP, key, 0, 0, 0, 0};
    return cf_build_wireless_wep_8021x_conf_for_authentication(&p) == 1;
}
bool personal(const char *psk) {
    const CF_IO_Wireless_Params p{"office", CF_IO_SECMODE_WPA2_PSK, 1, psk};
    return cf_build_wireless_personal_8021x_conf_for_authentication(&p) == 1;
}
bool enterprise(const char *password) {
    const CF_IO_8021x_Params p = wired(password);
    return cf_build_enterprise_8021x_conf_for_authentication(&p) == 1;
}
bool record(const char *kdc) {
    krb_server_settings s{};
    snprintf(s.realm, sizeof s.realm, "%s", "CORP.EXAMPLE");
    snprintf(s.kdc_hostname, sizeof s.kdc_hostname, "%s", kdc);
    s.kdc_port = 88;
    return cf_build_krb_conf_with_XML_data(&s) == 1;
}
bool filing() {
    char server[] = "192.0.2.30";
    char path[] = "scans";
    return build_smb_conf_for_filing(server, path) == 0;
}

constexpr char kWireless[] = CF_IO_WIRELESS_CONF_PATH;
constexpr char kWirelessOpenError[] = "Error opening file " CF_IO_WIRELESS_CONF_PATH;

const std::vector<Builder> &builders() {
    static const std::vector<Builder> all = {
        {"smb.conf.auth", "/etc/smb.conf.auth", false, [] { return build_smb_conf_for_authentication() == 1; },
         [] { host::svcmon_unset(81); return build_smb_conf_for_authentication() == 1; }, true, nullptr},
        {"smb.conf.file", "/etc/smb.conf.file", false, filing, nullptr, false, "Unable to open SMB configuration file"},
        {"krb5", "/etc/krb5.conf", false, [] { return build_krb5_conf() == 1; },
         [] { host::svcmon_unset(36); return build_krb5_conf() == 1; }, true, "build_krb5_conf - Error opening file /etc/krb5.conf"},
        {"krb5-record", "/etc/krb5.conf", false, [] { return record("kdc1.corp.example"); }, [] { return record(""); },
         false, "cf_build_krb_conf_with_XML_data - Error opening file /etc/krb5.conf"},
        {"krb5-realm", "/etc/krb5.conf", false,
         [] { return cf_build_krb_config_file_with_realm_only(Realm("corp.example").text) == 1; },
         [] { return cf_build_krb_config_file_with_realm_only(Realm("unknown.example").text) == 1; }, true, nullptr},
        {"krb5-service", "/etc/krb5.conf", false,
         [] { return cf_build_krb_conf_file_with_this(Realm("CORP.EXAMPLE").text, 1) == 1; },
         [] { return cf_build_krb_conf_file_with_this(Realm("CORP.EXAMPLE").text, 2) == 1; }, true,
         "cf_build_krb_conf_file_with_this - Error opening file /etc/krb5.conf"},
        {"krb5-cac", "/usr/heimdal/etc/krb5.conf", false,
         [] { return cf_build_krb_conf_file_for_CAC(Realm("corp.example").text, "kdc1.corp.example", 88, 0) == 1; },
         nullptr, false, "cf_build_krb_conf_file_for_CAC - Error opening file /usr/heimdal/etc/krb5.conf"},
        {"pam-cac", "/etc/pam.d/pam_cac", false, [] { return cf_build_pam_conf_file_for_CAC() == 1; }, nullptr, false,
         "Error Opening /etc/pam.d/pam_cac for writing: Error: "},
        {"wifi-open", kWireless, true, [] { return open_net(0); }, [] { return open_net(6); }, false, kWirelessOpenError},
        {"wifi-wep", kWireless, true, [] { return wep("wep-k"); }, [] { return wep("wep-key-6"); }, false, kWirelessOpenError},
        {"wifi-personal", kWireless, true, [] { return personal("psk-secret-9"); }, [] { return personal("short"); },
         false, kWirelessOpenError},
        {"dot1x", CF_IO_WIRED_CONF_PATH, true, [] { return enterprise("pw-secret-1"); }, [] { return enterprise(nullptr); },
         false, "Error opening file " CF_IO_WIRED_CONF_PATH},
    };
    return all;
}

const char *const kSecrets[] = {"pw-secret-1", "psk-secret-9", "wep-k"};

class OutputFaults : public tavrel_test::TavrelTest {
protected:
    void SetUp() override {
        TavrelTest::SetUp();
        load(kSettings);
        as_root_ = geteuid() == 0;
        // Let the unprivileged user in: the root and every directory in it.
        ::chmod(root().c_str(), 0755);
        for (const auto &entry : fs::recursive_directory_iterator(root())) own(entry.path());
        own(root());
    }

    // A directory or file of the test becomes the unprivileged user's.
    void own(const fs::path &p) const {
        if (as_root_ && ::chown(p.c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << "cannot chown " << p;
    }

    // Runs body in a child process as the unprivileged user (after setup, as
    // the test's own user); the test fails when the child's checks did.
    void as_unprivileged(const std::function<void()> &body, const std::function<bool()> &setup = nullptr) {
        std::fflush(nullptr);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (setup && !setup()) _exit(3);
            if (as_root_ && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(4);
            // Only the child's own checks count, not those the test failed before.
            const ::testing::TestResult &result = *::testing::UnitTest::GetInstance()->current_test_info()->result();
            const int before = result.total_part_count();
            body();
            bool failed = false;
            for (int i = before; i < result.total_part_count(); ++i) failed |= result.GetTestPartResult(i).failed();
            std::fflush(nullptr);
            _exit(failed ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    }

    // Every builder in turn, each with its file's previous text in place
    // (prepare makes the place), and check() on what it left.
    void each_builder(const std::function<void(const Builder &)> &prepare,
                      const std::function<void(const Builder &)> &run) {
        for (const Builder &b : builders()) {
            SCOPED_TRACE(b.name);
            prepare(b);
            run(b);
        }
    }

    // A file that holds a secret a build passed is readable by nobody else.
    void expect_secrets_private() const {
        for (const auto &entry : fs::recursive_directory_iterator(root())) {
            if (!entry.is_regular_file()) continue;
            const std::string text = read(entry.path().string().substr(root().size())).value_or("");
            for (const char *secret : kSecrets) {
                if (text.find(secret) == std::string::npos) continue;
                EXPECT_EQ(fs::status(entry.path()).permissions() & fs::perms::all,
                          fs::perms::owner_read | fs::perms::owner_write)
                    << entry.path();
            }
        }
    }

    bool as_root_ = false;
};

// The directory of the target cannot be written, the file can: written whole
// where it is, untouched when the build fails. A file holding secrets must be
// made private first; where its owner is another user that cannot be done,
// and the build fails with the previous file as it was.
TEST_F(OutputFaults, AReadOnlyDirectoryTakesTheFileInPlace) {
    for (const bool others_file : {false, true}) {
        if (others_file && !as_root_) continue;  // only root can hand out a file of another owner
        SCOPED_TRACE(others_file ? "the file is another user's" : "the file is the builder's");
        each_builder(
            [&](const Builder &b) {
                const fs::path dir = fs::path(path(b.path)).parent_path();
                ::chmod(dir.c_str(), 0755);
                write(b.path, kPrevious, 0666);
                if (!others_file) own(path(b.path));
                else if (as_root_) ::chown(path(b.path).c_str(), 0, 0);
                ::chmod(path(b.path).c_str(), 0666);
                ::chmod(dir.c_str(), 0555);
            },
            [&](const Builder &b) {
                const bool refused = b.secret && others_file;
                as_unprivileged([&] {
                    EXPECT_EQ(b.succeeds(), !refused);
                    if (refused) {
                        EXPECT_EQ(read(b.path), kPrevious);
                        EXPECT_EQ(messages(Level::Error).back().find("Failed to set the mode of "), 0u);
                    } else {
                        EXPECT_NE(read(b.path), kPrevious);
                        EXPECT_EQ(mode_of(b.path), b.secret ? 0600u : 0666u);
                    }
                    if (!b.fails) return;
                    const std::optional<std::string> before = read(b.path);
                    EXPECT_FALSE(b.fails());
                    EXPECT_EQ(read(b.path), before);  // even a builder that removes cannot here
                });
                EXPECT_TRUE(strays().empty());
                expect_secrets_private();
                ::chmod(fs::path(path(b.path)).parent_path().c_str(), 0755);
            });
    }
}

// A link at the target is followed to the file it names, which is replaced
// in its own directory; the link stays. A dangling link gets its file.
TEST_F(OutputFaults, ALinkAtTheTargetKeepsItsPlace) {
    for (const bool dangling : {false, true}) {
        SCOPED_TRACE(dangling ? "dangling link" : "link to the previous file");
        each_builder(
            [&](const Builder &b) {
                fs::create_directories(path("/data"));
                own(path("/data"));
                const std::string linked = "/data/" + std::string(b.name);
                unlink(path(b.path).c_str());
                unlink(path(linked).c_str());
                if (!dangling) write(linked, kPrevious, 0644), own(path(linked));
                ASSERT_EQ(symlink(path(linked).c_str(), path(b.path).c_str()), 0);
            },
            [&](const Builder &b) {
                const std::string linked = "/data/" + std::string(b.name);
                as_unprivileged([&] {
                    EXPECT_TRUE(b.succeeds());
                    EXPECT_TRUE(fs::is_symlink(path(b.path)));
                    EXPECT_NE(read(linked), std::nullopt);
                    EXPECT_NE(read(linked), kPrevious);
                    if (b.secret) {
                        EXPECT_EQ(mode_of(linked), 0600u);
                    }
                    if (!b.fails) return;
                    const std::optional<std::string> before = read(linked);
                    EXPECT_FALSE(b.fails());
                    EXPECT_TRUE(fs::is_symlink(path(b.path)));
                    EXPECT_EQ(read(linked), b.failure_removes ? std::nullopt : before);
                });
                EXPECT_TRUE(strays().empty());
                expect_secrets_private();
            });
    }
}

// Nothing can be opened where a directory stands: each builder logs its own
// open failure and stops there, before any realm is recorded or any line
// reported written.
TEST_F(OutputFaults, ADirectoryAtTheTargetIsAnOpenFailure) {
    each_builder(
        [&](const Builder &b) {
            unlink(path(b.path).c_str());
            fs::create_directories(path(b.path));
            own(path(b.path));
        },
        [&](const Builder &b) {
            as_unprivileged([&] {
                host::log_clear();
                EXPECT_FALSE(b.succeeds());
                const std::vector<std::string> errors = messages(Level::Error);
                if (b.open_error) {
                    ASSERT_EQ(errors.size(), 1u) << ::testing::PrintToString(errors);
                    EXPECT_EQ(errors[0].find(b.open_error), 0u) << errors[0];
                } else {
                    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
                }
                EXPECT_EQ(sm_get_current_realm_name(), nullptr);
                EXPECT_TRUE(messages(Level::Info).empty()) << ::testing::PrintToString(messages(Level::Info));
                EXPECT_TRUE(fs::is_directory(path(b.path)));
            });
            fs::remove(path(b.path));
        });
    EXPECT_TRUE(strays().empty());
}

// A file system with no room left: every build fails at its write, the
// previous file stays byte for byte and the temporary file is gone. The
// file system is a small tmpfs in a mount namespace of the child's own.
TEST_F(OutputFaults, AFullFileSystemFailsTheBuildAndKeepsThePreviousFile) {
    if (!as_root_) GTEST_SKIP() << "mounting a small tmpfs needs root";
    const auto fill = [&] {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
        if (mount("tmpfs", root().c_str(), "tmpfs", 0, "size=64k,mode=0755") != 0) return false;
        for (const Builder &b : builders()) {
            write(b.path, kPrevious, 0644);
            for (fs::path p = fs::path(path(b.path)); p != fs::path(root()); p = p.parent_path()) own(p);
        }
        std::ofstream filler(root() + "/filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) filler.flush();
        return true;
    };
    const auto probe = [] {
        // Without mount namespaces (some containers) there is nothing to try.
        return unshare(CLONE_NEWNS) == 0;
    };
    {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) _exit(probe() ? 0 : 1);
        int status = 0;
        waitpid(pid, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) GTEST_SKIP() << "no mount namespaces here";
    }
    as_unprivileged(
        [&] {
            for (const Builder &b : builders()) {
                SCOPED_TRACE(b.name);
                host::log_clear();
                EXPECT_FALSE(b.succeeds());
                EXPECT_EQ(read(b.path), kPrevious);
                const std::vector<std::string> errors = messages(Level::Error);
                EXPECT_EQ(std::ranges::count(errors, "Failed to write " + std::string(b.path) + ": No space left on device"), 1)
                    << ::testing::PrintToString(errors);
                EXPECT_TRUE(strays().empty()) << ::testing::PrintToString(strays());
            }
        },
        fill);
}

}  // namespace
