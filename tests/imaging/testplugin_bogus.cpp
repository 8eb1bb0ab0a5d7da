// A test plug-in whose GetPicture succeeds with blocks far smaller than the
// header it puts in them says: the caller must not read past them.
#include "spi.h"

#include <cstdlib>
#include <cstring>

extern "C" SPI_EXPORT int GetPicture(const char*, long, unsigned int, void** pHBInfo, void** pHBm,
                                     SpiProgressCallback, long) {
    unsigned char* info = static_cast<unsigned char*>(std::calloc(1, 40));
    unsigned char* bits = static_cast<unsigned char*>(std::calloc(1, 16));
    const int width = 10000, height = 10000;
    info[0] = 40;
    std::memcpy(info + 4, &width, 4);
    std::memcpy(info + 8, &height, 4);
    info[12] = 1;
    info[14] = 8; // 8 bits: the 1024-byte table is missing too
    *pHBInfo = info;
    *pHBm = bits;
    return SPI_OK;
}
