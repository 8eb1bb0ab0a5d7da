#include "movie/VideoEncoder.h"

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

AVPixelFormat DibPixelFormat(int bitCount) {
    switch (bitCount) {
    case 8:
        return AV_PIX_FMT_PAL8;
    case 16:
        return AV_PIX_FMT_RGB555LE;
    default:
        return AV_PIX_FMT_BGR24;
    }
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
    // Frames carry no alpha: formats with an alpha plane only waste space
    // (and UtVideo's RGBA variant does not read back here).
    std::vector<AVPixelFormat> usable;
    for (const AVPixelFormat* f = codec->pix_fmts; *f != AV_PIX_FMT_NONE; ++f) {
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

} // namespace

std::unique_ptr<VideoEncoder> VideoEncoder::Open(const std::string& name, int quality, int width,
                                                 int height, unsigned fps, int bitCount,
                                                 int* error) {
    int dummy = 0;
    int& err = error ? *error : dummy;
    err = AVERROR_ENCODER_NOT_FOUND;
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_VIDEO || width <= 0 || height <= 0 || fps == 0)
        return nullptr;
    AVPixelFormat pixelFormat = ChoosePixelFormat(codec, name, width, height);
    err = AVERROR(EINVAL);
    if (pixelFormat == AV_PIX_FMT_NONE)
        return nullptr;

    std::unique_ptr<VideoEncoder> encoder(new VideoEncoder);
    err = AVERROR(ENOMEM);
    encoder->context_.reset(avcodec_alloc_context3(codec));
    encoder->frame_.reset(av_frame_alloc());
    encoder->packet_.reset(av_packet_alloc());
    if (!encoder->context_ || !encoder->frame_ || !encoder->packet_)
        return nullptr;

    AVCodecContext* c = encoder->context_.get();
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

    const bool qscaleCodec = Is(name, "mjpeg") || Is(name, "mpeg4");
    if (qscaleCodec) {
        // Quality 1..100 onto qscale 31..2; without a choice a good default (3).
        int q = quality >= 1 ? 2 + (100 - std::min(quality, 100)) * 29 / 99 : 3;
        c->flags |= AV_CODEC_FLAG_QSCALE;
        c->global_quality = FF_QP2LAMBDA * q;
        encoder->qscaleLambda_ = c->global_quality;
    } else if (Is(name, "libx264") && quality >= 1) {
        // Quality 1..100 onto CRF 51..1 (CRF 0 would switch to a lossless profile).
        double crf = 1.0 + (100 - std::min(quality, 100)) * 50.0 / 99.0;
        av_opt_set_double(c->priv_data, "crf", crf, 0);
    }

    err = avcodec_open2(c, codec, nullptr);
    if (err < 0)
        return nullptr;

    encoder->sourceFormat_ = DibPixelFormat(bitCount);
    // Frames of 8 and 16 bits are turned into BGR here and scaled from
    // that: libswscale rounds palette colours by one on their way to planar
    // RGB, and widens 5-bit channels without filling the low bits (white
    // would come out as 248 grey), unlike every player showing the
    // uncompressed frames.
    const AVPixelFormat scalerSource = bitCount == 24 ? encoder->sourceFormat_ : AV_PIX_FMT_BGR24;
    encoder->scaler_.reset(
        sws_getContext(width, height, scalerSource, width, height, pixelFormat,
                       SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP,
                       nullptr, nullptr, nullptr));
    err = AVERROR(EINVAL);
    if (!encoder->scaler_)
        return nullptr;

    AVFrame* f = encoder->frame_.get();
    f->format = pixelFormat;
    f->width = width;
    f->height = height;
    err = av_frame_get_buffer(f, 0);
    if (err < 0)
        return nullptr;
    err = 0;
    return encoder;
}

int VideoEncoder::encode(const PackedDib& dib, int64_t position, const PacketSink& sink) {
    AVCodecContext* c = context_.get();
    if (dib.width != c->width || dib.height != c->height ||
        DibPixelFormat(dib.bitCount) != sourceFormat_)
        return AVERROR(EINVAL);
    AVFrame* f = frame_.get();
    int ret = av_frame_make_writable(f);
    if (ret < 0)
        return ret;

    // The DIB is bottom-up: start at its last row and walk backwards.
    const int stride = int(dib.stride());
    const uint8_t* src[4] = {dib.pixels() + size_t(dib.height - 1) * size_t(stride), nullptr,
                             nullptr, nullptr};
    int srcStride[4] = {-stride, 0, 0, 0};
    if (sourceFormat_ != AV_PIX_FMT_BGR24) {
        const uint8_t* table = dib.colourTable();
        const size_t rowBytes = size_t(dib.width) * 3;
        expanded_.resize(rowBytes * size_t(dib.height));
        for (int y = 0; y < dib.height; ++y) {
            const uint8_t* in = dib.topDownRow(y);
            uint8_t* out = expanded_.data() + rowBytes * size_t(y);
            if (dib.bitCount == 8) {
                for (int x = 0; x < dib.width; ++x, out += 3)
                    std::memcpy(out, table + 4 * in[x], 3); // blue, green, red
                continue;
            }
            for (int x = 0; x < dib.width; ++x, out += 3) {
                const unsigned v = unsigned(in[2 * x]) | unsigned(in[2 * x + 1]) << 8;
                for (int c = 0; c < 3; ++c) {
                    const unsigned five = (v >> (5 * c)) & 31; // blue, green, red
                    out[c] = uint8_t(five << 3 | five >> 2);
                }
            }
        }
        src[0] = expanded_.data();
        srcStride[0] = int(rowBytes);
    }
    ret = sws_scale(scaler_.get(), src, srcStride, 0, dib.height, f->data, f->linesize);
    if (ret < 0)
        return ret;

    f->pts = position;
    f->pict_type = AV_PICTURE_TYPE_I;
    f->key_frame = 1;
    if (qscaleLambda_ >= 0)
        f->quality = qscaleLambda_;
    ret = avcodec_send_frame(c, f);
    if (ret < 0)
        return ret;
    return drain(sink);
}

int VideoEncoder::flush(const PacketSink& sink) {
    int ret = avcodec_send_frame(context_.get(), nullptr);
    if (ret < 0 && ret != AVERROR_EOF)
        return ret;
    return drain(sink);
}

int VideoEncoder::drain(const PacketSink& sink) {
    for (;;) {
        int ret = avcodec_receive_packet(context_.get(), packet_.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return 0;
        if (ret < 0)
            return ret;
        ret = sink(packet_.get());
        av_packet_unref(packet_.get());
        if (ret < 0)
            return ret;
    }
}
