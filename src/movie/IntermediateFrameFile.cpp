#include "movie/IntermediateFrameFile.h"

#include "movie/TemporaryFiles.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

long FindNextImageRow(const QList<QByteArray>& rows, int continuing, long lastFound,
                      QByteArray& path, long& rowCounter) {
    const long count = long(rows.size());
    long row;
    if (!continuing) {
        rowCounter = 0;
        if (count > 0 && !rows[0].isEmpty()) {
            path = rows[0];
            return 0;
        }
        row = 0;
    } else {
        row = lastFound;
        rowCounter = lastFound;
    }
    while (row + 1 < count) {
        ++row;
        rowCounter = row;
        if (!rows[row].isEmpty()) {
            path = rows[row];
            return row;
        }
    }
    path.clear();
    return -1;
}

long ForEachFrameLine(const QList<QByteArray>& rows, bool trimAviSize, bool noTrailingBlank,
                      const std::function<bool(long position, const QByteArray& path)>& line) {
    long previousRow = 0;    // p: the image row of the pass before
    QByteArray previousPath; // q
    QByteArray currentPath;
    long counter = 0; // c
    long written = 0; // L
    auto put = [&](long position, const QByteArray& path) {
        if (!line(position, path))
            return false;
        ++written;
        return true;
    };
    for (bool first = true;; first = false) {
        previousRow = counter;
        previousPath = currentPath;
        const long found = FindNextImageRow(rows, first ? 0 : 1, counter, currentPath, counter);
        if (found >= 0) {
            // A run of blank rows between two images ends on the earlier image.
            if (!trimAviSize && !first && found > previousRow + 1 && !put(found - 1, previousPath))
                return -1;
            if (!put(found, currentPath))
                return -1;
            continue;
        }
        // Blank rows after the last image hold it to the end of the list.
        if (!trimAviSize && !first && counter > previousRow && !put(counter, previousPath))
            return -1;
        if (!noTrailingBlank && !put(counter + 1, QByteArray(kBlankFrameMarker)))
            return -1;
        return written;
    }
}

QByteArray FormatFrameLine(long position, const QByteArray& path) {
    QByteArray text = QByteArray::number(qlonglong(position));
    text.reserve(text.size() + path.size() + 2);
    text += ',';
    text += path;
    text += '\n';
    return text;
}

long FirstUncarriableRow(const QList<QByteArray>& rows) {
    for (qsizetype row = 0; row < rows.size(); ++row) {
        const QByteArray& path = rows[row];
        if (path.isEmpty())
            continue;
        bool allWhite = true;
        for (char c : path) {
            if (c == '\n' || c == '\r')
                return long(row);
            if (!IsWhite(c))
                allWhite = false;
        }
        if (allWhite)
            return long(row);
    }
    return -1;
}

bool ParseFrameLine(QByteArray line, FrameLine& parsed) {
    for (int pass = 0; pass < 2; ++pass)
        if (!line.isEmpty() && (line.back() == '\n' || line.back() == '\r'))
            line.chop(1);

    // "%ld": white space, a sign, at least one digit.
    const qsizetype size = line.size();
    qsizetype i = 0;
    while (i < size && IsWhite(line[i]))
        ++i;
    bool negative = false;
    if (i < size && (line[i] == '+' || line[i] == '-'))
        negative = line[i++] == '-';
    const qsizetype digitsStart = i;
    long value = 0;
    bool overflow = false;
    for (; i < size && IsDigit(line[i]); ++i) {
        const int digit = line[i] - '0';
        if (value > (LONG_MAX - digit) / 10)
            overflow = true;
        else
            value = value * 10 + digit;
    }
    if (i == digitsStart)
        return false;
    if (overflow)
        value = negative ? LONG_MIN : LONG_MAX; // strtol saturates likewise
    else if (negative)
        value = -value;
    // ",": right after the digits.
    if (i >= size || line[i] != ',')
        return false;
    // "%s": at least one byte that is not white space.
    qsizetype j = i + 1;
    while (j < size && IsWhite(line[j]))
        ++j;
    if (j >= size)
        return false;

    parsed.position = value;
    // The path follows the comma that ends the line's leading digits; a line
    // that starts with white space or a sign has none.
    qsizetype k = 0;
    while (k < size && IsDigit(line[k]))
        ++k;
    if (k < size && line[k] == ',')
        parsed.path = line.mid(k + 1);
    else
        parsed.path.clear();
    return true;
}

IntermediateFrameFile::~IntermediateFrameFile() {
    remove();
}

QByteArray IntermediateFrameFile::fileName(unsigned number) {
    char name[32];
    std::snprintf(name, sizeof name, "fsq_%04lx.tmp", static_cast<unsigned long>(number));
    return QByteArray(name);
}

bool IntermediateFrameFile::create(const QByteArray& directory,
                                   const std::function<unsigned(void)>& drawNumber) {
    remove();
    QByteArray folder = directory.isEmpty() ? QFile::encodeName(QDir::tempPath()) : directory;
    // Qt answers no folder when $TMPDIR names one that does not exist.
    if (folder.isEmpty())
        return false;
    if (!folder.endsWith('/'))
        folder += '/';
    auto draw = [&]() -> unsigned {
        if (drawNumber)
            return drawNumber() & 0x7fffu;
        return QRandomGenerator::global()->bounded(32768u);
    };
    // Every one of the 32,768 names may be taken; give up well before looping forever.
    for (int attempt = 0; attempt < 4096; ++attempt) {
        const QByteArray candidate = folder + fileName(draw());
        const int fd = ::open(candidate.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST || errno == EINTR)
                continue;
            return false;
        }
        file_ = ::fdopen(fd, "w+");
        if (!file_) {
            ::close(fd);
            ::unlink(candidate.constData());
            return false;
        }
        path_ = candidate;
        RememberTemporaryFile(path_);
        return true;
    }
    return false;
}

long IntermediateFrameFile::writeLines(const QList<QByteArray>& rows, bool trimAviSize,
                                       bool noTrailingBlank) {
    if (!file_)
        return -1;
    return ForEachFrameLine(rows, trimAviSize, noTrailingBlank,
                            [this](long position, const QByteArray& path) {
                                const QByteArray text = FormatFrameLine(position, path);
                                return std::fwrite(text.constData(), 1, size_t(text.size()),
                                                   file_) == size_t(text.size());
                            });
}

bool IntermediateFrameFile::rewindForReading() {
    if (!file_)
        return false;
    if (std::fflush(file_) != 0 || std::ferror(file_))
        return false;
    return std::fseek(file_, 0, SEEK_SET) == 0;
}

bool IntermediateFrameFile::remove() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (path_.isEmpty())
        return true;
    const bool gone = ::unlink(path_.constData()) == 0 || errno == ENOENT;
    ForgetTemporaryFile(path_);
    path_.clear();
    return gone;
}

bool FrameLineReader::readLine() {
    if (!file_)
        return false;
    char* buffer = nullptr;
    size_t capacity = 0;
    const ssize_t length = ::getline(&buffer, &capacity, file_);
    if (length <= 0) {
        std::free(buffer);
        return false;
    }
    FrameLine parsed;
    const bool accepted = ParseFrameLine(QByteArray(buffer, qsizetype(length)), parsed);
    std::free(buffer);
    if (!accepted)
        return false;
    position_ = parsed.position;
    path_ = parsed.path;
    return true;
}
