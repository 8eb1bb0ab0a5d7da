// ifpng.spi: the PNG decoder plug-in, on libpng's simplified reading API.
//
// Every PNG (palette, grey, 16-bit, interlaced, with or without alpha) comes
// out as 24-bit BGR rows. Transparency is composited over white, the colour
// of a movie frame and of the preview page, so a transparent area looks as
// it does in an image viewer instead of showing whatever colour the
// transparent pixels happen to hold. libpng's own error handling (it catches
// its errors internally and answers 0) keeps a damaged file from crashing
// the program; nothing is ever printed.

#include "spi.h"
#include "spi_dib.h"

#include <cstdio>
#include <cstring>

#include <png.h>

namespace {

struct ImageGuard {
    png_image image;
    ImageGuard() {
        std::memset(&image, 0, sizeof image);
        image.version = PNG_IMAGE_VERSION;
    }
    ~ImageGuard() { png_image_free(&image); }
};

} // namespace

extern "C" SPI_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** pHBInfo,
                                     void** pHBm, SpiProgressCallback progress, long lData) {
    if (const int refused = spi::CheckGetPictureArguments(buf, len, flag, pHBInfo, pHBm))
        return refused;
    const unsigned kind = flag & 7u;

    std::FILE* file = nullptr;
    ImageGuard guard;
    png_image& image = guard.image;
    int begun = 0;
    if (kind == SPI_INPUT_FILE) {
        file = spi::OpenRegularFile(buf, len);
        if (!file)
            return SPI_FILE_READ_ERROR;
        unsigned char signature[8] = {};
        const size_t got = std::fread(signature, 1, sizeof signature, file);
        if (got != sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
            std::fclose(file);
            return SPI_UNKNOWN_FORMAT;
        }
        std::fseek(file, len, SEEK_SET);
        begun = png_image_begin_read_from_stdio(&image, file);
    } else {
        if (len < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(buf), 0, 8) != 0)
            return SPI_UNKNOWN_FORMAT;
        begun = png_image_begin_read_from_memory(&image, buf, size_t(len));
    }

    int result = SPI_OK;
    spi::DibBlocks dib;
    if (!begun) {
        result = SPI_BROKEN_DATA;
    } else if (progress && progress(0, int(image.height), lData) != 0) {
        result = SPI_ABORT;
    } else {
        image.format = PNG_FORMAT_BGR;
        // 16-bit files without gamma information are sRGB, as viewers show
        // them (libpng would otherwise take them for linear light).
        image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
        result = dib.allocate(image.width, image.height, 24);
        if (result == SPI_OK) {
            const png_color white = {255, 255, 255};
            // A negative stride asks libpng for the bottom row first: the DIB order.
            const png_int_32 stride = -static_cast<png_int_32>(dib.stride);
            if (!png_image_finish_read(&image, &white, dib.bits, stride, nullptr))
                result = SPI_BROKEN_DATA;
        }
        if (result == SPI_OK && progress &&
            progress(int(image.height), int(image.height), lData) != 0)
            result = SPI_ABORT;
    }
    if (file)
        std::fclose(file);
    if (result == SPI_OK)
        dib.release(pHBInfo, pHBm);
    return result;
}
