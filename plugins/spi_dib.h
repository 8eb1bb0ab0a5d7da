#pragma once

// Shared by the decoder plug-ins: reads the input GetPicture names, allocates
// the two blocks it hands out (see spi.h for the layout and the malloc/free
// rule), turns a finished picture by its orientation tag and puts
// transparent pixels over white.

#include "spi.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace spi {

// The checks both plug-ins make before anything else: SPI_OK when the call
// names an input kind we read and has somewhere to put the two blocks.
inline int CheckGetPictureArguments(const char* buf, long len, unsigned int flag, void** pHBInfo,
                                    void** pHBm) {
    if (!buf || !pHBInfo || !pHBm)
        return SPI_BROKEN_DATA;
    const unsigned kind = flag & 7u;
    if (kind != SPI_INPUT_FILE && kind != SPI_INPUT_MEMORY)
        return SPI_NOT_IMPLEMENTED;
    if (len < 0)
        return SPI_FILE_READ_ERROR;
    return SPI_OK;
}

// Opens a regular file for reading at offset, or answers null. Anything else
// (a folder, a FIFO that would block, a device) is refused.
inline std::FILE* OpenRegularFile(const char* path, long offset) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    std::FILE* file = nullptr;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::fcntl(fd, F_SETFL, 0) == 0)
        file = ::fdopen(fd, "rb");
    if (!file) {
        ::close(fd);
        return nullptr;
    }
    if (offset > 0 && std::fseek(file, offset, SEEK_SET) != 0) {
        std::fclose(file);
        return nullptr;
    }
    return file;
}

// The bytes of the image: a regular file from an offset, or the caller's
// memory. Reads stop at the end of either.
class Input {
public:
    Input() = default;
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;
    ~Input() {
        if (file_)
            std::fclose(file_);
        std::free(owned_);
    }

    // SPI_OK, or the result GetPicture answers when there is nothing to read.
    int open(const char* buf, long len, unsigned int flag) {
        if ((flag & 7u) == SPI_INPUT_MEMORY) {
            if (len == 0)
                return SPI_UNKNOWN_FORMAT;
            memory_ = reinterpret_cast<const unsigned char*>(buf);
            size_ = uint64_t(len);
            return SPI_OK;
        }
        file_ = OpenRegularFile(buf, len);
        struct stat st {};
        if (!file_ || ::fstat(::fileno(file_), &st) != 0)
            return SPI_FILE_READ_ERROR;
        base_ = uint64_t(len);
        size_ = uint64_t(st.st_size) > base_ ? uint64_t(st.st_size) - base_ : 0;
        return SPI_OK;
    }

    bool inMemory() const { return memory_ != nullptr; }
    uint64_t size() const { return size_; }
    uint64_t position() const { return pos_; }

    // Copies up to n bytes from the current position; answers how many. A
    // library may ask for nothing with no place to put it.
    size_t read(void* to, size_t n) {
        if (n == 0 || pos_ >= size_)
            return 0;
        if (n > size_ - pos_)
            n = size_t(size_ - pos_);
        if (memory_)
            std::memcpy(to, memory_ + pos_, n);
        else
            n = std::fread(to, 1, n, file_);
        pos_ += n;
        return n;
    }

    bool seek(uint64_t to) {
        if (to > size_)
            return false;
        if (file_ && ::fseeko(file_, off_t(base_ + to), SEEK_SET) != 0)
            return false;
        pos_ = to;
        return true;
    }

    // The first `limit` bytes at most, all at once: the caller's memory, or
    // the file read into a block owned here. Null when they cannot be had;
    // *got receives their number.
    const unsigned char* whole(uint64_t limit, size_t* got) {
        const uint64_t n = size_ < limit ? size_ : limit;
        *got = 0;
        if (memory_) {
            *got = size_t(n);
            return memory_;
        }
        if (n == 0 || n > SIZE_MAX || !seek(0))
            return nullptr;
        std::free(owned_);
        owned_ = static_cast<unsigned char*>(std::malloc(size_t(n)));
        if (!owned_ || read(owned_, size_t(n)) != n)
            return nullptr;
        *got = size_t(n);
        return owned_;
    }

private:
    std::FILE* file_ = nullptr;
    const unsigned char* memory_ = nullptr;
    unsigned char* owned_ = nullptr;
    uint64_t base_ = 0, size_ = 0, pos_ = 0;
};

struct DibBlocks {
    unsigned char* info = nullptr; // BITMAPINFOHEADER + colour table
    unsigned char* bits = nullptr; // bottom-up rows
    size_t stride = 0;
    unsigned width = 0, height = 0, bitCount = 0;

    DibBlocks() = default;
    DibBlocks(const DibBlocks&) = delete;
    DibBlocks& operator=(const DibBlocks&) = delete;
    ~DibBlocks() {
        std::free(info);
        std::free(bits);
    }

    // Allocates both blocks for a width x height image of bitCount 8 or 24
    // bits; an 8-bit image gets a grey ramp as its table. The pixel block holds
    // at least `capacity` bytes, for a decoder that writes wider rows first.
    // Answers an SPI result.
    int allocate(unsigned w, unsigned h, unsigned depth, size_t capacity = 0) {
        if (w == 0 || h == 0)
            return SPI_BROKEN_DATA;
        if (w > SPI_MAX_DIMENSION || h > SPI_MAX_DIMENSION)
            return SPI_NO_MEMORY;
        width = w;
        height = h;
        bitCount = depth;
        const unsigned entries = bitCount <= 8 ? 1u << bitCount : 0;
        stride = ((size_t(width) * bitCount + 31) / 32) * 4;
        const size_t size = stride * height;
        info = static_cast<unsigned char*>(std::calloc(1, 40 + 4 * size_t(entries)));
        bits = static_cast<unsigned char*>(std::calloc(1, size > capacity ? size : capacity));
        if (!info || !bits)
            return SPI_NO_MEMORY;
        writeSize();
        info[12] = 1; // biPlanes
        info[14] = static_cast<unsigned char>(bitCount);
        put32(info + 32, entries); // biClrUsed
        for (unsigned i = 0; i < entries; ++i) {
            const unsigned char v = static_cast<unsigned char>(i * 255 / (entries - 1));
            unsigned char* e = info + 40 + 4 * i;
            e[0] = e[1] = e[2] = v;
        }
        return SPI_OK;
    }

    // Row y of the image counted from the top.
    unsigned char* rowFromTop(unsigned y, unsigned h) { return bits + size_t(h - 1 - y) * stride; }
    unsigned char* rowFromTop(unsigned y) { return rowFromTop(y, height); }

    // Entry i of an 8-bit image's colour table, as blue, green, red, 0.
    unsigned char* colour(unsigned i) { return info + 40 + 4 * size_t(i); }

    // Turns the finished picture the way an Exif or TIFF orientation value
    // says (1 upright, 2 mirrored, 3 upside down, 4 flipped, 5 transposed,
    // 6 turned a quarter clockwise, 7 transversed, 8 a quarter anticlockwise);
    // other values leave it as it is. Answers an SPI result.
    int orient(unsigned orientation) {
        if (orientation < 2 || orientation > 8)
            return SPI_OK;
        const bool turned = orientation >= 5;
        const unsigned w = turned ? height : width, h = turned ? width : height;
        const size_t pixel = bitCount / 8, newStride = ((size_t(w) * bitCount + 31) / 32) * 4;
        auto* out = static_cast<unsigned char*>(std::calloc(h, newStride));
        if (!out)
            return SPI_NO_MEMORY;
        const ptrdiff_t right = ptrdiff_t(pixel), down = -ptrdiff_t(stride);
        auto at = [&](size_t x, unsigned y) { return rowFromTop(y) + x * pixel; };
        for (unsigned y = 0; y < h; ++y) {
            // Where row y of the result starts in the stored picture, and the
            // step from one of its pixels to the next there.
            const unsigned char* from = nullptr;
            ptrdiff_t step = 0;
            switch (orientation) {
            case 2: // mirrored
                from = at(width - 1, y), step = -right;
                break;
            case 3: // upside down
                from = at(width - 1, height - 1 - y), step = -right;
                break;
            case 4: // flipped
                from = at(0, height - 1 - y), step = right;
                break;
            case 5: // transposed
                from = at(y, 0), step = down;
                break;
            case 6: // to be turned clockwise
                from = at(y, height - 1), step = -down;
                break;
            case 7: // transversed
                from = at(width - 1 - y, height - 1), step = -down;
                break;
            default: // to be turned anticlockwise
                from = at(width - 1 - y, 0), step = down;
                break;
            }
            unsigned char* to = out + size_t(h - 1 - y) * newStride;
            for (unsigned x = 0; x < w; ++x, to += pixel)
                std::memcpy(to, from + ptrdiff_t(x) * step, pixel);
        }
        std::free(bits);
        bits = out;
        width = w;
        height = h;
        stride = newStride;
        writeSize();
        return SPI_OK;
    }

    // Hands both blocks to the caller.
    void release(void** pHBInfo, void** pHBm) {
        *pHBInfo = info;
        *pHBm = bits;
        info = nullptr;
        bits = nullptr;
    }

    void writeSize() {
        put32(info + 0, 40);
        put32(info + 4, width);
        put32(info + 8, height);
        put32(info + 20, uint32_t(stride * height)); // biSizeImage
    }

    static void put32(unsigned char* p, uint32_t v) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
        p[3] = uint8_t(v >> 24);
    }
};

// Puts a colour sample (straight alpha) over white the way libpng's simplified
// reader does for the PNG plug-in: mixed in linear light, so that one picture
// comes out the same whichever plug-in reads it.
inline unsigned char OverWhite(unsigned char sample, unsigned char alpha) {
    if (alpha == 255)
        return sample;
    if (alpha == 0)
        return 255;
    struct Tables {
        uint16_t linear[256];      // sRGB sample to linear light, 0 to 65535
        unsigned char srgb[65536]; // and back
    };
    static const Tables* tables = [] {
        static Tables t;
        for (int i = 0; i < 256; ++i) {
            const double v = i / 255.0;
            const double l = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            t.linear[i] = uint16_t(std::lround(l * 65535));
        }
        for (int i = 0; i < 65536; ++i) {
            const double l = i / 65535.0;
            const double v = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
            t.srgb[i] = static_cast<unsigned char>(std::lround(v * 255));
        }
        return &t;
    }();
    const uint32_t mixed =
        (uint32_t(tables->linear[sample]) * alpha + 65535u * (255u - alpha) + 127) / 255;
    return tables->srgb[mixed];
}

// The same for a sample already multiplied by its alpha.
inline unsigned char PremultipliedOverWhite(unsigned char sample, unsigned char alpha) {
    if (alpha == 255)
        return sample;
    if (alpha == 0)
        return 255;
    const unsigned straight = (unsigned(sample) * 255 + alpha / 2) / alpha;
    return OverWhite(static_cast<unsigned char>(straight > 255 ? 255 : straight), alpha);
}

// GetPicture for a decoder that reads an Input into DibBlocks: checks the
// arguments, opens the file or memory block, decodes, and hands the blocks
// over only when the picture is complete.
template <typename Decoder>
int DecodePicture(const char* buf, long len, unsigned int flag, void** pHBInfo, void** pHBm,
                  Decoder decode) {
    if (const int refused = CheckGetPictureArguments(buf, len, flag, pHBInfo, pHBm))
        return refused;
    Input input;
    if (const int failed = input.open(buf, len, flag))
        return failed;
    DibBlocks dib;
    const int result = decode(input, dib);
    if (result == SPI_OK)
        dib.release(pHBInfo, pHBm);
    return result;
}

} // namespace spi
