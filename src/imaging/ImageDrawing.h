#pragma once

// Drawing one image file onto a surface. The draw modes:
//   1   stretch the whole image over (0, 0)-(frame width, frame height),
//       nearest pixel (pixels repeat when enlarging, no smoothing);
//   2   natural size with the image's top-left corner at (0, 0);
//   any other value: natural size, centred at ((w >> 1) - imageWidth / 2,
//       (h >> 1) - imageHeight / 2), the image halves truncating toward zero.
// Everything is clipped to the surface. Nothing outside the image's rectangle
// is painted: callers paint the background.
// Results: 0 when the image was drawn, 1 when it was not.
//
// JPEG, PNG, WebP, TIFF, GIF and HEIF names go to their decoder plug-ins
// (PluginForPath in PluginLoader.h); the BMP reader (BmpReader.h) takes every
// file that no plug-in decoded. All functions here are thread-safe.

#include "imaging/DecodedImage.h"
#include "imaging/Surface.h"

#include <optional>
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

// Decoding apart from drawing, for callers that draw one image many times or
// on several threads. LoadImageFile decodes as DrawImageFile would (plug-in
// first, then the BMP reader) and answers nullopt exactly where DrawImageFile
// answers 1; BlitImage then draws exactly what DrawImageFile would have drawn.
std::optional<DecodedImage> LoadImageFile(const std::string& path);
void BlitImage(const DecodedImage& image, Surface& surface, unsigned frameWidth,
               unsigned frameHeight, int mode);
