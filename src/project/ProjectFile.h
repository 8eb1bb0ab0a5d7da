#pragma once

// The project file (.fsq): settings lines "!F", "!S", "!X", "!B", "!W", "!D",
// optional "!O" (pictures turned by their orientation tag), "!A" and "!A1",
// then one line per row (an empty line is a blank row). Unknown keys are
// passed over.
// Lines end in CR LF on disk; the reader accepts LF or CR LF. Paths are bytes.

#include "project/BytePathFile.h"
#include "settings/ProjectSettings.h"

#include <QByteArray>
#include <QList>

// What a project file may take; past these it is refused as a whole, so that
// a wrong file cannot take all memory. A million rows of long paths fit.
inline constexpr qint64 kMaxProjectFileBytes = qint64(256) << 20;
inline constexpr qsizetype kMaxProjectLineBytes = 65536; // without the line end
inline constexpr qsizetype kMaxProjectRows = qsizetype(4) << 20;
// A project file is text: a zero byte among its first bytes refuses it.
inline constexpr qsizetype kTextProbeBytes = 65536;

struct ProjectData {
    ProjectSettings settings;
    QList<QByteArray> rows;
};

enum class ProjectReadResult {
    Ok = 0,
    CannotOpen,   // "ファイルが開けませんでした"
    NoRowLine,    // "読み込み中にエラー発生": the file ended before the first row line
    NotText,      // a zero byte among the first kTextProbeBytes: an image, not a project
    FileTooLarge, // more than kMaxProjectFileBytes
    LineTooLong,  // a line of more than kMaxProjectLineBytes
    TooManyRows,  // more than kMaxProjectRows rows
};

// Cuts a text file's bytes into lines as a text-mode line reader sees them:
// each line keeps its LF, a CR LF pair arrives as LF, and a line stops at a
// zero byte. The project reader and the file-list import both read this way.
QList<QByteArray> SplitTextLines(const QByteArray& text);
// Removes a CR or LF at the last and at the next-to-last byte of a line as read.
void TrimLineEnd(QByteArray& line);

// The whole file text for settings and rows.
QByteArray ProjectFileText(const ProjectSettings& settings, const QList<QByteArray>& rows);
// Parses a file text, line and row bounds included. On NoRowLine,
// data.settings holds the defaults with the settings lines read so far
// applied and data.rows is empty. A refused line's number goes to *failure.
ProjectReadResult ParseProjectText(const QByteArray& text, ProjectData& data,
                                   FileFailure* failure = nullptr);

// Reads the file at path (bytes, opened as they are) piece by piece, so that
// only the rows are held, never the whole text beside them. The reason of a
// failure goes to *failure (its path is left to the caller).
ProjectReadResult ReadProjectData(const QByteArray& path, ProjectData& data,
                                  FileFailure* failure = nullptr);
// Writes the file at path (bytes) through a new file renamed over it: the
// previous file stays untouched unless the whole new text was written and
// flushed. True on success; the errno of a failure goes to *systemError.
bool WriteProjectData(const QByteArray& path, const ProjectSettings& settings,
                      const QList<QByteArray>& rows, int* systemError = nullptr);

// The folder whose files the project file at path names by relative paths:
// the file's own folder; empty when the path names no folder.
QByteArray ProjectFolder(const QByteArray& projectPath);
// The file a path in a project names. An absolute or empty path is itself; a
// relative one is taken from the project's folder when a file is there, else
// from the current folder, as written. The project file keeps it as written.
QByteArray ResolveProjectPath(const QByteArray& path, const QByteArray& projectFolder);
QList<QByteArray> ResolveProjectPaths(QList<QByteArray> paths, const QByteArray& projectFolder);
