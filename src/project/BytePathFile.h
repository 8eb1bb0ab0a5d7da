#pragma once

// Whole-file reads and safe whole-file writes on paths given as bytes, so that
// a file name that is not valid UTF-8 is opened as it is, never re-encoded.

#include <QByteArray>

#include <optional>

// The file's contents, or std::nullopt when it cannot be opened or read (a
// folder or another file that is not regular counts as unreadable).
std::optional<QByteArray> ReadWholeFile(const QByteArray& path);

// Writes text to a new file beside path and renames it over path only when
// every byte was written and flushed: on any failure the previous file stays
// untouched. An existing file keeps its permissions; a symbolic link keeps
// pointing at the file it names, which is the one replaced. True on success.
bool WriteFileAtomically(const QByteArray& path, const QByteArray& text);
