#include "movie/FramePipeline.h"

#include "movie/FrameDrawing.h"
#include "movie/IntermediateFrameFile.h"

#include <algorithm>
#include <new>

namespace {

// Frames in flight per worker (drawn ahead or being drawn), and a cap on the
// bytes they may take together; at least one frame per worker plus one.
constexpr size_t FramesPerWorker = 2;
constexpr size_t MaxBytesInFlight = size_t(96) << 20;

} // namespace

FramePipeline::FramePipeline(FrameLineReader& reader, long lineCount, unsigned width,
                             unsigned height, PixelFormat format, DrawMode mode,
                             DecodeOptions options, int threads)
    : reader_(reader), lineCount_(lineCount), width_(width), height_(height), format_(format),
      mode_(mode), options_(options) {
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    const size_t frameBytes =
        std::max<size_t>(PixelBuffer::strideFor(int(width), format) * height, 1);
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
}

void FramePipeline::readAhead() {
    while (!readerDone_ && linesRead_ < lineCount_) {
        {
            std::lock_guard lock(mutex_);
            if (window_.size() >= depth_)
                return;
        }
        if (!reader_.readLine()) {
            readerDone_ = true;
            return;
        }
        Slot slot;
        slot.position = reader_.position();
        slot.path = reader_.path();
        slot.sameAsBefore = linesRead_ > 0 && slot.path == previousPath_;
        slot.ready = slot.sameAsBefore;
        previousPath_ = slot.path;
        const long line = linesRead_++;
        {
            std::lock_guard lock(mutex_);
            const bool job = !slot.sameAsBefore;
            window_.push_back(std::move(slot));
            if (job)
                jobs_.push_back(line);
        }
        workCv_.notify_one();
    }
}

std::optional<MovieFrame> FramePipeline::next() {
    readAhead();
    std::unique_lock lock(mutex_);
    if (window_.empty())
        return std::nullopt;
    doneCv_.wait(lock, [&] { return window_.front().ready; });
    Slot slot = std::move(window_.front());
    window_.pop_front();
    ++base_;
    if (!slot.sameAsBefore) {
        if (current_)
            pool_.push_back(std::move(*current_));
        current_ = std::move(slot.frame);
        currentEncoded_ = std::move(slot.encoded);
    }
    lock.unlock();
    if (slot.unreadable && unreadable_)
        unreadable_(slot.position, slot.path);
    readAhead(); // a place came free
    // A line that reuses a frame that failed fails too.
    return MovieFrame{slot.position, current_ ? &*current_ : nullptr, slot.sameAsBefore,
                      currentEncoded_.get()};
}

std::optional<PixelBuffer> FramePipeline::takeFrame() {
    {
        std::lock_guard lock(mutex_);
        if (!pool_.empty()) {
            PixelBuffer frame = std::move(pool_.back());
            pool_.pop_back();
            return frame;
        }
    }
    if (width_ > 0x7fffffffu || height_ > 0x7fffffffu)
        return std::nullopt;
    return PixelBuffer::allocate(int(width_), int(height_), format_, RowOrder::BottomUp);
}

void FramePipeline::work() {
    for (;;) {
        long line = 0;
        QByteArray path;
        {
            std::unique_lock lock(mutex_);
            workCv_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            line = jobs_.front();
            jobs_.pop_front();
            path = window_[size_t(line - base_)].path;
        }
        std::optional<PixelBuffer> frame;
        AvFramePtr encoded;
        bool drawn = true;
        try {
            if (maker_)
                encoded = maker_(path, drawn);
            else if ((frame = takeFrame()))
                drawn = DrawFrameLine(path, mode_, options_, *frame);
        } catch (const std::bad_alloc&) {
            frame.reset();
        }
        {
            std::lock_guard lock(mutex_);
            // The slot is still there: the writer drops a slot only once it
            // is ready, and the destructor joins before the window goes.
            Slot& slot = window_[size_t(line - base_)];
            slot.frame = std::move(frame);
            slot.encoded = std::move(encoded);
            slot.unreadable = !drawn;
            slot.ready = true;
        }
        doneCv_.notify_all();
    }
}
