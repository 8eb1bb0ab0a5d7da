#include "project/ProjectFile.h"

#include "project/BytePathFile.h"

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

ProjectReadResult ParseProjectText(const QByteArray& text, ProjectData& data) {
    data.settings = {};
    data.rows.clear();
    QList<QByteArray> lines = SplitTextLines(text);
    qsizetype i = 0;
    for (; i < lines.size(); ++i) {
        TrimLineEnd(lines[i]);
        // The first line that does not begin with "!" is row 0, whatever it
        // holds; a row 0 beginning with "!" is therefore taken as a setting.
        if (!lines[i].startsWith('!'))
            break;
        ApplySettingsLine(lines[i], data.settings);
    }
    if (i == lines.size())
        return ProjectReadResult::NoRowLine;
    data.rows.reserve(lines.size() - i);
    data.rows.append(std::move(lines[i]));
    for (++i; i < lines.size(); ++i) {
        TrimLineEnd(lines[i]);
        data.rows.append(std::move(lines[i]));
    }
    return ProjectReadResult::Ok;
}

ProjectReadResult ReadProjectData(const QByteArray& path, ProjectData& data) {
    const std::optional<QByteArray> text = ReadWholeFile(path);
    if (!text)
        return ProjectReadResult::CannotOpen;
    return ParseProjectText(*text, data);
}

bool WriteProjectData(const QByteArray& path, const ProjectSettings& settings,
                      const QList<QByteArray>& rows) {
    return WriteFileAtomically(path, ProjectFileText(settings, rows));
}
