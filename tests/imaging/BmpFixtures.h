#pragma once

// What the imaging tests share: a test pattern, files of it by Qt's writers,
// a decoded picture's pixels as words; a photo's Exif orientation tag.

#include "../program_run.h"
#include "imaging/PixelBuffer.h"

#include <QtGui>

#include <cstdint>
#include <vector>

namespace fixtures {

// The colours, 0xAARRGGBB top row first, as a QImage of `format`: opaque
// unless with alpha, so that palettes are exact.
inline QImage Picture(int width, int height, const std::vector<uint32_t>& argb,
                      QImage::Format format) {
    const bool alpha = QImage::toPixelFormat(format).alphaUsage() == QPixelFormat::UsesAlpha;
    return QImage(reinterpret_cast<const uchar*>(argb.data()), width, height,
                  alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32)
        .convertToFormat(format);
}
// A file Qt writes (PNG unless told; lossless where it can) of the Picture,
// tagged with the turn `transformation` (a QImageIOHandler::Transformation).
inline QByteArray QtFile(int width, int height, const std::vector<uint32_t>& argb,
                         const char* type = "png", QImage::Format format = QImage::Format_RGB32,
                         int transformation = 0) {
    QByteArray out;
    QBuffer buffer(&out);
    QImageWriter writer(&buffer, type);
    writer.setQuality(100);
    writer.setTransformation(QImageIOHandler::Transformations(transformation));
    writer.write(Picture(width, height, argb, format));
    return out;
}
// A colour that is different at every pixel, for checking where pixels land.
inline uint32_t PatternColour(int x, int y) {
    return uint32_t(((x * 37) & 255) << 16 | ((y * 53) & 255) << 8 | ((x + y) * 11 & 255));
}
// The pattern's colours, top row first, with an alpha byte (0 or 0xff000000).
inline std::vector<uint32_t> Pattern(int width, int height, uint32_t alpha = 0) {
    std::vector<uint32_t> v(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            v[size_t(y) * width + x] = alpha | PatternColour(x, y);
    return v;
}
// A decoded picture's pixels as 0xffRRGGBB words, top row first, from
// either format the decoders make (Xrgb32, or a plug-in's Bgr24 rows).
inline std::vector<uint32_t> Words(const PixelBuffer& picture) {
    std::vector<uint32_t> out;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const uint8_t* p = picture.row(y) + x * PixelBits(picture.format()) / 8; // B, G, R
            out.push_back(0xff000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
        }
    return out;
}
// The JPEG with an APP1 Exif segment after its SOI: a TIFF structure whose
// one directory, at `directory`, holds an Orientation entry (0x0112, a SHORT).
inline QByteArray WithExif(const QByteArray& jpeg, int orientation, bool bigEndian,
                           char directory = 8) {
    QByteArray body =
        "Exif" + QByteArray(2, 0) +
        QByteArray::fromHex(bigEndian ? "4d4d002a00000008000101120003000000010000000000000000"
                                      : "49492a0008000000010012010300010000000000000000000000");
    body[bigEndian ? 25 : 24] = char(orientation);
    body[bigEndian ? 13 : 10] = directory;
    const qsizetype n = body.size() + 2;
    return jpeg.left(2) + "\xff\xe1" + char(n >> 8) + char(n) + body + jpeg.mid(2);
}

} // namespace fixtures
