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
