#include "project/ProjectFile.h"

#include "project/BytePathFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads a number the way the C library's "%ld" does: leading white space
// skipped, an optional sign, then digits up to the first non-digit. The value
// wraps to 32 bits like a 32-bit long that overflows. Answers false when no
// digit was read; `pos` then is unspecified.
bool ScanLong(const QByteArray& text, qsizetype& pos, quint32& value) {
    while (pos < text.size() && IsCSpace(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    quint32 magnitude = 0;
    const qsizetype first = pos;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        magnitude = magnitude * 10u + quint32(text[pos] - '0');
        ++pos;
    }
    if (pos == first)
        return false;
    value = negative ? 0u - magnitude : magnitude;
    return true;
}

// "%ld" from the 4th character of a settings line.
bool NumberAt4th(const QByteArray& line, quint32& value) {
    qsizetype pos = 3;
    return ScanLong(line, pos, value);
}

void ApplySettingsLine(const QByteArray& line, ProjectSettings& s) {
    if (line.size() < 2)
        return;
    quint32 v = 0;
    switch (line[1]) {
    case 'F':
        s.fps = NumberAt4th(line, v) ? v : 8u;
        break;
    case 'S': {
        // "%ld,%ld": the comma must follow the first number directly.
        qsizetype pos = 3;
        quint32 w = 0, h = 0;
        if (ScanLong(line, pos, w) && pos < line.size() && line[pos] == ',' &&
            ScanLong(line, ++pos, h)) {
            s.width = w;
            s.height = h;
        } else {
            s.width = 320;
            s.height = 240;
        }
        break;
    }
    case 'X':
        s.scaleImages = NumberAt4th(line, v) && v != 0;
        break;
    case 'B':
        s.depth = ColourDepth(NumberAt4th(line, v) ? qint32(v) : 0);
        break;
    case 'W':
        s.noTrailingBlank = NumberAt4th(line, v) && v != 0;
        break;
    case 'D':
        s.trimAviSize = NumberAt4th(line, v) && v != 0;
        break;
    case 'O':
        s.applyOrientation = NumberAt4th(line, v) && v != 0;
        break;
    case 'A':
        if (line.size() > 2 && line[2] == ' ')
            s.audioEnabled = NumberAt4th(line, v) && v != 0;
        else if (line.size() > 3 && line[2] == '1' && line[3] == ' ')
            s.audioPath = line.mid(4);
        break;
    default: // lower-case and unknown keys are passed over
        break;
    }
}

QByteArray UpToZero(const QByteArray& bytes) {
    const qsizetype zero = bytes.indexOf('\0');
    return zero < 0 ? bytes : bytes.left(zero);
}

} // namespace

// The text after the last LF is a line of its own when it is not empty. Lines
// are never cut at a fixed size.
QList<QByteArray> SplitTextLines(const QByteArray& text) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        QByteArray line;
        if (end < 0) {
            line = text.mid(start);
            start = text.size();
        } else {
            line = text.mid(start, end - start + 1);
            start = end + 1;
            if (line.size() >= 2 && line[line.size() - 2] == '\r')
                line.remove(line.size() - 2, 1);
        }
        const qsizetype zero = line.indexOf('\0');
        if (zero >= 0)
            line.truncate(zero);
        lines.append(std::move(line));
    }
    return lines;
}

void TrimLineEnd(QByteArray& line) {
    // Both positions are looked at in the line as it was read.
    const qsizetype length = line.size();
    qsizetype cut = length;
    if (length >= 1 && IsLineEnd(line[length - 1]))
        cut = length - 1;
    if (length >= 2 && IsLineEnd(line[length - 2]))
        cut = length - 2;
    line.truncate(cut);
}

QByteArray ProjectFileText(const ProjectSettings& settings, const QList<QByteArray>& rows) {
    // Numbers are written as signed 32-bit values, as a 32-bit "%ld" prints them.
    auto number = [](auto value) { return QByteArray::number(qint32(value)); };
    QByteArray text;
    qsizetype size = 64 + settings.audioPath.size();
    for (const QByteArray& row : rows)
        size += row.size() + 2;
    text.reserve(size);
    text += "!F " + number(settings.fps) + "\r\n";
    text += "!S " + number(settings.width) + ',' + number(settings.height) + "\r\n";
    text += "!X " + number(settings.scaleImages) + "\r\n";
    text += "!B " + number(qint32(settings.depth)) + "\r\n";
    text += "!W " + number(settings.noTrailingBlank) + "\r\n";
    text += "!D " + number(settings.trimAviSize) + "\r\n";
    // Written only when on: a project that leaves it off stays the file it
    // always was, for older readers too (they pass the key over).
    if (settings.applyOrientation)
        text += "!O 1\r\n";
    if (settings.audioEnabled)
        text += "!A 1\r\n";
    const QByteArray audioPath = UpToZero(settings.audioPath);
    if (!audioPath.isEmpty())
        text += "!A1 " + audioPath + "\r\n";
    // An empty list still gets its row-0 line, so that the file loads again
    // (as one blank row) instead of being refused for having no row line.
    if (rows.isEmpty())
        text += "\r\n";
    for (const QByteArray& row : rows) {
        text += UpToZero(row);
        text += "\r\n";
    }
    return text;
}

namespace {

// Takes a file's lines one at a time: the settings lines, then every row.
class ProjectParser {
public:
    explicit ProjectParser(ProjectData& data) : data_(data) {
        data_.settings = {};
        data_.rows.clear();
    }

    ProjectReadResult take(QByteArray&& line) {
        TrimLineEnd(line);
        // The first line that does not begin with "!" is row 0, whatever it
        // holds; a row 0 beginning with "!" is therefore taken as a setting.
        if (!inRows_) {
            if (line.startsWith('!')) {
                ApplySettingsLine(line, data_.settings);
                return ProjectReadResult::Ok;
            }
            inRows_ = true;
        }
        if (data_.rows.size() >= kMaxProjectRows)
            return ProjectReadResult::TooManyRows;
        data_.rows.append(std::move(line));
        return ProjectReadResult::Ok;
    }

    ProjectReadResult finish() const {
        return inRows_ ? ProjectReadResult::Ok : ProjectReadResult::NoRowLine;
    }

private:
    ProjectData& data_;
    bool inRows_ = false;
};

// Cuts bytes that come in pieces into lines exactly as SplitTextLines does,
// refusing a line longer than kMaxProjectLineBytes (its end aside).
class LineCutter {
public:
    explicit LineCutter(ProjectParser& parser) : parser_(parser) {}

    ProjectReadResult feed(const char* bytes, qsizetype size) {
        const char* end = bytes + size;
        while (bytes < end) {
            const auto* lf =
                static_cast<const char*>(std::memchr(bytes, '\n', size_t(end - bytes)));
            const char* stop = lf ? lf + 1 : end;
            // A line with its CR LF end, so a whole line is never held past the bound.
            if (pending_.size() + (stop - bytes) > kMaxProjectLineBytes + 2)
                return refuseLine();
            if (!lf) {
                pending_.append(bytes, stop - bytes);
                return ProjectReadResult::Ok;
            }
            QByteArray line;
            if (pending_.isEmpty()) {
                line = QByteArray(bytes, stop - bytes);
            } else {
                pending_.append(bytes, stop - bytes);
                line = std::move(pending_);
                pending_ = QByteArray();
            }
            bytes = stop;
            if (const ProjectReadResult r = pass(std::move(line)); r != ProjectReadResult::Ok)
                return r;
        }
        return ProjectReadResult::Ok;
    }

    // The text after the last LF is a line of its own when it is not empty.
    ProjectReadResult finish() {
        if (!pending_.isEmpty())
            if (const ProjectReadResult r = pass(std::move(pending_)); r != ProjectReadResult::Ok)
                return r;
        return parser_.finish();
    }

    qint64 lines() const { return lines_; }

private:
    ProjectReadResult refuseLine() {
        ++lines_;
        return ProjectReadResult::LineTooLong;
    }

    ProjectReadResult pass(QByteArray&& line) {
        if (line.endsWith('\n')) {
            if (line.size() >= 2 && line[line.size() - 2] == '\r')
                line.remove(line.size() - 2, 1);
            if (line.size() - 1 > kMaxProjectLineBytes)
                return refuseLine();
        } else if (line.size() > kMaxProjectLineBytes) {
            return refuseLine();
        }
        const qsizetype zero = line.indexOf('\0');
        if (zero >= 0)
            line.truncate(zero);
        ++lines_;
        return parser_.take(std::move(line));
    }

    ProjectParser& parser_;
    QByteArray pending_;
    qint64 lines_ = 0;
};

ProjectReadResult Refused(ProjectReadResult result, ProjectData& data, const LineCutter& cutter,
                          FileFailure* failure) {
    if (failure &&
        (result == ProjectReadResult::LineTooLong || result == ProjectReadResult::TooManyRows))
        failure->line = cutter.lines();
    if (result != ProjectReadResult::NoRowLine)
        data.settings = {};
    data.rows.clear();
    return result;
}

} // namespace

ProjectReadResult ParseProjectText(const QByteArray& text, ProjectData& data,
                                   FileFailure* failure) {
    ProjectParser parser(data);
    LineCutter cutter(parser);
    ProjectReadResult result = cutter.feed(text.constData(), text.size());
    if (result == ProjectReadResult::Ok)
        result = cutter.finish();
    return result == ProjectReadResult::Ok ? result : Refused(result, data, cutter, failure);
}

ProjectReadResult ReadProjectData(const QByteArray& path, ProjectData& data, FileFailure* failure) {
    ProjectParser parser(data);
    LineCutter cutter(parser);
    ProjectReadResult result = ProjectReadResult::Ok;
    qint64 offset = 0;
    const int error =
        ReadFileInPieces(path, kMaxProjectFileBytes, [&](const char* bytes, qsizetype size) {
            if (offset < kTextProbeBytes &&
                std::memchr(bytes, '\0', size_t(std::min<qint64>(size, kTextProbeBytes - offset))))
                result = ProjectReadResult::NotText;
            else
                result = cutter.feed(bytes, size);
            offset += size;
            return result == ProjectReadResult::Ok;
        });
    if (error == EFBIG) {
        result = ProjectReadResult::FileTooLarge;
    } else if (error != 0) {
        if (failure)
            failure->systemError = error;
        result = ProjectReadResult::CannotOpen;
    } else if (result == ProjectReadResult::Ok) {
        result = cutter.finish();
    }
    return result == ProjectReadResult::Ok ? result : Refused(result, data, cutter, failure);
}

bool WriteProjectData(const QByteArray& path, const ProjectSettings& settings,
                      const QList<QByteArray>& rows, int* systemError) {
    return WriteFileAtomically(path, ProjectFileText(settings, rows), systemError);
}

QByteArray ProjectFolder(const QByteArray& projectPath) {
    const qsizetype slash = projectPath.lastIndexOf('/');
    if (slash < 0)
        return {};
    return slash == 0 ? QByteArray("/") : projectPath.left(slash);
}

QByteArray ResolveProjectPath(const QByteArray& path, const QByteArray& projectFolder) {
    if (path.isEmpty() || path.startsWith('/') || projectFolder.isEmpty())
        return path;
    QByteArray inFolder = projectFolder;
    if (!inFolder.endsWith('/'))
        inFolder += '/';
    inFolder += path;
    return ::access(inFolder.constData(), F_OK) == 0 ? inFolder : path;
}

QList<QByteArray> ResolveProjectPaths(QList<QByteArray> paths, const QByteArray& projectFolder) {
    if (projectFolder.isEmpty())
        return paths;
    for (QByteArray& path : paths)
        if (!path.isEmpty() && !path.startsWith('/'))
            path = ResolveProjectPath(path, projectFolder);
    return paths;
}
