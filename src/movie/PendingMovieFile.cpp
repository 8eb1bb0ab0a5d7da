#include "movie/PendingMovieFile.h"

#include "movie/TemporaryFiles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString SystemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The process's umask, read without changing it (umask(2) would, for every thread).
mode_t CurrentUmask() {
    mode_t mask = 022;
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned value = 0;
        while (std::fgets(line, sizeof line, status))
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                mask = mode_t(value & 0777);
                break;
            }
        std::fclose(status);
    }
    return mask;
}

} // namespace

PendingMovieFile::~PendingMovieFile() {
    discard();
}

bool PendingMovieFile::create(QString* reason) {
    discard();
    struct stat existing {};
    const bool exists = ::stat(target_.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) {
        *reason = SystemReason(EISDIR);
        return false;
    }
    if (exists && !S_ISREG(existing.st_mode)) {
        writePath_ = target_;
        return true;
    }
    const qsizetype slash = target_.lastIndexOf('/');
    const QByteArray folder = slash >= 0 ? target_.left(slash + 1) : QByteArray();
    const QByteArray name = target_.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf('.');
    const QByteArray extension = dot > 0 ? name.mid(dot) : QByteArray();
    QByteArray pattern =
        folder + '.' + name.left(dot > 0 ? dot : name.size()) + "-XXXXXX" + extension;
    const int fd = ::mkostemps(pattern.data(), int(extension.size()), O_CLOEXEC);
    if (fd < 0) {
        *reason = SystemReason(errno);
        return false;
    }
    const mode_t mode = exists ? existing.st_mode & 07777 : 0666 & ~CurrentUmask();
    (void)::fchmod(fd, mode);
    ::close(fd);
    writePath_ = pattern;
    temporary_ = true;
    RememberTemporaryFile(writePath_);
    return true;
}

bool PendingMovieFile::commit(QString* reason) {
    if (!temporary_)
        return !writePath_.isEmpty();
    if (::rename(writePath_.constData(), target_.constData()) != 0) {
        *reason = SystemReason(errno);
        discard();
        return false;
    }
    ForgetTemporaryFile(writePath_);
    temporary_ = false;
    return true;
}

void PendingMovieFile::discard() {
    if (temporary_) {
        ::unlink(writePath_.constData());
        ForgetTemporaryFile(writePath_);
    }
    temporary_ = false;
    writePath_.clear();
}
