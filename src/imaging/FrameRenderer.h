#pragma once

// The frame renderer: draws a decoded picture (ImageFile.h) into a frame of
// any size and PixelFormat. Movie frames, the preview pane and everything
// else that shows a picture draw through here.
//
// The frame is painted white, then the picture is drawn by the mode, clipped
// to the frame; no smoothing. 8-bit frames map each pixel to the movie
// palette by its colour and its place in the frame (MoviePalette.h). Row
// padding is left as it is. Thread-safe: frames drawn at once on several
// threads do not share state.

#include "imaging/PixelBuffer.h"

enum class DrawMode {
    // The whole picture over the whole frame; each frame pixel takes the
    // picture pixel under its centre (pixels repeat when enlarging).
    Stretch,
    // Natural size, the picture's top-left corner at ((frame width >> 1) -
    // picture width / 2, (frame height >> 1) - picture height / 2).
    Centre,
    // Natural size at the frame's top-left corner.
    TopLeft,
};

// picture: null, or an Xrgb32 or Bgr24 picture (what the decoders make); a
// null or empty picture, or one of another format, leaves the frame white.
void RenderFrame(const PixelBuffer* picture, DrawMode mode, PixelBuffer& frame);

// Gives an Xrgb32 frame the colours it has as a frame of `format` read back:
// the movie palette's for Indexed8 (each pixel mapped by its colour and its
// place from the frame's top, as RenderFrame maps it); five bits a channel,
// widened by repeating their top bits, for Rgb555. Other formats leave it as
// it is.
void ReduceColours(PixelBuffer& frame, PixelFormat format);
