#pragma once

// One libavcodec video encoder set up the way the movie writer needs it: every
// frame a key frame, no B-frames, no global header (AVI keeps the codec's
// headers in every frame, which GStreamer needs for H.264), a quality of
// 1..100 mapped to the codec's own scale. Fed with PackedDibs, so the chosen
// colour depth still shapes what is compressed.

#include "movie/LibavHandles.h"
#include "movie/PackedDib.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class VideoEncoder {
public:
    // Receives each finished packet (pts = movie position); a negative result
    // is an error that stops the encoding.
    using PacketSink = std::function<int(AVPacket* packet)>;

    // nullptr when the encoder is unknown or refuses the settings; *error
    // then holds a libav error code.
    static std::unique_ptr<VideoEncoder> Open(const std::string& name, int quality, int width,
                                              int height, unsigned fps, int bitCount,
                                              int* error = nullptr);

    const AVCodecContext* context() const { return context_.get(); }

    // Encodes one frame at `position`; finished packets go to `sink`.
    int encode(const PackedDib& dib, int64_t position, const PacketSink& sink);
    // Drains the frames the encoder still holds.
    int flush(const PacketSink& sink);

private:
    int drain(const PacketSink& sink);

    AvCodecContextPtr context_;
    AvFramePtr frame_;
    AvPacketPtr packet_;
    SwsContextPtr scaler_;
    AVPixelFormat sourceFormat_ = AV_PIX_FMT_NONE;
    std::vector<uint8_t> expanded_; // 8- and 16-bit frames as top-down BGR rows
    int qscaleLambda_ = -1;
};

// The pixel format of a PackedDib's rows at a bit count.
AVPixelFormat DibPixelFormat(int bitCount);
