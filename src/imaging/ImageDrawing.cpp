#include "imaging/ImageDrawing.h"

#include "imaging/BmpReader.h"
#include "imaging/PluginLoader.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Mode 1: the whole image over (0, 0)-(frameWidth, frameHeight), each target
// pixel taking the source pixel under its centre.
void StretchBlit(const DecodedImage& image, Surface& surface, unsigned frameWidth,
                 unsigned frameHeight) {
    const int cw = int(std::min<uint64_t>(frameWidth, uint64_t(surface.width())));
    const int ch = int(std::min<uint64_t>(frameHeight, uint64_t(surface.height())));
    if (cw <= 0 || ch <= 0)
        return;
    const uint64_t sw = uint64_t(image.width), sh = uint64_t(image.height);
    std::vector<uint32_t> columns(static_cast<size_t>(cw));
    for (int dx = 0; dx < cw; ++dx)
        columns[size_t(dx)] = uint32_t((2 * uint64_t(dx) + 1) * sw / (2 * uint64_t(frameWidth)));
    const bool identity = frameWidth == sw;
    int64_t previous = -1;
    for (int dy = 0; dy < ch; ++dy) {
        const int64_t sy = int64_t((2 * uint64_t(dy) + 1) * sh / (2 * uint64_t(frameHeight)));
        uint32_t* dst = surface.row(dy);
        if (sy == previous) {
            std::memcpy(dst, surface.row(dy - 1), size_t(cw) * 4);
            continue;
        }
        previous = sy;
        const uint32_t* src = image.row(int(sy));
        if (identity) {
            std::memcpy(dst, src, size_t(cw) * 4);
        } else {
            const uint32_t* map = columns.data();
            for (int dx = 0; dx < cw; ++dx)
                dst[dx] = src[map[dx]];
        }
    }
}

int Draw(const std::optional<DecodedImage>& image, Surface& surface, unsigned frameWidth,
         unsigned frameHeight, int mode) {
    if (!image)
        return 1;
    BlitImage(*image, surface, frameWidth, frameHeight, mode);
    return 0;
}

} // namespace

void BlitImage(const DecodedImage& image, Surface& surface, unsigned frameWidth,
               unsigned frameHeight, int mode) {
    if (image.isEmpty() || surface.isEmpty())
        return;
    if (mode == 1) {
        StretchBlit(image, surface, frameWidth, frameHeight);
        return;
    }
    int64_t x0 = 0, y0 = 0;
    if (mode != 2) {
        x0 = int64_t(frameWidth >> 1) - image.width / 2;
        y0 = int64_t(frameHeight >> 1) - image.height / 2;
    }
    const int64_t left = std::max<int64_t>(x0, 0);
    const int64_t right = std::min<int64_t>(x0 + image.width, surface.width());
    const int64_t top = std::max<int64_t>(y0, 0);
    const int64_t bottom = std::min<int64_t>(y0 + image.height, surface.height());
    if (left >= right || top >= bottom)
        return;
    const size_t bytes = size_t(right - left) * 4;
    for (int64_t y = top; y < bottom; ++y)
        std::memcpy(surface.row(int(y)) + left, image.row(int(y - y0)) + (left - x0), bytes);
}

std::optional<DecodedImage> LoadImageFile(const std::string& path) {
    if (const char* plugin = PluginForPath(path)) {
        if (auto image = DecodeWithPlugin(plugin, path))
            return image;
    }
    return ReadBmpFile(path);
}

int DrawImageFile(const std::string& path, Surface& surface, unsigned frameWidth,
                  unsigned frameHeight, int mode) {
    if (TryDecoderPlugin(path, surface, frameWidth, frameHeight, mode) == 0)
        return 0;
    return DrawBmpFile(path, surface, frameWidth, frameHeight, mode);
}

int TryDecoderPlugin(const std::string& path, Surface& surface, unsigned frameWidth,
                     unsigned frameHeight, int mode) {
    const char* plugin = PluginForPath(path);
    if (!plugin)
        return 1;
    return Draw(DecodeWithPlugin(plugin, path), surface, frameWidth, frameHeight, mode);
}

int DrawBmpFile(const std::string& path, Surface& surface, unsigned frameWidth,
                unsigned frameHeight, int mode) {
    return Draw(ReadBmpFile(path), surface, frameWidth, frameHeight, mode);
}
