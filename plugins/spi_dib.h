#pragma once

// Shared by the decoder plug-ins: allocates the two blocks GetPicture hands
// out (see spi.h for the layout and the malloc/free rule).

#include "spi.h"

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

struct DibBlocks {
    unsigned char* info = nullptr; // BITMAPINFOHEADER + colour table
    unsigned char* bits = nullptr; // bottom-up rows
    size_t stride = 0;

    DibBlocks() = default;
    DibBlocks(const DibBlocks&) = delete;
    DibBlocks& operator=(const DibBlocks&) = delete;
    ~DibBlocks() {
        std::free(info);
        std::free(bits);
    }

    // Allocates both blocks for a width x height image of bitCount 8 or 24
    // bits; an 8-bit image gets a grey ramp as its table. Answers an SPI result.
    int allocate(unsigned width, unsigned height, unsigned bitCount) {
        if (width == 0 || height == 0)
            return SPI_BROKEN_DATA;
        if (width > SPI_MAX_DIMENSION || height > SPI_MAX_DIMENSION)
            return SPI_NO_MEMORY;
        const unsigned entries = bitCount <= 8 ? 1u << bitCount : 0;
        stride = ((size_t(width) * bitCount + 31) / 32) * 4;
        info = static_cast<unsigned char*>(std::calloc(1, 40 + 4 * size_t(entries)));
        bits = static_cast<unsigned char*>(std::calloc(height, stride));
        if (!info || !bits)
            return SPI_NO_MEMORY;
        put32(info + 0, 40);
        put32(info + 4, width);
        put32(info + 8, height);
        info[12] = 1; // biPlanes
        info[14] = static_cast<unsigned char>(bitCount);
        put32(info + 20, uint32_t(stride * height)); // biSizeImage
        put32(info + 32, entries);                   // biClrUsed
        for (unsigned i = 0; i < entries; ++i) {
            const unsigned char v = static_cast<unsigned char>(i * 255 / (entries - 1));
            unsigned char* e = info + 40 + 4 * i;
            e[0] = e[1] = e[2] = v;
        }
        return SPI_OK;
    }

    // Row y of the image counted from the top.
    unsigned char* rowFromTop(unsigned y, unsigned height) {
        return bits + size_t(height - 1 - y) * stride;
    }

    // Hands both blocks to the caller.
    void release(void** pHBInfo, void** pHBm) {
        *pHBInfo = info;
        *pHBm = bits;
        info = nullptr;
        bits = nullptr;
    }

    static void put32(unsigned char* p, uint32_t v) {
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
        p[2] = uint8_t(v >> 16);
        p[3] = uint8_t(v >> 24);
    }
};

} // namespace spi
