#include "imaging/Surface.h"

#include <algorithm>
#include <new>

bool Surface::reset(int width, int height, uint32_t fill) {
    width_ = height_ = 0;
    pixels_.clear();
    if (width <= 0 || height <= 0)
        return width == 0 || height == 0;
    try {
        pixels_.assign(size_t(width) * size_t(height), fill);
    } catch (const std::bad_alloc&) {
        pixels_.clear();
        return false;
    }
    width_ = width;
    height_ = height;
    return true;
}

void Surface::fill(uint32_t value) {
    std::fill(pixels_.begin(), pixels_.end(), value);
}
