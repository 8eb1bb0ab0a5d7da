// ifwebp.spi: the WebP decoder plug-in, on libwebp.
//
// Lossy, lossless and animated WebP files come out as 24-bit BGR rows; an
// animation gives its first frame. Transparency is composited over white, as
// the PNG plug-in does, and so is the canvas an animation's first frame does
// not cover (viewers show it transparent; its background colour is only a
// hint). libwebp needs the whole file in memory: a file is read at most up to
// the size its RIFF header gives. Nothing is ever printed.

#include "spi.h"
#include "spi_dib.h"

#include <cstdlib>
#include <cstring>

#include <webp/decode.h>
#include <webp/demux.h>

namespace {

struct Demuxer {
    WebPDemuxer* demux = nullptr;
    WebPIterator frame{};
    bool haveFrame = false;
    ~Demuxer() {
        if (haveFrame)
            WebPDemuxReleaseIterator(&frame);
        WebPDemuxDelete(demux);
    }
};

// Puts n BGRA pixels over white as BGR. `to` may be `from` or lie before it:
// each pixel is read before its three bytes are written.
void BgraOverWhite(const unsigned char* from, unsigned char* to, unsigned n) {
    for (unsigned x = 0; x < n; ++x, from += 4, to += 3) {
        const unsigned char b = from[0], g = from[1], r = from[2], a = from[3];
        to[0] = spi::OverWhite(b, a);
        to[1] = spi::OverWhite(g, a);
        to[2] = spi::OverWhite(r, a);
    }
}

// Decodes one frame as BGRA rows, bottom row first, into the given block.
int DecodeBgraBottomUp(const WebPIterator& f, unsigned char* to, size_t stride, size_t size) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return SPI_BROKEN_DATA;
    config.options.flip = 1;
    config.output.colorspace = MODE_BGRA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = to;
    config.output.u.RGBA.stride = int(stride);
    config.output.u.RGBA.size = size;
    const VP8StatusCode status = WebPDecode(f.fragment.bytes, f.fragment.size, &config);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK              ? SPI_OK
           : status == VP8_STATUS_OUT_OF_MEMORY ? SPI_NO_MEMORY
                                                : SPI_BROKEN_DATA;
}

int Decode(spi::Input& input, spi::DibBlocks& dib, SpiProgressCallback progress, long lData) {
    unsigned char header[12];
    if (input.read(header, 12) != 12 || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WEBP", 4) != 0)
        return SPI_UNKNOWN_FORMAT;
    const uint64_t riffSize =
        8 + (header[4] | header[5] << 8 | header[6] << 16 | uint64_t(header[7]) << 24);
    size_t size = 0;
    const unsigned char* bytes = input.whole(riffSize, &size);
    if (!bytes)
        return SPI_FILE_READ_ERROR;

    Demuxer d;
    const WebPData data = {bytes, size};
    d.demux = WebPDemux(&data);
    if (!d.demux)
        return SPI_BROKEN_DATA;
    const uint32_t width = WebPDemuxGetI(d.demux, WEBP_FF_CANVAS_WIDTH);
    const uint32_t height = WebPDemuxGetI(d.demux, WEBP_FF_CANVAS_HEIGHT);
    d.haveFrame = WebPDemuxGetFrame(d.demux, 1, &d.frame) != 0;
    if (!d.haveFrame)
        return SPI_BROKEN_DATA;
    const WebPIterator& f = d.frame;
    // The demuxer keeps every frame inside the canvas; check it all the same.
    if (f.width <= 0 || f.height <= 0 || f.x_offset < 0 || f.y_offset < 0 ||
        uint64_t(f.x_offset) + uint64_t(f.width) > width ||
        uint64_t(f.y_offset) + uint64_t(f.height) > height)
        return SPI_BROKEN_DATA;
    if (progress && progress(0, int(height), lData) != 0)
        return SPI_ABORT;

    // A frame that fills the canvas is decoded as BGRA into the pixel block
    // itself, bottom row first, then narrowed to BGR in place; a smaller one
    // goes through a block of its own.
    const unsigned fw = unsigned(f.width), fh = unsigned(f.height);
    const size_t frameStride = size_t(fw) * 4, frameSize = frameStride * fh;
    const bool whole = fw == width && fh == height;
    const int allocated = dib.allocate(width, height, 24, whole ? frameSize : 0);
    if (allocated != SPI_OK)
        return allocated;
    unsigned char* frame = dib.bits;
    if (!whole) {
        std::memset(dib.bits, 255, dib.stride * height);
        frame = static_cast<unsigned char*>(std::malloc(frameSize));
        if (!frame)
            return SPI_NO_MEMORY;
    }

    int result = DecodeBgraBottomUp(f, frame, frameStride, frameSize);
    for (unsigned r = 0; result == SPI_OK && r < fh; ++r) {
        unsigned char* to =
            whole ? dib.bits + r * dib.stride
                  : dib.rowFromTop(unsigned(f.y_offset) + fh - 1 - r) + size_t(f.x_offset) * 3;
        BgraOverWhite(frame + r * frameStride, to, fw);
    }
    if (!whole)
        std::free(frame);
    if (result == SPI_OK && whole && frameSize > dib.stride * height) {
        // Give back the room the wider rows took.
        if (void* smaller = std::realloc(dib.bits, dib.stride * height))
            dib.bits = static_cast<unsigned char*>(smaller);
    }
    if (result == SPI_OK && progress && progress(int(height), int(height), lData) != 0)
        result = SPI_ABORT;
    return result;
}

} // namespace

extern "C" SPI_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** pHBInfo,
                                     void** pHBm, SpiProgressCallback progress, long lData) {
    return spi::DecodePicture(buf, len, flag, pHBInfo, pHBm,
                              [&](spi::Input& input, spi::DibBlocks& dib) {
                                  return Decode(input, dib, progress, lData);
                              });
}
