#pragma once

// Cases name only the fields they need with designated initializers.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// Builds BMP files byte by byte for the imaging tests, so that every field the
// reader looks at is under the test's control; other files by Qt's writers.

#include "imaging/PixelBuffer.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace fixtures {

// Appends each value as little-endian bytes, as many as its digit in sizes.
inline void Put(QByteArray& b, const char* sizes, std::initializer_list<uint32_t> values) {
    for (uint32_t v : values)
        for (int i = 0, n = *sizes++ - '0'; i < n; ++i)
            b.append(char(v >> (8 * i)));
}
inline void Poke32(QByteArray& b, int at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 255);
}

struct BmpLayout {
    int32_t width = 1;
    int32_t height = 1; // negative: top-down rows
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t clrUsed = 0;
    uint32_t headerSize = 40;      // 12, 40, 52, 56, 108 or 124
    std::vector<uint32_t> palette; // 0x00RRGGBB, written as B, G, R, 0
    std::vector<uint32_t> masks;   // R, G, B[, A]: after a 40-byte header, inside larger ones
    QByteArray pixels;             // the pixel array exactly as stored
    int gap = 0;                   // bytes of junk between the table and the pixels
    std::optional<uint32_t> bfSize, bfOffBits; // overrides
};

inline QByteArray MakeBmp(const BmpLayout& s) {
    QByteArray info;
    const uint32_t w = uint32_t(s.width), h = uint32_t(s.height), core = s.headerSize == 12;
    if (core)
        Put(info, "42222", {12, w, h, 1, s.bitCount});
    else
        Put(info, "44422444444",
            {s.headerSize, w, h, 1, s.bitCount, s.compression, uint32_t(s.pixels.size()), 2835,
             2835, s.clrUsed, 0});
    for (size_t i = 0; !core && i < (s.headerSize > 40 ? 4 : s.masks.size()); ++i)
        Put(info, "4", {i < s.masks.size() ? s.masks[i] : 0});
    if (s.headerSize > 40) // colour space fields: junk the reader must skip
        info.append(QByteArray(s.headerSize - info.size(), char(0x5a)));
    for (uint32_t c : s.palette) // B, G, R[, 0]
        Put(info, core ? "3" : "4", {c});
    info.append(QByteArray(s.gap, char(0xa5)));
    QByteArray file("BM");
    Put(file, "444",
        {s.bfSize.value_or(uint32_t(14 + info.size() + s.pixels.size())), 0,
         s.bfOffBits.value_or(uint32_t(14 + info.size()))});
    return file + info + s.pixels;
}

// Packs rows of palette indices (or 0x00RRGGBB colours at 24 and 32 bits, raw
// 16-bit words at 16) into padded rows, bottom-up unless topDown.
inline QByteArray PackRows(const std::vector<uint32_t>& values, int width, int height, int bitCount,
                           bool topDown = false) {
    const int stride = ((width * bitCount + 31) / 32) * 4;
    QByteArray out(stride * height, char(0));
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        char* row = out.data() + r * stride;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = values[size_t(y) * width + x];
            if (bitCount <= 8) // most significant bits first
                row[x * bitCount / 8] |=
                    char((v & ((1u << bitCount) - 1)) << (8 - bitCount - x * bitCount % 8));
            else // little-endian words, R G B as B G R bytes
                for (int i = 0; i < bitCount / 8; ++i)
                    row[x * bitCount / 8 + i] = char(v >> (8 * i));
        }
        // Padding bytes carry junk: the reader must not show them.
        for (int i = (width * bitCount + 7) / 8; i < stride; ++i)
            row[i] = char(0xee);
    }
    return out;
}

inline bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A file Qt writes (PNG unless told) of the colours, 0xAARRGGBB top row
// first, stored as `format`.
inline QByteArray QtFile(int width, int height, std::vector<uint32_t> argb,
                         const char* type = "png", QImage::Format format = QImage::Format_RGB32) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImage(reinterpret_cast<const uchar*>(argb.data()), width, height, QImage::Format_ARGB32)
        .convertToFormat(format)
        .save(&buffer, type);
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
            const uint8_t* p = picture.row(y) + x * PixelBits(picture.format()) / 8;
            out.push_back(picture.format() == PixelFormat::Xrgb32
                              ? picture.xrgbRow(y)[x]
                              : 0xff000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0]);
        }
    return out;
}

} // namespace fixtures
