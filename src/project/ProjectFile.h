#pragma once

// The project file (.fsq): settings lines "!F", "!S", "!X", "!B", "!W", "!D",
// optional "!A" and "!A1", then one line per row (an empty line is a blank row).
// Lines end in CR LF on disk; the reader accepts LF or CR LF. Paths are bytes.

#include "settings/ProjectSettings.h"

#include <QByteArray>
#include <QList>

struct ProjectData {
    ProjectSettings settings;
    QList<QByteArray> rows;
};

enum class ProjectReadResult {
    Ok = 0,
    CannotOpen, // "ファイルが開けませんでした"
    NoRowLine,  // "読み込み中にエラー発生": the file ended before the first row line
};

// Cuts a text file's bytes into lines as a text-mode line reader sees them:
// each line keeps its LF, a CR LF pair arrives as LF, and a line stops at a
// zero byte. The project reader and the file-list import both read this way.
QList<QByteArray> SplitTextLines(const QByteArray& text);
// Removes a CR or LF at the last and at the next-to-last byte of a line as read.
void TrimLineEnd(QByteArray& line);

// The whole file text for settings and rows.
QByteArray ProjectFileText(const ProjectSettings& settings, const QList<QByteArray>& rows);
// Parses a file text. On NoRowLine, data.settings holds the defaults with the
// settings lines read so far applied and data.rows is empty.
ProjectReadResult ParseProjectText(const QByteArray& text, ProjectData& data);

// Reads the file at path (bytes, opened as they are).
ProjectReadResult ReadProjectData(const QByteArray& path, ProjectData& data);
// Writes the file at path (bytes) through a new file renamed over it: the
// previous file stays untouched unless the whole new text was written and
// flushed. True on success.
bool WriteProjectData(const QByteArray& path, const ProjectSettings& settings,
                      const QList<QByteArray>& rows);
