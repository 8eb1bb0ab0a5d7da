#include "movie/FramePipeline.h"

#include "imaging/BmpReader.h"
#include "imaging/ImageDrawing.h"
#include "imaging/PluginLoader.h"
#include "movie/IntermediateFrameFile.h"

#include <algorithm>
#include <cstring>
#include <new>

#include <malloc.h>

namespace {

// Frames in flight per worker (drawn ahead or being drawn), and a cap on the
// bytes they may take together; at least one frame per worker plus one.
constexpr size_t FramesPerWorker = 2;
constexpr size_t MaxBytesInFlight = size_t(96) << 20;

// The decoders and the drawing allocate a few large blocks per frame; glibc
// would hand them back to the kernel after every frame and page-fault them in
// again for the next (more time in the kernel than in the JPEG decoder).
// Keeping freed memory around for the next frame avoids that; the peak is the
// same, since the memory is needed again at once.
void KeepFreedMemory() {
    static const bool once = [] {
        mallopt(M_MMAP_THRESHOLD, 32 << 20);
        mallopt(M_TRIM_THRESHOLD, 128 << 20);
        return true;
    }();
    (void)once;
}

// One row of 0xffRRGGBB pixels into a DIB row, as BitmapToPackedDib does.
void ConvertRow(const uint32_t* src, uint8_t* dst, int width, int bitCount, int y) {
    switch (bitCount) {
    case 24:
        for (int x = 0; x < width; ++x, dst += 3) {
            const uint32_t p = src[x];
            dst[0] = uint8_t(p);
            dst[1] = uint8_t(p >> 8);
            dst[2] = uint8_t(p >> 16);
        }
        break;
    case 16:
        for (int x = 0; x < width; ++x, dst += 2) {
            const uint32_t p = src[x];
            const uint32_t v = ((p >> 19) & 31) << 10 | ((p >> 11) & 31) << 5 | ((p >> 3) & 31);
            dst[0] = uint8_t(v);
            dst[1] = uint8_t(v >> 8);
        }
        break;
    default:
        for (int x = 0; x < width; ++x)
            dst[x] = MoviePaletteIndex(src[x], x, y);
        break;
    }
}

// Source row of target row dy when stretching, as the drawing code maps it.
inline int StretchRow(int dy, uint64_t sourceHeight, uint64_t frameHeight) {
    return int((2 * uint64_t(dy) + 1) * sourceHeight / (2 * frameHeight));
}

// A source pixel as a 0xffRRGGBB word; both layouts start with B, G, R.
inline uint32_t Pixel(const uint8_t* p, int bytesPerPixel) {
    if (bytesPerPixel == 4) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    return 0xff000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

void LoadRow(const uint8_t* src, int bytesPerPixel, int count, uint32_t* out) {
    if (bytesPerPixel == 4) {
        std::memcpy(out, src, size_t(count) * 4);
        return;
    }
    for (int i = 0; i < count; ++i, src += 3)
        out[i] = 0xff000000u | uint32_t(src[2]) << 16 | uint32_t(src[1]) << 8 | src[0];
}

// A plug-in's 24-bit bottom-up BI_RGB DIB, read in place; false for any other
// form, which then goes through the BMP reader's general decoding.
bool BgrDibSource(const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize,
                  FrameSource& source) {
    if (!info || !bits || infoSize < 40)
        return false;
    auto u32 = [info](int at) {
        return uint32_t(info[at]) | uint32_t(info[at + 1]) << 8 | uint32_t(info[at + 2]) << 16 |
               uint32_t(info[at + 3]) << 24;
    };
    const int32_t width = int32_t(u32(4)), height = int32_t(u32(8));
    const unsigned bitCount = unsigned(info[14]) | unsigned(info[15]) << 8;
    if (u32(0) != 40 || bitCount != 24 || u32(16) != 0 || width <= 0 || width > 16384 ||
        height <= 0 || height > 16384)
        return false;
    const size_t stride = (size_t(width) * 24 + 31) / 32 * 4;
    if (bitsSize < stride * size_t(height))
        return false;
    source.width = width;
    source.height = height;
    source.bytesPerPixel = 3;
    source.firstRow = bits + stride * size_t(height - 1);
    source.rowStep = -ptrdiff_t(stride);
    return true;
}

} // namespace

FrameSource FrameSource::Of(const DecodedImage& image) {
    FrameSource source;
    if (image.isEmpty())
        return source;
    source.width = image.width;
    source.height = image.height;
    source.bytesPerPixel = 4;
    source.firstRow = reinterpret_cast<const uint8_t*>(image.pixels.data());
    source.rowStep = ptrdiff_t(image.width) * 4;
    return source;
}

void RenderFrameDib(const DecodedImage* image, int mode, PackedDib& dib) {
    if (!image) {
        RenderFrameDib(FrameSource{}, mode, dib);
        return;
    }
    RenderFrameDib(FrameSource::Of(*image), mode, dib);
}

void RenderFrameDib(const FrameSource& image, int mode, PackedDib& dib) {
    const int width = dib.width, height = dib.height, bits = dib.bitCount;
    if (width <= 0 || height <= 0)
        return;
    const size_t rowBytes = size_t(width) * size_t(bits / 8);
    const int bpp = image.bytesPerPixel;
    thread_local std::vector<uint32_t> row;
    thread_local std::vector<uint32_t> columns;
    row.resize(size_t(width));
    const bool drawn = !image.isEmpty();

    if (drawn && mode == 1) {
        // Stretched: every target pixel takes the source pixel under its
        // centre. The column map holds byte offsets into the source row.
        const uint64_t sw = uint64_t(image.width);
        columns.resize(size_t(width));
        for (int dx = 0; dx < width; ++dx)
            columns[size_t(dx)] =
                uint32_t((2 * uint64_t(dx) + 1) * sw / (2 * uint64_t(uint32_t(width)))) *
                uint32_t(bpp);
        const uint32_t* map = columns.data();
        const uint32_t lastColumn = uint32_t(image.width - 1) * uint32_t(bpp);
        int wide = 0; // pixels that may move 4 bytes at once (the map only grows)
        while (wide < width - 1 && map[wide] < lastColumn)
            ++wide;
        int previous = -1;
        const uint8_t* previousRow = nullptr;
        for (int dy = 0; dy < height; ++dy) {
            const int sy = StretchRow(dy, uint64_t(image.height), uint64_t(uint32_t(height)));
            uint8_t* dst = dib.topDownRow(dy);
            // At 8 bits the dithering differs from row to row.
            if (sy == previous && bits != 8) {
                std::memcpy(dst, previousRow, rowBytes);
                continue;
            }
            const uint8_t* src = image.row(sy);
            if (bits == 24) {
                // One 4-byte move per pixel; its fourth byte is overwritten by
                // the next pixel. The last pixel, and pixels from the source's
                // last column (whose fourth byte may lie past the rows), move
                // byte by byte, so nothing outside either row is touched.
                uint8_t* d = dst;
                int dx = 0;
                for (; dx < wide; ++dx, d += 3) {
                    uint32_t v;
                    std::memcpy(&v, src + map[dx], 4);
                    std::memcpy(d, &v, 4);
                }
                for (; dx < width; ++dx, d += 3) {
                    const uint8_t* p = src + map[dx];
                    d[0] = p[0];
                    d[1] = p[1];
                    d[2] = p[2];
                }
            } else {
                for (int dx = 0; dx < width; ++dx)
                    row[size_t(dx)] = Pixel(src + map[dx], bpp);
                ConvertRow(row.data(), dst, width, bits, dy);
            }
            previous = sy;
            previousRow = dst;
        }
        return;
    }

    // Natural size (centred, or at the top-left corner in mode 2), clipped;
    // white around it.
    int64_t left = 0, right = 0, top = 0, bottom = 0, x0 = 0, y0 = 0;
    if (drawn) {
        if (mode != 2) {
            x0 = int64_t(uint32_t(width) >> 1) - image.width / 2;
            y0 = int64_t(uint32_t(height) >> 1) - image.height / 2;
        }
        left = std::max<int64_t>(x0, 0);
        right = std::min<int64_t>(x0 + image.width, width);
        top = std::max<int64_t>(y0, 0);
        bottom = std::min<int64_t>(y0 + image.height, height);
        if (left >= right || top >= bottom)
            top = bottom = 0;
    }
    thread_local std::vector<uint8_t> whiteRow;
    std::fill(row.begin(), row.end(), Surface::White);
    if (bits != 8) {
        whiteRow.resize(rowBytes);
        ConvertRow(row.data(), whiteRow.data(), width, bits, 0);
    }
    const size_t visible = size_t(right - left);
    bool rowIsWhite = true;
    for (int dy = 0; dy < height; ++dy) {
        uint8_t* dst = dib.topDownRow(dy);
        const bool inside = dy >= top && dy < bottom;
        if (!inside && bits != 8) {
            std::memcpy(dst, whiteRow.data(), rowBytes);
            continue;
        }
        const uint8_t* src = inside ? image.row(int(dy - y0)) + (left - x0) * bpp : nullptr;
        if (inside && bits == 24 && bpp == 3) {
            // BGR onto BGR: the white margins and the image's bytes as they are.
            std::memcpy(dst, whiteRow.data(), size_t(left) * 3);
            std::memcpy(dst + left * 3, src, visible * 3);
            std::memcpy(dst + right * 3, whiteRow.data(), size_t(width - right) * 3);
            continue;
        }
        if (!rowIsWhite) {
            std::fill(row.begin(), row.end(), Surface::White);
            rowIsWhite = true;
        }
        if (inside) {
            LoadRow(src, bpp, int(visible), row.data() + left);
            rowIsWhite = false;
        }
        ConvertRow(row.data(), dst, width, bits, dy);
    }
}

void DrawFrameLine(const QByteArray& path, int mode, PackedDib& dib) {
    if (path.isEmpty() || path == kBlankFrameMarker) {
        RenderFrameDib(FrameSource{}, mode, dib);
        return;
    }
    const std::string file = path.toStdString();
    // As LoadImageFile: the plug-in for the extension first, the BMP reader
    // when it cannot be loaded or fails; but a plug-in's plain 24-bit rows
    // are drawn from where it left them.
    if (const char* plugin = PluginForPath(file)) {
        const bool decoded = WithPluginPicture(
            plugin, file,
            [&](const uint8_t* info, size_t infoSize, const uint8_t* bits, size_t bitsSize) {
                FrameSource source;
                if (BgrDibSource(info, infoSize, bits, bitsSize, source)) {
                    RenderFrameDib(source, mode, dib);
                    return;
                }
                std::optional<DecodedImage> image;
                if (info && bits)
                    image = DecodePackedDib(info, infoSize, bits, bitsSize);
                RenderFrameDib(image ? &*image : nullptr, mode, dib);
            });
        if (decoded)
            return;
    }
    const std::optional<DecodedImage> image = ReadBmpFile(file);
    RenderFrameDib(image ? &*image : nullptr, mode, dib);
}

FramePipeline::FramePipeline(FrameLineReader& reader, unsigned width, unsigned height, int bitCount,
                             long lineCount, int threads)
    : reader_(reader), width_(width), height_(height), bitCount_(bitCount), lineCount_(lineCount),
      scaleFlag_(reader.scaleFlag()) {
    KeepFreedMemory();
    DibSlot white;
    if (MakeFrameDib(white, bitCount, width, height, -1, {}))
        blank_ = std::move(white);
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    const size_t frameBytes = blank_ ? std::max<size_t>(blank_->block.size(), 1) : 1;
    // Very large frames: fewer workers rather than many such frames at once.
    const size_t affordable = std::max<size_t>(2, MaxBytesInFlight / frameBytes) - 1;
    threads = int(std::min(size_t(threads), affordable));
    depth_ = std::max(size_t(threads) + 1, std::min(size_t(threads) * FramesPerWorker + 2,
                                                    MaxBytesInFlight / frameBytes));
    workers_.reserve(size_t(threads));
    for (int i = 0; i < threads; ++i)
        workers_.emplace_back([this] { work(); });
}

FramePipeline::~FramePipeline() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
        jobs_.clear();
    }
    workCv_.notify_all();
    for (std::thread& t : workers_)
        t.join();
    window_.clear();
    pool_.clear();
    current_.reset();
    // What the frames kept goes back to the system once the movie is done.
    malloc_trim(0);
}

void FramePipeline::readAhead() {
    while (!readerDone_ && linesRead_ < lineCount_) {
        {
            std::lock_guard lock(mutex_);
            if (window_.size() >= depth_)
                return;
        }
        if (!reader_.ReadNextFrameLine(linesRead_)) {
            readerDone_ = true;
            return;
        }
        Slot slot;
        slot.position = reader_.currentPosition();
        slot.path = reader_.currentPath();
        slot.sameAsBefore = anyLine_ && slot.path == previousPath_;
        slot.ready = slot.sameAsBefore;
        anyLine_ = true;
        previousPath_ = slot.path;
        const long frame = linesRead_++;
        {
            std::lock_guard lock(mutex_);
            const bool job = !slot.sameAsBefore;
            window_.push_back(std::move(slot));
            if (job)
                jobs_.push_back(frame);
        }
        workCv_.notify_one();
    }
}

int FramePipeline::next(long frame) {
    readAhead();
    std::lock_guard lock(mutex_);
    return frame >= base_ && frame < base_ + long(window_.size()) ? 1 : 0;
}

long FramePipeline::position(long frame) const {
    if (frame == currentFrame_)
        return lastPosition_;
    std::lock_guard lock(mutex_);
    if (frame < base_ || frame >= base_ + long(window_.size()))
        return lastPosition_;
    return window_[size_t(frame - base_)].position;
}

const PackedDib* FramePipeline::frame(long frame) {
    std::unique_lock lock(mutex_);
    // Frames are asked for in order, each once, after next() found its line.
    if (frame != base_ || window_.empty())
        return nullptr;
    doneCv_.wait(lock, [&] { return window_.front().ready; });
    Slot slot = std::move(window_.front());
    window_.pop_front();
    ++base_;
    currentFrame_ = frame;
    lastPosition_ = slot.position;
    if (slot.sameAsBefore) {
        ++reused_;
        return current_.get(); // null too when the frame before failed
    }
    ++drawn_;
    if (current_)
        pool_.push_back(std::move(current_));
    current_ = std::move(slot.dib);
    lock.unlock();
    readAhead(); // a slot came free
    return current_.get();
}

std::unique_ptr<PackedDib> FramePipeline::takeDib() {
    {
        std::lock_guard lock(mutex_);
        if (!pool_.empty()) {
            std::unique_ptr<PackedDib> dib = std::move(pool_.back());
            pool_.pop_back();
            return dib;
        }
    }
    if (!blank_)
        return nullptr;
    try {
        return std::make_unique<PackedDib>(*blank_);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void FramePipeline::work() {
    for (;;) {
        long frame = 0;
        QByteArray path;
        {
            std::unique_lock lock(mutex_);
            workCv_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            frame = jobs_.front();
            jobs_.pop_front();
            path = window_[size_t(frame - base_)].path;
        }
        std::unique_ptr<PackedDib> dib = takeDib();
        if (dib) {
            try {
                DrawFrameLine(path, scaleFlag_, *dib);
            } catch (const std::bad_alloc&) {
                dib.reset();
            }
        }
        {
            std::lock_guard lock(mutex_);
            // The slot is still there: the writer drops a slot only once it
            // is ready, and the destructor joins before the window goes.
            Slot& slot = window_[size_t(frame - base_)];
            slot.dib = std::move(dib);
            slot.ready = true;
        }
        doneCv_.notify_all();
    }
}

int WriteAviMovieFromLines(FrameLineReader& reader, const std::string& outputPath, unsigned width,
                           unsigned height, int bitCount, long lineCount, unsigned fps,
                           const std::string& audioPath, const AviWriterHooks& hooks, int threads) {
    FramePipeline pipeline(reader, width, height, bitCount, lineCount, threads);
    AviWriterHooks fed = hooks;
    fed.renderedFrame = [&pipeline](long frame) { return pipeline.frame(frame); };
    return WriteAviMovie(
        outputPath, width, height, bitCount, lineCount, fps, {},
        [&pipeline](long frame) { return pipeline.position(frame); },
        [&pipeline](long frame) { return pipeline.next(frame); }, audioPath, fed);
}
