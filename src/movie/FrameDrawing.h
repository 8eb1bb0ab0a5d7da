#pragma once

// How a movie's frames are drawn from a project: the draw mode its settings
// ask for, and the frame of one frame line. The conversion draws its frames
// here, and so does anything else that shows a movie frame.

#include "imaging/FrameRenderer.h"
#include "settings/ProjectSettings.h"

#include <QByteArray>

// Images stretched over the frame, or centred at their natural size.
DrawMode FrameDrawMode(const ProjectSettings& settings);

// The frame of one line of the frame file: white, with the image at `path`
// decoded (ImageFile.h) and drawn by `mode`. The blank-frame marker, a missing
// or undecodable file leave the frame white.
void DrawFrameLine(const QByteArray& path, DrawMode mode, PixelBuffer& frame);
