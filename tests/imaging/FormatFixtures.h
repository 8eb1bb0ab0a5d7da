#pragma once

// Cases name only the fields they need with designated initializers.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// Writes the files the decoders read: JPEG (CMYK too), WebP, TIFF (palettes,
// tiles, strips, orientation), GIF and HEIF with the libraries' own writers,
// BMP byte by byte. Colours are 0xAARRGGBB, top row first.

#include <QByteArray>
#include <QList>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

namespace fixtures {

// BMP files are built byte by byte, so that every field the reader looks at is
// under the test's control.

// Appends each value as little-endian bytes, as many as its digit in sizes.
inline void Put(QByteArray& b, const char* sizes, std::initializer_list<uint32_t> values) {
    for (uint32_t v : values)
        for (int i = 0, n = *sizes++ - '0'; i < n; ++i)
            b.append(char(v >> (8 * i)));
}
inline void Poke32(QByteArray& b, int at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = char((v >> (8 * i)) & 255);
}

// A BMP file's fields. With BITFIELDS `table` holds the masks R, G, B[, A]
// (after a 40-byte header, or inside a larger one), else the colour table,
// 0x00RRGGBB.
struct Bmp {
    int width = 1, height = 1, bitCount = 24; // negative height: top-down rows
    QByteArray pixels;                        // the pixel array exactly as stored
    uint32_t compression = 0;
    std::vector<uint32_t> table;
    uint32_t clrUsed = 0, headerSize = 40;     // 12, 40, 52, 56, 108 or 124 bytes
    int gap = 0;                               // bytes of junk between the table and the pixels
    std::optional<uint32_t> bfSize, bfOffBits; // overrides
};

inline QByteArray MakeBmp(const Bmp& s) {
    QByteArray info;
    const uint32_t w = uint32_t(s.width), h = uint32_t(s.height), bits = uint32_t(s.bitCount);
    const bool core = s.headerSize == 12, masks = s.compression == 3;
    if (core)
        Put(info, "42222", {12, w, h, 1, bits});
    else
        Put(info, "44422444444",
            {s.headerSize, w, h, 1, bits, s.compression, uint32_t(s.pixels.size()), 2835, 2835,
             s.clrUsed, 0});
    for (size_t i = 0; !core && i < (s.headerSize > 40 ? 4 : masks ? s.table.size() : 0); ++i)
        Put(info, "4", {masks && i < s.table.size() ? s.table[i] : 0});
    if (s.headerSize > 40) // colour space fields: junk the reader must skip
        info.append(QByteArray(s.headerSize - info.size(), char(0x5a)));
    for (size_t i = 0; !masks && i < s.table.size(); ++i) // B, G, R[, 0]
        Put(info, core ? "3" : "4", {s.table[i]});
    info.append(QByteArray(s.gap, char(0xa5)));
    QByteArray file("BM");
    Put(file, "444",
        {s.bfSize.value_or(uint32_t(14 + info.size() + s.pixels.size())), 0,
         s.bfOffBits.value_or(uint32_t(14 + info.size()))});
    return file + info + s.pixels;
}

// Packs rows of palette indices (or 0x00RRGGBB colours at 24 and 32 bits, raw
// 16-bit words at 16) into padded rows, bottom-up unless topDown.
inline QByteArray PackRows(const std::vector<uint32_t>& values, int width, int height, int bitCount,
                           bool topDown = false) {
    const int stride = ((width * bitCount + 31) / 32) * 4;
    QByteArray out(stride * height, char(0));
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        char* row = out.data() + r * stride;
        for (int x = 0; x < width; ++x) {
            const uint32_t v = values[size_t(y) * width + x];
            if (bitCount <= 8) // most significant bits first
                row[x * bitCount / 8] |=
                    char((v & ((1u << bitCount) - 1)) << (8 - bitCount - x * bitCount % 8));
            else // little-endian words, R G B as B G R bytes
                for (int i = 0; i < bitCount / 8; ++i)
                    row[x * bitCount / 8 + i] = char(v >> (8 * i));
        }
        // Padding bytes carry junk: the reader must not show them.
        for (int i = (width * bitCount + 7) / 8; i < stride; ++i)
            row[i] = char(0xee);
    }
    return out;
}

// R, G, B[, A] bytes of 0xAARRGGBB colours.
inline std::vector<uint8_t> RgbBytes(const std::vector<uint32_t>& argb, bool alpha = false) {
    std::vector<uint8_t> out;
    for (uint32_t c : argb) {
        out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
        if (alpha)
            out.push_back(uint8_t(c >> 24));
    }
    return out;
}

// samples: height rows of width x components bytes (RGB, grey or CMYK).
inline QByteArray MakeJpeg(int width, int height, int components,
                           const std::vector<uint8_t>& samples, bool progressive = false) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    for (int c = 0; c < cinfo.num_components; ++c) // no chroma subsampling
        cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
    if (progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row =
            const_cast<JSAMPROW>(samples.data() + size_t(cinfo.next_scanline) * width * components);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    QByteArray result(reinterpret_cast<const char*>(out), qsizetype(outSize));
    std::free(out);
    return result;
}

inline QByteArray MakeWebp(int width, int height, const std::vector<uint32_t>& argb) {
    const std::vector<uint8_t> rgba = RgbBytes(argb, true);
    uint8_t* out = nullptr;
    const size_t n = WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &out);
    QByteArray file(reinterpret_cast<const char*>(out), qsizetype(n));
    WebPFree(out);
    return file;
}

// An animation on a canvas, each frame a still WebP placed at an even offset.
struct WebpFrame {
    QByteArray still;
    int x = 0, y = 0;
};
inline QByteArray MakeAnimatedWebp(int width, int height, const std::vector<WebpFrame>& frames) {
    WebPMux* mux = WebPMuxNew();
    WebPMuxSetCanvasSize(mux, width, height);
    const WebPMuxAnimParams loop = {0xffffffff, 0};
    WebPMuxSetAnimationParams(mux, &loop);
    for (const WebpFrame& f : frames) {
        const WebPData still = {reinterpret_cast<const uint8_t*>(f.still.constData()),
                                size_t(f.still.size())};
        const WebPMuxFrameInfo info = {still, f.x, f.y, 100, WEBP_CHUNK_ANMF};
        WebPMuxPushFrame(mux, &info, 1);
    }
    WebPData data;
    WebPDataInit(&data);
    WebPMuxAssemble(mux, &data);
    QByteArray file(reinterpret_cast<const char*>(data.bytes), qsizetype(data.size));
    WebPDataClear(&data);
    WebPMuxDelete(mux);
    return file;
}

struct TiffSpec {
    int width = 1, height = 1;
    int bits = 8, photometric = PHOTOMETRIC_RGB;
    int alpha = 0; // EXTRASAMPLE_* of a last, alpha channel
    int orientation = 1;
    int tile = 0;         // tile height (a multiple of 16, as the width); 0: strips
    int rowsPerStrip = 0; // 0: libtiff's default
    int compression = COMPRESSION_NONE;
    std::vector<uint16_t> colormap; // red, then green, then blue entries
    std::vector<uint8_t> samples;   // packed rows, each a whole number of bytes
};

// 1 channel for grey and palette pictures, 3 for RGB, 4 with alpha.
inline QByteArray MakeTiff(TiffSpec s) {
    const int channels = s.photometric == PHOTOMETRIC_RGB ? 3 + (s.alpha != 0) : 1;
    QTemporaryFile file;
    if (!file.open())
        return QByteArray();
    TIFF* tif = TIFFOpen(QFile::encodeName(file.fileName()).constData(), "w");
    const int fields[] = {
        TIFFTAG_IMAGEWIDTH,      s.width,       TIFFTAG_IMAGELENGTH,   s.height,
        TIFFTAG_SAMPLESPERPIXEL, channels,      TIFFTAG_BITSPERSAMPLE, s.bits,
        TIFFTAG_PHOTOMETRIC,     s.photometric, TIFFTAG_COMPRESSION,   s.compression,
        TIFFTAG_ORIENTATION,     s.orientation};
    for (size_t i = 0; i < std::size(fields); i += 2)
        TIFFSetField(tif, uint32_t(fields[i]), fields[i + 1]);
    if (s.alpha) {
        const uint16_t extra = uint16_t(s.alpha);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (!s.colormap.empty()) {
        const size_t n = s.colormap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, s.colormap.data(), s.colormap.data() + n,
                     s.colormap.data() + 2 * n);
    }
    const int rowBytes = (s.width * channels * s.bits + 7) / 8;
    if (s.tile) { // one column of tiles `tile` rows high, the last one padded
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, s.width);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, s.tile);
        s.samples.resize(size_t(rowBytes) * (s.height + s.tile));
        for (int y = 0; y < s.height; y += s.tile)
            TIFFWriteTile(tif, &s.samples[size_t(y) * rowBytes], 0, uint32_t(y), 0, 0);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                     s.rowsPerStrip ? s.rowsPerStrip : TIFFDefaultStripSize(tif, 0));
        for (int y = 0; y < s.height; ++y)
            TIFFWriteScanline(tif, &s.samples[size_t(y) * rowBytes], uint32_t(y), 0);
    }
    TIFFClose(tif);
    return file.readAll();
}

struct GifFrame {
    QByteArray grid; // rows of letters split by '/': 'A' for index 0
    int left = 0, top = 0, transparent = -1;
    bool interlaced = false;
};

inline int AppendGif(GifFileType* gif, const GifByteType* data, int n) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), n);
    return n;
}

// colours: the global colour map (0xRRGGBB), a power of two long.
inline QByteArray MakeGif(int width, int height, const std::vector<uint32_t>& colours,
                          const std::vector<GifFrame>& frames) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    std::vector<GifColorType> map;
    for (uint32_t c : colours)
        map.push_back({GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)});
    ColorMapObject* object = GifMakeMapObject(int(map.size()), map.data());
    EGifSetGifVersion(gif, true);
    EGifPutScreenDesc(gif, width, height, 8, 0, object);
    for (const GifFrame& f : frames) {
        GraphicsControlBlock control = {DISPOSAL_UNSPECIFIED, false, 10, f.transparent};
        GifByteType extension[4];
        EGifGCBToExtension(&control, extension);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension);
        QList<QByteArray> rows = f.grid.split('/');
        EGifPutImageDesc(gif, f.left, f.top, int(rows[0].size()), int(rows.size()), f.interlaced,
                         nullptr);
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2}; // interlaced passes
        for (int pass = 0; pass < (f.interlaced ? 4 : 1); ++pass)
            for (int y = f.interlaced ? start[pass] : 0; y < rows.size();
                 y += f.interlaced ? step[pass] : 1) {
                for (char& c : rows[y])
                    c = char(c - 'A');
                EGifPutLine(gif, reinterpret_cast<GifPixelType*>(rows[y].data()),
                            int(rows[y].size()));
            }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(object);
    return out;
}

inline heif_error AppendHeif(heif_context*, const void* data, size_t size, void* userdata) {
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data), qsizetype(size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

// A HEIC (HEVC) or AVIF (AV1) picture, turned by the container's rotation and
// mirroring as `orientation` (an Exif value) says, with an Exif block if any.
inline QByteArray MakeHeif(heif_compression_format format, int width, int height,
                           const std::vector<uint32_t>& argb, bool alpha, int orientation = 1,
                           const QByteArray& exif = QByteArray()) {
    heif_image* image = nullptr;
    heif_image_create(width, height, heif_colorspace_RGB,
                      alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &image);
    heif_image_add_plane(image, heif_channel_interleaved, width, height, 8);
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(image, heif_channel_interleaved, &stride);
    const std::vector<uint8_t> bytes = RgbBytes(argb, alpha);
    const int rowBytes = width * (alpha ? 4 : 3);
    for (int y = 0; y < height; ++y)
        std::copy_n(&bytes[size_t(y) * rowBytes], rowBytes, plane + size_t(y) * stride);
    heif_context* context = heif_context_alloc();
    heif_encoder* encoder = nullptr;
    heif_context_get_encoder_for_format(context, format, &encoder);
    heif_encoder_set_lossy_quality(encoder, 90);
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->image_orientation = heif_orientation(orientation);
    heif_image_handle* handle = nullptr;
    heif_context_encode_image(context, image, encoder, options, &handle);
    if (!exif.isEmpty())
        heif_context_add_exif_metadata(context, handle, exif.constData(), int(exif.size()));
    QByteArray out;
    heif_writer writer = {1, AppendHeif};
    heif_context_write(context, &writer, &out);
    heif_image_handle_release(handle);
    heif_encoding_options_free(options);
    heif_encoder_release(encoder);
    heif_context_free(context);
    heif_image_release(image);
    return out;
}

// The TIFF structure of an Exif block: one directory at 8 holding one
// Orientation entry (tag 0x0112, one SHORT).
inline QByteArray ExifTiff(int orientation, bool bigEndian = false) {
    QByteArray t =
        QByteArray::fromHex(bigEndian ? "4d4d002a00000008000101120003000000010000000000000000"
                                      : "49492a0008000000010012010300010000000000000000000000");
    t[bigEndian ? 19 : 18] = char(orientation);
    return t;
}

// A JPEG with an APP1 Exif segment holding `tiff` inserted after its SOI.
inline QByteArray WithExif(const QByteArray& jpeg, const QByteArray& tiff) {
    const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xff\xe1");
    segment.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 255));
    return jpeg.left(2) + segment + body + jpeg.mid(2);
}

} // namespace fixtures
