// Feeds arbitrary bytes to the BMP reader as a file image and as a plug-in's
// packed DIB, then draws what it made in every mode into frames of every
// format, clipped on all sides.

#include "imaging/BmpReader.h"
#include "imaging/FrameRenderer.h"

#include <cstring>

namespace {

MallocBlock Copy(const uint8_t* data, size_t size) {
    MallocBlock block(static_cast<uint8_t*>(std::malloc(size ? size : 1)));
    if (block && size)
        std::memcpy(block.get(), data, size);
    return block;
}

void Draw(const PixelBuffer& picture) {
    struct Frame {
        int width, height;
        PixelFormat format;
        RowOrder order;
        DrawMode mode;
    };
    static const Frame frames[] = {
        {61, 47, PixelFormat::Bgr24, RowOrder::BottomUp, DrawMode::Centre},
        {200, 9, PixelFormat::Indexed8, RowOrder::BottomUp, DrawMode::Stretch},
        {7, 300, PixelFormat::Bgr24, RowOrder::BottomUp, DrawMode::Stretch},
        {13, 5, PixelFormat::Rgb555, RowOrder::BottomUp, DrawMode::Stretch},
        {33, 17, PixelFormat::Xrgb32, RowOrder::TopDown, DrawMode::TopLeft},
        {3, 2, PixelFormat::Indexed8, RowOrder::BottomUp, DrawMode::Centre},
    };
    for (const Frame& f : frames)
        if (std::optional<PixelBuffer> frame =
                PixelBuffer::allocate(f.width, f.height, f.format, f.order))
            RenderFrame(&picture, f.mode, *frame);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    BmpLimits limits;
    limits.maxPixels = 1u << 22; // large images only make runs slow
    // The same bytes as a plug-in's packed DIB: info block and bits block.
    if (size > 14) {
        const size_t bits = size / 2;
        if (const auto picture = DecodePackedDib(Copy(data + 14, size - 14), size - 14,
                                                 Copy(data, bits), bits, limits))
            Draw(*picture);
    }
    const auto image = DecodeBmp(data, size, limits);
    if (!image)
        return 0;
    if (image->format() != PixelFormat::Xrgb32 || image->isEmpty())
        __builtin_trap();
    Draw(*image);
    return 0;
}
