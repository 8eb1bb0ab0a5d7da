#pragma once

// The movie palette: one fixed 256-colour table (a 6x6x6 colour cube plus 40
// extra greys) used for every 8-bit frame of every movie, reached with 4x4
// ordered (Bayer) dithering, so that a pixel's index depends only on its
// colour and its place in the frame.

#include <array>
#include <cstdint>

// The palette as 0x00RRGGBB values.
const std::array<uint32_t, 256>& MoviePalette();

// The entry a 0xffRRGGBB pixel at (x, y), counted from the frame's top-left
// corner, is mapped to.
uint8_t MoviePaletteIndex(uint32_t rgb, int x, int y);

// MoviePaletteIndex for `width` pixels of row y, from x = 0.
void MoviePaletteRow(const uint32_t* rgb, uint8_t* indices, int width, int y);
