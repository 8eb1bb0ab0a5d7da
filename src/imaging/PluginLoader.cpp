#include "imaging/PluginLoader.h"

#include "imaging/BmpReader.h"
#include "spi.h"

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <strings.h>

#include <dlfcn.h>
#include <malloc.h>
#include <unistd.h>

namespace {

struct LoadedPlugin {
    void* handle = nullptr;
    SpiGetPictureFunc getPicture = nullptr; // null: the library has no GetPicture
};

std::mutex cacheMutex;
std::map<std::string, LoadedPlugin> loadedPlugins; // by full path; guarded by cacheMutex
std::optional<std::vector<std::string>> testDirs;  // guarded by cacheMutex

std::string ProgramDir() {
    static const std::string dir = [] {
        char buf[4096];
        const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
        if (n <= 0)
            return std::string();
        std::string exe(buf, size_t(n));
        const size_t slash = exe.rfind('/');
        return slash == std::string::npos ? std::string() : exe.substr(0, slash);
    }();
    return dir;
}

std::vector<std::string> DefaultDirs() {
    std::vector<std::string> dirs;
    if (std::string dir = ProgramDir(); !dir.empty()) {
        dirs.push_back(dir);
        // The plug-in folder of the installation the program runs from, wherever it was moved.
        dirs.push_back(dir + "/" VISTROM_PLUGIN_DIR_FROM_PROGRAM);
    }
    if (const char* env = std::getenv("VISTROM_PLUGIN_DIR"); env && *env)
        dirs.emplace_back(env);
    dirs.emplace_back(VISTROM_PLUGIN_INSTALL_DIR);
    return dirs;
}

// The first copy of the plug-in that loads, or nullopt when none does.
std::optional<LoadedPlugin> Resolve(const std::string& fileName) {
    if (fileName.empty() || fileName.find('/') != std::string::npos)
        return std::nullopt;
    std::lock_guard lock(cacheMutex);
    const std::vector<std::string> dirs = testDirs ? *testDirs : DefaultDirs();
    for (const std::string& dir : dirs) {
        if (dir.empty())
            continue;
        const std::string full = dir + "/" + fileName;
        if (auto it = loadedPlugins.find(full); it != loadedPlugins.end())
            return it->second;
        void* handle = ::dlopen(full.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            continue;
        LoadedPlugin plugin;
        plugin.handle = handle;
        plugin.getPicture = reinterpret_cast<SpiGetPictureFunc>(::dlsym(handle, "GetPicture"));
        loadedPlugins.emplace(full, plugin);
        return plugin;
    }
    return std::nullopt;
}

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool EndsWith(const std::string& path, const char* ext, size_t n) {
    return path.size() > n && ::strncasecmp(path.c_str() + path.size() - n, ext, n) == 0;
}

} // namespace

const char* PluginForPath(const std::string& path) {
    // Tested in this order; ".bmp" goes to the BMP reader.
    static const struct {
        const char* extension;
        const char* plugin;
    } table[] = {
        {".bmp", nullptr},       {".jpg", "ifjpeg.spi"},  {".jpeg", "ifjpeg.spi"},
        {".png", "ifpng.spi"},   {".webp", "ifwebp.spi"}, {".tif", "iftiff.spi"},
        {".tiff", "iftiff.spi"}, {".gif", "ifgif.spi"},   {".heic", "ifheif.spi"},
        {".heif", "ifheif.spi"}, {".avif", "ifheif.spi"},
    };
    for (const auto& row : table)
        if (EndsWith(path, row.extension, std::strlen(row.extension)))
            return row.plugin;
    return nullptr;
}

std::optional<DecodedPicture> DecodeWithPlugin(const std::string& pluginFileName,
                                               const std::string& path, DecodeOptions options,
                                               bool planes) {
    const std::optional<LoadedPlugin> plugin = Resolve(pluginFileName);
    if (!plugin || !plugin->getPicture)
        return std::nullopt;
    void* info = nullptr;
    void* bits = nullptr;
    const unsigned flag = SPI_INPUT_FILE |
                          (options.applyOrientation ? unsigned(SPI_APPLY_ORIENTATION) : 0u) |
                          (planes ? unsigned(SPI_ALLOW_YUV420) : 0u);
    if (plugin->getPicture(path.c_str(), 0, flag, &info, &bits, nullptr, 0) != SPI_OK)
        return std::nullopt; // the blocks are not ours on failure: leave them
    // The blocks were malloc'ed (spi.h); their real sizes bound every read.
    MallocBlock infoBlock(static_cast<uint8_t*>(info)), bitsBlock(static_cast<uint8_t*>(bits));
    if (!info || !bits)
        return PixelBuffer();
    const size_t infoSize = ::malloc_usable_size(info), bitsSize = ::malloc_usable_size(bits);
    if (planes && infoSize >= 40 && Le32(infoBlock.get() + 16) == SPI_FOURCC_J420) {
        std::optional<YuvPlanes> yuv =
            YuvPlanes::adopt(std::move(bitsBlock), bitsSize, int(Le32(infoBlock.get() + 4)),
                             int(Le32(infoBlock.get() + 8)));
        return yuv ? DecodedPicture(std::move(*yuv)) : PixelBuffer();
    }
    std::optional<PixelBuffer> picture =
        DecodePackedDib(std::move(infoBlock), infoSize, std::move(bitsBlock), bitsSize);
    return picture ? std::move(*picture) : PixelBuffer();
}

std::optional<PixelBuffer> DecodeWithPlugin(const std::string& pluginFileName,
                                            const std::string& path, DecodeOptions options) {
    std::optional<DecodedPicture> picture = DecodeWithPlugin(pluginFileName, path, options, false);
    if (!picture)
        return std::nullopt;
    return std::move(std::get<PixelBuffer>(*picture));
}

std::vector<std::string> PluginSearchDirs() {
    std::lock_guard lock(cacheMutex);
    return testDirs ? *testDirs : DefaultDirs();
}

void SetPluginSearchDirsForTesting(std::optional<std::vector<std::string>> dirs) {
    std::lock_guard lock(cacheMutex);
    testDirs = std::move(dirs);
}

bool IsPluginPresent(const std::string& pluginFileName) {
    return Resolve(pluginFileName).has_value();
}
