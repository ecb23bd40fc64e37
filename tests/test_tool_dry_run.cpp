// --dry-run: the diff it prints is what the command would do to the root, it
// writes nothing there, and the exit status is the command's.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tavrel_test.h"

namespace {

namespace fs = std::filesystem;
using tavrel_test::run_program;
using tavrel_test::run_tool;
using tavrel_test::ToolRun;

// Every entry under dir, with the contents of the files.
std::map<std::string, std::string> tree(const std::string &dir) {
    std::map<std::string, std::string> entries;
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(dir, error); !error && it != fs::end(it); it.increment(error)) {
        std::string text = "(directory)";
        if (it->is_regular_file())
            text = (std::ostringstream() << std::ifstream(it->path(), std::ios::binary).rdbuf()).str();
        entries[it->path().string().substr(dir.size())] = text;
    }
    return entries;
}

class DryRun : public tavrel_test::TavrelTest {};

// Applied with `patch -p1`, the diff turns a copy of the root into what the
// command writes there when run for real.
TEST_F(DryRun, DiffTurnsTheRootIntoWhatTheCommandWrites) {
    const std::string office = tavrel_test::source_path("examples/office.toml");
    const std::vector<std::string> cac = {"krb5-cac", "corp.example", "dc1.corp.example", "88"};
    struct Case {
        std::string name;
        std::map<std::string, std::string> before;  // files under the root
        std::vector<std::string> command;
        int status;
        std::string header;  // the diff's first two lines
    };
    const std::vector<Case> cases = {
        {"new file", {}, cac, 0, "--- /dev/null\n+++ b/usr/heimdal/etc/krb5.conf\n"},
        {"changed file", {{"/usr/heimdal/etc/krb5.conf", "[libdefaults]\n\tdefault_realm = OLD\n"}}, cac, 0,
         "--- a/usr/heimdal/etc/krb5.conf\n+++ b/usr/heimdal/etc/krb5.conf\n"},
        {"removed file", {{"/etc/krb5.conf", "[libdefaults]\n"}}, {"krb5"}, 1, "--- a/etc/krb5.conf\n+++ /dev/null\n"},
        {"every file", {{"/etc/smb.conf.auth", "stale\n"}, {"/etc/pam.d/other", "kept\n"}}, {"-s", office, "all"}, 0,
         "ok /etc/smb.conf.auth\n"},
    };
    for (const Case &c : cases) {
        const std::string dry = path("/" + c.name + "/dry"), real = path("/" + c.name + "/real");
        for (const auto &[file, text] : c.before) {
            write("/" + c.name + "/dry" + file, text);
            write("/" + c.name + "/real" + file, text);
        }
        fs::create_directories(dry);
        const auto untouched = tree(dry);

        std::vector<std::string> args = {"--dry-run", "-r", dry};
        args.insert(args.end(), c.command.begin(), c.command.end());
        const ToolRun run = run_tool(args);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_TRUE(run.out.starts_with(c.header)) << c.name << ":\n" << run.out;
        EXPECT_EQ(tree(dry), untouched) << c.name << ": nothing under the root is written";

        args = {"-r", real};
        args.insert(args.end(), c.command.begin(), c.command.end());
        EXPECT_EQ(run_tool(args).status, c.status) << c.name;
        write("/" + c.name + ".diff", run.out);
        const ToolRun patch = run_program({"patch", "-p1", "-s", "-d", dry, "-i", path("/" + c.name + ".diff")});
        EXPECT_EQ(patch.status, 0) << c.name << ": " << patch.out << patch.err;
        std::map<std::string, std::string> written = tree(real), patched = tree(dry);
        std::erase_if(written, [](const auto &entry) { return entry.second == "(directory)"; });
        std::erase_if(patched, [](const auto &entry) { return entry.second == "(directory)"; });
        EXPECT_EQ(patched, written) << c.name;
    }
}

// Under TAVREL_ROOT (no -r): a file the command would write as it stands, or
// a command that fails before writing, prints nothing.
TEST_F(DryRun, NothingToChangePrintsNothing) {
    const std::vector<std::string> cac = {"krb5-cac", "corp.example", "dc1.corp.example", "88"};
    ASSERT_EQ(run_tool(cac).status, 0);
    const auto untouched = tree(root());
    for (const auto &[command, status] : std::vector<std::pair<std::vector<std::string>, int>>{
             {cac, 0}, {{"krb5-cac", "corp\"", "dc1.corp.example", "88"}, 1}, {{"read", "realm", "36"}, 1}}) {
        std::vector<std::string> args = {"--dry-run"};
        args.insert(args.end(), command.begin(), command.end());
        const ToolRun run = run_tool(args);
        EXPECT_EQ(std::to_string(run.status) + " " + run.out, std::to_string(status) + " ") << command[0];
    }
    EXPECT_EQ(tree(root()), untouched);
}

}  // namespace
