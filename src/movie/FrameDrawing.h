#pragma once

// How a movie's frames are drawn from a project: the draw mode and the
// decode options its settings ask for, and the frame of one frame line. The
// conversion draws its frames here, and so does anything else that shows a
// movie frame; whatever else decodes a row's image takes the same options.

#include "imaging/DecodeOptions.h"
#include "imaging/FrameRenderer.h"
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
