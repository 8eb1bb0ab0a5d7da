#pragma once

// Whole-file reads and safe whole-file writes on paths given as bytes, so that
// a file name that is not valid UTF-8 is opened as it is, never re-encoded.

#include <QByteArray>

#include <functional>
#include <optional>

// Where and why reading or writing a file failed, for the message that tells
// the user.
struct FileFailure {
    QByteArray path;
    int systemError = 0; // errno of the call that failed; 0 when the file's contents were refused
    qint64 line = 0;     // the line refused (counted from 1); 0 when none
};

// The file's contents, or std::nullopt when it cannot be opened or read (a
// folder or another file that is not regular counts as unreadable).
std::optional<QByteArray> ReadWholeFile(const QByteArray& path);

// Reads the regular file at path from its start, handing its bytes to `take`
// in pieces of at most 64 KiB; `take` answers false to stop. Answers 0 when
// the file was read to its end or `take` stopped, else the errno of what
// failed: EISDIR for a folder, EINVAL for another file that is not regular,
// EFBIG for a file of more than maxBytes bytes (nothing of it is handed over
// when its size says so before reading).
int ReadFileInPieces(const QByteArray& path, qint64 maxBytes,
                     const std::function<bool(const char* bytes, qsizetype size)>& take);

// Writes text to a new file beside path and renames it over path only when
// every byte was written and flushed: on any failure the previous file stays
// untouched. An existing file keeps its permissions; a symbolic link keeps
// pointing at the file it names, which is the one replaced. True on success;
// on failure *systemError (when given) receives the errno of the step that failed.
bool WriteFileAtomically(const QByteArray& path, const QByteArray& text,
                         int* systemError = nullptr);

// Whether the existing file at path is write-protected: the user may not
// write it, or its mode grants writing to nobody (which holds for root too,
// as an editor's read-only mark does). False for a path that names no file.
bool IsWriteProtected(const QByteArray& path);
