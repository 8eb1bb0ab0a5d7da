// iftiff.spi: the TIFF decoder plug-in, on libtiff.
//
// Reads the first image of the file in any layout libtiff's RGBA reader knows
// (strips or tiles, contiguous or planar, 1 to 16 bits; grey, palette, RGB,
// CMYK, YCbCr, CIE L*a*b*; any compression the library was built with).
// Palette and grey images of up to 8 bits come out as 8-bit rows with their
// own colours for a table, exactly; everything else as 24-bit BGR rows, with
// transparency composited over white as the PNG plug-in does. Rows are
// decoded a band at a time, so only one band's RGBA raster is held beside the
// picture, and libtiff's own allocations are capped. libtiff reads memory
// input in place; it reads a file through stdio, except a file of
// uncompressed tiles, which it is handed whole in memory (libtiff 4.5.0
// refuses such tiles read any other way). With
// SPI_APPLY_ORIENTATION the picture is turned the way its Orientation tag
// says; without it the rows come as stored. Nothing is ever printed.

#include "spi.h"
#include "spi_dib.h"

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include <tiffio.h>

namespace {

constexpr tmsize_t MaxLibtiffAllocation = tmsize_t(256) << 20; // any one block libtiff asks for
constexpr size_t BandBytes = size_t(16) << 20;                 // the RGBA raster of one band

// What libtiff reads: the input, and all of its bytes where they are in memory.
struct Source {
    spi::Input& input;
    const unsigned char* bytes = nullptr;
    size_t size = 0;
};

spi::Input& In(thandle_t handle) {
    return static_cast<Source*>(handle)->input;
}

tmsize_t ReadProc(thandle_t handle, void* to, tmsize_t size) {
    return size < 0 ? -1 : tmsize_t(In(handle).read(to, size_t(size)));
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) {
    return -1;
}
toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
    spi::Input& in = In(handle);
    // Unsigned arithmetic: a backward move arrives as a wrapped offset.
    const uint64_t from = whence == SEEK_CUR ? in.position() : whence == SEEK_END ? in.size() : 0;
    const uint64_t to = from + offset;
    return in.seek(to) ? to : toff_t(-1);
}
int CloseProc(thandle_t) {
    return 0;
}
toff_t SizeProc(thandle_t handle) {
    return In(handle).size();
}
int MapProc(thandle_t handle, void** base, toff_t* size) {
    const Source& source = *static_cast<Source*>(handle);
    *base = const_cast<unsigned char*>(source.bytes);
    *size = source.size;
    return source.bytes != nullptr;
}
void UnmapProc(thandle_t, void*, toff_t) {}
// Answers "handled", so that libtiff prints nothing.
int Quiet(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct Handles {
    TIFFOpenOptions* options = nullptr;
    TIFF* tif = nullptr;
    TIFFRGBAImage image{};
    bool begun = false;
    uint32_t* raster = nullptr;
    ~Handles() {
        std::free(raster);
        if (begun)
            TIFFRGBAImageEnd(&image);
        if (tif)
            TIFFClose(tif);
        TIFFOpenOptionsFree(options);
    }
};

// Finds a palette image's index back from the colour libtiff made of it:
// open addressing over twice as many slots as a table has entries.
struct ColourIndex {
    uint32_t colour[512];
    uint16_t entry[512] = {}; // index + 1; 0 is an empty slot
    static unsigned Slot(uint32_t c) { return (c * 2654435761u) >> 23; }
    void add(uint32_t c, unsigned index) {
        unsigned s = Slot(c);
        while (entry[s] && colour[s] != c)
            s = (s + 1) & 511;
        if (!entry[s]) {
            colour[s] = c;
            entry[s] = uint16_t(index + 1);
        }
    }
    unsigned find(uint32_t c) const {
        for (unsigned s = Slot(c); entry[s]; s = (s + 1) & 511)
            if (colour[s] == c)
                return entry[s] - 1u;
        return 0;
    }
};

// Opens the file through libtiff's client procedures, within its allocation
// bound and without its messages. An uncompressed tiled file on disk is read
// into memory first and opened again from there.
int OpenTiff(spi::Input& input, Source& source, Handles& h) {
    h.options = TIFFOpenOptionsAlloc();
    if (!h.options)
        return SPI_NO_MEMORY;
    TIFFOpenOptionsSetMaxSingleMemAlloc(h.options, MaxLibtiffAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(h.options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(h.options, Quiet, nullptr);
    if (input.inMemory())
        source.bytes = input.whole(UINT64_MAX, &source.size);
    auto open = [&] {
        input.seek(0); // libtiff reads its header from where the input stands
        return TIFFClientOpenExt("image", "r", &source, ReadProc, WriteProc, SeekProc, CloseProc,
                                 SizeProc, MapProc, UnmapProc, h.options);
    };
    h.tif = open();
    uint16_t compression = 0;
    if (h.tif && !source.bytes && TIFFIsTiled(h.tif) &&
        TIFFGetFieldDefaulted(h.tif, TIFFTAG_COMPRESSION, &compression) &&
        compression == COMPRESSION_NONE) {
        TIFFClose(h.tif);
        h.tif = nullptr;
        source.bytes = input.whole(UINT64_MAX, &source.size);
        if (!source.bytes)
            return SPI_NO_MEMORY;
        h.tif = open();
    }
    char message[1024];
    if (!h.tif || !TIFFRGBAImageOK(h.tif, message))
        return SPI_BROKEN_DATA;
    h.begun = TIFFRGBAImageBegin(&h.image, h.tif, 1, message) != 0;
    return h.begun ? SPI_OK : SPI_BROKEN_DATA;
}

// A band is as many whole strips or tiles as BandBytes of raster holds, or
// one of them where that takes more, up to what libtiff may allocate at
// once; only taller strips are cut into bands of rows (libtiff then
// decodes each such strip again from its start for every band).
uint32_t BandRows(TIFF* tif, uint32_t width, uint32_t height) {
    uint32_t unit = 0;
    if (!TIFFGetFieldDefaulted(tif, TIFFIsTiled(tif) ? TIFFTAG_TILELENGTH : TIFFTAG_ROWSPERSTRIP,
                               &unit) ||
        unit == 0 || unit > height)
        unit = height;
    const uint64_t rowBytes = uint64_t(width) * 4, unitBytes = rowBytes * unit;
    uint64_t band = BandBytes / unitBytes * unit;
    if (band == 0)
        band = unitBytes <= uint64_t(MaxLibtiffAllocation) ? unit : BandBytes / rowBytes;
    return band > height ? height : uint32_t(band);
}

// How the picture's rows are stored in the DIB: grey levels, palette indexes
// (found back from libtiff's RGBA), or 24-bit colour over white.
struct RowFormat {
    bool grey = false;
    bool palette = false;
    ColourIndex indices;

    void convert(const uint32_t* from, unsigned char* to, uint32_t width) const {
        if (grey)
            for (uint32_t x = 0; x < width; ++x)
                to[x] = uint8_t(TIFFGetR(from[x]));
        else if (palette)
            for (uint32_t x = 0; x < width; ++x)
                to[x] = uint8_t(indices.find(from[x] & 0xffffff));
        else
            for (uint32_t x = 0; x < width; ++x, to += 3) {
                const uint32_t v = from[x];
                const auto a = uint8_t(TIFFGetA(v));
                to[0] = spi::PremultipliedOverWhite(uint8_t(TIFFGetB(v)), a);
                to[1] = spi::PremultipliedOverWhite(uint8_t(TIFFGetG(v)), a);
                to[2] = spi::PremultipliedOverWhite(uint8_t(TIFFGetR(v)), a);
            }
    }
};

// Allocates the DIB for the picture, with its colour table for a palette.
int PrepareDib(const TIFFRGBAImage& image, spi::DibBlocks& dib, RowFormat& format) {
    const bool oneSample = image.samplesperpixel == 1 && image.bitspersample <= 8;
    format.grey = oneSample && (image.photometric == PHOTOMETRIC_MINISBLACK ||
                                image.photometric == PHOTOMETRIC_MINISWHITE);
    format.palette = oneSample && image.photometric == PHOTOMETRIC_PALETTE;
    const int allocated =
        dib.allocate(image.width, image.height, format.grey || format.palette ? 8 : 24);
    if (allocated != SPI_OK || !format.palette)
        return allocated;
    // libtiff has brought its copy of the colour map to 8 bits by now.
    for (unsigned i = 0; i < 1u << image.bitspersample; ++i) {
        unsigned char* e = dib.colour(i);
        e[0] = uint8_t(image.bluecmap[i]);
        e[1] = uint8_t(image.greencmap[i]);
        e[2] = uint8_t(image.redcmap[i]);
        format.indices.add(e[2] | e[1] << 8 | uint32_t(e[0]) << 16, i);
    }
    return SPI_OK;
}

int Decode(spi::Input& input, bool orient, spi::DibBlocks& dib, SpiProgressCallback progress,
           long lData) {
    unsigned char magic[4] = {};
    if (input.read(magic, 4) != 4 || !input.seek(0) ||
        !((std::memcmp(magic, "II", 2) == 0 && (magic[2] == 42 || magic[2] == 43) && !magic[3]) ||
          (std::memcmp(magic, "MM", 2) == 0 && !magic[2] && (magic[3] == 42 || magic[3] == 43))))
        return SPI_UNKNOWN_FORMAT;

    Source source{input}; // outlives the handles, which libtiff's close may use
    Handles h;
    if (const int opened = OpenTiff(input, source, h); opened != SPI_OK)
        return opened;
    TIFFRGBAImage& image = h.image;
    const uint32_t width = image.width, height = image.height;
    if (width > SPI_MAX_DIMENSION || height > SPI_MAX_DIMENSION)
        return SPI_NO_MEMORY;
    // Rows as stored, top first; the tag is applied below, to the finished picture.
    const unsigned orientation = image.orientation;
    image.orientation = image.req_orientation = ORIENTATION_TOPLEFT;
    RowFormat format;
    if (const int prepared = PrepareDib(image, dib, format); prepared != SPI_OK)
        return prepared;

    const uint32_t band = BandRows(h.tif, width, height);
    h.raster = static_cast<uint32_t*>(std::malloc(size_t(width) * band * 4));
    if (!h.raster)
        return SPI_NO_MEMORY;
    for (uint32_t y = 0; y < height; y += band) {
        const uint32_t rows = height - y < band ? height - y : band;
        image.row_offset = int(y);
        image.col_offset = 0;
        if (!TIFFRGBAImageGet(&image, h.raster, width, rows))
            return SPI_BROKEN_DATA;
        for (uint32_t r = 0; r < rows; ++r)
            format.convert(h.raster + size_t(r) * width, dib.rowFromTop(y + r), width);
        if (progress && progress(int(y + rows), int(height), lData) != 0)
            return SPI_ABORT;
    }
    return orient ? dib.orient(orientation) : SPI_OK;
}

} // namespace

extern "C" SPI_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** pHBInfo,
                                     void** pHBm, SpiProgressCallback progress, long lData) {
    return spi::DecodePicture(
        buf, len, flag, pHBInfo, pHBm, [&](spi::Input& input, spi::DibBlocks& dib) {
            return Decode(input, (flag & SPI_APPLY_ORIENTATION) != 0, dib, progress, lData);
        });
}
