#include "movie/AudioTrack.h"

#include <cstdio>

#include <sys/stat.h>

namespace {
// Zero-byte packets in a row after which a source counts as stuck.
constexpr int MaxEmptyPackets = 10000;
} // namespace

bool AudioTrack::open(const std::string& path, AVFormatContext* movie) {
    if (path.empty() || !movie)
        return false;
    // Only a regular file: opening a pipe would wait for a writer forever,
    // and a device or folder holds no sound file.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, LocalFileUrl(path).c_str(), nullptr, nullptr) < 0)
        return false;
    AvInputContextPtr source(raw);
    avformat_find_stream_info(source.get(), nullptr); // best effort; WAV headers suffice

    int index = -1;
    for (unsigned i = 0; i < source->nb_streams; ++i) {
        if (index < 0 && source->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            index = int(i);
        else
            source->streams[i]->discard = AVDISCARD_ALL;
    }
    if (index < 0)
        return false;
    AVStream* in = source->streams[index];
    if (avformat_query_codec(movie->oformat, in->codecpar->codec_id, FF_COMPLIANCE_NORMAL) != 1)
        return false; // AVI has no tag for this sound's codec (Opus, for one)
    source_ = std::move(source);
    sourceIndex_ = index;
    pending_.reset(av_packet_alloc());
    // A sound that delivers no samples at all gives the movie no audio stream.
    if (!pending_ || !readPending()) {
        source_.reset();
        return false;
    }
    AVStream* out = avformat_new_stream(movie, nullptr);
    if (!out) {
        source_.reset();
        return false;
    }
    int ret = avcodec_parameters_copy(out->codecpar, in->codecpar);
    if (ret < 0) {
        // The stream cannot be taken back out of the movie; leave it without
        // parameters and let the header refuse it rather than write garbage.
        std::fprintf(stderr, "vistrom: audio: %s\n", AvErrorText(ret).c_str());
        source_.reset();
        return false;
    }
    out->codecpar->codec_tag = 0;
    out->time_base = in->time_base;
    output_ = out;
    movie_ = movie;
    return true;
}

void AudioTrack::close() {
    pending_.reset();
    source_.reset();
    sourceIndex_ = -1;
    output_ = nullptr;
    movie_ = nullptr;
    havePending_ = atEnd_ = false;
    failure_ = {};
    bytesCopied_ = 0;
}

bool AudioTrack::readPending() {
    if (havePending_)
        return true;
    if (atEnd_ || !failure_.ok())
        return false;
    int empties = 0;
    for (;;) {
        int ret = av_read_frame(source_.get(), pending_.get());
        if (ret == AVERROR_EOF) {
            atEnd_ = true;
            return false;
        }
        if (ret < 0) {
            std::fprintf(stderr, "vistrom: audio read: %s\n", AvErrorText(ret).c_str());
            failure_ = ret;
            return false;
        }
        if (pending_->stream_index != sourceIndex_ || pending_->size <= 0) {
            av_packet_unref(pending_.get());
            if (++empties > MaxEmptyPackets) {
                failure_ = AVERROR_INVALIDDATA; // a source that never delivers samples
                return false;
            }
            continue;
        }
        havePending_ = true;
        return true;
    }
}

AvStatus AudioTrack::writePending() {
    const int size = pending_->size;
    av_packet_rescale_ts(pending_.get(), source_->streams[sourceIndex_]->time_base,
                         output_->time_base);
    pending_->stream_index = output_->index;
    pending_->pos = -1;
    int ret = av_write_frame(movie_, pending_.get());
    av_packet_unref(pending_.get());
    havePending_ = false;
    if (ret < 0) {
        std::fprintf(stderr, "vistrom: audio write: %s\n", AvErrorText(ret).c_str());
        failure_ = ret;
        return failure_;
    }
    bytesCopied_ += size;
    return {};
}

AvStatus AudioTrack::copyUntil(int64_t limit, AVRational base) {
    if (!isOpen())
        return AVERROR(EINVAL);
    while (readPending()) {
        int64_t start = pending_->dts != AV_NOPTS_VALUE ? pending_->dts : pending_->pts;
        if (start != AV_NOPTS_VALUE &&
            av_compare_ts(start, source_->streams[sourceIndex_]->time_base, limit, base) >= 0)
            return {};
        if (const AvStatus written = writePending(); !written.ok())
            return written;
    }
    return failure_;
}

AvStatus AudioTrack::copyRest() {
    if (!isOpen())
        return AVERROR(EINVAL);
    while (readPending())
        if (const AvStatus written = writePending(); !written.ok())
            return written;
    if (failure_.ok() && bytesCopied_ == 0)
        return AVERROR_INVALIDDATA;
    return failure_;
}
