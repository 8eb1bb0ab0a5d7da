#pragma once

// Exif blocks for the tests that turn pictures by their orientation tag.

#include <QByteArray>

namespace fixtures {

// The TIFF structure of an Exif block: one directory at 8 holding one
// Orientation entry (tag 0x0112, one SHORT).
inline QByteArray ExifTiff(int orientation, bool bigEndian = false) {
    QByteArray t =
        QByteArray::fromHex(bigEndian ? "4d4d002a00000008000101120003000000010000000000000000"
                                      : "49492a0008000000010012010300010000000000000000000000");
    t[bigEndian ? 19 : 18] = char(orientation);
    return t;
}

// A JPEG with an APP1 Exif segment holding `tiff` inserted after its SOI.
inline QByteArray WithExif(const QByteArray& jpeg, const QByteArray& tiff) {
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xff\xe1");
    segment.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 255));
    return jpeg.left(2) + segment + body + jpeg.mid(2);
}

} // namespace fixtures
