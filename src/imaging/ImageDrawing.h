#pragma once

// Drawing one image file onto a surface. The draw modes:
//   1   stretch the whole image over (0, 0)-(frame width, frame height);
//   2   natural size with the image's top-left corner at (0, 0);
//   any other value: natural size, centred at ((w >> 1) - imageWidth / 2,
//       (h >> 1) - imageHeight / 2), the image halves truncating toward zero.
// Nothing outside the image's rectangle is painted: callers paint the background.
// Results: 0 when the image was drawn, 1 when it was not.

#include "imaging/Surface.h"

#include <string>

int DrawImageFile(const std::string& path, Surface& surface, unsigned frameWidth,
                  unsigned frameHeight, int mode);

// Extension dispatch to the decoder plug-ins: 0 when a plug-in drew the image,
// 1 when the BMP reader is to be used.
int TryDecoderPlugin(const std::string& path, Surface& surface, unsigned frameWidth,
                     unsigned frameHeight, int mode);

// The BMP reader.
int DrawBmpFile(const std::string& path, Surface& surface, unsigned frameWidth,
                unsigned frameHeight, int mode);

// True when the plug-in library (a bare file name such as "ifjpeg.spi") can be loaded.
bool IsPluginPresent(const std::string& pluginFileName);
