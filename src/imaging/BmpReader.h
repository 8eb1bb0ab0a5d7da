#pragma once

// The BMP reader: turns a Windows bitmap file, or a packed DIB handed back by
// a decoder plug-in, into a picture (a PixelBuffer of opaque Xrgb32 pixels,
// rows top-down; see DecodePackedDib for the plug-ins' plain rows). It reads
//   - 1, 4 and 8 bits per pixel with a colour table (biClrUsed entries, or
//     2^biBitCount when 0; entries the file does not store stay black),
//     RLE8 and RLE4 compression (pixels the stream skips stay black);
//   - 16 and 32 bits, plain (5-5-5 and 8-8-8) or with BITFIELDS masks, and
//     24 bits;
//   - 40-byte info headers, the V2 to V5 headers (52 to 124 bytes, masks
//     inside) and the 12-byte OS/2 core header;
//   - top-down files (negative biHeight), drawn upright.
// The pixel array starts at bfOffBits when that lies at or after the colour
// table, else directly after the table; its size is bfSize - bfOffBits, and a
// file shorter than that reads zeros for the missing bytes. Refused (nullopt):
// a file that cannot be opened or is not a regular file, a width or height of
// 0 or above 16384, an unknown bit count or compression, more colours than the
// table holds, pixel data smaller than the rows need, memory that cannot be
// had. Nothing is read or written outside a buffer, whatever the file says.
//
// Thread-safe: no state is kept between calls.

#include "imaging/PixelBuffer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct BmpLimits {
    static constexpr int MaxDimension = 16384;
    // Width x height above this is refused; the fuzzer lowers it to keep
    // its runs fast.
    uint64_t maxPixels = uint64_t(MaxDimension) * MaxDimension;
};

std::optional<PixelBuffer> ReadBmpFile(const std::string& path, const BmpLimits& limits = {});

// The same reader over a file image held in memory.
std::optional<PixelBuffer> DecodeBmp(const uint8_t* data, size_t size,
                                     const BmpLimits& limits = {});

// A packed DIB as a decoder plug-in hands it back: info holds the
// BITMAPINFOHEADER (biSize at offset 0) and its colour table, bits the pixel
// rows. Sizes are the real sizes of the two blocks; nothing past them is read.
// Both blocks are taken over. Plain 24-bit bottom-up rows (BI_RGB) become the
// picture as they are (Bgr24, bottom-up), to be drawn from where the plug-in
// left them; every other form is decoded as a file's pixels would be.
std::optional<PixelBuffer> DecodePackedDib(MallocBlock info, size_t infoSize, MallocBlock bits,
                                           size_t bitsSize, const BmpLimits& limits = {});
