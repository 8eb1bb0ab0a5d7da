// Feeds arbitrary bytes to the BMP reader as a file image, then draws what it
// made in every mode, clipped on all sides.

#include "imaging/BmpReader.h"
#include "imaging/ImageDrawing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BmpLimits limits;
    limits.maxPixels = 1u << 22; // large images only make runs slow
    // The same bytes as a plug-in's packed DIB: info block and bits block.
    if (size > 14)
        (void)DecodePackedDib(data + 14, size - 14, data, size / 2, limits);
    const auto image = DecodeBmp(data, size, limits);
    if (!image)
        return 0;
    if (image->pixels.size() != size_t(image->width) * size_t(image->height))
        __builtin_trap();
    Surface surface(61, 47, Surface::White);
    BlitImage(*image, surface, 61, 47, 0);
    BlitImage(*image, surface, 200, 9, 1);
    BlitImage(*image, surface, 7, 300, 1);
    BlitImage(*image, surface, 0, 0, 2);
    BlitImage(*image, surface, 0xffffffffu, 3, 0);
    return 0;
}
