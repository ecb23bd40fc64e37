#include "file_output.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string_view>

#include "logger.h"
#include "text.h"

namespace tavrel {

namespace testing {
StreamOpener stream_opener = nullptr;
}

namespace {

constexpr mode_t kNewFileMode = 0644;
constexpr mode_t kSecretMode = 0600;

FILE *open_stream(int fd) {
    return testing::stream_opener ? testing::stream_opener(fd) : fdopen(fd, "w");
}

// The directory part of path ("." when there is none).
bool directory_of(const char *path, std::span<char> out) {
    const std::string_view p(path);
    const auto slash = p.rfind('/');
    if (slash == std::string_view::npos) return copy_text(out, ".");
    return copy_text(out, slash == 0 ? std::string_view("/") : p.substr(0, slash));
}

// Best effort: the rename is already durable on most file systems without it,
// and a directory that cannot be synced does not make the new file wrong.
void sync_directory(const char *path) {
    char dir[PATH_MAX];
    if (!directory_of(path, dir)) return;
    const int fd = ::open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    (void)fsync(fd);
    close(fd);
}

mode_t mode_for(const char *target, Secrecy secrecy) {
    if (secrecy == Secrecy::secret) return kSecretMode;
    struct stat st;
    if (stat(target, &st) == 0 && S_ISREG(st.st_mode)) return st.st_mode & 07777;
    return kNewFileMode;
}

}  // namespace

bool resolve_output_path(const char *fixed_path, std::span<char> out) {
    const char *root = getenv("TAVREL_ROOT");
    if (!root || !*root) return copy_text(out, view(fixed_path));
    std::string_view r(root);
    while (r.size() > 1 && r.back() == '/') r.remove_suffix(1);
    return copy_text(out, r) && append_text(out, view(fixed_path));
}

OutputFile::OutputFile(const char *source, const char *fixed_path, Secrecy secrecy)
    : source_(source), fixed_path_(fixed_path), secrecy_(secrecy) {}

OutputFile::~OutputFile() {
    if (stream_) abandon(OnFailure::keep_previous);
}

FILE *OutputFile::open() {
    if (stream_) return stream_;
    if (!resolve_output_path(fixed_path_, target_)) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    const mode_t mode = mode_for(target_, secrecy_);

    // The temporary file: same directory, so that rename replaces atomically;
    // mkostemp creates it exclusively and so never follows a link.
    char dir[PATH_MAX];
    const char *base = strrchr(target_, '/');
    base = base ? base + 1 : target_;
    temp_[0] = '\0';
    in_place_ = false;
    if (directory_of(target_, dir) && copy_text(temp_, dir) && append_text(temp_, "/.") &&
        append_text(temp_, base) && append_text(temp_, ".XXXXXX")) {
        fd_ = mkostemp(temp_, O_CLOEXEC);
    } else {
        fd_ = -1;
    }
    if (fd_ >= 0) {
        if (fchmod(fd_, mode) != 0) {
            const int error = errno;
            close(fd_);
            unlink(temp_);
            fd_ = -1;
            errno = error;
            return nullptr;
        }
    } else {
        // No temporary file possible here (for instance a directory we may
        // not write to): write the target in place, as fopen "w" would.
        temp_[0] = '\0';
        in_place_ = true;
        fd_ = ::open(target_, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
        if (fd_ < 0) return nullptr;
        if (secrecy_ == Secrecy::secret) (void)fchmod(fd_, kSecretMode);
    }

    stream_ = open_stream(fd_);
    if (!stream_) {
        const int error = errno;
        close(fd_);
        fd_ = -1;
        if (!in_place_) unlink(temp_);
        errno = error;
    }
    return stream_;
}

void OutputFile::close_stream() {
    if (stream_) fclose(stream_);
    stream_ = nullptr;
    fd_ = -1;
}

bool OutputFile::fail(const char *operation, int error) {
    Log_SpecEntry(logSpecError, source_, __LINE__, "Failed to %s %s: %s", operation, fixed_path_,
                  strerror(error));
    close_stream();
    if (!in_place_ && temp_[0]) unlink(temp_);
    temp_[0] = '\0';
    return false;
}

bool OutputFile::finish() {
    if (!stream_) return false;
    if (fflush(stream_) != 0 || ferror(stream_)) return fail("write", errno ? errno : EIO);
    if (fsync(fd_) != 0) return fail("sync", errno);
    FILE *stream = stream_;
    stream_ = nullptr;
    fd_ = -1;
    if (fclose(stream) != 0) return fail("close", errno);
    if (!in_place_) {
        if (rename(temp_, target_) != 0) return fail("replace", errno);
        temp_[0] = '\0';
    }
    sync_directory(target_);
    return true;
}

void OutputFile::abandon(OnFailure what) {
    close_stream();
    if (!in_place_ && temp_[0]) unlink(temp_);
    temp_[0] = '\0';
    if (what == OnFailure::remove_target && target_[0]) unlink(target_);
}

}  // namespace tavrel
