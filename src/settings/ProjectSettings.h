#pragma once

// The movie and audio settings of a project. A project file may bring in any
// value; the dialogs' limits hold only for values a user confirms.

#include <QByteArray>
#include <QtGlobal>

// Bits per pixel of the movie's uncompressed frames. A project file may name
// an index outside the three (kept as read, refused by the conversion).
enum class ColourDepth : qint32 { Bits8 = 0, Bits16 = 1, Bits24 = 2 };

// 8, 16 or 24; 0 for a depth outside the three.
constexpr int BitsPerPixel(ColourDepth depth) {
    switch (depth) {
    case ColourDepth::Bits8:
        return 8;
    case ColourDepth::Bits16:
        return 16;
    case ColourDepth::Bits24:
        return 24;
    }
    return 0;
}

struct ProjectSettings {
    quint32 fps = 8;                        // frames per second (dialog: 1 to 40)
    quint32 width = 320;                    // movie width in pixels (dialog: 20 to 1280)
    quint32 height = 240;                   // movie height in pixels (dialog: 20 to 1280)
    ColourDepth depth = ColourDepth::Bits8; // the project file's index 0, 1, 2
    bool noTrailingBlank = false;           // no closing blank frame
    bool scaleImages = false;               // stretch images to the frame; else centre them
    bool trimAviSize = false;               // no hold lines at the end of blank runs
    bool audioEnabled = false;              // copy the sound of audioPath into the movie
    QByteArray audioPath;                   // path bytes of the sound file
    bool applyOrientation = false;          // turn pictures by their orientation tag

    bool operator==(const ProjectSettings&) const = default;
};
