// A test plug-in whose GetPicture always fails. It scribbles on the handles
// first: on failure they are not the caller's, who must neither use nor free them.
#include "spi.h"

extern "C" SPI_EXPORT int GetPicture(const char*, long, unsigned int, void** pHBInfo, void** pHBm,
                                     SpiProgressCallback, long) {
    if (pHBInfo)
        *pHBInfo = reinterpret_cast<void*>(0x10);
    if (pHBm)
        *pHBm = reinterpret_cast<void*>(0x20);
    return SPI_BROKEN_DATA;
}
