#include "tavrel_test.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "settings.h"
#include "svcmon.h"

extern char **environ;

namespace tavrel_test {

namespace fs = std::filesystem;

namespace {

// Reads and closes a file. Programs write into unlinked temporary files, not
// pipes, so a chatty one (wpa_supplicant -dd) never blocks on a full pipe.
std::string contents(std::FILE *file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
    return text;
}

}  // namespace

void TavrelTest::SetUp() {
    host::reset();
    host::log_set_echo(host::Echo::Quiet);
    char dir[] = "/tmp/tavrel-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    root_ = dir;
    for (const char *d : {"/etc/pam.d", "/etc/wpa_supplicant/eth0", "/etc/wpa_supplicant/wlan0", "/usr/heimdal/etc"})
        fs::create_directories(root_ + d);  // where the builders write
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
    std::FILE *file = std::fopen(path(fixed).c_str(), "rb");
    return file ? std::optional(contents(file)) : std::nullopt;
}

void TavrelTest::write(const std::string &fixed, const std::string &text, mode_t mode) const {
    fs::create_directories(fs::path(path(fixed)).parent_path());
    std::ofstream(path(fixed), std::ios::binary | std::ios::trunc) << text;
    ::chmod(path(fixed).c_str(), mode);
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

ToolRun run_program(const std::vector<std::string> &argv) {
    ToolRun result;
    std::FILE *out = std::tmpfile(), *err = std::tmpfile();
    if (out == nullptr || err == nullptr) return result;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fileno(out), 1);
    posix_spawn_file_actions_adddup2(&actions, fileno(err), 2);
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid;
    int status = 0;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0 && waitpid(pid, &status, 0) == pid)
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    else
        std::fprintf(err, "cannot run %s", argv[0].c_str());
    posix_spawn_file_actions_destroy(&actions);
    result.out = contents(out);
    result.err = contents(err);
    return result;
}

ToolRun run_tool(const std::vector<std::string> &args) {
    std::vector<std::string> argv{TAVREL_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv);
}

std::string capture_stderr(const std::function<void()> &f) {
    std::FILE *file = std::tmpfile();
    if (file == nullptr) return {};
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(fileno(file), 2);
    f();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return contents(file);
}

std::string record_text(int32_t id) {
    SvcMonAttr *r = SvcMon_GetAttr(id);
    if (r == nullptr) return "none";
    const bool text = r->type == SVCMON_TYPE_TEXT || r->type == SVCMON_TYPE_ADDRESS;
    const std::string value = text ? "'" + std::string(r->value.text) + "'" : std::to_string(r->value.integer);
    std::string out = std::to_string(r->type) + " " + std::to_string(r->attr_id) + " " + value + " " +
                      std::to_string(r->port);
    SvcMon_Free(r);
    return out;
}

}  // namespace tavrel_test
