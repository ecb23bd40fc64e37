// --dry-run. diff -u (diffutils) prints each change; the labels are the
// paths under the root with git's a/ and b/ in front, so the output applies
// with `patch -p1 -d ROOT`.
#include "dry_run.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <vector>

extern char **environ;

namespace tool {

namespace {

namespace fs = std::filesystem;

// Every file the library writes.
constexpr const char *kOutputFiles[] = {
    "/etc/smb.conf.auth",         "/etc/smb.conf.file",
    "/etc/krb5.conf",             "/usr/heimdal/etc/krb5.conf",
    "/etc/pam.d/pam_cac",         "/etc/wpa_supplicant/eth0/wpa_supplicant.conf",
    "/etc/wpa_supplicant/wlan0/wpa_supplicant.conf",
};

// The file's bytes; nullopt when there is no file.
std::optional<std::string> contents(const std::string &path, bool &failed) {
    std::error_code error;
    if (!fs::exists(path, error)) {
        if (error) failed = true;
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string text;
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0)
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
    if (!in.eof()) failed = true;
    return text;
}

// Runs `diff -u`; its status 1 ("files differ") is what a change gives.
bool print_diff(const std::string &fixed, const std::string &before, bool had_before, const std::string &after,
                bool has_after) {
    const std::string old_label = had_before ? "a" + fixed : "/dev/null";
    const std::string new_label = has_after ? "b" + fixed : "/dev/null";
    const std::string old_file = had_before ? before : "/dev/null";
    const std::string new_file = has_after ? after : "/dev/null";
    std::vector<std::string> argv{"diff", "-u", "--label", old_label, "--label", new_label, old_file, new_file};
    std::vector<char *> args;
    args.reserve(argv.size() + 1);
    for (std::string &arg : argv) args.push_back(arg.data());
    args.push_back(nullptr);
    std::cout.flush();
    pid_t pid = 0;
    int status = 0;
    const int spawned = posix_spawnp(&pid, "diff", nullptr, nullptr, args.data(), environ);
    if (spawned != 0) {
        std::cerr << "tavrel: --dry-run: cannot run diff: " << std::strerror(spawned) << '\n';
        return false;
    }
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) > 1) {
        std::cerr << "tavrel: --dry-run: diff failed on " << fixed << '\n';
        return false;
    }
    return true;
}

}  // namespace

DryRun::~DryRun() {
    std::error_code ignored;
    if (!scratch_.empty()) fs::remove_all(scratch_, ignored);
}

bool DryRun::start(const std::string &root) {
    root_ = root == "/" ? "" : root;
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tavrel-dry-run-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::cerr << "tavrel: --dry-run: cannot make a temporary directory: " << std::strerror(errno) << '\n';
        return false;
    }
    scratch_ = pattern;
    for (const char *fixed : kOutputFiles) {
        const std::string source = root_ + fixed;
        std::error_code error;
        if (!fs::exists(source, error)) {
            if (!error) continue;
        } else {
            const fs::path copy = scratch_ + fixed;
            fs::create_directories(copy.parent_path(), error);
            if (!error) fs::copy_file(source, copy, error);
        }
        if (error) {
            std::cerr << "tavrel: --dry-run: cannot copy " << source << ": " << error.message() << '\n';
            return false;
        }
        copied_.insert(fixed);
    }
    return true;
}

bool DryRun::report() const {
    // The copies, and whatever the command wrote besides them.
    std::set<std::string> files = copied_;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(scratch_, error); !error && it != fs::end(it);
         it.increment(error))
        if (it->is_regular_file()) files.insert(it->path().string().substr(scratch_.size()));
    if (error) {
        std::cerr << "tavrel: --dry-run: cannot list " << scratch_ << ": " << error.message() << '\n';
        return false;
    }
    bool ok = true;
    for (const std::string &fixed : files) ok = report_file(fixed) && ok;
    return ok;
}

bool DryRun::report_file(const std::string &fixed) const {
    const std::string before = root_ + fixed;
    const std::string after = scratch_ + fixed;
    bool failed = false;
    const std::optional<std::string> old_text = contents(before, failed);
    const std::optional<std::string> new_text = contents(after, failed);
    if (failed) {
        std::cerr << "tavrel: --dry-run: cannot read " << fixed << '\n';
        return false;
    }
    return old_text == new_text || print_diff(fixed, before, old_text.has_value(), after, new_text.has_value());
}

}  // namespace tool
