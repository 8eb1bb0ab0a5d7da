#include "movie/ContainerEncoder.h"

#include "movie/FrameDrawing.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// How a codec's quality setting is expressed: a private option running from
// `worst` (quality 1) to `best` (quality 100), and its value without a choice.
struct QualityScale {
    const char* encoder;
    const char* option; // nullptr: qscale through the lambda
    int worst;
    int best;
    int byDefault; // -1: the encoder's own default
};

constexpr QualityScale QualityScales[] = {
    {"libx264", "crf", 51, 1, -1},    {"libx265", "crf", 51, 1, -1},
    {"libvpx-vp9", "crf", 63, 0, 32}, {"libvpx", "crf", 63, 4, 10},
    {"libsvtav1", "crf", 63, 1, 35},  {"libaom-av1", "crf", 63, 0, 32},
    {"mpeg4", nullptr, 31, 2, 3},     {"mjpeg", nullptr, 31, 2, 3},
};

const QualityScale* FindScale(const std::string& name) {
    for (const QualityScale& s : QualityScales)
        if (name == s.encoder)
            return &s;
    return nullptr;
}

bool Takes(const AVCodec* codec, AVPixelFormat format) {
    for (const AVPixelFormat* f = codec->pix_fmts; f && *f != AV_PIX_FMT_NONE; ++f)
        if (*f == format)
            return true;
    return false;
}

// 4:2:0 for the lossy codecs players expect it from (4:4:4 at odd sizes,
// which 4:2:0 cannot halve), palette frames for GIF, otherwise the format
// closest to 24-bit RGB among those without alpha.
AVPixelFormat ChooseFormat(const AVCodec* codec, const std::string& name, int width, int height) {
    if (name == "gif")
        return AV_PIX_FMT_PAL8;
    const AVPixelFormat yuv = name == "mjpeg" ? AV_PIX_FMT_YUVJ420P : AV_PIX_FMT_YUV420P;
    const bool odd = width % 2 || height % 2;
    if (FindScale(name)) {
        if (!odd && Takes(codec, yuv))
            return yuv;
        if (Takes(codec, AV_PIX_FMT_YUV444P))
            return AV_PIX_FMT_YUV444P;
    }
    return ClosestOpaqueFormat(codec);
}

// The codec's speed and rate settings that are not its quality.
void SetCodecOptions(AVCodecContext* c, const std::string& name) {
    if (name == "libvpx-vp9" || name == "libvpx" || name == "libaom-av1") {
        c->bit_rate = name == "libvpx" ? 20'000'000 : 0; // VP8: a ceiling for its crf
        av_opt_set(c->priv_data, "deadline", "good", 0);
        av_opt_set_int(c->priv_data, "cpu-used", name == "libaom-av1" ? 6 : 4, 0);
        av_opt_set_int(c->priv_data, "row-mt", 1, 0);
    }
    if (name == "libsvtav1") {
        av_opt_set_int(c->priv_data, "preset", 8, 0);
        setenv("SVT_LOG", "1", 0); // errors only: SVT-AV1 prints on its own
    }
    // A held picture is no reason to spend more bits on it: rate control
    // counts frames, not their durations (the timestamps pass through).
    if (name == "libx264")
        av_opt_set(c->priv_data, "x264-params", "force-cfr=1", 0);
    if (name == "libx265")
        av_opt_set(c->priv_data, "x265-params", "log-level=error", 0);
}

void Configure(AVCodecContext* c, const std::string& name, int quality, AVPixelFormat format) {
    c->pix_fmt = format;
    c->sample_aspect_ratio = AVRational{1, 1};
    c->thread_count = 0;
    if (format != AV_PIX_FMT_PAL8 && !(av_pix_fmt_desc_get(format)->flags & AV_PIX_FMT_FLAG_RGB)) {
        c->colorspace = AVCOL_SPC_SMPTE170M;
        c->color_range = format == AV_PIX_FMT_YUVJ420P ? AVCOL_RANGE_JPEG : AVCOL_RANGE_MPEG;
    }
    SetCodecOptions(c, name);
    const QualityScale* scale = FindScale(name);
    if (!scale)
        return;
    int value = scale->byDefault;
    if (quality >= 1)
        value = scale->worst + (scale->best - scale->worst) * (std::min(quality, 100) - 1) / 99;
    if (value < 0)
        return;
    if (scale->option) {
        av_opt_set_int(c->priv_data, scale->option, value, 0);
    } else {
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * value;
    }
}

} // namespace

AVPixelFormat ContainerFrameFormat(const std::string& encoder, int width, int height) {
    const AVCodec* codec = avcodec_find_encoder_by_name(encoder.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO)
        return AV_PIX_FMT_NONE;
    return ChooseFormat(codec, encoder, width, height);
}

AvStatus ContainerEncoder::open(const CompressionChoice& choice, int width, int height,
                                unsigned fps, bool globalHeader) {
    const std::string& name = choice.encoder;
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO || width <= 0 || height <= 0 || fps == 0)
        return AVERROR_ENCODER_NOT_FOUND;
    const AVPixelFormat format = ChooseFormat(codec, name, width, height);
    if (format == AV_PIX_FMT_NONE)
        return AVERROR(EINVAL);
    context_.reset(avcodec_alloc_context3(codec));
    packet_.reset(av_packet_alloc());
    if (!context_ || !packet_)
        return AVERROR(ENOMEM);
    AVCodecContext* c = context_.get();
    c->width = width;
    c->height = height;
    c->time_base = AVRational{1, int(fps)};
    c->framerate = AVRational{int(fps), 1};
    if (globalHeader)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Configure(c, name, choice.quality, format);
    const AvStatus status = avcodec_open2(c, codec, nullptr);
    if (!status.ok())
        context_.reset();
    return status;
}

AvFramePtr ContainerEncoder::convert(const PixelBuffer& frame, int64_t position) const {
    const AVCodecContext* c = context_.get();
    if (!c || frame.width() != c->width || frame.height() != c->height ||
        frame.format() != PixelFormat::Bgr24)
        return nullptr;
    AvFramePtr f(av_frame_alloc());
    if (!f)
        return nullptr;
    const bool palette = c->pix_fmt == AV_PIX_FMT_PAL8;
    f->format = palette ? AV_PIX_FMT_BGR24 : c->pix_fmt;
    f->width = c->width;
    f->height = c->height;
    if (av_frame_get_buffer(f.get(), 0) < 0)
        return nullptr;
    f->pts = position;
    if (palette) {
        for (int y = 0; y < frame.height(); ++y)
            std::memcpy(f->data[0] + ptrdiff_t(y) * f->linesize[0], frame.row(y),
                        size_t(frame.width()) * 3);
        return f;
    }
    return ConvertMovieFrame(frame, *f) ? std::move(f) : nullptr;
}

AvStatus ContainerEncoder::encode(AVFrame* frame, int64_t duration, const PacketSink& sink) {
    if (!context_)
        return AVERROR(EINVAL);
    durations_[frame->pts] = duration;
    frame->pict_type = AV_PICTURE_TYPE_NONE;
    const AvStatus status = avcodec_send_frame(context_.get(), frame);
    if (!status.ok())
        return status;
    return drain(sink);
}

AvStatus ContainerEncoder::flush(const PacketSink& sink) {
    if (!context_)
        return AVERROR(EINVAL);
    const int ret = avcodec_send_frame(context_.get(), nullptr);
    if (ret < 0 && ret != AVERROR_EOF)
        return ret;
    return drain(sink);
}

AvStatus ContainerEncoder::drain(const PacketSink& sink) {
    // Each packet leaves with the duration of the frame it holds.
    return ReceivePackets(context_.get(), packet_.get(), [&](AVPacket* packet) {
        if (const auto it = durations_.find(packet->pts); it != durations_.end()) {
            packet->duration = it->second;
            durations_.erase(it);
        }
        return sink(packet);
    });
}
