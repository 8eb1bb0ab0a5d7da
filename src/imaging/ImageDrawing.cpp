#include "imaging/ImageDrawing.h"

int DrawImageFile(const std::string& path, Surface& surface, unsigned frameWidth,
                  unsigned frameHeight, int mode) {
    if (TryDecoderPlugin(path, surface, frameWidth, frameHeight, mode) == 0)
        return 0;
    return DrawBmpFile(path, surface, frameWidth, frameHeight, mode);
}

int TryDecoderPlugin(const std::string&, Surface&, unsigned, unsigned, int) { return 1; }
int DrawBmpFile(const std::string&, Surface&, unsigned, unsigned, int) { return 1; }
bool IsPluginPresent(const std::string&) { return false; }
