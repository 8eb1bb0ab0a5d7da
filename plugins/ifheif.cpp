// ifheif.spi: the HEIF decoder plug-in, on libheif: HEIC pictures (HEVC, which
// Debian's libheif decodes with libde265) and AVIF pictures (AV1, decoded with
// dav1d, or libaom where dav1d is missing).
//
// The primary image comes out as 24-bit BGR rows, brought down to 8 bits a
// sample where it has more, with transparency composited over white as the
// PNG plug-in does. The container's transformations (the clean-aperture crop,
// the rotation and the mirroring) belong to how the picture is meant and are
// always applied. An Exif orientation inside a HEIF file is informational
// only: readers are to ignore it, and cameras write it beside the rotation
// they already stored in the container, so turning the picture by it would
// turn it twice. SPI_APPLY_ORIENTATION therefore changes nothing here.
// Nothing is printed, except by dav1d, which libheif lets report a damaged AV1
// stream on standard error (libheif 1.15 offers no way to quieten it).

#include "spi.h"
#include "spi_dib.h"

#include <cstdlib>
#include <cstring>

#include <libheif/heif.h>

namespace {

spi::Input& In(void* userdata) {
    return *static_cast<spi::Input*>(userdata);
}

int64_t Position(void* userdata) {
    return int64_t(In(userdata).position());
}
int Read(void* to, size_t size, void* userdata) {
    return In(userdata).read(to, size) == size ? 0 : -1;
}
int Seek(int64_t position, void* userdata) {
    return position >= 0 && In(userdata).seek(uint64_t(position)) ? 0 : -1;
}
heif_reader_grow_status WaitForSize(int64_t size, void* userdata) {
    return size >= 0 && uint64_t(size) <= In(userdata).size()
               ? heif_reader_grow_status_size_reached
               : heif_reader_grow_status_size_beyond_eof;
}

struct Handles {
    heif_context* context = nullptr;
    heif_image_handle* handle = nullptr;
    heif_decoding_options* options = nullptr;
    heif_image* image = nullptr;
    ~Handles() {
        heif_image_release(image);
        heif_decoding_options_free(options);
        heif_image_handle_release(handle);
        heif_context_free(context);
    }
};

int Failure(const heif_error& e) {
    if (e.code == heif_error_Memory_allocation_error ||
        e.subcode == heif_suberror_Security_limit_exceeded)
        return SPI_NO_MEMORY;
    return SPI_BROKEN_DATA;
}

int Decode(spi::Input& input, spi::DibBlocks& dib, SpiProgressCallback progress, long lData) {
    unsigned char head[64];
    const size_t got = input.read(head, sizeof head);
    if (got < 12 || !input.seek(0) || heif_check_filetype(head, int(got)) == heif_filetype_no)
        return SPI_UNKNOWN_FORMAT;

    // Registers the built-in codecs once for the life of the process.
    static const bool initialised = heif_init(nullptr).code == heif_error_Ok;
    if (!initialised)
        return SPI_BROKEN_DATA;

    Handles h;
    h.context = heif_context_alloc();
    if (!h.context)
        return SPI_NO_MEMORY;
    heif_context_set_maximum_image_size_limit(h.context, SPI_MAX_DIMENSION);
    static const heif_reader reader = {1, Position, Read, Seek, WaitForSize};
    heif_error e = heif_context_read_from_reader(h.context, &reader, &input, nullptr);
    if (e.code == heif_error_Ok)
        e = heif_context_get_primary_image_handle(h.context, &h.handle);
    if (e.code != heif_error_Ok)
        return Failure(e);
    const int width = heif_image_handle_get_width(h.handle);
    const int height = heif_image_handle_get_height(h.handle);
    if (width <= 0 || height <= 0)
        return SPI_BROKEN_DATA;
    if (width > SPI_MAX_DIMENSION || height > SPI_MAX_DIMENSION)
        return SPI_NO_MEMORY;
    if (progress && progress(0, height, lData) != 0)
        return SPI_ABORT;

    const bool alpha = heif_image_handle_has_alpha_channel(h.handle) != 0;
    const bool premultiplied = alpha && heif_image_handle_is_premultiplied_alpha(h.handle);
    h.options = heif_decoding_options_alloc();
    if (!h.options)
        return SPI_NO_MEMORY;
    h.options->convert_hdr_to_8bit = 1;
    e = heif_decode_image(h.handle, &h.image, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                          h.options);
    if (e.code != heif_error_Ok)
        return Failure(e);
    const unsigned pixel = alpha ? 4 : 3;
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(h.image, heif_channel_interleaved, &stride);
    const int iw = heif_image_get_width(h.image, heif_channel_interleaved);
    const int ih = heif_image_get_height(h.image, heif_channel_interleaved);
    if (!plane || iw <= 0 || ih <= 0 || stride < 0 || size_t(stride) < size_t(iw) * pixel ||
        heif_image_get_bits_per_pixel(h.image, heif_channel_interleaved) != int(pixel * 8))
        return SPI_BROKEN_DATA;
    const int allocated = dib.allocate(unsigned(iw), unsigned(ih), 24);
    if (allocated != SPI_OK)
        return allocated;
    for (unsigned y = 0; y < unsigned(ih); ++y) {
        const uint8_t* from = plane + size_t(y) * size_t(stride);
        unsigned char* to = dib.rowFromTop(y);
        for (unsigned x = 0; x < unsigned(iw); ++x, from += pixel, to += 3) {
            const uint8_t a = alpha ? from[3] : 255;
            for (int c = 0; c < 3; ++c)
                to[2 - c] = premultiplied ? spi::PremultipliedOverWhite(from[c], a)
                                          : spi::OverWhite(from[c], a);
        }
    }
    if (progress && progress(height, height, lData) != 0)
        return SPI_ABORT;
    return SPI_OK;
}

} // namespace

extern "C" SPI_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** pHBInfo,
                                     void** pHBm, SpiProgressCallback progress, long lData) {
    return spi::DecodePicture(buf, len, flag, pHBInfo, pHBm,
                              [&](spi::Input& input, spi::DibBlocks& dib) {
                                  return Decode(input, dib, progress, lData);
                              });
}
