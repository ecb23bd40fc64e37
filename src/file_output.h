// Writing a configuration file for a builder.
//
// A builder names its fixed path ("/etc/krb5.conf"); the file really goes to
// that path under $TAVREL_ROOT when the variable is set and not empty. The
// builder renders its whole text into a memory stream first; the target is
// touched only when the builder has finished successfully, and then replaced
// crash-safely: a temporary file beside it, without a name until it is
// whole (O_TMPFILE, where the file system has it), one write, the replaced
// file's owner, group and extended attributes, its mode, fsync, a name,
// rename, directory sync. A link at the target is followed to the file it
// finally names, which is replaced in its own directory, so the link stays.
// Where no temporary file can be made there but the file itself can be
// written (a read-only directory), or where the owner or an attribute cannot
// be carried over to a new file, the rendered bytes go into the file itself
// in one pass, as fopen "w" would write them.
//
// One file is rendered at a time: the library's calls come one at a time, and
// the text lives in a buffer of the helper's own, cleared when the render is
// committed or dropped (it may hold secrets).
#pragma once

#include <stdio.h>

#include <cstddef>

namespace tavrel {

enum class Secrecy {
    normal,  // keeps the mode of the file it replaces; 0644 for a new one
    secret,  // always 0600 (the file holds passwords or keys), or not written
};

enum class OnFailure {
    keep_previous,  // the previous file (or its absence) stays as it was
    remove_target,  // the target is removed as well
};

// The most a rendered file may hold; a longer text fails its build.
inline constexpr std::size_t kRenderCapacity = std::size_t{32} * 1024;

// The real path of a fixed path: under $TAVREL_ROOT when that is set and not
// empty. Points into storage of the helper's own, which the next call
// reuses; null (errno ENAMETOOLONG) when the result does not fit.
const char *real_path(const char *fixed_path);

// Starts rendering the file at real_path (a path real_path() gave, or any
// path a caller names). Checks first that the target can be replaced: no
// directory stands at its path, and its directory takes the temporary file
// (made now, removed again by a failed or dropped render), or else the file
// itself can be written. Null with errno set when it cannot, or when no
// stream can be had. shown_path names the file in the helper's records; source is the
// log source name of the builder. Each record carries the line of the call
// it reports on (by default the caller's).
FILE *begin_render(const char *source, const char *shown_path, const char *real_path, Secrecy secrecy,
                   int line = __builtin_LINE());

// Whether stream is the memory stream of the file being rendered.
bool is_render(FILE *stream);

// Writes text to stream as fwrite(data, 1, size, stream) would, and answers
// how many bytes went out. The render's own stream takes the bytes straight
// into its text, without stdio's work for each call (the stream is
// unbuffered, so bytes written either way keep their order).
std::size_t write_text(FILE *stream, const char *data, std::size_t size);

// Closes the stream and puts its text in place. Any failure (a text that did
// not fit, a failed write, sync, mode change or rename) is logged at
// logSpecError with the path and the system's error text, leaves the previous
// file as it was and no temporary file behind; the result is then false.
bool commit_render(FILE *stream, int line = __builtin_LINE());

// Closes the stream and drops its text; with OnFailure::remove_target the
// target is removed too.
void drop_render(FILE *stream, OnFailure what, int line = __builtin_LINE());

// A builder's file, from open to finish or abandon.
class OutputFile {
public:
    OutputFile(const char *source, const char *fixed_path, Secrecy secrecy = Secrecy::normal)
        : source_(source), fixed_path_(fixed_path), secrecy_(secrecy) {}
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    // A file neither finished nor abandoned is abandoned, keeping the previous file.
    ~OutputFile() { abandon(OnFailure::keep_previous); }

    // The memory stream; null when the target cannot be replaced (errno tells
    // why). Logs nothing: the builders log their own open failure.
    FILE *open(int line = __builtin_LINE());
    bool finish(int line = __builtin_LINE());
    void abandon(OnFailure what, int line = __builtin_LINE());

private:
    const char *source_;
    const char *fixed_path_;
    Secrecy secrecy_;
    FILE *stream_ = nullptr;
};

namespace testing {
// How much a render may hold; lowered by tests to make a build run out of
// room at a chosen byte. Never above kRenderCapacity.
extern std::size_t render_capacity;
}  // namespace testing

}  // namespace tavrel
