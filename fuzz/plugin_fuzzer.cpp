// Feeds arbitrary bytes to a decoder plug-in's GetPicture (memory input, with
// the flag bits VISTROM_FUZZ_FLAGS adds), then hands the blocks it returns to
// the packed-DIB reader as the loader does, and draws the picture.

#include "imaging/BmpReader.h"
#include "imaging/FrameRenderer.h"
#include "spi.h"

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
    const size_t infoSize = malloc_usable_size(info), bitsSize = malloc_usable_size(bits);
    const auto picture = DecodePackedDib(MallocBlock(static_cast<uint8_t*>(info)), infoSize,
                                         MallocBlock(static_cast<uint8_t*>(bits)), bitsSize);
    if (!picture)
        __builtin_trap(); // the plug-ins only hand out drawable blocks
    if (auto frame = PixelBuffer::allocate(37, 23, PixelFormat::Bgr24, RowOrder::BottomUp))
        RenderFrame(&*picture, DrawMode::Stretch, *frame);
    return 0;
}
