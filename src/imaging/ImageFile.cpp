#include "imaging/ImageFile.h"

#include "imaging/BmpReader.h"
#include "imaging/PluginLoader.h"

std::optional<PixelBuffer> DecodeImageFile(const std::string& path, DecodeOptions options) {
    if (const char* plugin = PluginForPath(path)) {
        if (std::optional<PixelBuffer> picture = DecodeWithPlugin(plugin, path, options))
            return picture;
    }
    return ReadBmpFile(path);
}

std::optional<DecodedPicture> DecodeImagePlanes(const std::string& path, DecodeOptions options) {
    if (const char* plugin = PluginForPath(path)) {
        if (std::optional<DecodedPicture> picture = DecodeWithPlugin(plugin, path, options, true))
            return picture;
    }
    std::optional<PixelBuffer> picture = ReadBmpFile(path);
    if (!picture)
        return std::nullopt;
    return std::move(*picture);
}
