#pragma once

// The decoder plug-in loader. A plug-in is a shared library with a bare file
// name ("ifjpeg.spi", "ifpng.spi", ...) exporting GetPicture (plugins/spi.h). It is
// looked for, in this order, in the program's own folder, in the plug-in folder
// of the installation the program runs from (lib/vistrom beside its bin/), in
// the folder named by the environment variable VISTROM_PLUGIN_DIR when set, and
// in the install folder compiled in; the first copy that loads is used. Loaded libraries stay
// loaded for the rest of the run (the handles are cached behind a mutex), so decoding many frames
// does not reload them. All functions are thread-safe.

#include "imaging/DecodeOptions.h"
#include "imaging/PixelBuffer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The plug-in the extension dispatch picks for a path: "ifjpeg.spi" for names
// ending in ".jpg" or ".jpeg", "ifpng.spi" for ".png", "ifwebp.spi" for
// ".webp", "iftiff.spi" for ".tif" or ".tiff", "ifgif.spi" for ".gif",
// "ifheif.spi" for ".heic", ".heif" or ".avif" (ASCII case ignored, at least
// one byte before the dot), nullptr for ".bmp" and everything else.
const char* PluginForPath(const std::string& path);

// Decodes path with the plug-in (its blocks go to DecodePackedDib in
// BmpReader.h), asking for what the options say. nullopt when the plug-in cannot be loaded, has no
// GetPicture or GetPicture fails (the BMP reader is then tried). Once GetPicture has succeeded the
// answer is a picture, empty when the blocks it handed back cannot be drawn.
std::optional<PixelBuffer> DecodeWithPlugin(const std::string& pluginFileName,
                                            const std::string& path, DecodeOptions options);
// The same; with `planes` the plug-in may hand over a JPEG's own planes
// (SPI_ALLOW_YUV420), which come as YuvPlanes (empty blocks: an empty picture).
std::optional<DecodedPicture> DecodeWithPlugin(const std::string& pluginFileName,
                                               const std::string& path, DecodeOptions options,
                                               bool planes);

// True when the plug-in library (a bare file name such as "ifjpeg.spi") can be loaded.
bool IsPluginPresent(const std::string& pluginFileName);

// The folders searched, in order.
std::vector<std::string> PluginSearchDirs();

// Tests replace the whole search list (nullopt restores the usual one).
void SetPluginSearchDirsForTesting(std::optional<std::vector<std::string>> dirs);
