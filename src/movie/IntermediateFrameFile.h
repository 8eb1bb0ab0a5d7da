#pragma once

// The intermediate frame file between the conversion command and the movie
// writer: a text file of lines "%ld,%s\n", each a movie position and the image
// to show there (or "*", the blank frame), in strictly increasing position
// order. The conversion writes it from the rows of the list, then reads it
// back one line at a time (FrameLineReader) as the movie's frames are drawn.
//
// Owned by the conversion (src/movie/Conversion.*); nothing here touches a
// widget, so the command and the headless converter share it.

#include <QByteArray>
#include <QList>

#include <cstdio>
#include <functional>

// The path of the closing blank frame. It names no file: the frame stays white.
inline constexpr char kBlankFrameMarker[] = "*";

// The next image row (a row whose path is not empty) after `lastFound`, or row 0
// itself on the first call (continuing == 0). rowCounter follows the walk: it
// ends on the row found, or on the last row (0 for an empty list) when there is
// none. Answers the row's index and its whole path, or a negative value and an
// empty path when no image row follows.
long FindNextImageRow(const QList<QByteArray>& rows, int continuing, long lastFound,
                      QByteArray& path, long& rowCounter);

// Walks the rows once and hands each frame line to `line` in file order: the
// image rows at their own positions, hold lines that repeat an image at the last
// blank row of a run (unless trimAviSize), and the blank frame one past the last
// row (unless noTrailingBlank). Every image row is taken, however many there
// are. `line` answers false to stop (a write error); the result is the number of
// lines handed over, or -1 when `line` stopped the walk.
long ForEachFrameLine(const QList<QByteArray>& rows, bool trimAviSize, bool noTrailingBlank,
                      const std::function<bool(long position, const QByteArray& path)>& line);

// "position,path\n".
QByteArray FormatFrameLine(long position, const QByteArray& path);

// The first row whose path cannot travel in a frame line (a line break inside
// it, or nothing but white space, which the reader's acceptance rule would take
// for the end of the list), or -1 when every row can.
long FirstUncarriableRow(const QList<QByteArray>& rows);

// One parsed frame line.
struct FrameLine {
    long position = 0;
    QByteArray path; // empty when the leading digits were not followed by a comma
};

// The acceptance rule of the reader: up to two trailing CR or LF bytes are
// removed, then the line must read as "%ld,%s" would: a number (leading white
// space and a sign allowed), a comma right after its digits, and at least one
// byte that is not white space after the comma. The path is every byte after
// the comma that ends the line's leading digits, spaces and commas included.
bool ParseFrameLine(QByteArray line, FrameLine& parsed);

// The temporary file itself. It is created exclusively (O_CREAT | O_EXCL, mode
// 0600) in the temporary directory, named "fsq_%04lx.tmp" with a random number
// below 0x8000, drawing another number when the name is taken. The file is
// removed when this object goes, unless remove() already did.
class IntermediateFrameFile {
public:
    IntermediateFrameFile() = default;
    ~IntermediateFrameFile();
    IntermediateFrameFile(const IntermediateFrameFile&) = delete;
    IntermediateFrameFile& operator=(const IntermediateFrameFile&) = delete;

    // Creates the file in `directory` (empty: QDir::tempPath()). drawNumber
    // gives the candidates (default: a random number 0..32767). False when no
    // file could be created.
    bool create(const QByteArray& directory = {},
                const std::function<unsigned(void)>& drawNumber = {});

    // Writes the frame lines of the rows (see ForEachFrameLine); the number of
    // lines written, or -1 when a write failed (a full disk, for instance).
    long writeLines(const QList<QByteArray>& rows, bool trimAviSize, bool noTrailingBlank);

    // Flushes what was written and goes back to the first line for reading.
    bool rewindForReading();

    // The open file, for the FrameLineReader; null before create().
    std::FILE* file() const { return file_; }
    const QByteArray& path() const { return path_; }

    // Closes and deletes the file; true when it is gone.
    bool remove();

    // The name for a number: "fsq_%04lx.tmp".
    static QByteArray fileName(unsigned number);

private:
    std::FILE* file_ = nullptr;
    QByteArray path_;
};

// Reads the frame lines back, in file order.
class FrameLineReader {
public:
    explicit FrameLineReader(std::FILE* file) : file_(file) {}

    // True when a frame line was read; false at the end of the file, on a
    // read error or at a line that fails the acceptance rule (the line read
    // before then stays the current one).
    bool readLine();

    // The line read last.
    long position() const { return position_; }
    const QByteArray& path() const { return path_; }

private:
    std::FILE* file_;
    long position_ = 0;
    QByteArray path_;
};
