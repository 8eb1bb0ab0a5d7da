#include "movie/SoundEncoder.h"

extern "C" {
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <algorithm>

namespace {

// The sample rate closest above (or else below) `wanted` that the encoder takes.
int ChooseRate(const AVCodec* codec, int wanted) {
    if (!codec->supported_samplerates)
        return wanted > 0 ? wanted : 48000;
    int best = 0;
    for (const int* r = codec->supported_samplerates; *r; ++r)
        if (*r == wanted || (*r > wanted && (best < wanted || *r < best)) ||
            (best<wanted&& * r> best))
            best = *r;
    return best;
}

} // namespace

SoundEncoder::SoundEncoder() = default;

SoundEncoder::~SoundEncoder() {
    swr_free(&resampler_);
    if (fifo_)
        av_audio_fifo_free(fifo_);
}

bool SoundEncoder::openDecoder(const std::string& path) {
    AVFormatContext* raw = nullptr;
    if (path.empty() || avformat_open_input(&raw, LocalFileUrl(path).c_str(), nullptr, nullptr) < 0)
        return false;
    source_.reset(raw);
    avformat_find_stream_info(source_.get(), nullptr); // best effort
    const AVCodec* codec = nullptr;
    sourceIndex_ = av_find_best_stream(source_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (sourceIndex_ < 0 || !codec)
        return false;
    for (unsigned i = 0; i < source_->nb_streams; ++i)
        if (int(i) != sourceIndex_)
            source_->streams[i]->discard = AVDISCARD_ALL;
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_ ||
        avcodec_parameters_to_context(decoder_.get(), source_->streams[sourceIndex_]->codecpar) < 0)
        return false;
    decoder_->pkt_timebase = source_->streams[sourceIndex_]->time_base;
    if (avcodec_open2(decoder_.get(), codec, nullptr) < 0)
        return false;
    if (decoder_->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int channels = decoder_->ch_layout.nb_channels;
        av_channel_layout_uninit(&decoder_->ch_layout);
        av_channel_layout_default(&decoder_->ch_layout, channels);
    }
    return decoder_->ch_layout.nb_channels > 0 && decoder_->sample_rate > 0;
}

bool SoundEncoder::openEncoder(const std::string& name, AVFormatContext* movie) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec || codec->type != AVMEDIA_TYPE_AUDIO || !codec->sample_fmts)
        return false;
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_)
        return false;
    AVCodecContext* c = encoder_.get();
    const int channels = std::min(decoder_->ch_layout.nb_channels, 2);
    av_channel_layout_default(&c->ch_layout, channels);
    c->sample_fmt = codec->sample_fmts[0];
    c->sample_rate = ChooseRate(codec, decoder_->sample_rate);
    c->time_base = AVRational{1, c->sample_rate};
    // Standard rates: AAC 128 kbit/s, Opus 96 kbit/s, for stereo; half for mono.
    c->bit_rate = (name == "aac" ? 64000 : 48000) * channels;
    if (movie->oformat->flags & AVFMT_GLOBALHEADER)
        c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(c, codec, nullptr) < 0)
        return false;
    if (swr_alloc_set_opts2(&resampler_, &c->ch_layout, c->sample_fmt, c->sample_rate,
                            &decoder_->ch_layout, decoder_->sample_fmt, decoder_->sample_rate, 0,
                            nullptr) < 0 ||
        swr_init(resampler_) < 0)
        return false;
    fifo_ = av_audio_fifo_alloc(c->sample_fmt, channels, 4096);
    AVStream* out = fifo_ ? avformat_new_stream(movie, nullptr) : nullptr;
    if (!out || avcodec_parameters_from_context(out->codecpar, c) < 0)
        return false;
    out->time_base = c->time_base;
    output_ = out;
    movie_ = movie;
    return true;
}

bool SoundEncoder::open(const std::string& path, const std::string& encoder,
                        AVFormatContext* movie) {
    packet_.reset(av_packet_alloc());
    decoded_.reset(av_frame_alloc());
    frame_.reset(av_frame_alloc());
    if (!movie || !packet_ || !decoded_ || !frame_ || !openDecoder(path) ||
        !openEncoder(encoder, movie)) {
        source_.reset();
        output_ = nullptr;
        return false;
    }
    return true;
}

bool SoundEncoder::decodeMore() {
    if (sourceDone_)
        return false;
    int ret = 0;
    do {
        ret = av_read_frame(source_.get(), packet_.get());
    } while (ret >= 0 && packet_->stream_index != sourceIndex_ &&
             (av_packet_unref(packet_.get()), true));
    // At the end (or on a read error) the decoder and the resampler give up
    // what they hold.
    const bool end = ret < 0;
    avcodec_send_packet(decoder_.get(), end ? nullptr : packet_.get());
    av_packet_unref(packet_.get());
    AvFramePtr converted(av_frame_alloc());
    while (converted && avcodec_receive_frame(decoder_.get(), decoded_.get()) >= 0) {
        av_frame_unref(converted.get());
        av_channel_layout_copy(&converted->ch_layout, &encoder_->ch_layout);
        converted->sample_rate = encoder_->sample_rate;
        converted->format = encoder_->sample_fmt;
        if (swr_convert_frame(resampler_, converted.get(), decoded_.get()) >= 0)
            av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted->data),
                                converted->nb_samples);
        av_frame_unref(decoded_.get());
    }
    if (end && converted) {
        av_frame_unref(converted.get());
        av_channel_layout_copy(&converted->ch_layout, &encoder_->ch_layout);
        converted->sample_rate = encoder_->sample_rate;
        converted->format = encoder_->sample_fmt;
        if (swr_convert_frame(resampler_, converted.get(), nullptr) >= 0 &&
            converted->nb_samples > 0)
            av_audio_fifo_write(fifo_, reinterpret_cast<void**>(converted->data),
                                converted->nb_samples);
        sourceDone_ = true;
    }
    return !end;
}

AvStatus SoundEncoder::encodeFifo(bool all) {
    AVCodecContext* c = encoder_.get();
    const int frameSize = c->frame_size > 0 ? c->frame_size : 1024;
    const bool shortLast =
        c->codec->capabilities & (AV_CODEC_CAP_SMALL_LAST_FRAME | AV_CODEC_CAP_VARIABLE_FRAME_SIZE);
    while (av_audio_fifo_size(fifo_) >= frameSize || (all && av_audio_fifo_size(fifo_) > 0)) {
        const int samples = std::min(av_audio_fifo_size(fifo_), frameSize);
        AVFrame* f = frame_.get();
        av_frame_unref(f);
        f->nb_samples = shortLast ? samples : frameSize;
        f->format = c->sample_fmt;
        f->sample_rate = c->sample_rate;
        av_channel_layout_copy(&f->ch_layout, &c->ch_layout);
        if (AvStatus s = av_frame_get_buffer(f, 0); !s.ok())
            return s;
        av_samples_set_silence(f->data, 0, f->nb_samples, c->ch_layout.nb_channels, c->sample_fmt);
        av_audio_fifo_read(fifo_, reinterpret_cast<void**>(f->data), samples);
        f->pts = nextPts_;
        nextPts_ += samples;
        if (AvStatus s = avcodec_send_frame(c, f); !s.ok())
            return s;
        if (AvStatus s = writePackets(); !s.ok())
            return s;
    }
    if (all && !flushed_) {
        flushed_ = true;
        avcodec_send_frame(c, nullptr);
        return writePackets();
    }
    return {};
}

AvStatus SoundEncoder::writePackets() {
    for (;;) {
        const int ret = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (ret == AVERROR(EAGAIN) || ret == AVERROR_EOF)
            return {};
        if (ret < 0)
            return ret;
        av_packet_rescale_ts(packet_.get(), encoder_->time_base, output_->time_base);
        packet_->stream_index = output_->index;
        writtenPts_ = packet_->pts;
        const int written = av_write_frame(movie_, packet_.get());
        av_packet_unref(packet_.get());
        if (written < 0)
            return written;
    }
}

AvStatus SoundEncoder::copyUntil(int64_t limit, AVRational base) {
    if (!isOpen())
        return AVERROR(EINVAL);
    while (failure_.ok() && !sourceDone_ &&
           av_compare_ts(nextPts_, encoder_->time_base, limit, base) < 0) {
        decodeMore();
        failure_ = encodeFifo(false);
    }
    return failure_;
}

AvStatus SoundEncoder::copyRest() {
    if (!isOpen())
        return AVERROR(EINVAL);
    while (failure_.ok() && decodeMore())
        failure_ = encodeFifo(false);
    if (failure_.ok())
        failure_ = encodeFifo(true);
    if (failure_.ok() && nextPts_ == 0)
        return AVERROR_INVALIDDATA; // the source delivered no samples
    return failure_;
}
