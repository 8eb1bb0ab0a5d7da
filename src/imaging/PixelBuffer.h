#pragma once

// PixelBuffer: the program's one pixel buffer. Decoded pictures, movie frames
// and on-screen frames are all one of these: width x height pixels of one
// PixelFormat, each row padded to a multiple of 4 bytes, the rows stored
// top-down or bottom-up (the packed-DIB order of movie frames and of a decoder
// plug-in's rows). The rows live in one block that the buffer owns and frees
// with free(): allocated here, or a plug-in's malloc'ed block taken over as it
// is. Move-only.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <variant>

enum class PixelFormat : uint8_t {
    Xrgb32,   // native 0xffRRGGBB words: bytes B, G, R, 0xff (QImage::Format_RGB32)
    Bgr24,    // bytes B, G, R
    Rgb555,   // little-endian words 0RRRRRGGGGGBBBBB
    Indexed8, // an index into the movie palette (MoviePalette.h)
};

enum class RowOrder : uint8_t { TopDown, BottomUp };

// 32, 24, 16 or 8.
constexpr int PixelBits(PixelFormat format) {
    switch (format) {
    case PixelFormat::Xrgb32:
        return 32;
    case PixelFormat::Bgr24:
        return 24;
    case PixelFormat::Rgb555:
        return 16;
    case PixelFormat::Indexed8:
        return 8;
    }
    return 0;
}

// A block from malloc(), released with free().
struct FreeBlock {
    void operator()(void* block) const { std::free(block); }
};
using MallocBlock = std::unique_ptr<uint8_t, FreeBlock>;

class PixelBuffer {
public:
    PixelBuffer() = default; // 0 x 0

    // width x height pixels with every byte 0, padding included; nullopt when
    // a side is negative or the memory cannot be had.
    static std::optional<PixelBuffer> allocate(int width, int height, PixelFormat format,
                                               RowOrder order);
    // Takes over `block`, which holds height rows of strideFor(width, format)
    // bytes (the caller has checked its size).
    static PixelBuffer adopt(MallocBlock block, int width, int height, PixelFormat format,
                             RowOrder order);
    // ((width x bits + 31) / 32) x 4.
    static size_t strideFor(int width, PixelFormat format) {
        return (size_t(width) * size_t(PixelBits(format)) + 31) / 32 * 4;
    }

    int width() const { return width_; }
    int height() const { return height_; }
    PixelFormat format() const { return format_; }
    RowOrder rowOrder() const { return order_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }
    size_t stride() const { return strideFor(width_, format_); }
    size_t byteSize() const { return stride() * size_t(height_); }

    // Row y counted from the top of the picture, whatever the stored order.
    uint8_t* row(int y) { return block_.get() + rowOffset(y); }
    const uint8_t* row(int y) const { return block_.get() + rowOffset(y); }
    // The bytes from row(y) to row(y + 1).
    ptrdiff_t rowStep() const {
        return order_ == RowOrder::TopDown ? ptrdiff_t(stride()) : -ptrdiff_t(stride());
    }
    // The rows as stored: byteSize() bytes, the first stored row first.
    const uint8_t* data() const { return block_.get(); }

    // Xrgb32 rows as words.
    uint32_t* xrgbRow(int y) { return reinterpret_cast<uint32_t*>(row(y)); }
    const uint32_t* xrgbRow(int y) const { return reinterpret_cast<const uint32_t*>(row(y)); }

private:
    size_t rowOffset(int y) const {
        return size_t(order_ == RowOrder::TopDown ? y : height_ - 1 - y) * stride();
    }

    MallocBlock block_;
    int width_ = 0;
    int height_ = 0;
    PixelFormat format_ = PixelFormat::Xrgb32;
    RowOrder order_ = RowOrder::TopDown;
};

// A picture as a JPEG stores it, handed over by its plug-in on request
// (SPI_FOURCC_J420 in plugins/spi.h): full-range BT.601 YCbCr, Cb and Cr at
// half the width and height (rounded up), each plane top-down in rows padded
// to whole 16 x 16 blocks of the picture, in one block it owns (Y, Cb, Cr).
// Only scaled into movie frames, never drawn. Move-only.
class YuvPlanes {
public:
    // Takes over `block` of `size` bytes; nullopt when it is too small for
    // the planes of a width x height picture.
    static std::optional<YuvPlanes> adopt(MallocBlock block, size_t size, int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    // Plane 0 (Y), 1 (Cb) or 2 (Cr): its first row and the bytes between rows.
    const uint8_t* plane(int i) const {
        return block_.get() + (i == 0 ? 0 : lumaBytes() + (i - 1) * lumaBytes() / 4);
    }
    int stride(int i) const { return i == 0 ? paddedWidth() : paddedWidth() / 2; }

private:
    int paddedWidth() const { return (width_ + 15) / 16 * 16; }
    size_t lumaBytes() const { return size_t(paddedWidth()) * size_t((height_ + 15) / 16 * 16); }

    MallocBlock block_;
    int width_ = 0;
    int height_ = 0;
};

// A decoded picture: drawn (PixelBuffer) or, where asked for, a JPEG's own planes.
using DecodedPicture = std::variant<PixelBuffer, YuvPlanes>;
