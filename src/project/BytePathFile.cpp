#include "project/BytePathFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    // Closes now and answers whether the close went through.
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = ENOSPC; // a write that takes nothing has no errno of its own
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

} // namespace

int ReadFileInPieces(const QByteArray& path, qint64 maxBytes,
                     const std::function<bool(const char*, qsizetype)>& take) {
    if (path.isEmpty())
        return ENOENT;
    // Not blocking: a FIFO must not hang the open; it is refused below.
    FileDescriptor fd(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (st.st_size > maxBytes)
        return EFBIG;
    char buffer[65536];
    qint64 total = 0;
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return 0;
        total += n;
        if (total > maxBytes) // the file grew while it was read
            return EFBIG;
        if (!take(buffer, n))
            return 0;
    }
}

std::optional<QByteArray> ReadWholeFile(const QByteArray& path) {
    QByteArray text;
    const int error = ReadFileInPieces(path, std::numeric_limits<qint64>::max(),
                                       [&text](const char* bytes, qsizetype size) {
                                           text.append(bytes, size);
                                           return true;
                                       });
    if (error != 0)
        return std::nullopt;
    return text;
}

bool IsWriteProtected(const QByteArray& path) {
    struct stat st {};
    if (path.isEmpty() || ::stat(path.constData(), &st) != 0)
        return false;
    return (st.st_mode & 0222) == 0 || ::access(path.constData(), W_OK) != 0;
}

bool WriteFileAtomically(const QByteArray& path, const QByteArray& text, int* systemError) {
    int ignored = 0;
    int& error = systemError ? *systemError : ignored;
    error = 0;
    if (path.isEmpty()) {
        error = ENOENT;
        return false;
    }
    // Replace the file a link names, not the link.
    QByteArray target = path;
    if (char* resolved = ::realpath(path.constData(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    struct stat existing {};
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode)) {
        error = S_ISDIR(existing.st_mode) ? EISDIR : EINVAL;
        return false;
    }

    QByteArray temporary = target + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        error = errno;
        return false;
    }
    mode_t mode = 0;
    if (exists) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    const bool written = ::fchmod(fd.get(), mode) == 0 &&
                         WriteAll(fd.get(), text.constData(), text.size()) &&
                         ::fsync(fd.get()) == 0;
    if (!written)
        error = errno;
    const bool closed = fd.close();
    if (written && !closed)
        error = errno;
    if (!written || !closed || ::rename(temporary.constData(), target.constData()) != 0) {
        if (error == 0)
            error = errno;
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}
