// Feeds arbitrary bytes to a decoder plug-in's GetPicture (memory input, with
// the flag bits VISTROM_FUZZ_FLAGS adds), then hands the blocks it returns to
// the packed-DIB reader as the loader does.

#include "spi.h"

#include "imaging/BmpReader.h"

#include <cstdlib>

#include <malloc.h>

#ifndef VISTROM_FUZZ_FLAGS
#define VISTROM_FUZZ_FLAGS 0
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    void* info = nullptr;
    void* bits = nullptr;
    if (GetPicture(reinterpret_cast<const char*>(data), long(size),
                   SPI_INPUT_MEMORY | VISTROM_FUZZ_FLAGS, &info, &bits, nullptr, 0) != 0) {
        if (info || bits)
            __builtin_trap(); // failures must not hand out blocks
        return 0;
    }
    const auto image = DecodePackedDib(static_cast<const uint8_t*>(info), malloc_usable_size(info),
                                       static_cast<const uint8_t*>(bits), malloc_usable_size(bits));
    if (!image)
        __builtin_trap(); // the plug-ins only hand out drawable blocks
    std::free(info);
    std::free(bits);
    return 0;
}
