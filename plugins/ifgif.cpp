// ifgif.spi: the GIF decoder plug-in, on giflib.
//
// The first picture of the file, which for an animation is its first frame
// drawn on a canvas of the logical screen's size. As viewers do, the canvas
// starts transparent (the background colour index is a hint that they
// ignore) and grows to hold a first frame that does not fit it. Transparent
// pixels and the canvas the frame leaves uncovered show white, as the PNG
// plug-in's transparency does. The rows come out as 8 bits with the frame's
// own colour map for a table, which is exact: the transparent index's entry,
// or a spare one, holds the white. Only a frame that leaves canvas uncovered
// and uses all 256 colours, none of them white or transparent, comes out as
// 24-bit BGR rows. Damage after the first row ends the picture there, as
// viewers show a cut file; nothing is ever printed.

#include "spi.h"
#include "spi_dib.h"

#include <cstdlib>
#include <cstring>

#include <gif_lib.h>

namespace {

int ReadInput(GifFileType* gif, GifByteType* to, int n) {
    return n <= 0 ? 0 : int(static_cast<spi::Input*>(gif->UserData)->read(to, size_t(n)));
}

struct Handles {
    GifFileType* gif = nullptr;
    unsigned char* line = nullptr;
    ~Handles() {
        std::free(line);
        int error = 0;
        if (gif)
            DGifCloseFile(gif, &error);
    }
};

// Reads records up to the first image descriptor, keeping the transparent
// index of the graphic control extension before it (-1 when none).
int SkipToFirstImage(GifFileType* gif, int* transparent) {
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif, &type) == GIF_ERROR || type == TERMINATE_RECORD_TYPE)
            return SPI_BROKEN_DATA;
        if (type == IMAGE_DESC_RECORD_TYPE)
            return DGifGetImageDesc(gif) == GIF_OK ? SPI_OK : SPI_BROKEN_DATA;
        if (type != EXTENSION_RECORD_TYPE)
            return SPI_BROKEN_DATA;
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
            return SPI_BROKEN_DATA;
        GraphicsControlBlock control;
        if (code == GRAPHICS_EXT_FUNC_CODE && block &&
            DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
            *transparent = control.TransparentColor;
        while (block)
            if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
                return SPI_BROKEN_DATA;
    }
}

// Where the first frame lies on the canvas, and how the canvas is stored:
// 8-bit with the frame's colour map where one index can show white (or the
// frame covers the canvas), else 24-bit.
struct Canvas {
    unsigned left = 0, top = 0, frameWidth = 0, frameHeight = 0, width = 0, height = 0;
    bool covered = false;
    int white = -1;
    bool eightBit = false;
};

Canvas PlaceFrame(const GifFileType* gif, const ColorMapObject* map, int transparent) {
    const GifImageDesc& frame = gif->Image;
    Canvas c;
    c.left = unsigned(frame.Left);
    c.top = unsigned(frame.Top);
    c.frameWidth = unsigned(frame.Width);
    c.frameHeight = unsigned(frame.Height);
    c.width = gif->SWidth > 0 && unsigned(gif->SWidth) >= c.left + c.frameWidth
                  ? unsigned(gif->SWidth)
                  : c.left + c.frameWidth;
    c.height = gif->SHeight > 0 && unsigned(gif->SHeight) >= c.top + c.frameHeight
                   ? unsigned(gif->SHeight)
                   : c.top + c.frameHeight;
    c.covered = c.left == 0 && c.top == 0 && c.frameWidth == c.width && c.frameHeight == c.height;

    // The index that shows white: the transparent one, else a white entry,
    // else a spare one; none is needed where the frame covers the canvas.
    const unsigned count = unsigned(map->ColorCount);
    c.white = transparent >= 0 && transparent < 256 ? transparent : -1;
    for (unsigned i = 0; c.white < 0 && i < count; ++i) {
        const GifColorType& e = map->Colors[i];
        if (e.Red == 255 && e.Green == 255 && e.Blue == 255)
            c.white = int(i);
    }
    if (c.white < 0 && count < 256)
        c.white = int(count);
    c.eightBit = c.covered || c.white >= 0;
    return c;
}

// Allocates the canvas, writes its colour table and paints what the frame
// leaves uncovered white.
int PrepareCanvas(const Canvas& c, const ColorMapObject* map, int transparent,
                  spi::DibBlocks& dib) {
    const int allocated = dib.allocate(c.width, c.height, c.eightBit ? 8 : 24);
    if (allocated != SPI_OK)
        return allocated;
    if (!c.eightBit) {
        std::memset(dib.bits, 255, dib.stride * c.height);
        return SPI_OK;
    }
    const unsigned count = unsigned(map->ColorCount);
    for (unsigned i = 0; i < 256; ++i) {
        unsigned char* e = dib.colour(i);
        const GifColorType colour = i < count ? map->Colors[i] : GifColorType{0, 0, 0};
        const bool clear = int(i) == transparent || int(i) == c.white;
        e[0] = clear ? 255 : colour.Blue;
        e[1] = clear ? 255 : colour.Green;
        e[2] = clear ? 255 : colour.Red;
    }
    if (!c.covered)
        std::memset(dib.bits, c.white, dib.stride * c.height);
    return SPI_OK;
}

// Reads the frame's rows onto the canvas. A file cut short keeps the rows
// that arrived; one without a single row is broken.
int ReadRows(GifFileType* gif, const ColorMapObject* map, const Canvas& c, unsigned char* line,
             spi::DibBlocks& dib, SpiProgressCallback progress, long lData) {
    // Interlaced frames store every 8th row from 0, every 8th from 4, every
    // 4th from 2, then every 2nd from 1.
    static const unsigned passStart[4] = {0, 4, 2, 1}, passStep[4] = {8, 8, 4, 2};
    const bool interlaced = gif->Image.Interlace;
    const unsigned fw = c.frameWidth, fh = c.frameHeight, count = unsigned(map->ColorCount);
    unsigned pass = 0, row = 0;
    for (unsigned i = 0; i < fh; ++i) {
        if (interlaced) {
            while (row >= fh && pass < 3)
                row = passStart[++pass];
        } else {
            row = i;
        }
        if (row >= fh)
            break;
        if (DGifGetLine(gif, line, int(fw)) == GIF_ERROR)
            return i == 0 ? SPI_BROKEN_DATA : SPI_OK;
        if (c.eightBit) {
            std::memcpy(dib.rowFromTop(c.top + row) + c.left, line, fw);
        } else {
            unsigned char* to = dib.rowFromTop(c.top + row) + size_t(c.left) * 3;
            for (unsigned x = 0; x < fw; ++x, to += 3) {
                const unsigned index = line[x];
                const GifColorType e = index < count ? map->Colors[index] : GifColorType{0, 0, 0};
                to[0] = e.Blue;
                to[1] = e.Green;
                to[2] = e.Red;
            }
        }
        if (interlaced)
            row += passStep[pass];
        if (progress && progress(int(i + 1), int(fh), lData) != 0)
            return SPI_ABORT;
    }
    return SPI_OK;
}

int Decode(spi::Input& input, spi::DibBlocks& dib, SpiProgressCallback progress, long lData) {
    Handles h;
    int error = 0;
    h.gif = DGifOpen(&input, ReadInput, &error);
    if (!h.gif)
        return error == D_GIF_ERR_NOT_GIF_FILE || error == D_GIF_ERR_READ_FAILED
                   ? SPI_UNKNOWN_FORMAT
               : error == D_GIF_ERR_NOT_ENOUGH_MEM ? SPI_NO_MEMORY
                                                   : SPI_BROKEN_DATA;
    GifFileType* gif = h.gif;
    int transparent = -1;
    if (const int failed = SkipToFirstImage(gif, &transparent))
        return failed;

    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!map || !map->Colors || map->ColorCount <= 0 || map->ColorCount > 256 || frame.Width <= 0 ||
        frame.Height <= 0 || frame.Left < 0 || frame.Top < 0)
        return SPI_BROKEN_DATA;
    const Canvas canvas = PlaceFrame(gif, map, transparent);
    if (const int failed = PrepareCanvas(canvas, map, transparent, dib))
        return failed;
    h.line = static_cast<unsigned char*>(std::malloc(canvas.frameWidth));
    if (!h.line)
        return SPI_NO_MEMORY;
    return ReadRows(gif, map, canvas, h.line, dib, progress, lData);
}

} // namespace

extern "C" SPI_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** pHBInfo,
                                     void** pHBm, SpiProgressCallback progress, long lData) {
    return spi::DecodePicture(buf, len, flag, pHBInfo, pHBm,
                              [&](spi::Input& input, spi::DibBlocks& dib) {
                                  return Decode(input, dib, progress, lData);
                              });
}
