#include "movie/PackedDib.h"

#include <new>

namespace {

void PutLe32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// 4x4 Bayer matrix; thresholds spread evenly over 0..254.
constexpr int Bayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Cube levels 0, 51, ..., 255 and a grey ramp of 46 steps of 255/45, which
// holds the six cube greys at every ninth step.
constexpr int CubeSteps = 5;
constexpr int GreySteps = 45;

struct PaletteTables {
    std::array<uint32_t, 256> palette{};
    uint8_t cube[16][256]; // dithered cube level 0..5 per threshold and value
    uint8_t grey[16][256]; // dithered grey palette index per threshold and value
    uint8_t greyIndex[GreySteps + 1];

    PaletteTables() {
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    palette[size_t(r * 36 + g * 6 + b)] =
                        uint32_t(r * 51) << 16 | uint32_t(g * 51) << 8 | uint32_t(b * 51);
        int next = 216;
        for (int k = 0; k <= GreySteps; ++k) {
            if (k % 9 == 0) {
                int c = k / 9;
                greyIndex[k] = uint8_t(c * 36 + c * 6 + c);
            } else {
                uint32_t v = uint32_t((k * 255 + GreySteps / 2) / GreySteps);
                palette[size_t(next)] = v << 16 | v << 8 | v;
                greyIndex[k] = uint8_t(next++);
            }
        }
        for (int t = 0; t < 16; ++t) {
            int threshold = (2 * t + 1) * 255 / 32; // 7 .. 247
            for (int v = 0; v < 256; ++v) {
                int q = v * CubeSteps;
                cube[t][v] = uint8_t(q / 255 + (q % 255 > threshold ? 1 : 0));
                int gq = v * GreySteps;
                grey[t][v] = greyIndex[gq / 255 + (gq % 255 > threshold ? 1 : 0)];
            }
        }
    }
};

const PaletteTables& Tables() {
    static const PaletteTables tables;
    return tables;
}

} // namespace

const std::array<uint32_t, 256>& MoviePalette() {
    return Tables().palette;
}

uint8_t MoviePaletteIndex(uint32_t rgb, int x, int y) {
    const PaletteTables& t = Tables();
    int threshold = Bayer4[y & 3][x & 3];
    uint32_t r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
    if (r == g && g == b)
        return t.grey[threshold][r];
    return uint8_t(t.cube[threshold][r] * 36 + t.cube[threshold][g] * 6 + t.cube[threshold][b]);
}

uint32_t PackedDib::stride() const {
    return DibStride(width, bitCount);
}

uint32_t DibStride(int width, int bitCount) {
    return uint32_t((uint64_t(width) * uint64_t(bitCount) + 31) / 32 * 4);
}

std::unique_ptr<PackedDib> BitmapToPackedDib(const Surface& bitmap, int bitCount) {
    if (bitmap.isEmpty() || (bitCount != 8 && bitCount != 16 && bitCount != 24))
        return nullptr;
    std::unique_ptr<PackedDib> dib(new (std::nothrow) PackedDib);
    if (!dib)
        return nullptr;
    dib->width = bitmap.width();
    dib->height = bitmap.height();
    dib->bitCount = bitCount;
    const uint64_t imageSize = uint64_t(dib->stride()) * uint64_t(dib->height);
    if (imageSize > 0xffffffffu - 2048)
        return nullptr; // biSizeImage is a 32-bit field
    try {
        dib->block.assign(dib->formatSize() + imageSize, 0);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }

    uint8_t* h = dib->header();
    PutLe32(h + 0, 40);
    PutLe32(h + 4, uint32_t(dib->width));
    PutLe32(h + 8, uint32_t(dib->height)); // positive: bottom-up rows
    PutLe16(h + 12, 1);
    PutLe16(h + 14, uint16_t(bitCount));
    PutLe32(h + 16, 0);
    PutLe32(h + 20, uint32_t(imageSize));
    PutLe32(h + 32, dib->clrUsed());

    if (bitCount == 8) {
        uint8_t* table = dib->header() + PackedDib::HeaderSize;
        for (uint32_t rgb : MoviePalette()) {
            *table++ = uint8_t(rgb);       // blue
            *table++ = uint8_t(rgb >> 8);  // green
            *table++ = uint8_t(rgb >> 16); // red
            *table++ = 0;
        }
    }

    const PaletteTables& t = Tables();
    for (int y = 0; y < dib->height; ++y) {
        const uint32_t* src = bitmap.row(y);
        uint8_t* dst = dib->topDownRow(y);
        switch (bitCount) {
        case 24:
            for (int x = 0; x < dib->width; ++x) {
                uint32_t p = src[x];
                *dst++ = uint8_t(p);
                *dst++ = uint8_t(p >> 8);
                *dst++ = uint8_t(p >> 16);
            }
            break;
        case 16:
            for (int x = 0; x < dib->width; ++x) {
                uint32_t p = src[x];
                uint16_t v =
                    uint16_t(((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 | ((p >> 3) & 31));
                PutLe16(dst, v);
                dst += 2;
            }
            break;
        default: {
            const int* bayerRow = Bayer4[y & 3];
            for (int x = 0; x < dib->width; ++x) {
                uint32_t p = src[x];
                int th = bayerRow[x & 3];
                uint32_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
                dst[x] = (r == g && g == b)
                             ? t.grey[th][r]
                             : uint8_t(t.cube[th][r] * 36 + t.cube[th][g] * 6 + t.cube[th][b]);
            }
            break;
        }
        }
    }
    return dib;
}

void FreeFrameDib(DibSlot& slot) {
    slot.reset();
}

bool MakeFrameDib(DibSlot& slot, int bitCount, unsigned width, unsigned height, long frame,
                  const DrawFrameCallback& draw) {
    FreeFrameDib(slot);
    if (width == 0 || height == 0 || width > 0x7fffffffu || height > 0x7fffffffu)
        return false;
    Surface surface;
    if (!surface.reset(int(width), int(height), Surface::White))
        return false;
    if (frame >= 0 && draw)
        draw(surface, width, height, frame);
    slot = BitmapToPackedDib(surface, bitCount);
    return slot != nullptr;
}
