#include "imaging/FrameRenderer.h"

#include "imaging/MoviePalette.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t White = 0xffffffffu;

// One row of 0xffRRGGBB pixels into a frame row; y is the row's place, on
// which the 8-bit dithering depends.
void ConvertRow(const uint32_t* src, uint8_t* dst, int width, PixelFormat format, int y) {
    switch (format) {
    case PixelFormat::Xrgb32:
        std::memcpy(dst, src, size_t(width) * 4);
        break;
    case PixelFormat::Bgr24:
        for (int x = 0; x < width; ++x, dst += 3) {
            const uint32_t p = src[x];
            dst[0] = uint8_t(p);
            dst[1] = uint8_t(p >> 8);
            dst[2] = uint8_t(p >> 16);
        }
        break;
    case PixelFormat::Rgb555:
        for (int x = 0; x < width; ++x, dst += 2) {
            const uint32_t p = src[x];
            const uint32_t v = ((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 | ((p >> 3) & 31);
            dst[0] = uint8_t(v);
            dst[1] = uint8_t(v >> 8);
        }
        break;
    case PixelFormat::Indexed8:
        MoviePaletteRow(src, dst, width, y);
        break;
    }
}

// A picture pixel as a 0xffRRGGBB word; both layouts start with B, G, R.
inline uint32_t Pixel(const uint8_t* p, int bytesPerPixel) {
    if (bytesPerPixel == 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    return 0xff000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

void LoadRow(const uint8_t* src, int bytesPerPixel, int count, uint32_t* out) {
    if (bytesPerPixel == 4) {
        std::memcpy(out, src, size_t(count) * 4);
        return;
    }
    for (int i = 0; i < count; ++i, src += 3)
        out[i] = 0xff000000u | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
}

// Bgr24 frame rows from picture pixels at byte offsets `map`: one 4-byte move
// per pixel, whose fourth byte the next pixel overwrites. The last pixel, and
// pixels from the picture's last column (whose fourth byte may lie past its
// rows), move byte by byte, so nothing outside either row is touched.
void MoveBgrPixels(const uint8_t* src, const uint32_t* map, int wide, int width, uint8_t* dst) {
    int dx = 0;
    for (; dx < wide; ++dx, dst += 3) {
        uint32_t v;
        std::memcpy(&v, src + map[dx], 4);
        std::memcpy(dst, &v, 4);
    }
    for (; dx < width; ++dx, dst += 3) {
        const uint8_t* p = src + map[dx];
        dst[0] = p[0];
        dst[1] = p[1];
        dst[2] = p[2];
    }
}

// DrawMode::Stretch. The column map holds byte offsets into a picture row;
// a frame row whose picture row repeats the row before is copied.
void Stretch(const PixelBuffer& picture, PixelBuffer& frame) {
    const int width = frame.width(), height = frame.height();
    const PixelFormat format = frame.format();
    const int bpp = picture.format() == PixelFormat::Xrgb32 ? 4 : 3;
    const size_t rowBytes = size_t(width) * size_t(PixelBits(format) / 8);
    thread_local std::vector<uint32_t> row, columns;
    row.resize(size_t(width));
    columns.resize(size_t(width));
    const uint64_t sw = uint64_t(picture.width()), sh = uint64_t(picture.height());
    for (int dx = 0; dx < width; ++dx)
        columns[size_t(dx)] =
            uint32_t((2 * uint64_t(dx) + 1) * sw / (2 * uint64_t(uint32_t(width)))) * uint32_t(bpp);
    const uint32_t* map = columns.data();
    const uint32_t lastColumn = uint32_t(picture.width() - 1) * uint32_t(bpp);
    int wide = 0; // pixels that may move 4 bytes at once (the map only grows)
    while (wide < width - 1 && map[wide] < lastColumn)
        ++wide;
    int previous = -1;
    const uint8_t* previousRow = nullptr;
    for (int dy = 0; dy < height; ++dy) {
        const int sy = int((2 * uint64_t(dy) + 1) * sh / (2 * uint64_t(uint32_t(height))));
        uint8_t* dst = frame.row(dy);
        // At 8 bits the dithering differs from row to row.
        if (sy == previous && format != PixelFormat::Indexed8) {
            std::memcpy(dst, previousRow, rowBytes);
            continue;
        }
        const uint8_t* src = picture.row(sy);
        if (format == PixelFormat::Bgr24) {
            MoveBgrPixels(src, map, wide, width, dst);
        } else {
            for (int dx = 0; dx < width; ++dx)
                row[size_t(dx)] = Pixel(src + map[dx], bpp);
            ConvertRow(row.data(), dst, width, format, dy);
        }
        previous = sy;
        previousRow = dst;
    }
}

// DrawMode::Centre and TopLeft, or no picture at all: natural size, clipped,
// white around it.
void Place(const PixelBuffer* picture, DrawMode mode, PixelBuffer& frame) {
    const int width = frame.width(), height = frame.height();
    const PixelFormat format = frame.format();
    const size_t rowBytes = size_t(width) * size_t(PixelBits(format) / 8);
    const int bpp = picture && picture->format() == PixelFormat::Xrgb32 ? 4 : 3;
    int64_t left = 0, right = 0, top = 0, bottom = 0, x0 = 0, y0 = 0;
    if (picture) {
        if (mode != DrawMode::TopLeft) {
            x0 = int64_t(uint32_t(width) >> 1) - picture->width() / 2;
            y0 = int64_t(uint32_t(height) >> 1) - picture->height() / 2;
        }
        left = std::max<int64_t>(x0, 0);
        right = std::min<int64_t>(x0 + picture->width(), width);
        top = std::max<int64_t>(y0, 0);
        bottom = std::min<int64_t>(y0 + picture->height(), height);
        if (left >= right || top >= bottom)
            top = bottom = 0;
    }
    thread_local std::vector<uint32_t> row;
    thread_local std::vector<uint8_t> whiteRow;
    row.assign(size_t(width), White);
    if (format != PixelFormat::Indexed8) {
        whiteRow.resize(rowBytes);
        ConvertRow(row.data(), whiteRow.data(), width, format, 0);
    }
    const size_t visible = size_t(right - left);
    bool rowIsWhite = true;
    for (int dy = 0; dy < height; ++dy) {
        uint8_t* dst = frame.row(dy);
        const bool inside = dy >= top && dy < bottom;
        if (!inside && format != PixelFormat::Indexed8) {
            std::memcpy(dst, whiteRow.data(), rowBytes);
            continue;
        }
        const uint8_t* src = inside ? picture->row(int(dy - y0)) + (left - x0) * bpp : nullptr;
        if (inside && format == PixelFormat::Bgr24 && bpp == 3) {
            // BGR onto BGR: the white margins and the picture's bytes as they are.
            std::memcpy(dst, whiteRow.data(), size_t(left) * 3);
            std::memcpy(dst + left * 3, src, visible * 3);
            std::memcpy(dst + right * 3, whiteRow.data(), size_t(width - right) * 3);
            continue;
        }
        if (!rowIsWhite) {
            std::fill(row.begin(), row.end(), White);
            rowIsWhite = true;
        }
        if (inside) {
            LoadRow(src, bpp, int(visible), row.data() + left);
            rowIsWhite = false;
        }
        ConvertRow(row.data(), dst, width, format, dy);
    }
}

} // namespace

void RenderFrame(const PixelBuffer* picture, DrawMode mode, PixelBuffer& frame) {
    if (frame.isEmpty())
        return;
    const bool drawable =
        picture && !picture->isEmpty() &&
        (picture->format() == PixelFormat::Xrgb32 || picture->format() == PixelFormat::Bgr24);
    if (drawable && mode == DrawMode::Stretch)
        Stretch(*picture, frame);
    else
        Place(drawable ? picture : nullptr, mode, frame);
}

void ReduceColours(PixelBuffer& frame, PixelFormat format) {
    if (frame.isEmpty() || frame.format() != PixelFormat::Xrgb32 ||
        (format != PixelFormat::Indexed8 && format != PixelFormat::Rgb555))
        return;
    const std::array<uint32_t, 256>& palette = MoviePalette();
    std::vector<uint8_t> indices(size_t(frame.width()));
    for (int y = 0; y < frame.height(); ++y) {
        uint32_t* row = frame.xrgbRow(y);
        if (format == PixelFormat::Indexed8) {
            MoviePaletteRow(row, indices.data(), frame.width(), y);
            for (int x = 0; x < frame.width(); ++x)
                row[x] = 0xff000000u | palette[indices[size_t(x)]];
            continue;
        }
        for (int x = 0; x < frame.width(); ++x) {
            const uint32_t fives = row[x] & 0xf8f8f8u;
            row[x] = 0xff000000u | fives | (fives >> 5 & 0x070707u);
        }
    }
}
