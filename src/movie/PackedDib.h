#pragma once

// PackedDib: one block holding a 40-byte BITMAPINFOHEADER, a colour table
// (256 BGRX entries at 8 bits, none at 16 and 24 bits) and the pixel rows,
// bottom row first, each padded to a multiple of 4 bytes. The movie writer
// makes one per frame from the drawn surface; its format part (header and
// colour table) becomes the video stream's format.
//
// Pixels: 24 bits B,G,R; 16 bits little-endian RGB555 (top bit unused);
// 8 bits an index into the movie palette, one fixed 256-colour table (a
// 6x6x6 colour cube plus 40 extra greys) used for every frame of every movie,
// reached with 4x4 ordered (Bayer) dithering so that the result depends only
// on the pixel and its place.

#include "imaging/Surface.h"
#include "movie/AviWriter.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct PackedDib {
    static constexpr size_t HeaderSize = 40;

    int width = 0;
    int height = 0;
    int bitCount = 0;
    std::vector<uint8_t> block; // header, colour table, pixel rows

    uint32_t stride() const;
    uint32_t clrUsed() const { return bitCount <= 8 ? 1u << bitCount : 0u; }
    // Header plus colour table: 1,064 bytes at 8 bits, 40 at 16 and 24.
    size_t formatSize() const { return HeaderSize + size_t(clrUsed()) * 4; }
    size_t imageSize() const { return size_t(stride()) * size_t(height); }

    uint8_t* header() { return block.data(); }
    const uint8_t* header() const { return block.data(); }
    const uint8_t* colourTable() const { return block.data() + HeaderSize; }
    uint8_t* pixels() { return block.data() + formatSize(); }
    const uint8_t* pixels() const { return block.data() + formatSize(); }
    // Row y counted from the top of the picture (the block stores it bottom-up).
    uint8_t* topDownRow(int y) { return pixels() + size_t(height - 1 - y) * stride(); }
    const uint8_t* topDownRow(int y) const { return pixels() + size_t(height - 1 - y) * stride(); }
};

// The slot that holds the current frame's DIB; one DIB exists at a time.
using DibSlot = std::unique_ptr<PackedDib>;

// ((width * bitCount + 31) / 32) * 4.
uint32_t DibStride(int width, int bitCount);

// Converts the surface at 8, 16 or 24 bits; nullptr for another bit count,
// an empty surface or when memory runs out.
std::unique_ptr<PackedDib> BitmapToPackedDib(const Surface& bitmap, int bitCount);

// Frees the slot, paints a white width x height surface with `draw` when
// frame >= 0 (frame -1 is the format DIB, never drawn) and leaves its DIB in
// the slot. Answers false, with an empty slot, when the DIB cannot be made.
bool MakeFrameDib(DibSlot& slot, int bitCount, unsigned width, unsigned height, long frame,
                  const DrawFrameCallback& draw);

void FreeFrameDib(DibSlot& slot);

// The movie palette as 0x00RRGGBB values, and the entry a 0xffRRGGBB pixel at
// (x, y) (counted from the top-left corner) is mapped to.
const std::array<uint32_t, 256>& MoviePalette();
uint8_t MoviePaletteIndex(uint32_t rgb, int x, int y);
