#pragma once

// Decoding an image file, once, into a picture that can be drawn any number
// of times (FrameRenderer.h). JPEG, PNG, WebP, TIFF, GIF and HEIF names go to
// their decoder plug-ins (PluginForPath in PluginLoader.h); the BMP reader
// (BmpReader.h) takes every file that no plug-in decoded. Thread-safe.

#include "imaging/DecodeOptions.h"
#include "imaging/PixelBuffer.h"

#include <optional>
#include <string>

// The picture: Xrgb32 rows, or a plug-in's plain Bgr24 rows. nullopt when no
// decoder could read the file (nothing is drawn); an empty picture when a
// plug-in succeeded with blocks that cannot be drawn (nothing is drawn either,
// and the BMP reader is not tried). The options go to the plug-in.
std::optional<PixelBuffer> DecodeImageFile(const std::string& path, DecodeOptions options);

// The same for a picture that is only to be scaled into a YUV movie frame: a
// JPEG stored as 4:2:0 YCbCr that needs no turning comes as its planes, which
// spares converting it to RGB and back.
std::optional<DecodedPicture> DecodeImagePlanes(const std::string& path, DecodeOptions options);
