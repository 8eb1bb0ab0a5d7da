#pragma once

// One libavcodec video encoder set up for a container with frame timestamps
// (MP4, MOV, Matroska, WebM, GIF): the codec's own key frame interval and
// frame reordering, the codec headers once in the stream header when the
// muxer wants them there, a quality of 1..100 mapped to the codec's scale,
// and BT.601 colours. Each frame is given its position and how many
// positions it lasts; every packet comes out with the pts and duration of
// its frame, in 1/fps units.

#include "imaging/PixelBuffer.h"
#include "movie/Codecs.h"
#include "movie/LibavHandles.h"

#include <functional>
#include <map>

// The pixel format the named encoder is given its frames in at width x
// height (AV_PIX_FMT_PAL8 for GIF, whose frames come as BGR to be mapped to a
// palette first); AV_PIX_FMT_NONE for an unknown encoder.
AVPixelFormat ContainerFrameFormat(const std::string& encoder, int width, int height);

class ContainerEncoder {
public:
    using PacketSink = std::function<AvStatus(AVPacket* packet)>;

    // Frames of width x height; globalHeader: the muxer keeps the codec's
    // headers in the stream header. Fails when the encoder is unknown or
    // refuses the settings.
    AvStatus open(const CompressionChoice& choice, int width, int height, unsigned fps,
                  bool globalHeader);
    const AVCodecContext* context() const { return context_.get(); }

    // A 24-bit movie frame (Bgr24, either row order) at `position`, as a
    // frame for encode: in the encoder's pixel format, or as top-down BGR for
    // a palette encoder (GIF), whose palette is made elsewhere. Null when the
    // frame does not fit or memory ran out.
    AvFramePtr convert(const PixelBuffer& frame, int64_t position) const;
    // Encodes a frame in the encoder's pixel format; its pts is its position.
    AvStatus encode(AVFrame* frame, int64_t duration, const PacketSink& sink);
    // Drains the frames the encoder still holds.
    AvStatus flush(const PacketSink& sink);

private:
    AvStatus drain(const PacketSink& sink);

    AvCodecContextPtr context_;
    AvPacketPtr packet_;
    std::map<int64_t, int64_t> durations_; // by pts, of the frames not yet out
};
