#include "tavrel_test.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>

extern char **environ;

namespace tavrel_test {

namespace fs = std::filesystem;

void TavrelTest::SetUp() {
    host::reset();
    host::log_set_echo(host::Echo::Quiet);
    host::log_set_capture(true);  // the tests read every record back
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

std::optional<std::string> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return (std::ostringstream() << in.rdbuf()).str();
}

void TavrelTest::write(const std::string &fixed, const std::string &text, mode_t mode) const {
    fs::create_directories(fs::path(path(fixed)).parent_path());
    std::ofstream(path(fixed), std::ios::binary | std::ios::trunc) << text;
    ::chmod(path(fixed).c_str(), mode);
}

mode_t TavrelTest::mode_of(const std::string &fixed) const {
    struct stat st;
    return ::stat(path(fixed).c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::vector<std::string> TavrelTest::strays() const {
    std::vector<std::string> found;
    for (const auto &entry : fs::recursive_directory_iterator(root_))
        if (entry.path().filename().string().starts_with(".")) found.push_back(entry.path());
    return found;
}

std::vector<std::string> TavrelTest::messages(host::Level level) const {
    std::vector<std::string> out;
    for (const auto &r : logs()) if (r.level == level) out.push_back(r.message);
    return out;
}

std::vector<std::string> TavrelTest::log_lines() const {
    std::vector<std::string> out;
    for (const auto &r : logs()) out.push_back(std::string(host::level_name(r.level)) + " " + r.message);
    return out;
}

Lines lines_of(const std::string &text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

Lines files_in(const std::string &relative_dir, std::string_view suffix) {
    Lines names;
    const fs::path dir = source_path(relative_dir);
    for (const auto &entry : fs::recursive_directory_iterator(dir))
        if (entry.path().string().ends_with(suffix)) names.push_back(fs::relative(entry.path(), dir).string());
    std::ranges::sort(names);
    return names;
}

// The program writes into GoogleTest's captures, which are temporary files,
// not pipes: a chatty one (wpa_supplicant -dd) never blocks on a full pipe.
ToolRun run_program(const std::vector<std::string> &argv) {
    std::vector<char *> args;
    for (const auto &a : argv) args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    pid_t pid;
    int status = 0;
    int code = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) == 0 && waitpid(pid, &status, 0) == pid)
        code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    else
        std::fprintf(stderr, "cannot run %s", args[0]);
    posix_spawn_file_actions_destroy(&actions);
    // A braced list is evaluated left to right: standard output is taken first.
    return {code, testing::internal::GetCapturedStdout(), testing::internal::GetCapturedStderr()};
}

ToolRun run_tool(const std::vector<std::string> &args) {
    std::vector<std::string> argv{TAVREL_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv);
}

std::string capture_stderr(const std::function<void()> &f) {
    testing::internal::CaptureStderr();
    f();
    return testing::internal::GetCapturedStderr();
}

}  // namespace tavrel_test
