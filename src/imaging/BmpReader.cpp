#include "imaging/BmpReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitfields = 3, BiAlphaBitfields = 6;
constexpr uint32_t Black = 0xff000000u;

// Random access to bytes; whatever lies past the end reads as zero.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Fills dst with n bytes from offset, zeros past the end; answers the count read.
    virtual size_t readAt(uint64_t offset, uint8_t* dst, size_t n) const = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
    uint64_t size() const override { return size_; }
    size_t readAt(uint64_t offset, uint8_t* dst, size_t n) const override {
        if (n == 0)
            return 0; // dst may be null then
        size_t got = 0;
        if (offset < size_)
            got = size_t(std::min<uint64_t>(n, size_ - offset));
        if (got)
            std::memcpy(dst, data_ + offset, got);
        std::memset(dst + got, 0, n - got);
        return got;
    }

private:
    const uint8_t* data_;
    size_t size_;
};

class FileSource final : public ByteSource {
public:
    explicit FileSource(const std::string& path) {
        // Non-blocking open, so that a FIFO cannot hang the caller; only
        // regular files are read.
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd_ < 0)
            return;
        struct stat st {};
        if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
        size_ = uint64_t(st.st_size);
    }
    ~FileSource() override {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    uint64_t size() const override { return size_; }
    size_t readAt(uint64_t offset, uint8_t* dst, size_t n) const override {
        if (n == 0)
            return 0; // dst may be null then
        size_t got = 0;
        while (got < n && offset + got < size_) {
            const ssize_t r = ::pread(fd_, dst + got, n - got, off_t(offset + got));
            if (r < 0 && errno == EINTR)
                continue;
            if (r <= 0)
                break;
            got += size_t(r);
        }
        std::memset(dst + got, 0, n - got);
        return got;
    }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

// One colour channel of a BITFIELDS pixel, scaled to 0..255.
class Channel {
public:
    explicit Channel(uint32_t mask) : mask_(mask) {
        if (!mask)
            return;
        shift_ = std::countr_zero(mask);
        max_ = mask >> shift_;
        if (max_ != 255 && max_ <= 0xffff) {
            lut_.resize(size_t(max_) + 1);
            for (uint32_t v = 0; v <= max_; ++v)
                lut_[v] = scale(v);
        }
    }
    uint32_t operator()(uint32_t pixel) const {
        const uint32_t v = (pixel & mask_) >> shift_;
        if (max_ == 255 || !mask_)
            return v;
        return lut_.empty() ? scale(v) : lut_[v];
    }

private:
    uint8_t scale(uint32_t v) const { return uint8_t((uint64_t(v) * 255 + max_ / 2) / max_); }

    uint32_t mask_;
    int shift_ = 0;
    uint32_t max_ = 0;
    std::vector<uint8_t> lut_;
};

// What the headers say, after the checks.
struct DibInfo {
    int width = 0;
    int height = 0; // always positive here
    bool topDown = false;
    int bitCount = 0;
    uint32_t compression = BiRgb;
    uint32_t masks[3] = {};
    uint64_t tableStart = 0; // offset of the colour table in the header source
    uint64_t tableEnd = 0;   // offset just after the table (or masks)
    uint32_t colours = 0;    // colour entries stored
    int entrySize = 4;       // 3 for the OS/2 core header
};

uint64_t RowStride(const DibInfo& dib) {
    return ((uint64_t(dib.width) * dib.bitCount + 31) / 32) * 4;
}

// The bit count and compression are ones the reader knows, and go together.
bool KnownFormat(const DibInfo& dib) {
    switch (dib.bitCount) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
        break;
    default:
        return false;
    }
    switch (dib.compression) {
    case BiRgb:
        return true;
    case BiRle8:
        return dib.bitCount == 8 && !dib.topDown;
    case BiRle4:
        return dib.bitCount == 4 && !dib.topDown;
    case BiBitfields:
    case BiAlphaBitfields:
        return dib.bitCount == 16 || dib.bitCount == 32;
    default:
        return false; // embedded JPEG or PNG, OS/2 Huffman, ...
    }
}

// The channel masks, and where the colour table starts and ends. h holds the
// header read at `at`, which ends at headerEnd.
bool ReadMasksAndTable(const ByteSource& src, uint64_t at, const uint8_t* h, uint32_t biSize,
                       uint64_t headerEnd, DibInfo& dib) {
    dib.tableStart = headerEnd;
    if (dib.compression == BiBitfields || dib.compression == BiAlphaBitfields) {
        if (biSize >= 52 && headerEnd > at + 40) {
            dib.masks[0] = U32(h + 40);
            dib.masks[1] = U32(h + 44);
            dib.masks[2] = U32(h + 48);
        } else {
            // A 40-byte header is followed by the masks (and an alpha mask).
            uint8_t m[12];
            src.readAt(headerEnd, m, sizeof m);
            dib.masks[0] = U32(m);
            dib.masks[1] = U32(m + 4);
            dib.masks[2] = U32(m + 8);
            dib.tableStart = headerEnd + (dib.compression == BiAlphaBitfields ? 16 : 12);
        }
    } else if (dib.bitCount == 16) {
        dib.masks[0] = 0x7c00;
        dib.masks[1] = 0x03e0;
        dib.masks[2] = 0x001f;
    } else if (dib.bitCount == 32) {
        dib.masks[0] = 0xff0000;
        dib.masks[1] = 0x00ff00;
        dib.masks[2] = 0x0000ff;
    }

    dib.tableEnd = dib.tableStart;
    if (dib.bitCount > 8) {
        dib.colours = 0;
        return true;
    }
    const uint32_t entries = 1u << dib.bitCount;
    if (dib.entrySize == 3 || dib.colours == 0)
        dib.colours = entries;
    else if (dib.colours > entries)
        return false; // more colours than the table has room for
    dib.tableEnd = dib.tableStart + uint64_t(dib.colours) * dib.entrySize;
    return true;
}

// Reads the info header whose biSize field lies at `at` in src.
bool ParseInfoHeader(const ByteSource& src, uint64_t at, const BmpLimits& limits, DibInfo& dib) {
    uint8_t h[124];
    src.readAt(at, h, sizeof h);
    const uint32_t biSize = U32(h);
    int64_t width = 0, height = 0;
    uint64_t headerEnd = at + 40;
    if (biSize == 12) {
        // OS/2 core header: 16-bit unsigned sizes, 3-byte table entries.
        width = U16(h + 4);
        height = U16(h + 6);
        dib.bitCount = U16(h + 10);
        dib.compression = BiRgb;
        dib.entrySize = 3;
        headerEnd = at + 12;
    } else {
        width = int32_t(U32(h + 4));
        height = int32_t(U32(h + 8));
        dib.bitCount = U16(h + 14);
        dib.compression = U32(h + 16);
        dib.colours = U32(h + 32);
        // Headers of the known larger forms are skipped whole; any other size
        // is read as the plain 40-byte header it most likely is.
        if (biSize == 52 || biSize == 56 || biSize == 64 || biSize == 108 || biSize == 124)
            headerEnd = at + biSize;
    }

    if (width <= 0 || width > BmpLimits::MaxDimension)
        return false;
    if (height == 0 || height < -BmpLimits::MaxDimension || height > BmpLimits::MaxDimension)
        return false;
    dib.width = int(width);
    dib.topDown = height < 0;
    dib.height = int(height < 0 ? -height : height);
    if (uint64_t(dib.width) * uint64_t(dib.height) > limits.maxPixels)
        return false;
    return KnownFormat(dib) && ReadMasksAndTable(src, at, h, biSize, headerEnd, dib);
}

// The 2^bitCount table; entries the file does not store stay zero (black).
void ReadColourTable(const ByteSource& src, const DibInfo& dib, std::array<uint32_t, 256>& table) {
    table.fill(Black);
    if (dib.colours == 0)
        return;
    std::vector<uint8_t> raw(size_t(dib.colours) * dib.entrySize);
    src.readAt(dib.tableStart, raw.data(), raw.size());
    for (uint32_t i = 0; i < dib.colours; ++i) {
        const uint8_t* e = raw.data() + size_t(i) * dib.entrySize;
        table[i] = Black | (uint32_t(e[2]) << 16) | (uint32_t(e[1]) << 8) | e[0];
    }
}

// A picture of opaque black pixels, or nullopt when the memory cannot be had.
std::optional<PixelBuffer> Allocate(int width, int height) {
    std::optional<PixelBuffer> image =
        PixelBuffer::allocate(width, height, PixelFormat::Xrgb32, RowOrder::TopDown);
    if (image)
        for (int y = 0; y < height; ++y)
            std::fill_n(image->xrgbRow(y), width, Black);
    return image;
}

void DecodeRow(const DibInfo& dib, const std::array<uint32_t, 256>& table, const Channel* ch,
               const uint8_t* in, uint32_t* out) {
    const int w = dib.width;
    switch (dib.bitCount) {
    case 1:
        for (int x = 0; x < w; ++x)
            out[x] = table[(in[x >> 3] >> (7 - (x & 7))) & 1];
        break;
    case 4:
        for (int x = 0; x < w; ++x)
            out[x] = table[(in[x >> 1] >> ((x & 1) ? 0 : 4)) & 15];
        break;
    case 8:
        for (int x = 0; x < w; ++x)
            out[x] = table[in[x]];
        break;
    case 16:
        for (int x = 0; x < w; ++x) {
            const uint32_t v = U16(in + 2 * x);
            out[x] = Black | (ch[0](v) << 16) | (ch[1](v) << 8) | ch[2](v);
        }
        break;
    case 24:
        for (int x = 0; x < w; ++x, in += 3)
            out[x] = Black | (uint32_t(in[2]) << 16) | (uint32_t(in[1]) << 8) | in[0];
        break;
    case 32:
        if (dib.masks[0] == 0xff0000 && dib.masks[1] == 0xff00 && dib.masks[2] == 0xff) {
            for (int x = 0; x < w; ++x, in += 4)
                out[x] = Black | (uint32_t(in[2]) << 16) | (uint32_t(in[1]) << 8) | in[0];
        } else {
            for (int x = 0; x < w; ++x) {
                const uint32_t v = U32(in + 4 * x);
                out[x] = Black | (ch[0](v) << 16) | (ch[1](v) << 8) | ch[2](v);
            }
        }
        break;
    }
}

std::optional<PixelBuffer> DecodeUncompressed(const DibInfo& dib,
                                              const std::array<uint32_t, 256>& table,
                                              const ByteSource& src, uint64_t start,
                                              uint64_t blockSize) {
    const uint64_t stride = RowStride(dib);
    const uint64_t height = uint64_t(dib.height);
    if (blockSize < stride * height)
        return std::nullopt; // the pixel data cannot hold the rows
    // Rows are read a few hundred kilobytes at a time, so the raw rows never
    // need a second image-sized buffer and stay in cache while they are converted.
    const uint64_t chunkRows =
        std::min<uint64_t>(height, std::max<uint64_t>(1, (256 * 1024) / stride));
    std::vector<uint8_t> rows;
    try {
        rows.resize(size_t(chunkRows * stride));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    std::optional<PixelBuffer> image = Allocate(dib.width, dib.height);
    if (!image)
        return std::nullopt;
    const Channel ch[3] = {Channel(dib.masks[0]), Channel(dib.masks[1]), Channel(dib.masks[2])};
    for (uint64_t first = 0; first < height; first += chunkRows) {
        const uint64_t count = std::min(chunkRows, height - first);
        src.readAt(start + first * stride, rows.data(), size_t(count * stride));
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t r = first + i;
            const int y = int(dib.topDown ? r : height - 1 - r);
            DecodeRow(dib, table, ch, rows.data() + size_t(i * stride), image->xrgbRow(y));
        }
    }
    return image;
}

// RLE8 and RLE4. The stream is blockSize bytes long; the part the source does
// not hold reads as zeros (end-of-line codes), as a short file would.
std::optional<PixelBuffer> DecodeRle(const DibInfo& dib, const std::array<uint32_t, 256>& table,
                                     const ByteSource& src, uint64_t start, uint64_t blockSize) {
    const uint64_t available = src.size() > start ? std::min(src.size() - start, blockSize) : 0;
    std::vector<uint8_t> data;
    try {
        data.resize(size_t(available));
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    src.readAt(start, data.data(), data.size());
    std::optional<PixelBuffer> image = Allocate(dib.width, dib.height);
    if (!image)
        return std::nullopt;

    const bool rle4 = dib.compression == BiRle4;
    const int64_t w = dib.width, h = dib.height;
    auto byteAt = [&](uint64_t i) -> uint32_t { return i < available ? data[size_t(i)] : 0; };
    int64_t x = 0, y = 0; // y counts rows from the bottom
    auto put = [&](uint32_t index) {
        if (x < w && y < h)
            image->xrgbRow(int(h - 1 - y))[x] = table[index];
        ++x;
    };
    uint64_t pos = 0;
    while (y < h && pos + 2 <= blockSize) {
        const uint32_t count = byteAt(pos), value = byteAt(pos + 1);
        pos += 2;
        if (count > 0) {
            // Encoded run; pixels past the row's end are dropped.
            const uint32_t n = x < w ? uint32_t(std::min<int64_t>(count, w - x)) : 0;
            for (uint32_t k = 0; k < n; ++k)
                put(rle4 ? ((k & 1) ? value & 15 : value >> 4) : value);
            x += count - n;
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // delta
            if (pos + 2 > blockSize)
                break;
            x += byteAt(pos);
            y += byteAt(pos + 1);
            pos += 2;
        } else { // absolute run of `value` pixels, padded to a 16-bit boundary
            const uint32_t bytes = rle4 ? (value + 1) / 2 : value;
            for (uint32_t k = 0; k < value && x < w; ++k) {
                const uint32_t b = byteAt(pos + (rle4 ? k / 2 : k));
                put(rle4 ? ((k & 1) ? b & 15 : b >> 4) : b);
            }
            pos += bytes + (bytes & 1);
        }
    }
    return image;
}

std::optional<PixelBuffer> DecodePixels(const DibInfo& dib, const std::array<uint32_t, 256>& table,
                                        const ByteSource& src, uint64_t start, uint64_t blockSize) {
    if (dib.compression == BiRle8 || dib.compression == BiRle4)
        return DecodeRle(dib, table, src, start, blockSize);
    return DecodeUncompressed(dib, table, src, start, blockSize);
}

std::optional<PixelBuffer> ReadBmp(const ByteSource& src, const BmpLimits& limits) {
    uint8_t fileHeader[14];
    src.readAt(0, fileHeader, sizeof fileHeader);
    const uint32_t bfSize = U32(fileHeader + 2);
    const uint32_t bfOffBits = U32(fileHeader + 10);

    DibInfo dib;
    if (!ParseInfoHeader(src, 14, limits, dib))
        return std::nullopt;
    std::array<uint32_t, 256> table;
    ReadColourTable(src, dib, table);

    // The pixel byte count is bfSize - bfOffBits; where they disagree with
    // the headers the file is refused rather than read past its rows.
    if (bfOffBits > bfSize)
        return std::nullopt;
    const uint64_t blockSize = uint64_t(bfSize) - bfOffBits;
    const uint64_t start = bfOffBits >= dib.tableEnd ? bfOffBits : dib.tableEnd;
    return DecodePixels(dib, table, src, start, blockSize);
}

} // namespace

std::optional<PixelBuffer> ReadBmpFile(const std::string& path, const BmpLimits& limits) {
    FileSource file(path);
    if (!file.isOpen())
        return std::nullopt;
    return ReadBmp(file, limits);
}

std::optional<PixelBuffer> DecodeBmp(const uint8_t* data, size_t size, const BmpLimits& limits) {
    return ReadBmp(MemorySource(data, size), limits);
}

std::optional<PixelBuffer> DecodePackedDib(MallocBlock info, size_t infoSize, MallocBlock bits,
                                           size_t bitsSize, const BmpLimits& limits) {
    if (!info)
        infoSize = 0;
    if (!bits)
        bitsSize = 0;
    const MemorySource infoSource(info.get(), infoSize);
    DibInfo dib;
    if (infoSize < 40 || !ParseInfoHeader(infoSource, 0, limits, dib))
        return std::nullopt;
    if (dib.tableEnd > infoSize)
        return std::nullopt; // the table the header announces is not in the block
    if (dib.bitCount == 24 && dib.compression == BiRgb && !dib.topDown &&
        bitsSize >= RowStride(dib) * uint64_t(dib.height))
        return PixelBuffer::adopt(std::move(bits), dib.width, dib.height, PixelFormat::Bgr24,
                                  RowOrder::BottomUp);
    std::array<uint32_t, 256> table;
    ReadColourTable(infoSource, dib, table);
    return DecodePixels(dib, table, MemorySource(bits.get(), bitsSize), 0, bitsSize);
}
