#pragma once

// FramePipeline: renders the frames of a conversion ahead of the movie writer
// on a pool of worker threads, and hands them to the writer in frame order.
// The frames come out byte for byte as the writer's own one-frame-at-a-time
// path makes them (a white frame, the image drawn with the scale flag as draw
// mode, converted to a PackedDib): only where and when the work is done
// differs.
//
//  - The writer thread reads the frame lines ahead of the frame loop (never
//    past lineCount, stopping at the first line the reader refuses) and queues
//    one render job per line; at most `depth` frames are in flight, whatever
//    the list's length, so memory stays bounded.
//  - A line whose path repeats the previous line's path (a hold line, or the
//    same image listed twice in a row) draws the same picture: it reuses the
//    frame before instead of decoding the file again.
//  - Workers draw straight into PackedDib rows through precomputed row and
//    column maps; DIBs are recycled rather than allocated per frame.
//
// The writer's callbacks keep their order and meaning: next(i), frame(i) (in
// place of the draw callback), position(i). Destroying the pipeline (after a
// Cancel, a failed write or the end) stops the workers and drops the frames
// rendered ahead.
//
// Owned by the performance work on the conversion; used by RunConversion.

#include "movie/AviWriter.h"
#include "movie/PackedDib.h"

#include <QByteArray>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class FrameLineReader;

class FramePipeline {
public:
    // threads 0: one worker per core. The reader must outlive the pipeline.
    FramePipeline(FrameLineReader& reader, unsigned width, unsigned height, int bitCount,
                  long lineCount, int threads = 0);
    ~FramePipeline();
    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // The next-frame callback: 1 when frame i has a line, 0 at the end.
    int next(long frame);
    // The frame's DIB, waiting for it when it is still being drawn; nullptr
    // when it could not be made. Valid until the next call.
    const PackedDib* frame(long frame);
    // The position callback: the position of frame i's line.
    long position(long frame) const;

    int workerCount() const { return int(workers_.size()); }
    // Frames drawn, and frames that reused the frame before (for benchmarks).
    long framesDrawn() const { return drawn_; }
    long framesReused() const { return reused_; }

private:
    struct Slot {
        long position = 0;
        QByteArray path;
        bool sameAsBefore = false; // reuses the frame before
        bool ready = false;
        std::unique_ptr<PackedDib> dib; // null when ready and failed
    };
    void readAhead();
    void work();
    std::unique_ptr<PackedDib> takeDib();
    void recycle(std::unique_ptr<PackedDib> dib);

    FrameLineReader& reader_;
    const unsigned width_;
    const unsigned height_;
    const int bitCount_;
    const long lineCount_;
    const int scaleFlag_;
    size_t depth_ = 0;

    // Writer thread only.
    long linesRead_ = 0;
    bool readerDone_ = false;
    bool anyLine_ = false;
    QByteArray previousPath_;
    std::unique_ptr<PackedDib> current_; // the frame handed out last
    long currentFrame_ = -1;
    long lastPosition_ = 0;
    long drawn_ = 0;
    long reused_ = 0;

    std::unique_ptr<PackedDib> blank_; // a white DIB, the template of new ones

    mutable std::mutex mutex_;
    std::condition_variable workCv_;
    std::condition_variable doneCv_;
    std::deque<Slot> window_; // frames base_ .. base_ + size - 1
    long base_ = 0;
    std::deque<long> jobs_; // frames to draw, in order
    std::vector<std::unique_ptr<PackedDib>> pool_;
    bool stop_ = false;
    std::vector<std::thread> workers_;
};

// WriteAviMovie fed by a FramePipeline over the reader's frame lines: the same
// file, messages, progress and Cancel as the writer with the reader's own
// callbacks, drawn on all cores. threads 0: one worker per core.
int WriteAviMovieFromLines(FrameLineReader& reader, const std::string& outputPath, unsigned width,
                           unsigned height, int bitCount, long lineCount, unsigned fps,
                           const std::string& audioPath, const AviWriterHooks& hooks,
                           int threads = 0);

// The pixels a frame is drawn from: width x height pixels, each 4 bytes
// (0xffRRGGBB words, the Surface layout) or 3 bytes (B, G, R, a decoder
// plug-in's 24-bit rows), rows rowStep bytes apart from the top row.
struct DecodedImage;
struct FrameSource {
    int width = 0;
    int height = 0;
    int bytesPerPixel = 4;
    const uint8_t* firstRow = nullptr;
    ptrdiff_t rowStep = 0;

    bool isEmpty() const { return width <= 0 || height <= 0 || !firstRow; }
    const uint8_t* row(int y) const { return firstRow + ptrdiff_t(y) * rowStep; }
    static FrameSource Of(const DecodedImage& image);
};

// Draws one frame into `dib` (its header already set for the frame's size and
// bit count): white, then the image (null or empty: nothing) drawn with `mode`
// as DrawImageFile's draw mode. The pixels equal BitmapToPackedDib of a white
// surface on which BlitImage drew the image.
void RenderFrameDib(const FrameSource& image, int mode, PackedDib& dib);
void RenderFrameDib(const DecodedImage* image, int mode, PackedDib& dib);

// The frame of one line: its image decoded as DrawImageFile would (a blank
// marker, a missing or undecodable file give a white frame) and drawn.
void DrawFrameLine(const QByteArray& path, int mode, PackedDib& dib);
