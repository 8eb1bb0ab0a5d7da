#include "movie/VideoEncoder.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "imaging/MoviePalette.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

AVPixelFormat AvPixelFormat(PixelFormat format) {
    switch (format) {
    case PixelFormat::Xrgb32:
        return AV_PIX_FMT_BGR0;
    case PixelFormat::Bgr24:
        return AV_PIX_FMT_BGR24;
    case PixelFormat::Rgb555:
        return AV_PIX_FMT_RGB555LE;
    case PixelFormat::Indexed8:
        return AV_PIX_FMT_PAL8;
    }
    return AV_PIX_FMT_NONE;
}

namespace {

bool Is(const std::string& name, const char* what) {
    return name == what;
}

// The encoder's input format: the codec's usual one where players expect it,
// otherwise the closest to the DIB among what the encoder takes.
AVPixelFormat ChoosePixelFormat(const AVCodec* codec, const std::string& name, int width,
                                int height) {
    if (Is(name, "mjpeg"))
        return AV_PIX_FMT_YUVJ420P;
    if (Is(name, "libx264"))
        return (width % 2 || height % 2) ? AV_PIX_FMT_YUV444P : AV_PIX_FMT_YUV420P;
    if (!codec->pix_fmts)
        return AV_PIX_FMT_NONE;
    return ClosestOpaqueFormat(codec);
}

// The codec context's settings; answers the lambda every frame is given
// (-1: none).
int Configure(AVCodecContext* c, const std::string& name, int quality, int width, int height,
              unsigned fps, AVPixelFormat pixelFormat) {
    c->width = width;
    c->height = height;
    c->pix_fmt = pixelFormat;
    c->time_base = AVRational{1, int(fps)};
    c->framerate = AVRational{int(fps), 1};
    c->sample_aspect_ratio = AVRational{1, 1};
    c->gop_size = 1;
    c->max_b_frames = 0;
    c->keyint_min = Is(name, "msvideo1") ? 0 : 1;
    if (pixelFormat == AV_PIX_FMT_YUVJ420P)
        c->color_range = AVCOL_RANGE_JPEG;
    if (Is(name, "mjpeg") || Is(name, "mpeg4")) {
        // Quality 1..100 onto qscale 31..2; without a choice a good default (3).
        int q = quality >= 1 ? 2 + (100 - std::min(quality, 100)) * 29 / 99 : 3;
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * q;
        return c->global_quality;
    }
    if (Is(name, "libx264") && quality >= 1) {
        // Quality 1..100 onto CRF 51..1 (CRF 0 would switch to a lossless profile).
        double crf = 1.0 + (100 - std::min(quality, 100)) * 50.0 / 99.0;
        av_opt_set_double(c->priv_data, "crf", crf, 0);
    }
    return -1;
}

} // namespace

AvStatus VideoEncoder::open(const CompressionChoice& choice, int width, int height, unsigned fps,
                            PixelFormat frameFormat) {
    const std::string& name = choice.encoder;
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO || width <= 0 || height <= 0 || fps == 0)
        return AVERROR_ENCODER_NOT_FOUND;
    const AVPixelFormat pixelFormat = ChoosePixelFormat(codec, name, width, height);
    if (pixelFormat == AV_PIX_FMT_NONE)
        return AVERROR(EINVAL);
    AvStatus status = AVERROR(ENOMEM);
    context_.reset(avcodec_alloc_context3(codec));
    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (context_ && frame_ && packet_) {
        qscaleLambda_ =
            Configure(context_.get(), name, choice.quality, width, height, fps, pixelFormat);
        status = avcodec_open2(context_.get(), codec, nullptr);
    }
    if (status.ok()) {
        frameFormat_ = frameFormat;
        status = openScaler(width, height, pixelFormat);
    }
    if (!status.ok())
        context_.reset();
    return status;
}

AvStatus VideoEncoder::openScaler(int width, int height, AVPixelFormat pixelFormat) {
    // Every frame reaches the scaler as BGR: frames of 8 and 16 bits are
    // expanded first (expand), since libswscale rounds palette colours by one
    // on their way to planar RGB, and widens 5-bit channels without filling
    // the low bits (white would come out as 248 grey), unlike every player
    // showing the uncompressed frames.
    scaler_.reset(
        sws_getContext(width, height, AV_PIX_FMT_BGR24, width, height, pixelFormat,
                       SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP,
                       nullptr, nullptr, nullptr));
    if (!scaler_)
        return AVERROR(EINVAL);
    AVFrame* f = frame_.get();
    f->format = pixelFormat;
    f->width = width;
    f->height = height;
    return av_frame_get_buffer(f, 0);
}

// 8- and 16-bit frames as top-down BGR rows, as players show them.
const uint8_t* VideoEncoder::expand(const PixelBuffer& frame) {
    const std::array<uint32_t, 256>& palette = MoviePalette();
    const size_t rowBytes = size_t(frame.width()) * 3;
    expanded_.resize(rowBytes * size_t(frame.height()));
    for (int y = 0; y < frame.height(); ++y) {
        const uint8_t* in = frame.row(y);
        uint8_t* out = expanded_.data() + rowBytes * size_t(y);
        if (frame.format() == PixelFormat::Indexed8) {
            for (int x = 0; x < frame.width(); ++x, out += 3) {
                const uint32_t rgb = palette[in[x]];
                out[0] = uint8_t(rgb); // blue, green, red
                out[1] = uint8_t(rgb >> 8);
                out[2] = uint8_t(rgb >> 16);
            }
            continue;
        }
        for (int x = 0; x < frame.width(); ++x, out += 3) {
            const unsigned v = unsigned(in[2 * x]) | unsigned(in[2 * x + 1]) << 8;
            for (int c = 0; c < 3; ++c) {
                const unsigned five = (v >> (5 * c)) & 31; // blue, green, red
                out[c] = uint8_t(five << 3 | five >> 2);
            }
        }
    }
    return expanded_.data();
}

AvStatus VideoEncoder::encode(const PixelBuffer& frame, int64_t position, const PacketSink& sink) {
    AVCodecContext* c = context_.get();
    if (!c || frame.width() != c->width || frame.height() != c->height ||
        frame.format() != frameFormat_)
        return AVERROR(EINVAL);
    AVFrame* f = frame_.get();
    AvStatus status = av_frame_make_writable(f);
    if (!status.ok())
        return status;

    const uint8_t* src[4] = {frame.row(0), nullptr, nullptr, nullptr};
    int srcStride[4] = {int(frame.rowStep()), 0, 0, 0};
    if (frameFormat_ != PixelFormat::Bgr24) {
        src[0] = expand(frame);
        srcStride[0] = frame.width() * 3;
    }
    status = sws_scale(scaler_.get(), src, srcStride, 0, frame.height(), f->data, f->linesize);
    if (!status.ok())
        return status;

    f->pts = position;
    f->pict_type = AV_PICTURE_TYPE_I;
    f->key_frame = 1;
    if (qscaleLambda_ >= 0)
        f->quality = qscaleLambda_;
    status = avcodec_send_frame(c, f);
    if (!status.ok())
        return status;
    return drain(sink);
}

AvStatus VideoEncoder::flush(const PacketSink& sink) {
    const int ret = avcodec_send_frame(context_.get(), nullptr);
    if (ret < 0 && ret != AVERROR_EOF)
        return ret;
    return drain(sink);
}

AvStatus VideoEncoder::drain(const PacketSink& sink) {
    return ReceivePackets(context_.get(), packet_.get(), sink);
}
