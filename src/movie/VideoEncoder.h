#pragma once

// One libavcodec video encoder set up the way the movie writer needs it: every
// frame a key frame, no B-frames, no global header (AVI keeps the codec's
// headers in every frame, which GStreamer needs for H.264), a quality of
// 1..100 mapped to the codec's own scale. Fed with movie frames (packed-DIB
// rows of the movie's depth), so the chosen colour depth still shapes what is
// compressed.

#include "imaging/PixelBuffer.h"
#include "movie/Codecs.h"
#include "movie/LibavHandles.h"

#include <functional>
#include <string>
#include <vector>

class VideoEncoder {
public:
    // Receives each finished packet (pts = movie position); a failure stops
    // the encoding.
    using PacketSink = std::function<AvStatus(AVPacket* packet)>;

    // Fails when the encoder is unknown or refuses the settings.
    AvStatus open(const CompressionChoice& choice, int width, int height, unsigned fps,
                  PixelFormat frameFormat);
    bool isOpen() const { return context_ != nullptr; }
    const AVCodecContext* context() const { return context_.get(); }

    // Encodes one frame at `position`; finished packets go to `sink`.
    AvStatus encode(const PixelBuffer& frame, int64_t position, const PacketSink& sink);
    // Drains the frames the encoder still holds.
    AvStatus flush(const PacketSink& sink);

private:
    AvStatus openScaler(int width, int height, AVPixelFormat pixelFormat);
    AvStatus drain(const PacketSink& sink);
    const uint8_t* expand(const PixelBuffer& frame);

    AvCodecContextPtr context_;
    AvFramePtr frame_;
    AvPacketPtr packet_;
    SwsContextPtr scaler_;
    PixelFormat frameFormat_ = PixelFormat::Bgr24;
    std::vector<uint8_t> expanded_; // 8- and 16-bit frames as top-down BGR rows
    int qscaleLambda_ = -1;
};

// The libav pixel format of frames in `format`.
AVPixelFormat AvPixelFormat(PixelFormat format);
