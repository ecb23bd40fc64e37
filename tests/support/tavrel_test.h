// Fixture for every library test: a fresh host platform, a private root for
// the files the builders write (TAVREL_ROOT), and the log records captured.
// After each test every service-monitor record handed out must have been
// returned exactly once.
//
// It also brings what nearly every test file uses: GoogleTest, the standard
// containers and algorithms, the exported interface and the host controls.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "host_control.h"
#include "settings.h"
#include "tavrel/tavrel.h"

namespace tavrel_test {

using Lines = std::vector<std::string>;

// Contents of a file; nullopt when it does not exist.
std::optional<std::string> read_file(const std::string &path);

class TavrelTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::string &root() const { return root_; }
    // The real path of a fixed path ("/etc/krb5.conf") under the root.
    std::string path(const std::string &fixed) const { return root_ + fixed; }
    // Contents of a written file; nullopt when it does not exist.
    std::optional<std::string> read(const std::string &fixed) const { return read_file(path(fixed)); }
    void write(const std::string &fixed, const std::string &text, mode_t mode = 0644) const;
    mode_t mode_of(const std::string &fixed) const;  // 0 when it does not exist
    // Files whose name begins with '.' anywhere under the root: temporary files left behind.
    std::vector<std::string> strays() const;

    // Loads a settings snapshot (TOML text) into the host platform.
    void load(const std::string &toml) const { host::apply_settings(host::load_settings_text(toml, "test.toml")); }

    const std::vector<host::LogRecord> &logs() const { return host::log_records(); }
    // Messages at a level, in order.
    std::vector<std::string> messages(host::Level level) const;
    // All records as "LEVEL message" lines, in order: for whole-sequence checks.
    std::vector<std::string> log_lines() const;
    bool logged(host::Level level, const std::string &message) const { return std::ranges::count(messages(level), message) > 0; }
    // True when no record's message contains the text (for secrets).
    bool nowhere_in_log(const std::string &text) const {
        return std::ranges::none_of(logs(), [&](const auto &r) { return r.message.find(text) != std::string::npos; });
    }

private:
    std::string root_;
};

// Runs a program (not through a shell) with standard input /dev/null.
struct ToolRun { int status = -1; std::string out, err; };
ToolRun run_program(const std::vector<std::string> &argv);
// Runs the tavrel tool with the arguments.
ToolRun run_tool(const std::vector<std::string> &args);

// Everything f writes to standard error (file descriptor 2).
std::string capture_stderr(const std::function<void()> &f);

// The lines of a text, without their line feeds.
Lines lines_of(const std::string &text);
// The names of the files under a directory of the source tree whose names
// end in suffix, relative to it and sorted (the expected files of a kind).
Lines files_in(const std::string &relative_dir, std::string_view suffix);

// A text of n copies of c.
inline std::string repeat(std::size_t n, char c = 'a') { return std::string(n, c); }

// Path of a file in the source tree (examples, test data).
inline std::string source_path(const std::string &relative) { return TAVREL_SOURCE_DIR "/" + relative; }
// Contents of a file in the source tree (golden files); empty when missing.
inline std::string source_text(const std::string &relative) { return read_file(source_path(relative)).value_or(""); }

}  // namespace tavrel_test
