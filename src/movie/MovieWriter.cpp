#include "movie/MovieWriter.h"

std::optional<PixelFormat> MovieFrameFormat(ColourDepth depth) {
    switch (BitsPerPixel(depth)) {
    case 8:
        return PixelFormat::Indexed8;
    case 16:
        return PixelFormat::Rgb555;
    case 24:
        return PixelFormat::Bgr24;
    }
    return std::nullopt;
}
