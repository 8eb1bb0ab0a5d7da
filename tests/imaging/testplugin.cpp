// The test plug-ins, one kind a build: "noexport" loads but has no GetPicture;
// "failing" fails after scribbling on the handles, which on failure are not the
// caller's to use or free; "bogus" succeeds with blocks far smaller than the
// header it puts in them says: the caller must not read past them.
#include "spi.h"

#include <cstdlib>
#include <cstring>

#ifdef TESTPLUGIN_noexport
extern "C" SPI_EXPORT int GetPluginInfo(int, char*, int) {
    return 0;
}
#else
extern "C" SPI_EXPORT int GetPicture(const char*, long, unsigned int, void** pHBInfo, void** pHBm,
                                     SpiProgressCallback, long) {
#ifdef TESTPLUGIN_failing
    *pHBInfo = reinterpret_cast<void*>(0x10);
    *pHBm = reinterpret_cast<void*>(0x20);
    return SPI_BROKEN_DATA;
#else
    // 10000 x 10000, one plane, 8 bits: the 1024-byte table is missing too.
    const int32_t header[4] = {40, 10000, 10000, 1 | 8 << 16};
    *pHBInfo = std::memcpy(std::calloc(1, 40), header, sizeof header);
    *pHBm = std::calloc(1, 16);
    return SPI_OK;
#endif
}
#endif
