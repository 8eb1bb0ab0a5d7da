#pragma once

// AviMovieWriter: the libavformat side of WriteAviMovie. One AVI file with one
// video stream (time base 1/fps, so dwScale 1 and dwRate fps), frames written
// as key frames at the positions they are given, and an optional audio track
// copied alongside. It knows nothing of callbacks or messages, so frames may
// also come from elsewhere (for example pre-rendered by worker threads) as
// long as they arrive in position order.
//
// Every int result is 0 or a negative libav error code.

#include "movie/AudioTrack.h"
#include "movie/AviWriter.h"
#include "movie/LibavHandles.h"
#include "movie/PackedDib.h"
#include "movie/VideoEncoder.h"

#include <memory>
#include <string>
#include <vector>

class AviMovieWriter {
public:
    AviMovieWriter(unsigned width, unsigned height, int bitCount, unsigned fps);
    ~AviMovieWriter(); // closes a movie still open, quietly
    AviMovieWriter(const AviMovieWriter&) = delete;
    AviMovieWriter& operator=(const AviMovieWriter&) = delete;

    // Creates (or replaces) the output file.
    int openFile(const std::string& path);
    // The video stream, described as uncompressed frames of `format`'s layout
    // (at 8 bits its colour table becomes the stream's palette).
    int createVideoStream(const PackedDib& format);
    // Compresses every frame with the chosen encoder; an empty name keeps the
    // frames uncompressed.
    int openCompressor(const CompressionChoice& choice);
    // Adds the first audio stream of the file at `path`; false (and no audio
    // stream) when there is none. Only before writeHeader.
    bool addAudio(const std::string& path);
    int writeHeader();

    // One frame at `position`; positions must increase. Skipped positions
    // hold the frame before.
    int writeFrame(long position, const PackedDib& dib);
    int writeFrame(long position, const Surface& surface);

    // Drains the compressor (no-op for uncompressed frames).
    int finishVideo();
    // Copies the rest of the audio track: 0, or -1 when the copy failed.
    int mergeAudio();
    // Writes the header (when still missing), the index and closes the file.
    int close();

    bool isOpen() const { return output_ != nullptr; }
    bool headerWritten() const { return headerWritten_; }
    bool hasAudio() const { return audio_.isOpen(); }
    long framesWritten() const { return framesWritten_; }

private:
    int addVideoStream();
    int restartWithoutAudio();
    int writeVideoPacket(AVPacket* packet);
    int writeEmptyPacket(int64_t position);

    unsigned width_;
    unsigned height_;
    int bitCount_;
    unsigned fps_;
    std::string path_;
    std::vector<uint8_t> palette_; // BGRX colour table at 8 bits
    AvOutputContextPtr output_;
    AVStream* video_ = nullptr;
    std::unique_ptr<VideoEncoder> encoder_;
    AudioTrack audio_;
    bool audioTried_ = false;
    bool headerWritten_ = false;
    bool videoFinished_ = false;
    int64_t nextPosition_ = 0;   // the muxer's packet count of the video stream
    int64_t lastSubmitted_ = -1; // last position handed to writeFrame
    bool anyVideoPacket_ = false;
    long framesWritten_ = 0;
};
