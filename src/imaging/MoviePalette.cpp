#include "imaging/MoviePalette.h"

#include <cstddef>

namespace {

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

inline uint8_t Index(const PaletteTables& t, uint32_t rgb, int threshold) {
    const uint32_t r = (rgb >> 16) & 255, g = (rgb >> 8) & 255, b = rgb & 255;
    if (r == g && g == b)
        return t.grey[threshold][r];
    return uint8_t(t.cube[threshold][r] * 36 + t.cube[threshold][g] * 6 + t.cube[threshold][b]);
}

} // namespace

const std::array<uint32_t, 256>& MoviePalette() {
    return Tables().palette;
}

uint8_t MoviePaletteIndex(uint32_t rgb, int x, int y) {
    return Index(Tables(), rgb, Bayer4[y & 3][x & 3]);
}

void MoviePaletteRow(const uint32_t* rgb, uint8_t* indices, int width, int y) {
    const PaletteTables& t = Tables();
    const int* thresholds = Bayer4[y & 3];
    for (int x = 0; x < width; ++x)
        indices[x] = Index(t, rgb[x], thresholds[x & 3]);
}
