#pragma once

// The frames of a playback, drawn ahead on worker threads: each line of the
// schedule whose picture differs from the line before is decoded and drawn
// (DrawFrameLine, as the movie's frames are) into an Xrgb32 frame of the
// movie's size and colours, in schedule order, at most a bounded number ahead of the
// position asked for last. A line that repeats the picture before (a held
// row) reuses that frame.
//
// frameAt() never waits: a frame not drawn yet is simply not there, and the
// player shows a later position instead (late frames are skipped). Asking for
// a position past lines not yet shown drops them and their work; asking for
// an earlier one (a loop) starts over from there.

#include "imaging/DecodeOptions.h"
#include "imaging/FrameRenderer.h"
#include "movie/PlaybackSchedule.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class PlaybackFrames {
public:
    static constexpr size_t DefaultByteBound = size_t(64) << 20;

    // Turns a row's path into the file to read (a relative path is taken
    // from the project's folder); called on the workers.
    using PathResolver = std::function<QByteArray(const QByteArray&)>;

    // The schedule must outlive this object. threads 0: one per core (the
    // window's thread only shows the frames). resolve: none takes the paths
    // as they are. look: the movie's frame format, whose colours the frames
    // are given (ReduceColours).
    PlaybackFrames(const PlaybackSchedule& schedule, int width, int height, DrawMode mode,
                   DecodeOptions options, PathResolver resolve = {}, int threads = 0,
                   size_t byteBound = DefaultByteBound, PixelFormat look = PixelFormat::Xrgb32);
    ~PlaybackFrames();
    PlaybackFrames(const PlaybackFrames&) = delete;
    PlaybackFrames& operator=(const PlaybackFrames&) = delete;

    // The frame shown at position (Xrgb32, top-down), or null while it is
    // still being drawn. Valid until the next call.
    const PixelBuffer* frameAt(long position);
    // The same, waiting until it is drawn.
    const PixelBuffer* waitForFrame(long position);

    // Frames that exist now, and the most there can ever be.
    size_t framesHeld() const;
    size_t frameBound() const { return depth_ + poolBound_ + 2; }

private:
    struct Slot {
        bool ready = false;
        std::optional<PixelBuffer> frame;
    };

    const PixelBuffer* takeLocked(long position);
    void fillLocked();
    void work();

    const PlaybackSchedule& schedule_;
    const int width_;
    const int height_;
    const DrawMode mode_;
    const DecodeOptions options_;
    const PathResolver resolve_;
    const PixelFormat look_;
    size_t depth_ = 1;     // slots ahead
    size_t poolBound_ = 1; // frames kept for reuse

    mutable std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable doneCv_;
    std::map<long, Slot> slots_; // source lines ahead, drawn or to draw
    std::deque<long> jobs_;
    long base_ = 0; // the first line the slots cover
    long next_ = 0; // the next line to give a slot
    std::vector<PixelBuffer> pool_;
    size_t drawing_ = 0; // frames in the workers' hands
    std::optional<PixelBuffer> shown_;
    long shownLine_ = -1;
    std::optional<PixelBuffer> white_;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};
