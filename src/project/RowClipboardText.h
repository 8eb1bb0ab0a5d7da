#pragma once

// The clipboard text that carries rows between lists, between two running
// copies of the program and to and from text editors:
//
//   "Vistrom data" CR LF            the 14-byte header, exactly
//   <path of row a> CR LF           one line per row, in ascending row order
//   CR LF                           a blank row is an empty line
//   ...
//
// Paths travel whole and as the bytes the list holds; there is no row count,
// no frame number and no end marker.

#include <QByteArray>
#include <QList>

#include <optional>

// The 14 header bytes.
inline constexpr char RowClipboardHeader[] = "Vistrom data\r\n";
inline constexpr int RowClipboardHeaderSize = 14;

// The clipboard text for the given paths (header, then one CR LF line each).
QByteArray RowClipboardText(const QList<QByteArray>& paths);

// Checks the header and cuts the body into lines. std::nullopt when the text
// does not begin with the exact header (it is not row data). The text ends at
// its first NUL byte, if any.
//
// A line end is one CR or LF byte, together with the byte after it when that
// byte is also CR, LF or the end of the text. So CR LF, a lone CR and a lone LF
// each end a line, CR LF CR LF keeps an empty line between its neighbours, and
// LF LF (two LFs in a row) counts as one line end. Reading stops once fewer
// than two bytes are left: the final line end never yields an extra empty
// line, and a last line of one byte without a line end is not taken. Texts
// written by RowClipboardText always come back exactly.
std::optional<QList<QByteArray>> SplitRowClipboardText(const QByteArray& text);
