// Writing a configuration file for a builder.
//
// A builder names its fixed path ("/etc/krb5.conf"); the file really goes to
// that path under $TAVREL_ROOT when the variable is set and not empty. The
// text goes to a temporary file in the same directory, which replaces the
// target only when the builder finishes successfully, so a crash or a failed
// build never leaves a truncated configuration behind. When no temporary file
// can be created there, the target is written in place.
#pragma once

#include <limits.h>
#include <stdio.h>

#include <span>

namespace tavrel {

enum class Secrecy {
    normal,  // keeps the mode of the file it replaces; 0644 for a new one
    secret,  // always 0600: the file holds passwords or keys
};

enum class OnFailure {
    keep_previous,  // the previous file (or its absence) stays as it was
    remove_target,  // the target is removed as well
};

// The real path of a fixed path: under $TAVREL_ROOT when that is set and not
// empty. False when the result does not fit.
bool resolve_output_path(const char *fixed_path, std::span<char> out);

class OutputFile {
public:
    // source: the log source name of the builder, for the helper's records.
    OutputFile(const char *source, const char *fixed_path, Secrecy secrecy = Secrecy::normal);
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    // A file neither finished nor abandoned is abandoned, keeping the previous file.
    ~OutputFile();

    // Opens the stream; null when nothing could be opened (errno tells why).
    // Logs nothing: the builders log their own open failure.
    FILE *open();
    FILE *stream() const { return stream_; }
    const char *fixed_path() const { return fixed_path_; }
    const char *target_path() const { return target_; }

    // Flushes, syncs and closes the text and puts it in place. Any failure is
    // logged at logSpecError with the path and the system's error text and
    // leaves the previous file as it was; the result is then false.
    bool finish();
    // Drops the text; with OnFailure::remove_target the target is removed too.
    void abandon(OnFailure what);

private:
    bool fail(const char *operation, int error);
    void close_stream();

    const char *source_;
    const char *fixed_path_;
    Secrecy secrecy_;
    FILE *stream_ = nullptr;
    int fd_ = -1;
    bool in_place_ = false;
    char target_[PATH_MAX] = {};
    char temp_[PATH_MAX] = {};
};

namespace testing {
// How an open descriptor becomes the builder's stream; fdopen unless a test
// substitutes a stream that fails on purpose (for instance with fopencookie).
// The stream owns the descriptor: closing it closes the descriptor.
using StreamOpener = FILE *(*)(int fd);
extern StreamOpener stream_opener;
}  // namespace testing

}  // namespace tavrel
