#pragma once

// The decoder plug-in interface: the one call the program makes into
// "ifjpeg.spi", "ifpng.spi", "ifwebp.spi", "iftiff.spi", "ifgif.spi" and
// "ifheif.spi" (shared libraries loaded with dlopen by file name and looked up
// with dlsym("GetPicture")).
//
// Types on 64-bit Linux (LP64): `long` is 64 bits, as wide as a pointer, so a
// file offset or a memory length and the progress cookie fit in it; `unsigned
// int` is 32 bits; the result is a plain `int`. Plain C calling convention.
//
// int GetPicture(const char* buf, long len, unsigned int flag,
//                void** pHBInfo, void** pHBm,
//                SpiProgressCallback progress, long lData);
//
//   buf      flag & 7 == 0 (SPI_INPUT_FILE): a NUL-terminated file path (bytes,
//            passed as they are); len is the offset in the file at which the
//            image starts (the program passes 0).
//            flag & 7 == 1 (SPI_INPUT_MEMORY): buf points at len bytes holding
//            the whole image file.
//   flag     input kind in the low three bits. SPI_APPLY_ORIENTATION asks for
//            the picture turned the way its orientation tag says (JPEG's Exif
//            and TIFF's Orientation, values 1 to 8); without it the rows come
//            as they are stored. A plug-in whose format has no such tag
//            ignores the bit. SPI_ALLOW_YUV420 lets a plug-in hand over a
//            picture stored as YCbCr 4:2:0 (a JPEG) as its planes, when no
//            turning is asked for; see SPI_FOURCC_J420. The other bits are
//            reserved, 0.
//   pHBInfo  on success receives a block holding a BITMAPINFO: the 40-byte
//            BITMAPINFOHEADER (little-endian, biSize 40, biPlanes 1,
//            biCompression 0) followed by the colour table its bit count needs
//            (2^biBitCount entries of blue, green, red, 0 when biBitCount <= 8,
//            none above).
//   pHBm     on success receives a block holding the pixel rows bottom-up, each
//            padded to a multiple of 4 bytes: stride x |biHeight| bytes.
//            With SPI_ALLOW_YUV420 the answer may instead have biCompression
//            SPI_FOURCC_J420 and biBitCount 12: the block holds full-range
//            BT.601 planes (as JFIF stores them), top-down, each padded to
//            whole 16 x 16 blocks of the picture: Y in rows of W bytes, then
//            Cb, then Cr in rows of W / 2 bytes, where W = biWidth rounded up
//            to 16 and the planes have H and H / 2 rows, H = biHeight rounded
//            up to 16. Only the top-left (biWidth + 1) / 2 x (biHeight + 1) / 2
//            chroma samples and biWidth x biHeight luma samples belong to the
//            picture.
//   progress may be null. When not, it is called as progress(done, total,
//            lData) while decoding; a non-zero answer cancels the decode
//            (result SPI_ABORT).
//
// Allocation rule: both blocks are allocated with malloc() and belong to the
// caller on success, which releases each with free(). On any non-zero result
// *pHBInfo and *pHBm are left untouched and nothing is allocated.
//
// Every plug-in exports GetPicture and nothing else; they are reentrant (no
// global state), so several threads may decode at once.

#ifdef __cplusplus
extern "C" {
#endif

typedef int (*SpiProgressCallback)(int done, int total, long lData);

typedef int (*SpiGetPictureFunc)(const char* buf, long len, unsigned int flag, void** pHBInfo,
                                 void** pHBm, SpiProgressCallback progress, long lData);

enum {
    SPI_INPUT_FILE = 0,
    SPI_INPUT_MEMORY = 1,
    SPI_APPLY_ORIENTATION = 0x100, // a flag bit, combined with an input kind
    SPI_ALLOW_YUV420 = 0x200,      // a flag bit, combined with an input kind
};

// The biCompression of a YCbCr 4:2:0 answer: the bytes "J420".
#define SPI_FOURCC_J420 0x3032344au

// Results of GetPicture.
enum {
    SPI_OK = 0,
    SPI_NOT_IMPLEMENTED = -1, // input kind not supported
    SPI_ABORT = 1,            // the progress callback asked to stop
    SPI_UNKNOWN_FORMAT = 2,   // not an image this plug-in reads
    SPI_BROKEN_DATA = 3,      // damaged or unsupported image data
    SPI_NO_MEMORY = 4,        // a block could not be allocated, or the image is too large
    SPI_FILE_READ_ERROR = 6,  // the file cannot be opened or read
};

// Images wider or taller than this are refused with SPI_NO_MEMORY (the fuzz
// builds lower it to keep their runs fast).
#ifndef SPI_MAX_DIMENSION
#define SPI_MAX_DIMENSION 16384
#endif

#if defined(__GNUC__)
#define SPI_EXPORT __attribute__((visibility("default")))
#else
#define SPI_EXPORT
#endif

SPI_EXPORT int GetPicture(const char* buf, long len, unsigned int flag, void** pHBInfo, void** pHBm,
                          SpiProgressCallback progress, long lData);

#ifdef __cplusplus
}
#endif
