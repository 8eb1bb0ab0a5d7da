#pragma once

// FramePipeline: the frames of a conversion, drawn ahead of the movie writer
// on a pool of worker threads and handed to it in frame order, as a
// MovieFrameSource.
//
//  - The writer's thread reads the frame lines ahead (never past lineCount,
//    stopping at the first line the reader refuses) and queues one drawing
//    job per line; at most `depth` frames are in flight, whatever the list's
//    length, so memory stays bounded.
//  - A line whose path repeats the line before (a hold line, or the same
//    image listed twice in a row) is the same picture: it reuses the frame
//    before, marked sameAsBefore, instead of decoding the file again.
//  - Workers draw each line's frame (DrawFrameLine) straight into a movie
//    frame; frames are recycled rather than allocated per line.
//
// Destroying the pipeline (after a stop, a failed write or the end) stops the
// workers and drops the frames drawn ahead.

#include "imaging/DecodeOptions.h"
#include "imaging/FrameRenderer.h"
#include "movie/LibavHandles.h"
#include "movie/MovieWriter.h"

#include <QByteArray>

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

class FrameLineReader;

class FramePipeline final : public MovieFrameSource {
public:
    // Frames of width x height pixels in `format` (a movie frame format),
    // each line's image decoded with `options` and drawn by `mode`. threads 0:
    // one worker per core. The reader must outlive the pipeline.
    FramePipeline(FrameLineReader& reader, long lineCount, unsigned width, unsigned height,
                  PixelFormat format, DrawMode mode, DecodeOptions options, int threads = 0);
    ~FramePipeline() override;
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // The next line's frame, waiting while it is still being drawn.
    std::optional<MovieFrame> next() override;

    // Told, on the thread that calls next() and in line order, of each line
    // whose image could not be decoded (its frame is white): its position
    // and path. A line that reuses the frame before is not told again.
    void onUnreadable(std::function<void(long position, const QByteArray& path)> told) {
        unreadable_ = std::move(told);
    }

    // Asked before the first next(): each line's frame made by `make` on the
    // workers (DrawEncoderFrame, for a container's encoder) and handed out as
    // MovieFrame::encoded instead of drawn as a movie frame. `make` tells
    // whether the line's image could be decoded; null when it failed.
    using EncoderFrameMaker = std::function<AvFramePtr(const QByteArray& path, bool& readable)>;
    void makeEncoderFrames(EncoderFrameMaker make) { maker_ = std::move(make); }

private:
    struct Slot {
        long position = 0;
        QByteArray path;
        bool sameAsBefore = false; // reuses the frame before
        bool ready = false;
        bool unreadable = false;          // the image could not be decoded
        std::optional<PixelBuffer> frame; // nullopt when ready and failed
        AvFramePtr encoded;               // instead of frame, from maker_
    };
    void readAhead();
    void work();
    std::optional<PixelBuffer> takeFrame();

    FrameLineReader& reader_;
    const long lineCount_;
    const unsigned width_;
    const unsigned height_;
    const PixelFormat format_;
    const DrawMode mode_;
    const DecodeOptions options_;
    size_t depth_ = 0;
    std::function<void(long, const QByteArray&)> unreadable_;
    EncoderFrameMaker maker_;

    // The writer's thread only.
    long linesRead_ = 0;
    bool readerDone_ = false;
    QByteArray previousPath_;
    std::optional<PixelBuffer> current_; // the frame handed out last
    AvFramePtr currentEncoded_;          // or the encoder's frame

    std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable doneCv_;
    std::deque<Slot> window_; // lines base_ .. base_ + size - 1
    long base_ = 0;
    std::deque<long> jobs_; // lines to draw, in order
    std::vector<PixelBuffer> pool_;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};
