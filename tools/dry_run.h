// --dry-run: the command writes under a temporary root that starts as a copy
// of the files it may replace, and what it changed is printed as a unified
// diff against the real root, which stays untouched.
#pragma once

#include <set>
#include <string>

namespace tool {

class DryRun {
public:
    DryRun() = default;
    DryRun(const DryRun &) = delete;
    DryRun &operator=(const DryRun &) = delete;
    ~DryRun();  // removes the temporary root

    // Makes the temporary root with a copy of every file the library writes
    // that exists under root ("/" for the real paths). False, after a
    // message, when that cannot be done.
    bool start(const std::string &root);
    // The temporary root, for the library to write under.
    const std::string &scratch() const { return scratch_; }
    // Prints the diff (nothing when nothing changed); false, after a
    // message, when a file could not be compared.
    bool report() const;

private:
    // Prints one file's diff; false, after a message, when it cannot be read.
    bool report_file(const std::string &fixed) const;

    std::string root_;     // without a trailing slash; "" for /
    std::string scratch_;
    std::set<std::string> copied_;  // fixed paths copied into the scratch root
};

}  // namespace tool
