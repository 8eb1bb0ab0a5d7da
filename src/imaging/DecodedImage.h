#pragma once

// A decoded image at its natural size, ready to be drawn on a Surface any
// number of times: width x height pixels, rows top-down without padding, each
// a 0xffRRGGBB word (the Surface layout). An image of 0 x 0 is a valid result
// that draws nothing (a plug-in that answered success with unusable data).

#include <cstddef>
#include <cstdint>
#include <vector>

struct DecodedImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    bool isEmpty() const { return width <= 0 || height <= 0; }
    const uint32_t* row(int y) const { return pixels.data() + size_t(y) * size_t(width); }
    uint32_t* row(int y) { return pixels.data() + size_t(y) * size_t(width); }
    uint32_t pixel(int x, int y) const { return row(y)[x]; }
};
