#pragma once

// The palette of an animated GIF: one palette of up to 256 colours made from
// every frame of the movie, and each frame mapped onto it (FFmpeg's
// palettegen and paletteuse filters). Frames go in as top-down BGR, are held
// until the last one has been seen, and come out as palette frames with
// their timestamps unchanged.

#include "movie/LibavHandles.h"

#include <functional>

struct AVFilterGraph;
struct AVFilterContext;

class GifPalette {
public:
    GifPalette() = default;
    ~GifPalette();
    GifPalette(const GifPalette&) = delete;
    GifPalette& operator=(const GifPalette&) = delete;

    AvStatus open(int width, int height, unsigned fps);
    // Takes a frame of the movie (the palette sees every one).
    AvStatus add(AvFramePtr frame);
    // Makes the palette and hands every frame, mapped, to `out` in order.
    AvStatus finish(const std::function<AvStatus(AVFrame*)>& out);

private:
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
};
