#include "imaging/PixelBuffer.h"

#include <cstdint>

std::optional<PixelBuffer> PixelBuffer::allocate(int width, int height, PixelFormat format,
                                                 RowOrder order) {
    if (width < 0 || height < 0)
        return std::nullopt;
    PixelBuffer buffer;
    const size_t stride = strideFor(width, format);
    if (height > 0 && stride > SIZE_MAX / size_t(height))
        return std::nullopt;
    const size_t size = stride * size_t(height);
    if (size > 0) {
        buffer.block_.reset(static_cast<uint8_t*>(std::calloc(1, size)));
        if (!buffer.block_)
            return std::nullopt;
    }
    buffer.width_ = width;
    buffer.height_ = height;
    buffer.format_ = format;
    buffer.order_ = order;
    return buffer;
}

PixelBuffer PixelBuffer::adopt(MallocBlock block, int width, int height, PixelFormat format,
                               RowOrder order) {
    PixelBuffer buffer;
    buffer.block_ = std::move(block);
    buffer.width_ = width;
    buffer.height_ = height;
    buffer.format_ = format;
    buffer.order_ = order;
    return buffer;
}

std::optional<YuvPlanes> YuvPlanes::adopt(MallocBlock block, size_t size, int width, int height) {
    if (!block || width <= 0 || height <= 0 || width > 0x10000 || height > 0x10000)
        return std::nullopt;
    YuvPlanes planes;
    planes.width_ = width;
    planes.height_ = height;
    if (size < planes.lumaBytes() * 3 / 2)
        return std::nullopt;
    planes.block_ = std::move(block);
    return planes;
}
