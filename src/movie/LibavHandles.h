#pragma once

// Owners for libav* objects (freed with their own free functions), the text
// of a libav error code, and AvStatus, the outcome of every step of the movie
// writer on libav. Used only inside the movie writer.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct AvOutputContextFree {
    void operator()(AVFormatContext* c) const {
        if (c->pb && !(c->oformat->flags & AVFMT_NOFILE))
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct AvInputContextFree {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct AvCodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct AvPacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct AvFrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct SwsContextFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

using AvOutputContextPtr = std::unique_ptr<AVFormatContext, AvOutputContextFree>;
using AvInputContextPtr = std::unique_ptr<AVFormatContext, AvInputContextFree>;
using AvCodecContextPtr = std::unique_ptr<AVCodecContext, AvCodecContextFree>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using SwsContextPtr = std::unique_ptr<SwsContext, SwsContextFree>;

// A local path as a libav URL: "file:" keeps names with a colon ("a:b.avi")
// from being read as a protocol and keeps every other protocol (network,
// pipes) out of reach of a path taken from a project file.
inline std::string LocalFileUrl(const std::string& path) {
    return "file:" + path;
}

// av_err2str for C++ (the macro uses a compound literal).
inline std::string AvErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

// The outcome of a step on libav: success, or the negative libav error code
// that stopped it. Made from a libav result, where any value >= 0 succeeds.
class [[nodiscard]] AvStatus {
public:
    AvStatus() = default;
    AvStatus(int result) : code_(result < 0 ? result : 0) {} // implicit, from libav's results
    bool ok() const { return code_ == 0; }
    int code() const { return code_; }
    std::string text() const { return AvErrorText(code_); }

private:
    int code_ = 0;
};

// Hands every packet the encoder has ready to sink, in order, until the
// encoder wants another frame or has finished; stops at the first failure.
inline AvStatus ReceivePackets(AVCodecContext* context, AVPacket* packet,
                               const std::function<AvStatus(AVPacket*)>& sink) {
    for (;;) {
        const int ret = avcodec_receive_packet(context, packet);
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return {};
        if (ret < 0)
            return ret;
        const AvStatus written = sink(packet);
        av_packet_unref(packet);
        if (!written.ok())
            return written;
    }
}

// libav's informational lines (x264's statistics and the like) are noise to
// the movie writers' users; errors still reach standard error. Every writer
// calls this before it opens anything.
inline void QuietLibav() {
    static const bool once = [] {
        if (av_log_get_level() > AV_LOG_ERROR)
            av_log_set_level(AV_LOG_ERROR);
        return true;
    }();
    (void)once;
}

// Of the encoder's pixel formats that swscale can make, the one closest to
// 24-bit BGR, leaving out palettes and formats with an alpha plane: frames
// carry no alpha, so such a plane only wastes space (and UtVideo's RGBA
// variant does not read back here). AV_PIX_FMT_NONE when there is none.
inline AVPixelFormat ClosestOpaqueFormat(const AVCodec* codec) {
    std::vector<AVPixelFormat> usable;
    for (const AVPixelFormat* f = codec->pix_fmts; f && *f != AV_PIX_FMT_NONE; ++f) {
        const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(*f);
        if (*f != AV_PIX_FMT_PAL8 && d && !(d->flags & AV_PIX_FMT_FLAG_ALPHA) &&
            sws_isSupportedOutput(*f))
            usable.push_back(*f);
    }
    if (usable.empty())
        return AV_PIX_FMT_NONE;
    usable.push_back(AV_PIX_FMT_NONE);
    return avcodec_find_best_pix_fmt_of_list(usable.data(), AV_PIX_FMT_BGR24, 0, nullptr);
}
