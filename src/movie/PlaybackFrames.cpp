#include "movie/PlaybackFrames.h"

#include "movie/FrameDrawing.h"

#include <algorithm>
#include <new>

namespace {

constexpr size_t MaxFramesAhead = 16;

} // namespace

PlaybackFrames::PlaybackFrames(const PlaybackSchedule& schedule, int width, int height,
                               DrawMode mode, DecodeOptions options, PathResolver resolve,
                               int threads, size_t byteBound, PixelFormat look)
    : schedule_(schedule), width_(width), height_(height), mode_(mode), options_(options),
      resolve_(std::move(resolve)), look_(look) {
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    const size_t frameBytes =
        std::max<size_t>(PixelBuffer::strideFor(width, PixelFormat::Xrgb32) * size_t(height), 1);
    const size_t affordable = std::max<size_t>(byteBound / frameBytes, 4);
    threads = int(std::min<size_t>(size_t(threads), affordable / 2));
    poolBound_ = size_t(threads);
    depth_ = std::clamp<size_t>(affordable - poolBound_ - 2, 1, MaxFramesAhead);
    white_ = PixelBuffer::allocate(width, height, PixelFormat::Xrgb32, RowOrder::TopDown);
    if (white_) {
        RenderFrame(nullptr, mode_, *white_);
        ReduceColours(*white_, look_);
    }
    for (int i = 0; i < threads; ++i)
        workers_.emplace_back([this] { work(); });
}

PlaybackFrames::~PlaybackFrames() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    workCv_.notify_all();
    for (std::thread& worker : workers_)
        worker.join();
}

size_t PlaybackFrames::framesHeld() const {
    std::lock_guard lock(mutex_);
    size_t held = pool_.size() + drawing_ + (shown_ ? 1 : 0) + (white_ ? 1 : 0);
    for (const auto& [line, slot] : slots_)
        held += slot.frame ? 1 : 0;
    return held;
}

const PixelBuffer* PlaybackFrames::frameAt(long position) {
    std::lock_guard lock(mutex_);
    return takeLocked(position);
}

const PixelBuffer* PlaybackFrames::waitForFrame(long position) {
    std::unique_lock lock(mutex_);
    const PixelBuffer* frame = nullptr;
    doneCv_.wait(lock, [&] { return (frame = takeLocked(position)) != nullptr; });
    return frame;
}

const PixelBuffer* PlaybackFrames::takeLocked(long position) {
    const long line = schedule_.lineAt(position);
    if (line < 0)
        return white_ ? &*white_ : nullptr;
    const long source = schedule_.lines()[size_t(line)].source;
    if (source == shownLine_ && shown_)
        return &*shown_;
    // Lines before this one are late or done: their frames go back to the pool.
    for (auto it = slots_.begin(); it != slots_.end() && it->first < source;) {
        if (it->second.frame && pool_.size() < poolBound_)
            pool_.push_back(std::move(*it->second.frame));
        it = slots_.erase(it);
    }
    std::erase_if(jobs_, [source](long job) { return job < source; });
    if (source < base_ || next_ <= source) { // a loop back, or far ahead
        slots_.clear();
        jobs_.clear();
        next_ = source;
    }
    base_ = source;
    fillLocked();
    const auto it = slots_.find(source);
    if (it == slots_.end() || !it->second.ready)
        return nullptr;
    if (shown_ && pool_.size() < poolBound_)
        pool_.push_back(std::move(*shown_));
    shown_ = std::move(it->second.frame);
    shownLine_ = source;
    slots_.erase(it);
    fillLocked();
    // A frame that could not be allocated shows white.
    return shown_ ? &*shown_ : white_ ? &*white_ : nullptr;
}

void PlaybackFrames::fillLocked() {
    const auto& lines = schedule_.lines();
    bool added = false;
    while (next_ < long(lines.size()) && slots_.size() < depth_) {
        const long line = next_++;
        if (lines[size_t(line)].source != line)
            continue; // reuses the frame before
        slots_.emplace(line, Slot{});
        jobs_.push_back(line);
        added = true;
    }
    if (added)
        workCv_.notify_all();
}

void PlaybackFrames::work() {
    for (;;) {
        long line = 0;
        std::optional<PixelBuffer> frame;
        {
            std::unique_lock lock(mutex_);
            workCv_.wait(lock, [&] { return stop_ || !jobs_.empty(); });
            if (stop_)
                return;
            line = jobs_.front();
            jobs_.pop_front();
            if (!pool_.empty()) {
                frame = std::move(pool_.back());
                pool_.pop_back();
            }
            ++drawing_;
        }
        const PlaybackSchedule::Line& scheduled = schedule_.lines()[size_t(line)];
        // The closing blank frame names no file.
        const QByteArray path = resolve_ && scheduled.position < schedule_.rowCount()
                                    ? resolve_(scheduled.path)
                                    : scheduled.path;
        if (!frame)
            frame = PixelBuffer::allocate(width_, height_, PixelFormat::Xrgb32, RowOrder::TopDown);
        if (frame) {
            try {
                DrawFrameLine(path, mode_, options_, *frame);
                ReduceColours(*frame, look_);
            } catch (const std::bad_alloc&) {
                frame.reset();
            }
        }
        {
            std::lock_guard lock(mutex_);
            --drawing_;
            const auto it = slots_.find(line);
            if (it != slots_.end()) {
                it->second.frame = std::move(frame);
                it->second.ready = true;
            } else if (frame && pool_.size() < poolBound_) {
                pool_.push_back(std::move(*frame)); // dropped meanwhile
            }
        }
        doneCv_.notify_all();
    }
}
