#include "movie/AviMovieWriter.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

namespace {

// The AVI muxer fills at most this many skipped positions itself.
constexpr int64_t MaxMuxerGap = 60000;

void Report(const char* what, int error) {
    std::fprintf(stderr, "vistrom: %s: %s\n", what, AvErrorText(error).c_str());
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The muxer writes biSizeImage of uncompressed frames without the row
// padding; the stream format is the frame DIB's header, so it gets the
// DIB's value (stride x height) back. Walks RIFF/hdrl/strl to the first
// video strf.
void PatchRawImageSize(const std::string& path, uint32_t imageSize) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return; // a pipe or device has no header to go back to
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f)
        return;
    unsigned char head[65536];
    const long size = long(std::fread(head, 1, sizeof head, f));
    long at = 12, end = size;
    bool video = false;
    while (size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && at + 8 <= end) {
        const long length = long(Le32(head + at + 4));
        if (std::memcmp(head + at, "LIST", 4) == 0 && at + 12 <= end &&
            (std::memcmp(head + at + 8, "hdrl", 4) == 0 ||
             std::memcmp(head + at + 8, "strl", 4) == 0)) {
            end = std::min(end, at + 8 + length);
            at += 12; // descend
            continue;
        }
        if (std::memcmp(head + at, "strh", 4) == 0 && at + 12 <= size)
            video = std::memcmp(head + at + 8, "vids", 4) == 0;
        if (std::memcmp(head + at, "strf", 4) == 0 && video && length >= 40 &&
            at + 8 + 40 <= size) {
            if (Le32(head + at + 8 + 16) == 0) { // BI_RGB
                const unsigned char value[4] = {uint8_t(imageSize), uint8_t(imageSize >> 8),
                                                uint8_t(imageSize >> 16), uint8_t(imageSize >> 24)};
                if (std::fseek(f, at + 8 + 20, SEEK_SET) == 0)
                    std::fwrite(value, 1, 4, f);
            }
            break;
        }
        at += 8 + length + (length & 1);
    }
    std::fclose(f);
}

} // namespace

AviMovieWriter::AviMovieWriter(unsigned width, unsigned height, int bitCount, unsigned fps)
    : width_(width), height_(height), bitCount_(bitCount), fps_(fps) {}

AviMovieWriter::~AviMovieWriter() {
    if (isOpen())
        close();
}

int AviMovieWriter::openFile(const std::string& path) {
    AVFormatContext* raw = nullptr;
    const std::string url = LocalFileUrl(path);
    int ret = avformat_alloc_output_context2(&raw, nullptr, "avi", url.c_str());
    if (ret < 0 || !raw) {
        Report("cannot set up the AVI muxer", ret);
        return ret < 0 ? ret : AVERROR(ENOMEM);
    }
    AvOutputContextPtr output(raw);
    ret = avio_open(&output->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (ret < 0) {
        Report(path.c_str(), ret);
        return ret;
    }
    output_ = std::move(output);
    path_ = path;
    return 0;
}

int AviMovieWriter::createVideoStream(const PackedDib& format) {
    if (!isOpen() || video_)
        return AVERROR(EINVAL);
    if (fps_ == 0 || fps_ > 0x7fffffffu || format.width != int(width_) ||
        format.height != int(height_) || format.bitCount != bitCount_)
        return AVERROR(EINVAL);
    if (format.bitCount == 8) // one colour table for the whole movie
        palette_.assign(format.colourTable(), format.colourTable() + 1024);
    return addVideoStream();
}

int AviMovieWriter::addVideoStream() {
    AVStream* st = avformat_new_stream(output_.get(), nullptr);
    if (!st)
        return AVERROR(ENOMEM);
    AVCodecParameters* par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_RAWVIDEO;
    par->codec_tag = 0;
    par->format = DibPixelFormat(bitCount_);
    par->bits_per_coded_sample = bitCount_;
    par->width = int(width_);
    par->height = int(height_);
    if (!palette_.empty()) {
        // Stored in strf after the header: 40 + 1024 bytes.
        const int size = int(palette_.size());
        par->extradata = static_cast<uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata)
            return AVERROR(ENOMEM);
        std::memcpy(par->extradata, palette_.data(), size_t(size));
        par->extradata_size = size;
    }
    st->time_base = AVRational{1, int(fps_)};
    st->avg_frame_rate = AVRational{int(fps_), 1};
    st->r_frame_rate = st->avg_frame_rate;
    video_ = st;
    return 0;
}

int AviMovieWriter::openCompressor(const CompressionChoice& choice) {
    if (!video_ || headerWritten_)
        return AVERROR(EINVAL);
    if (choice.encoder.empty())
        return 0;
    int error = 0;
    encoder_ = VideoEncoder::Open(choice.encoder, choice.quality, int(width_), int(height_), fps_,
                                  bitCount_, &error);
    if (!encoder_) {
        Report(choice.encoder.c_str(), error);
        return error < 0 ? error : AVERROR(EINVAL);
    }
    int ret = avcodec_parameters_from_context(video_->codecpar, encoder_->context());
    if (ret < 0) {
        encoder_.reset();
        return ret;
    }
    // An encoder that names its FourCC (UtVideo: ULRG, ULY0, ...) keeps it;
    // otherwise the muxer picks the codec's usual one.
    return 0;
}

bool AviMovieWriter::addAudio(const std::string& path) {
    if (!isOpen() || headerWritten_ || audioTried_ || path.empty())
        return false;
    audioTried_ = true;
    return audio_.open(path, output_.get());
}

int AviMovieWriter::writeHeader() {
    if (!isOpen() || headerWritten_)
        return AVERROR(EINVAL);
    AVDictionary* options = nullptr;
    // Positive biHeight: packets are the DIB's bottom-up rows as they are.
    av_dict_set(&options, "flipped_raw_rgb", "1", 0);
    int ret = avformat_write_header(output_.get(), &options);
    av_dict_free(&options);
    if (ret < 0 && audio_.isOpen()) {
        // The sound's codec cannot go into this file after all: start the
        // file again without it rather than lose the movie.
        Report("cannot write the AVI header with the sound", ret);
        ret = restartWithoutAudio();
        if (ret >= 0) {
            av_dict_set(&options, "flipped_raw_rgb", "1", 0);
            ret = avformat_write_header(output_.get(), &options);
            av_dict_free(&options);
        }
    }
    if (ret < 0) {
        Report("cannot write the AVI header", ret);
        return ret;
    }
    headerWritten_ = true;
    return 0;
}

int AviMovieWriter::restartWithoutAudio() {
    audio_.close();
    video_ = nullptr;
    output_.reset();
    int ret = openFile(path_);
    if (ret >= 0)
        ret = addVideoStream();
    if (ret >= 0 && encoder_)
        ret = avcodec_parameters_from_context(video_->codecpar, encoder_->context());
    return ret;
}

int AviMovieWriter::writeEmptyPacket(int64_t position) {
    AvPacketPtr empty(av_packet_alloc());
    if (!empty)
        return AVERROR(ENOMEM);
    empty->stream_index = video_->index;
    empty->pts = empty->dts = av_rescale_q(position, AVRational{1, int(fps_)}, video_->time_base);
    empty->duration = av_rescale_q(1, AVRational{1, int(fps_)}, video_->time_base);
    int ret = av_write_frame(output_.get(), empty.get());
    if (ret >= 0)
        nextPosition_ = position + 1;
    return ret;
}

int AviMovieWriter::writeVideoPacket(AVPacket* packet) {
    const int64_t position = packet->pts;
    if (position == AV_NOPTS_VALUE || position < nextPosition_)
        return AVERROR(EINVAL);
    // Sound that starts before this frame goes first, so the file interleaves.
    if (audio_.isOpen())
        audio_.copyUntil(position, AVRational{1, int(fps_)});

    int ret = 0;
    // Without a packet at 0 the muxer would move the first frame there.
    if (!anyVideoPacket_ && position > 0 && (ret = writeEmptyPacket(0)) < 0)
        return ret;
    anyVideoPacket_ = true;
    // The muxer holds the frame before over gaps of up to MaxMuxerGap
    // positions; longer ones are bridged with empty packets of our own.
    while (position - nextPosition_ > MaxMuxerGap)
        if ((ret = writeEmptyPacket(nextPosition_ + MaxMuxerGap)) < 0)
            return ret;

    packet->stream_index = video_->index;
    packet->dts = packet->pts;
    packet->duration = 1;
    av_packet_rescale_ts(packet, AVRational{1, int(fps_)}, video_->time_base);
    ret = av_write_frame(output_.get(), packet);
    if (ret < 0)
        return ret;
    nextPosition_ = position + 1;
    ++framesWritten_;
    return 0;
}

int AviMovieWriter::writeFrame(long position, const PackedDib& dib) {
    if (!headerWritten_ || videoFinished_)
        return AVERROR(EINVAL);
    if (position < 0 || position <= lastSubmitted_ || dib.width != int(width_) ||
        dib.height != int(height_) || dib.bitCount != bitCount_)
        return AVERROR(EINVAL);
    lastSubmitted_ = position;
    int ret = 0;
    if (encoder_) {
        ret = encoder_->encode(dib, position,
                               [this](AVPacket* packet) { return writeVideoPacket(packet); });
    } else {
        AvPacketPtr packet(av_packet_alloc());
        if (!packet)
            return AVERROR(ENOMEM);
        // Exactly stride x height bytes: the muxer stores them unchanged.
        packet->data = const_cast<uint8_t*>(dib.pixels());
        packet->size = int(dib.imageSize());
        packet->pts = position;
        packet->flags = AV_PKT_FLAG_KEY;
        ret = writeVideoPacket(packet.get());
    }
    if (ret < 0)
        Report("cannot write a video frame", ret);
    return ret;
}

int AviMovieWriter::writeFrame(long position, const Surface& surface) {
    std::unique_ptr<PackedDib> dib = BitmapToPackedDib(surface, bitCount_);
    if (!dib)
        return AVERROR(ENOMEM);
    return writeFrame(position, *dib);
}

int AviMovieWriter::finishVideo() {
    if (!headerWritten_ || videoFinished_)
        return 0;
    videoFinished_ = true;
    if (!encoder_)
        return 0;
    int ret = encoder_->flush([this](AVPacket* packet) { return writeVideoPacket(packet); });
    if (ret < 0)
        Report("cannot finish the compressed frames", ret);
    return ret;
}

int AviMovieWriter::mergeAudio() {
    if (!headerWritten_ || !audio_.isOpen())
        return -1;
    return MergeAudioTrack(audio_);
}

int AviMovieWriter::close() {
    if (!isOpen())
        return AVERROR(EINVAL);
    int ret = 0;
    if (!headerWritten_)
        ret = writeHeader();
    if (headerWritten_) {
        finishVideo();
        int trailer = av_write_trailer(output_.get());
        if (trailer < 0) {
            Report("cannot finish the AVI file", trailer);
            ret = trailer;
        }
    }
    int closed = avio_closep(&output_->pb);
    if (closed < 0 && ret >= 0) {
        Report("cannot close the AVI file", closed);
        ret = closed;
    }
    output_.reset();
    if (ret >= 0 && headerWritten_ && video_ && !encoder_)
        PatchRawImageSize(path_, DibStride(int(width_), bitCount_) * height_);
    return ret;
}
