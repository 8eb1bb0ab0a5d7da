#pragma once

// Cases name only the fields they need with designated initializers.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// Writes WebP, TIFF, GIF and HEIF files for the imaging tests with the
// libraries' own encoders. Colours are 0xAARRGGBB, top row first.

#include <QByteArray>
#include <QTemporaryFile>

#include <algorithm>
#include <cstdint>
#include <vector>

#include <gif_lib.h>
#include <libheif/heif.h>
#include <tiffio.h>
#include <webp/encode.h>
#include <webp/mux.h>

namespace fixtures {

inline std::vector<uint8_t> RgbaBytes(const std::vector<uint32_t>& argb, bool alpha = true) {
    std::vector<uint8_t> out;
    for (uint32_t c : argb) {
        out.insert(out.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
        if (alpha)
            out.push_back(uint8_t(c >> 24));
    }
    return out;
}

inline QByteArray MakeWebp(int width, int height, const std::vector<uint32_t>& argb,
                           bool lossless = true) {
    const std::vector<uint8_t> rgba = RgbaBytes(argb);
    uint8_t* out = nullptr;
    const size_t n = lossless ? WebPEncodeLosslessRGBA(rgba.data(), width, height, width * 4, &out)
                              : WebPEncodeRGBA(rgba.data(), width, height, width * 4, 100, &out);
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
    int channels = 0; // 0: 1 for grey and palette pictures, 3 for RGB, 4 with alpha
    int bits = 8, photometric = PHOTOMETRIC_RGB;
    int alpha = 0;        // EXTRASAMPLE_* of a last, alpha channel
    int orientation = 0;  // 0: no tag
    int tile = 0;         // tile side (a multiple of 16); 0: strips
    int rowsPerStrip = 0; // 0: libtiff's default
    int compression = COMPRESSION_NONE;
    bool planar = false;            // channels stored one after another
    std::vector<uint16_t> colormap; // red, then green, then blue entries
    std::vector<uint8_t> samples;   // packed rows, each a whole number of bytes
};

inline QByteArray MakeTiff(TiffSpec s) {
    if (!s.channels)
        s.channels = s.photometric == PHOTOMETRIC_RGB ? 3 + (s.alpha != 0) : 1;
    QTemporaryFile file;
    if (!file.open())
        return QByteArray();
    TIFF* tif = TIFFOpen(QFile::encodeName(file.fileName()).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, s.width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, s.height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, s.channels);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, s.bits);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, s.photometric);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, s.compression);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, s.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    if (s.alpha) {
        const uint16_t extra = uint16_t(s.alpha);
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
    }
    if (s.orientation)
        TIFFSetField(tif, TIFFTAG_ORIENTATION, s.orientation);
    if (!s.colormap.empty()) {
        const size_t n = s.colormap.size() / 3;
        TIFFSetField(tif, TIFFTAG_COLORMAP, s.colormap.data(), s.colormap.data() + n,
                     s.colormap.data() + 2 * n);
    }
    const int rowBytes = (s.width * (s.planar ? 1 : s.channels) * s.bits + 7) / 8;
    std::vector<uint8_t> buffer;
    if (s.tile) { // contiguous 8-bit samples
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, s.tile);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, s.tile);
        const int pixel = s.channels;
        for (int ty = 0; ty < s.height; ty += s.tile)
            for (int tx = 0; tx < s.width; tx += s.tile) {
                buffer.assign(size_t(s.tile) * s.tile * pixel, 0);
                for (int y = ty; y < std::min(ty + s.tile, s.height); ++y)
                    for (int x = tx; x < std::min(tx + s.tile, s.width); ++x)
                        std::copy_n(&s.samples[(size_t(y) * s.width + x) * pixel], pixel,
                                    &buffer[(size_t(y - ty) * s.tile + (x - tx)) * pixel]);
                TIFFWriteTile(tif, buffer.data(), uint32_t(tx), uint32_t(ty), 0, 0);
            }
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP,
                     s.rowsPerStrip ? s.rowsPerStrip : TIFFDefaultStripSize(tif, 0));
        for (int plane = 0; plane < (s.planar ? s.channels : 1); ++plane)
            for (int y = 0; y < s.height; ++y) {
                buffer.assign(&s.samples[size_t(plane * s.height + y) * rowBytes],
                              &s.samples[size_t(plane * s.height + y + 1) * rowBytes]);
                TIFFWriteScanline(tif, buffer.data(), uint32_t(y), uint16_t(plane));
            }
    }
    TIFFClose(tif);
    return file.readAll();
}

struct GifFrame {
    int left = 0, top = 0, width = 1, height = 1;
    bool interlaced = false;
    int transparent = -1;
    std::vector<uint8_t> indices; // top row first
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
        EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, nullptr);
        const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2}; // interlaced passes
        for (int pass = 0; pass < (f.interlaced ? 4 : 1); ++pass)
            for (int y = f.interlaced ? start[pass] : 0; y < f.height;
                 y += f.interlaced ? step[pass] : 1)
                EGifPutLine(gif, const_cast<GifPixelType*>(&f.indices[size_t(y) * f.width]),
                            f.width);
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
    const std::vector<uint8_t> bytes = RgbaBytes(argb, alpha);
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
