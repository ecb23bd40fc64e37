#include "tavrel_test.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "settings.h"

extern char **environ;

namespace tavrel_test {

namespace fs = std::filesystem;

namespace {

// The directories the builders write into.
const char *const kOutputDirs[] = {"/etc/pam.d", "/etc/wpa_supplicant/eth0", "/etc/wpa_supplicant/wlan0",
                                   "/usr/heimdal/etc"};

std::string slurp_fd(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<std::size_t>(n));
    return text;
}

}  // namespace

void TavrelTest::SetUp() {
    host::reset();
    host::log_set_echo(host::Echo::Quiet);
    char dir[] = "/tmp/tavrel-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root_ = dir;
    for (const char *d : kOutputDirs) fs::create_directories(root_ + d);
    setenv("TAVREL_ROOT", root_.c_str(), 1);
}

void TavrelTest::TearDown() {
    const host::RecordCounts counts = host::svcmon_counts();
    EXPECT_EQ(counts.outstanding(), 0u) << "service-monitor records not returned";
    EXPECT_EQ(counts.bad_frees, 0u) << "service-monitor records returned twice or never handed out";
    unsetenv("TAVREL_ROOT");
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
}

std::optional<std::string> TavrelTest::read(const std::string &fixed) const {
    std::ifstream in(path(fixed), std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void TavrelTest::write(const std::string &fixed, const std::string &text, mode_t mode) const {
    const std::string p = path(fixed);
    fs::create_directories(fs::path(p).parent_path());
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
    ::chmod(p.c_str(), mode);
}

bool TavrelTest::exists(const std::string &fixed) const {
    struct stat st;
    return ::lstat(path(fixed).c_str(), &st) == 0;
}

mode_t TavrelTest::mode_of(const std::string &fixed) const {
    struct stat st;
    if (::stat(path(fixed).c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

void TavrelTest::load(const std::string &toml) const {
    host::apply_settings(host::load_settings_text(toml, "test.toml"));
    host::log_set_echo(host::Echo::Quiet);
}

std::vector<std::string> TavrelTest::messages(host::Level level) const {
    std::vector<std::string> out;
    for (const auto &r : logs())
        if (r.level == level) out.push_back(r.message);
    return out;
}

std::vector<std::string> TavrelTest::log_lines() const {
    std::vector<std::string> out;
    for (const auto &r : logs()) out.push_back(std::string(host::level_name(r.level)) + " " + r.message);
    return out;
}

bool TavrelTest::logged(host::Level level, const std::string &message) const {
    for (const auto &r : logs())
        if (r.level == level && r.message == message) return true;
    return false;
}

bool TavrelTest::nowhere_in_log(const std::string &text) const {
    for (const auto &r : logs())
        if (r.message.find(text) != std::string::npos) return false;
    return true;
}

// Output goes to unlinked temporary files, not pipes, so a chatty program
// (wpa_supplicant -dd) can never block on a full pipe.
static int anonymous_file() {
    char name[] = "/tmp/tavrel-run-XXXXXX";
    const int fd = mkstemp(name);
    if (fd >= 0) unlink(name);
    return fd;
}

static std::string rewind_and_slurp(int fd) {
    lseek(fd, 0, SEEK_SET);
    std::string text = slurp_fd(fd);
    close(fd);
    return text;
}

ToolRun run_program(const std::vector<std::string> &argv) {
    ToolRun result;
    const int out_fd = anonymous_file();
    const int err_fd = anonymous_file();
    if (out_fd < 0 || err_fd < 0) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out_fd, 1);
    posix_spawn_file_actions_adddup2(&actions, err_fd, 2);
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        close(out_fd);
        close(err_fd);
        result.err = "cannot run " + argv[0];
        return result;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = rewind_and_slurp(out_fd);
    result.err = rewind_and_slurp(err_fd);
    return result;
}

ToolRun run_tool(const std::vector<std::string> &args) {
    std::vector<std::string> argv{TAVREL_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv);
}

std::string capture_stderr_fn(void (*f)(void *), void *context) {
    std::fflush(stderr);
    char name[] = "/tmp/tavrel-stderr-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) return {};
    unlink(name);
    const int saved = dup(2);
    dup2(fd, 2);
    f(context);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return rewind_and_slurp(fd);
}

std::string source_path(const std::string &relative) { return std::string(TAVREL_SOURCE_DIR) + "/" + relative; }

}  // namespace tavrel_test
