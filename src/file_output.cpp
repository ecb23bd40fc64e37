#include "file_output.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "logger.h"
#include "text.h"

namespace tavrel {

namespace testing {
std::size_t render_capacity = kRenderCapacity;
}

namespace {

constexpr mode_t kNewFileMode = 0644;
constexpr mode_t kSecretMode = 0600;
// As many links as the kernel follows in one path.
constexpr int kMaxLinks = 40;
// Tries at a temporary name no other file has.
constexpr unsigned kNameAttempts = 100;

// How the target will be written: through a temporary file beside it, or,
// where its directory cannot take one, into the file itself.
enum class Way { replace, in_place };

// The file being rendered. Static, like the rest of the helper's storage: a
// build keeps no more than a few hundred bytes on its own stack.
struct Render {
    std::array<char, kRenderCapacity> text{};
    std::size_t used = 0;
    bool overflow = false;
    bool active = false;
    bool closing = false;  // the helper itself is closing the stream
    // Carried in the stream's cookie: a stream of an earlier render, which its
    // holder never closed, can no longer write into this one.
    std::uintptr_t generation = 0;
    FILE *stream = nullptr;
    // Set by each render before anything logs (all zero here, so the whole
    // record lives in .bss).
    const char *source = nullptr;
    const char *shown = nullptr;
    Secrecy secrecy = Secrecy::normal;
    Way way = Way::replace;
    mode_t mode = 0;                 // what the new file gets
    // The file replaced, whose owner, group and extended attributes the new
    // one takes over; none for a new file.
    bool replaces = false;
    uid_t owner = 0;
    gid_t group = 0;
    // The temporary file, open from the render's start; it has a name only
    // once its text is whole, or from the start where the file system cannot
    // make a file without one. (No member starts non-zero: the record stays
    // in .bss, not 45 KiB of the file.)
    bool has_temporary = false;
    bool named = false;
    int temporary = 0;
    bool has_directory = false;
    int directory = 0;  // the target's, open while the temporary file is
    const char *base = nullptr;  // the target's name in it
    int line = 0;                    // where the render began, for a close nobody reports on
    std::array<char, PATH_MAX> target{};     // the file finally named, links followed
    std::array<char, PATH_MAX> scratch{};    // a link's text, the directory, an attribute's value
    std::array<char, NAME_MAX + 1> temp_name{};  // the temporary file's name in the directory
    std::array<char, 1024> attribute_names{};    // the replaced file's extended attributes
};

constinit Render g_render;
constinit std::array<char, PATH_MAX> g_real_path{};

// NOLINTNEXTLINE(performance-no-int-to-ptr): the cookie is a render's number, never dereferenced
void *cookie_of(std::uintptr_t generation) { return reinterpret_cast<void *>(generation); }

bool is_current(void *cookie) { return g_render.active && cookie == cookie_of(g_render.generation); }

std::size_t capacity() { return testing::render_capacity < kRenderCapacity ? testing::render_capacity : kRenderCapacity; }

void log_error(int line, const char *operation, int error) {
    Log_SpecEntry(logSpecError, g_render.source, line, "Failed to %s %s: %s", operation, g_render.shown,
                  strerror(error));
}

// The directory part of path ("/" for a file at the top).
bool directory_of(std::string_view path, std::span<char> out) {
    const auto slash = path.rfind('/');
    if (slash == std::string_view::npos) return copy_text(out, ".");
    return copy_text(out, slash == 0 ? std::string_view("/") : path.substr(0, slash));
}

// Follows links at the end of path to the file they finally name, in place,
// and tells what stands there (st, exists). A name that does not exist yet is
// where the file will be made. False, with errno, for a loop of links or a
// path that does not fit.
bool follow_links(std::span<char> path, std::span<char> scratch, struct stat &st, bool &exists) {
    for (int hops = 0;; ++hops) {
        exists = lstat(path.data(), &st) == 0;
        if (!exists) return errno == ENOENT;
        if (!S_ISLNK(st.st_mode)) return true;
        if (hops == kMaxLinks) {
            errno = ELOOP;
            return false;
        }
        const ssize_t length = readlink(path.data(), scratch.data(), scratch.size());
        if (length < 0) return false;
        if (static_cast<std::size_t>(length) >= scratch.size()) {
            errno = ENAMETOOLONG;
            return false;
        }
        const std::string_view link(scratch.data(), static_cast<std::size_t>(length));
        bool fits;
        if (link.starts_with('/')) {
            fits = copy_text(path, link);
        } else {
            // Relative to the directory that holds the link.
            std::string_view p(path.data());
            const auto slash = p.rfind('/');
            path[slash == std::string_view::npos ? 0 : slash + 1] = '\0';
            fits = append_text(path, link);
        }
        if (!fits) {
            errno = ENAMETOOLONG;
            return false;
        }
    }
}

bool writable(const char *path) { return faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) == 0; }

bool write_all(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t n = pwrite(fd, bytes.data(), bytes.size(), offset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += n;
    }
    return true;
}

// Closes the render's temporary file, removes it where it has a name, and
// closes its directory, where it has them.
void discard_temporary() {
    Render &r = g_render;
    if (r.has_temporary) {
        close(r.temporary);
        if (r.named) unlinkat(r.directory, r.temp_name.data(), 0);
        r.has_temporary = false;
    }
    if (r.has_directory) {
        close(r.directory);
        r.has_directory = false;
    }
}

// Ends a failed step: logs it, closes fd, removes the temporary file.
bool fail(int line, const char *operation, int fd) {
    const int error = errno;
    if (fd >= 0) close(fd);
    discard_temporary();
    log_error(line, operation, error);
    return false;
}

// The file itself, as fopen "w" would write it, but only once the text is
// whole. A file holding secrets is made private before a byte of it changes.
bool write_in_place(int line, std::string_view text) {
    Render &r = g_render;
    const int fd = ::open(r.target.data(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return fail(line, "open", -1);
    if (r.secrecy == Secrecy::secret && fchmod(fd, kSecretMode) != 0) return fail(line, "set the mode of", fd);
    // Written over the old text before it is cut to length, so a full disk
    // finds the old blocks already there.
    if (!write_all(fd, text, 0) || ftruncate(fd, static_cast<off_t>(text.size())) != 0)
        return fail(line, "write", fd);
    if (fsync(fd) != 0) return fail(line, "sync", fd);
    if (close(fd) != 0) return fail(line, "close", -1);
    return true;
}

// Six name characters that differ from one try to the next, and from one
// process to the next (the address of a stack variable, the clock).
void fill_unique(std::span<char> six, unsigned attempt) {
    constexpr std::string_view kDigits = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-_";
    static unsigned counter = 0;
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    int here = 0;
    // 32-bit arithmetic: 64-bit division would pull libgcc's into the
    // device's library.
    std::uint32_t bits = static_cast<std::uint32_t>(now.tv_nsec) ^ static_cast<std::uint32_t>(now.tv_sec) ^
                         static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&here)) ^
                         (++counter + attempt) * 0x9E3779B9u;
    for (char &c : six) {
        c = kDigits[bits % kDigits.size()];
        bits /= kDigits.size();
    }
}

// Gives the temporary file a name ".<name>.XXXXXX" beside the target that no
// other file has: made by that name, exclusively (so it never follows a
// link), where the file system makes none without a name; or else the
// unnamed file linked to it through its entry in /proc (AT_EMPTY_PATH would
// need a capability), once its text is whole. Until then a crash leaves
// nothing behind.
bool name_temporary(bool make) {
    Render &r = g_render;
    std::array<char, 12> number;
    if (!make && (!copy_text(r.scratch, "/proc/self/fd/") || !append_text(r.scratch, decimal(r.temporary, number))))
        return false;
    const std::size_t length = view(r.temp_name.data()).size();
    const std::span<char> six(r.temp_name.data() + length - 6, 6);
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        fill_unique(six, attempt);
        const char *name = r.temp_name.data();
        if (make) {
            r.temporary = openat(r.directory, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kSecretMode);
            r.has_temporary = r.temporary >= 0;
        }
        r.named = make ? r.has_temporary : linkat(AT_FDCWD, r.scratch.data(), r.directory, name, AT_SYMLINK_FOLLOW) == 0;
        if (r.named || errno != EEXIST) break;
    }
    return r.named;
}

// Opens the target's directory and makes the temporary file in it, without
// a name where the file system can (O_TMPFILE). The directory is held open
// to the end: the file is made, named, renamed and synced by one short name.
bool create_temporary() {
    Render &r = g_render;
    const std::string_view target(r.target.data());
    const auto slash = target.rfind('/');
    r.base = slash == std::string_view::npos ? r.target.data() : r.target.data() + slash + 1;
    if (!directory_of(target, r.scratch) || !copy_text(r.temp_name, ".") || !append_text(r.temp_name, view(r.base)) ||
        !append_text(r.temp_name, ".XXXXXX")) {
        errno = ENAMETOOLONG;
        return false;
    }
    r.directory = ::open(r.scratch.data(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A directory that may be written but not read still takes the file;
    // only its sync is then lost.
    if (r.directory < 0 && errno == EACCES) r.directory = ::open(r.scratch.data(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (r.directory < 0) return false;
    r.has_directory = true;
    r.named = false;
    r.temporary = openat(r.directory, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, kSecretMode);
    r.has_temporary = r.temporary >= 0;
    // EOPNOTSUPP: a file system without unnamed files; EISDIR: a kernel
    // that does not know them.
    if (r.has_temporary || ((errno == EOPNOTSUPP || errno == EISDIR) && name_temporary(true))) return true;
    const int error = errno;
    discard_temporary();
    errno = error;
    return false;
}

// Gives the temporary file the owner, group and extended attributes (ACL,
// security labels, user attributes) of the file it replaces, which fopen "w"
// would have kept; false when any of them cannot be carried over.
bool carry_metadata() {
    Render &r = g_render;
    if (!r.replaces) return true;  // a new file: the process's owner and group
    if (fchown(r.temporary, r.owner, r.group) != 0) return false;
    const ssize_t listed = llistxattr(r.target.data(), r.attribute_names.data(), r.attribute_names.size());
    if (listed < 0) return errno == ENOTSUP;  // a file system without them
    std::string_view names(r.attribute_names.data(), static_cast<std::size_t>(listed));
    while (!names.empty()) {
        const char *name = names.data();
        names.remove_prefix(std::min(strnlen(name, names.size()) + 1, names.size()));
        const ssize_t size = lgetxattr(r.target.data(), name, r.scratch.data(), r.scratch.size());
        if (size < 0 || fsetxattr(r.temporary, name, r.scratch.data(), static_cast<std::size_t>(size), 0) != 0)
            return false;
    }
    return true;
}

// The temporary file, made when the render began, takes the text, then the
// replaced file's owner and attributes (after the text: a write drops a
// capability attribute) and its mode, is synced and named, and is renamed
// over the target in the directory held open since then: a crash between
// the name and the rename is the one moment that leaves it behind. The
// directory's sync is best effort: the rename is already durable on most
// file systems without it. Where the owner or an attribute cannot be carried
// over, the file itself takes the text, keeping them.
bool replace_through_temporary(int line, std::string_view text) {
    Render &r = g_render;
    for (;;) {
        const int fd = r.temporary;
        if (!write_all(fd, text, 0)) return fail(line, "write", -1);
        if (!carry_metadata()) {
            discard_temporary();
            return write_in_place(line, text);
        }
        if (fchmod(fd, r.mode) != 0) return fail(line, "set the mode of", -1);
        if (fsync(fd) != 0) return fail(line, "sync", -1);
        if (r.named || name_temporary(false)) break;
        // No name through /proc (none mounted): a named temporary file after all.
        close(fd);
        if (!name_temporary(true)) return fail(line, "replace", -1);
    }
    if (renameat(r.directory, r.temp_name.data(), r.directory, r.base) != 0) return fail(line, "replace", -1);
    r.named = false;  // the name is the target's now
    (void)fsync(r.directory);
    discard_temporary();
    return true;
}

// Makes ready to replace the target, or false (errno) when it cannot be: a
// directory at its path, or neither its directory nor the file writable.
// The temporary file is made now, where it doubles as the test that the
// directory takes a new file.
bool prepare_target(const struct stat &st, bool exists) {
    Render &r = g_render;
    if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    r.replaces = exists && S_ISREG(st.st_mode);
    r.owner = st.st_uid;
    r.group = st.st_gid;
    r.mode = r.secrecy == Secrecy::secret ? kSecretMode : r.replaces ? (st.st_mode & 07777) : kNewFileMode;
    if (create_temporary()) {
        r.way = Way::replace;
        return true;
    }
    // The directory takes no new file (not writable, or a read-only mount):
    // the file itself may still be written.
    const int error = errno;
    if (r.replaces && writable(r.target.data())) {
        r.way = Way::in_place;
        return true;
    }
    errno = error;
    return false;
}

bool put_in_place(int line) {
    Render &r = g_render;
    const std::string_view text(r.text.data(), r.used);
    return r.way == Way::replace ? replace_through_temporary(line, text) : write_in_place(line, text);
}

// Ends the render: its text, which may hold secrets, is cleared (a memset
// the compiler could drop would not do).
void end_render() {
    Render &r = g_render;
    r.active = false;
    explicit_bzero(r.text.data(), r.used);
    r.used = 0;
}

// Ends the render and puts its text in place; false (logged) when it cannot.
bool finish_render(int line) {
    Render &r = g_render;
    bool done = false;
    if (r.overflow) {
        discard_temporary();
        Log_SpecEntry(logSpecError, r.source, line, "Failed to write %s: the text does not fit in %zu bytes", r.shown,
                      capacity());
    } else {
        done = put_in_place(line);
    }
    end_render();
    return done;
}

// Appends to the render's text; false (the render now fails) when the bytes
// do not fit.
bool append(const char *bytes, std::size_t size) {
    Render &r = g_render;
    if (size > capacity() - r.used) {
        r.overflow = true;
        errno = ENOSPC;
        return false;
    }
    memcpy(r.text.data() + r.used, bytes, size);
    r.used += size;
    return true;
}

ssize_t render_write(void *cookie, const char *bytes, size_t size) {
    if (!is_current(cookie)) {
        errno = EBADF;
        return 0;
    }
    return append(bytes, size) ? static_cast<ssize_t>(size) : 0;
}

// A render stream that someone closes with fclose itself (a SambaConfig
// whose own fclose does so) is put in place, as a file written with fopen
// would be there after fclose.
int render_close(void *cookie) {
    if (!is_current(cookie) || g_render.closing) return 0;
    return finish_render(g_render.line) ? 0 : EOF;
}

// Closes the stream on the helper's own account. Its only write errors are
// the render's own (a text that does not fit), which the render remembers.
void close_render(FILE *stream) {
    g_render.closing = true;
    (void)fclose(stream);
    g_render.closing = false;
}

}  // namespace

const char *real_path(const char *fixed_path) {
    if (!fixed_path) {
        errno = EINVAL;
        return nullptr;
    }
    const char *root = getenv("TAVREL_ROOT");
    std::string_view r = root ? std::string_view(root) : std::string_view();
    while (r.size() > 1 && r.back() == '/') r.remove_suffix(1);
    if (!copy_text(g_real_path, r) || !append_text(g_real_path, fixed_path)) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    return g_real_path.data();
}

FILE *begin_render(const char *source, const char *shown_path, const char *path, Secrecy secrecy,
                   int line) {
    Render &r = g_render;
    // An earlier render its holder never closed is given up.
    end_render();
    discard_temporary();
    if (!path || !copy_text(r.target, view(path))) {
        errno = path ? ENAMETOOLONG : EINVAL;
        return nullptr;
    }
    struct stat st {};  // all zero where no file stands at the path
    bool exists = false;
    r.secrecy = secrecy;
    if (!follow_links(r.target, r.scratch, st, exists) || !prepare_target(st, exists)) return nullptr;

    ++r.generation;
    FILE *stream = fopencookie(cookie_of(r.generation), "w", {nullptr, render_write, nullptr, render_close});
    if (!stream) {
        const int error = errno;
        discard_temporary();
        errno = error;
        return nullptr;
    }
    // Unbuffered: every write lands in the text at once, with no stdio buffer
    // to allocate.
    (void)setvbuf(stream, nullptr, _IONBF, 0);
    r.stream = stream;
    r.overflow = false;
    r.closing = false;
    r.source = source ? source : "";
    r.shown = shown_path ? shown_path : r.target.data();
    r.line = line;
    r.active = true;
    return stream;
}

bool is_render(FILE *stream) { return stream && g_render.active && stream == g_render.stream; }

std::size_t write_text(FILE *stream, const char *data, std::size_t size) {
    if (!is_render(stream)) return fwrite(data, 1, size, stream);
    return !g_render.overflow && append(data, size) ? size : 0;
}

bool commit_render(FILE *stream, int line) {
    if (!is_render(stream)) return false;
    close_render(stream);
    return finish_render(line);
}

void drop_render(FILE *stream, OnFailure what, int line) {
    if (!is_render(stream)) return;
    close_render(stream);
    end_render();
    discard_temporary();
    if (what == OnFailure::remove_target && unlink(g_render.target.data()) != 0 && errno != ENOENT)
        log_error(line, "remove", errno);
}

FILE *OutputFile::open(int line) {
    if (stream_) return stream_;
    const char *path = real_path(fixed_path_);
    if (!path) return nullptr;
    stream_ = begin_render(source_, fixed_path_, path, secrecy_, line);
    return stream_;
}

bool OutputFile::finish(int line) {
    FILE *stream = stream_;
    stream_ = nullptr;
    return stream && commit_render(stream, line);
}

void OutputFile::abandon(OnFailure what, int line) {
    FILE *stream = stream_;
    stream_ = nullptr;
    if (stream) drop_render(stream, what, line);
}

}  // namespace tavrel
