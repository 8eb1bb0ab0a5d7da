#pragma once

// How a movie's frames are drawn from a project: the draw mode and the
// decode options its settings ask for, and the frame of one frame line. The
// conversion draws its frames here, and so does anything else that shows a
// movie frame; whatever else decodes a row's image takes the same options.

#include "imaging/DecodeOptions.h"
#include "imaging/FrameRenderer.h"
#include "movie/LibavHandles.h"
#include "settings/ProjectSettings.h"

#include <QByteArray>

// Images stretched over the frame, or centred at their natural size.
DrawMode FrameDrawMode(const ProjectSettings& settings);
// How every image of the project is decoded: turned by its orientation tag or not.
DecodeOptions ImageDecodeOptions(const ProjectSettings& settings);

// The frame of one line of the frame file: white, with the image at `path`
// decoded (ImageFile.h) with `options` and drawn by `mode`. The blank-frame
// marker, a missing or undecodable file leave the frame white. False when
// the line named an image that could not be decoded.
bool DrawFrameLine(const QByteArray& path, DrawMode mode, DecodeOptions options,
                   PixelBuffer& frame);

// The frame of one frame line for a container's encoder: width x height in
// `format`, a planar YUV format. A picture stretched over a frame of another
// size is scaled in one step from the decoded picture, filtered as the ffmpeg
// command line scales (bicubic), which also spares the encoder the aliasing of
// repeated pixels; any other line is drawn as DrawFrameLine draws it and
// converted (ConvertMovieFrame). `readable` gets DrawFrameLine's answer. Null
// when memory ran out. Thread-safe.
AvFramePtr DrawEncoderFrame(const QByteArray& path, DrawMode mode, DecodeOptions options, int width,
                            int height, AVPixelFormat format, bool& readable);

// A Bgr24 movie frame (either row order) converted into `out`, a frame of its
// size in a YUV or RGB format, with exact rounding and full chroma
// resolution. False when libswscale refused. Thread-safe.
bool ConvertMovieFrame(const PixelBuffer& frame, AVFrame& out);
