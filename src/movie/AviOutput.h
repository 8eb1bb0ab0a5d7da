#pragma once

// AviOutput: the libavformat side of WriteAviMovie. One AVI file with one
// video stream (time base 1/fps, so dwScale 1 and dwRate fps), frames written
// as key frames at the positions they are given, and an optional audio track
// copied alongside. It knows nothing of frame sources or messages: each step
// answers an AvStatus.

#include "imaging/PixelBuffer.h"
#include "movie/AudioTrack.h"
#include "movie/Codecs.h"
#include "movie/LibavHandles.h"
#include "movie/VideoEncoder.h"

#include <string>

class AviOutput {
public:
    // Frames of width x height pixels in frameFormat (a movie frame format).
    AviOutput(unsigned width, unsigned height, PixelFormat frameFormat, unsigned fps);
    ~AviOutput(); // closes a movie still open, quietly
    AviOutput(const AviOutput&) = delete;
    AviOutput& operator=(const AviOutput&) = delete;

    // Creates (or replaces) the output file.
    AvStatus openFile(const std::string& path);
    // The video stream, described as uncompressed frames (at 8 bits the movie
    // palette becomes the stream's colour table).
    AvStatus createVideoStream();
    // Compresses every frame with the chosen encoder; an empty name keeps the
    // frames uncompressed.
    AvStatus openCompressor(const CompressionChoice& choice);
    // Adds the first audio stream of the file at `path`; false (and no audio
    // stream) when there is none. Only before writeHeader.
    bool addAudio(const std::string& path);
    AvStatus writeHeader();

    // One frame at `position`; positions must increase. Skipped positions
    // hold the frame before.
    AvStatus writeFrame(long position, const PixelBuffer& frame);

    // Drains the compressor (nothing for uncompressed frames).
    AvStatus finishVideo();
    // Copies the rest of the audio track.
    AvStatus mergeAudio();
    // Writes the header (when still missing), the index and closes the file.
    AvStatus close();

    bool isOpen() const { return output_ != nullptr; }
    bool headerWritten() const { return headerWritten_; }
    bool hasAudio() const { return audio_.isOpen(); }

private:
    AvStatus addVideoStream();
    AvStatus restartWithoutAudio();
    AvStatus writeVideoPacket(AVPacket* packet);
    AvStatus writeEmptyPacket(int64_t position);

    unsigned width_;
    unsigned height_;
    PixelFormat frameFormat_;
    unsigned fps_;
    std::string path_;
    AvOutputContextPtr output_;
    AVStream* video_ = nullptr;
    VideoEncoder encoder_;
    AudioTrack audio_;
    bool audioTried_ = false;
    bool headerWritten_ = false;
    bool videoFinished_ = false;
    int64_t nextPosition_ = 0;   // the muxer's packet count of the video stream
    int64_t lastSubmitted_ = -1; // last position handed to writeFrame
    bool anyVideoPacket_ = false;
};
