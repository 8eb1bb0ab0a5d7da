#pragma once

// A plain pixel surface: width x height pixels of 32 bits, each a native
// 0xffRRGGBB word (bytes B, G, R, X in memory, the layout of
// QImage::Format_RGB32), rows top-down without padding. Movie frames and the
// preview pane are drawn on it; the preview wraps its pixels in a QImage
// without copying them.

#include <cstdint>
#include <cstring>
#include <vector>

class Surface {
public:
    Surface() = default;
    Surface(int width, int height, uint32_t fill = 0xffffffffu) { reset(width, height, fill); }

    // Resizes and fills; answers false when the size is negative or too large
    // to allocate, leaving an empty surface.
    bool reset(int width, int height, uint32_t fill = 0xffffffffu);

    int width() const { return width_; }
    int height() const { return height_; }
    bool isEmpty() const { return width_ <= 0 || height_ <= 0; }

    uint32_t* row(int y) { return pixels_.data() + size_t(y) * size_t(width_); }
    const uint32_t* row(int y) const { return pixels_.data() + size_t(y) * size_t(width_); }
    uint32_t* bits() { return pixels_.data(); }
    const uint32_t* bits() const { return pixels_.data(); }
    int bytesPerLine() const { return width_ * 4; }

    uint32_t pixel(int x, int y) const { return row(y)[x]; }
    void setPixel(int x, int y, uint32_t value) { row(y)[x] = value; }
    void fill(uint32_t value);

    static constexpr uint32_t Rgb(int r, int g, int b) {
        return 0xff000000u | (uint32_t(r & 255) << 16) | (uint32_t(g & 255) << 8) |
               uint32_t(b & 255);
    }
    static constexpr uint32_t White = 0xffffffffu;

private:
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};
