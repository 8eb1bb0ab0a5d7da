// ifjpeg.spi: the JPEG decoder plug-in, on libjpeg-turbo.
//
// Colour JPEGs come out as 24-bit BGR rows; greyscale JPEGs as 8-bit rows with
// a grey ramp for a table; CMYK and YCCK JPEGs are converted to 24 bits (Adobe
// files store inverted CMYK, which is taken into account). Damaged data that
// libjpeg can still decode (a truncated file, a corrupt scan) yields the
// picture libjpeg makes of it; anything it refuses makes GetPicture fail, and
// nothing is ever printed. With SPI_APPLY_ORIENTATION the picture is turned
// the way the orientation tag of its Exif block (APP1) says. With
// SPI_ALLOW_YUV420 a 4:2:0 YCbCr JPEG that needs no turning comes out as its
// planes, without the conversion to BGR.

#include "spi.h"
#include "spi_dib.h"

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace {

// More warnings than this and the file is treated as broken: a damaged
// stream can otherwise make libjpeg grind through endless corrupt scans.
constexpr long MaxWarnings = 1000;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    long warnings = 0;
};

void ErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    std::longjmp(err->jump, 1);
}

void EmitMessage(j_common_ptr cinfo, int msgLevel) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (msgLevel < 0 && ++err->warnings > MaxWarnings)
        std::longjmp(err->jump, 1);
}

void OutputMessage(j_common_ptr) {}

// Everything the decoder changes lives here, outside the frame that calls
// setjmp, so nothing is left indeterminate after a longjmp.
struct Job {
    jpeg_decompress_struct cinfo{};
    ErrorManager err;
    std::FILE* file = nullptr;
    const unsigned char* memory = nullptr;
    unsigned long memorySize = 0;
    spi::DibBlocks dib;
    unsigned char* cmykRow = nullptr; // malloc'ed; a std::vector would export its template code
    ~Job() { std::free(cmykRow); }
    int result = SPI_BROKEN_DATA;
    bool orient = false;      // SPI_APPLY_ORIENTATION was given
    bool planes = false;      // SPI_ALLOW_YUV420 was given
    unsigned orientation = 1; // from the Exif block, 1 to 8
};

// The Orientation entry (tag 0x0112, one SHORT) of the first image directory
// of an Exif block's TIFF structure, 1 when there is none. The block comes from
// the file: every offset is checked against its size.
unsigned TiffOrientation(const unsigned char* t, size_t size) {
    if (size < 8 || (t[0] != t[1]) || (t[0] != 'I' && t[0] != 'M'))
        return 1;
    const bool little = t[0] == 'I';
    auto u16 = [&](size_t at) {
        return unsigned(little ? t[at] | t[at + 1] << 8 : t[at] << 8 | t[at + 1]);
    };
    auto u32 = [&](size_t at) {
        return little ? u16(at) | u16(at + 2) << 16 : u16(at) << 16 | u16(at + 2);
    };
    if (u16(2) != 42)
        return 1;
    const unsigned directory = u32(4);
    if (directory < 8 || directory > size - 2)
        return 1;
    const size_t entries = u16(directory);
    for (size_t i = 0; i < entries; ++i) {
        const size_t entry = directory + 2 + 12 * i;
        if (entry + 12 > size)
            break;
        if (u16(entry) != 0x0112)
            continue;
        const unsigned value = u16(entry + 8);
        return u16(entry + 2) == 3 && u32(entry + 4) == 1 && value >= 1 && value <= 8 ? value : 1;
    }
    return 1;
}

// The orientation of the first APP1 marker that holds an Exif block.
unsigned ExifOrientation(jpeg_saved_marker_ptr marker) {
    for (; marker; marker = marker->next)
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 &&
            std::memcmp(marker->data, "Exif\0\0", 6) == 0)
            return TiffOrientation(marker->data + 6, marker->data_length - 6);
    return 1;
}

void CmykRowToBgr(const unsigned char* cmyk, unsigned char* bgr, unsigned width, bool inverted) {
    for (unsigned x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // Inverted CMYK: each stored value is already 255 - ink.
        bgr[0] = static_cast<unsigned char>((y * k + 127) / 255);
        bgr[1] = static_cast<unsigned char>((m * k + 127) / 255);
        bgr[2] = static_cast<unsigned char>((c * k + 127) / 255);
    }
}

bool IsYuv420(const jpeg_decompress_struct* cinfo) {
    const jpeg_component_info* c = cinfo->comp_info;
    return cinfo->jpeg_color_space == JCS_YCbCr && cinfo->num_components == 3 &&
           c[0].h_samp_factor == 2 && c[0].v_samp_factor == 2 && c[1].h_samp_factor == 1 &&
           c[1].v_samp_factor == 1 && c[2].h_samp_factor == 1 && c[2].v_samp_factor == 1;
}

// The Y, Cb and Cr planes as stored (SPI_FOURCC_J420 in spi.h), a row of
// 16 x 16 blocks at a time.
int DecodePlanes(Job* job, SpiProgressCallback progress, long lData) {
    jpeg_decompress_struct* cinfo = &job->cinfo;
    cinfo->raw_data_out = TRUE;
    cinfo->out_color_space = JCS_YCbCr;
    jpeg_start_decompress(cinfo);
    const unsigned width = cinfo->output_width, height = cinfo->output_height;
    const size_t w = (size_t(width) + 15) / 16 * 16, h = (size_t(height) + 15) / 16 * 16;
    spi::DibBlocks& dib = job->dib;
    dib.info = static_cast<unsigned char*>(std::calloc(1, 40));
    dib.bits = static_cast<unsigned char*>(std::malloc(w * h * 3 / 2));
    if (!dib.info || !dib.bits)
        return SPI_NO_MEMORY;
    const uint32_t header[] = {40,           width,           height,
                               1 | 12 << 16, SPI_FOURCC_J420, uint32_t(w * h * 3 / 2)};
    for (size_t i = 0; i < 6; ++i)
        spi::DibBlocks::put32(dib.info + 4 * i, header[i]);
    unsigned char* const y = dib.bits;
    unsigned char* const cb = y + w * h;
    unsigned char* const cr = cb + w * h / 4;
    JSAMPROW rows[32];
    JSAMPARRAY planes[3] = {rows, rows + 16, rows + 24};
    while (cinfo->output_scanline < height) {
        const size_t top = cinfo->output_scanline; // a multiple of 16
        for (size_t i = 0; i < 16; ++i)
            rows[i] = y + (top + i) * w;
        for (size_t i = 0; i < 8; ++i) {
            rows[16 + i] = cb + (top / 2 + i) * (w / 2);
            rows[24 + i] = cr + (top / 2 + i) * (w / 2);
        }
        if (jpeg_read_raw_data(cinfo, planes, 16) != 16)
            return SPI_BROKEN_DATA;
        if (progress && progress(int(std::min<size_t>(top + 16, height)), int(height), lData) != 0)
            return SPI_ABORT;
    }
    jpeg_finish_decompress(cinfo);
    return SPI_OK;
}

// Runs the whole decode; a libjpeg error lands back here through longjmp.
int Decode(Job* job, SpiProgressCallback progress, long lData) {
    if (setjmp(job->err.jump)) {
        return job->result == SPI_OK ? SPI_BROKEN_DATA : job->result;
    }
    jpeg_decompress_struct* cinfo = &job->cinfo;
    jpeg_create_decompress(cinfo);
    if (job->file)
        jpeg_stdio_src(cinfo, job->file);
    else
        jpeg_mem_src(cinfo, job->memory, job->memorySize);

    if (job->orient)
        jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xffff);
    job->result = SPI_UNKNOWN_FORMAT;
    jpeg_read_header(cinfo, TRUE);
    job->result = SPI_BROKEN_DATA;
    if (job->orient)
        job->orientation = ExifOrientation(cinfo->marker_list);

    unsigned bitCount = 24;
    bool cmyk = false;
    switch (cinfo->jpeg_color_space) {
    case JCS_GRAYSCALE:
        cinfo->out_color_space = JCS_GRAYSCALE;
        bitCount = 8;
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        cinfo->out_color_space = JCS_CMYK;
        cmyk = true;
        break;
    default:
        cinfo->out_color_space = JCS_EXT_BGR;
        break;
    }
    if (cinfo->image_width > SPI_MAX_DIMENSION || cinfo->image_height > SPI_MAX_DIMENSION)
        return SPI_NO_MEMORY;
    if (job->planes && job->orientation == 1 && IsYuv420(cinfo)) {
        job->result = DecodePlanes(job, progress, lData);
        return job->result;
    }

    jpeg_start_decompress(cinfo);
    const unsigned width = cinfo->output_width;
    const unsigned height = cinfo->output_height;
    const int allocated = job->dib.allocate(width, height, bitCount);
    if (allocated != SPI_OK)
        return allocated;
    if (cmyk) {
        if (cinfo->output_components != 4)
            return SPI_BROKEN_DATA;
        job->cmykRow = static_cast<unsigned char*>(std::malloc(size_t(width) * 4));
        if (!job->cmykRow)
            return SPI_NO_MEMORY;
    } else if (cinfo->output_components != int(bitCount / 8)) {
        return SPI_BROKEN_DATA;
    }

    while (cinfo->output_scanline < height) {
        const unsigned y = cinfo->output_scanline;
        unsigned char* row = job->dib.rowFromTop(y, height);
        JSAMPROW target = cmyk ? job->cmykRow : row;
        if (jpeg_read_scanlines(cinfo, &target, 1) != 1)
            return SPI_BROKEN_DATA;
        if (cmyk)
            CmykRowToBgr(job->cmykRow, row, width, cinfo->saw_Adobe_marker);
        if (progress && progress(int(y + 1), int(height), lData) != 0)
            return SPI_ABORT;
    }
    jpeg_finish_decompress(cinfo);
    job->result = job->dib.orient(job->orientation);
    return job->result;
}

} // namespace

extern "C" SPI_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** pHBInfo,
                                     void** pHBm, SpiProgressCallback progress, long lData) {
    if (const int refused = spi::CheckGetPictureArguments(buf, len, flag, pHBInfo, pHBm))
        return refused;
    const unsigned kind = flag & 7u;

    Job job;
    job.orient = (flag & SPI_APPLY_ORIENTATION) != 0;
    job.planes = (flag & SPI_ALLOW_YUV420) != 0;
    if (kind == SPI_INPUT_FILE) {
        job.file = spi::OpenRegularFile(buf, len);
        if (!job.file)
            return SPI_FILE_READ_ERROR;
    } else if (len == 0) {
        return SPI_UNKNOWN_FORMAT;
    } else {
        job.memory = reinterpret_cast<const unsigned char*>(buf);
        job.memorySize = static_cast<unsigned long>(len);
    }

    job.cinfo.err = jpeg_std_error(&job.err.pub);
    job.err.pub.error_exit = ErrorExit;
    job.err.pub.emit_message = EmitMessage;
    job.err.pub.output_message = OutputMessage;
    const int result = Decode(&job, progress, lData);
    // jpeg_destroy never raises an error (and does nothing when creation failed).
    jpeg_destroy_decompress(&job.cinfo);
    if (job.file)
        std::fclose(job.file);
    if (result == SPI_OK)
        job.dib.release(pHBInfo, pHBm);
    return result;
}
