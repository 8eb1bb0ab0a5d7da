#include "movie/AviOutput.h"

#include "imaging/MoviePalette.h"

extern "C" {
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include <sys/stat.h>

namespace {

// The AVI muxer fills at most this many skipped positions itself.
constexpr int64_t MaxMuxerGap = 60000;

// The main header flag that makes readers trust the chunk type for key frames.
constexpr uint32_t AvifTrustCkType = 0x800;

// A failed step, on standard error; answers the status.
AvStatus Reported(const char* what, AvStatus status) {
    std::fprintf(stderr, "vistrom: %s: %s\n", what, status.text().c_str());
    return status;
}

uint32_t Le32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(std::FILE* f, long at, uint32_t value) {
    const unsigned char bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16),
                                    uint8_t(value >> 24)};
    if (std::fseek(f, at, SEEK_SET) == 0)
        std::fwrite(bytes, 1, 4, f);
}

// Where the header fields to mend lie: offsets of the chunks' data.
struct HeaderChunks {
    long avih = -1;
    std::vector<long> strh;
    long videoStrf = -1; // the first video stream's BITMAPINFOHEADER
};

// Walks RIFF/hdrl/strl in the first bytes of the file.
HeaderChunks FindHeaderChunks(const unsigned char* head, long size) {
    HeaderChunks found;
    long at = 12, end = size;
    bool video = false;
    while (size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && at + 8 <= end) {
        const long length = long(Le32(head + at + 4));
        const unsigned char* id = head + at;
        if (std::memcmp(id, "LIST", 4) == 0 && at + 12 <= end &&
            (std::memcmp(id + 8, "hdrl", 4) == 0 || std::memcmp(id + 8, "strl", 4) == 0)) {
            end = std::min(end, at + 8 + length);
            at += 12; // descend
            continue;
        }
        if (std::memcmp(id, "avih", 4) == 0 && length >= 56 && at + 8 + 56 <= size)
            found.avih = at + 8;
        if (std::memcmp(id, "strh", 4) == 0 && length >= 40 && at + 8 + 40 <= size) {
            video = std::memcmp(id + 8, "vids", 4) == 0;
            found.strh.push_back(at + 8);
        }
        if (std::memcmp(id, "strf", 4) == 0 && video && found.videoStrf < 0 && length >= 40 &&
            at + 8 + 40 <= size)
            found.videoStrf = at + 8;
        at += 8 + length + (length & 1);
    }
    return found;
}

// Mends what the muxer leaves for Video for Windows readers, once the file is
// complete:
//  - the main header's AVIF_TRUSTCKTYPE goes: with it, such readers take the
//    "dc" chunk type as "not a key frame" and ignore the index's key flags,
//    so that seeking shows the first picture everywhere;
//  - the main header's dwSuggestedBufferSize (a fixed 1 MiB) becomes the
//    largest chunk, the largest of the streams' values;
//  - biSizeImage of uncompressed frames (rawImageSize, 0 for compressed ones)
//    is the frame DIB's stride x height, which the muxer writes unpadded.
void MendHeaders(const std::string& path, uint32_t rawImageSize) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return; // a pipe or device has no header to go back to
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f)
        return;
    static thread_local unsigned char head[65536];
    const long size = long(std::fread(head, 1, sizeof head, f));
    const HeaderChunks chunks = FindHeaderChunks(head, size);
    if (chunks.avih >= 0) {
        PutLe32(f, chunks.avih + 12, Le32(head + chunks.avih + 12) & ~uint32_t(AvifTrustCkType));
        uint32_t largest = 0;
        for (long strh : chunks.strh)
            largest = std::max(largest, Le32(head + strh + 36));
        if (largest > 0)
            PutLe32(f, chunks.avih + 28, largest);
    }
    if (rawImageSize && chunks.videoStrf >= 0 && Le32(head + chunks.videoStrf + 16) == 0) // BI_RGB
        PutLe32(f, chunks.videoStrf + 20, rawImageSize);
    std::fclose(f);
}

} // namespace

AviOutput::AviOutput(unsigned width, unsigned height, PixelFormat frameFormat, unsigned fps)
    : width_(width), height_(height), frameFormat_(frameFormat), fps_(fps) {}

AviOutput::~AviOutput() {
    if (isOpen())
        (void)close();
}

AvStatus AviOutput::openFile(const std::string& path) {
    AVFormatContext* raw = nullptr;
    const std::string url = LocalFileUrl(path);
    const int ret = avformat_alloc_output_context2(&raw, nullptr, "avi", url.c_str());
    if (ret < 0 || !raw)
        return Reported("cannot set up the AVI muxer", ret < 0 ? ret : AVERROR(ENOMEM));
    AvOutputContextPtr output(raw);
    if (const AvStatus opened = avio_open(&output->pb, url.c_str(), AVIO_FLAG_WRITE); !opened.ok())
        return Reported(path.c_str(), opened);
    output_ = std::move(output);
    path_ = path;
    return {};
}

AvStatus AviOutput::createVideoStream() {
    if (!isOpen() || video_ || fps_ == 0 || fps_ > 0x7fffffffu)
        return AVERROR(EINVAL);
    return addVideoStream();
}

AvStatus AviOutput::addVideoStream() {
    AVStream* st = avformat_new_stream(output_.get(), nullptr);
    if (!st)
        return AVERROR(ENOMEM);
    AVCodecParameters* par = st->codecpar;
    par->codec_type = AVMEDIA_TYPE_VIDEO;
    par->codec_id = AV_CODEC_ID_RAWVIDEO;
    par->codec_tag = 0;
    par->format = AvPixelFormat(frameFormat_);
    par->bits_per_coded_sample = PixelBits(frameFormat_);
    par->width = int(width_);
    par->height = int(height_);
    if (frameFormat_ == PixelFormat::Indexed8) {
        // One colour table for the whole movie, stored in strf after the
        // header (40 + 1024 bytes) as B, G, R, 0 entries.
        const int size = 1024;
        par->extradata = static_cast<uint8_t*>(av_mallocz(size + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata)
            return AVERROR(ENOMEM);
        uint8_t* entry = par->extradata;
        for (uint32_t rgb : MoviePalette()) {
            entry[0] = uint8_t(rgb);
            entry[1] = uint8_t(rgb >> 8);
            entry[2] = uint8_t(rgb >> 16);
            entry += 4;
        }
        par->extradata_size = size;
    }
    st->time_base = AVRational{1, int(fps_)};
    st->avg_frame_rate = AVRational{int(fps_), 1};
    st->r_frame_rate = st->avg_frame_rate;
    video_ = st;
    return {};
}

AvStatus AviOutput::openCompressor(const CompressionChoice& choice) {
    if (!video_ || headerWritten_)
        return AVERROR(EINVAL);
    if (choice.encoder.empty())
        return {};
    const AvStatus opened = encoder_.open(choice, int(width_), int(height_), fps_, frameFormat_);
    if (!opened.ok())
        return Reported(choice.encoder.c_str(), opened);
    // An encoder that names its FourCC (UtVideo: ULRG, ULY0, ...) keeps it;
    // otherwise the muxer picks the codec's usual one.
    const AvStatus described =
        avcodec_parameters_from_context(video_->codecpar, encoder_.context());
    if (!described.ok())
        encoder_ = VideoEncoder();
    return described;
}

bool AviOutput::addAudio(const std::string& path) {
    if (!isOpen() || headerWritten_ || audioTried_ || path.empty())
        return false;
    audioTried_ = true;
    return audio_.open(path, output_.get());
}

AvStatus AviOutput::writeHeader() {
    if (!isOpen() || headerWritten_)
        return AVERROR(EINVAL);
    auto write = [this] {
        AVDictionary* options = nullptr;
        // Positive biHeight: packets are the frames' bottom-up rows as they are.
        av_dict_set(&options, "flipped_raw_rgb", "1", 0);
        const AvStatus written = avformat_write_header(output_.get(), &options);
        av_dict_free(&options);
        return written;
    };
    AvStatus status = write();
    if (!status.ok() && audio_.isOpen()) {
        // The sound's codec cannot go into this file after all: start the
        // file again without it rather than lose the movie.
        (void)Reported("cannot write the AVI header with the sound", status);
        status = restartWithoutAudio();
        if (status.ok())
            status = write();
    }
    if (!status.ok())
        return Reported("cannot write the AVI header", status);
    headerWritten_ = true;
    return {};
}

AvStatus AviOutput::restartWithoutAudio() {
    audio_.close();
    video_ = nullptr;
    output_.reset();
    AvStatus status = openFile(path_);
    if (status.ok())
        status = addVideoStream();
    if (status.ok() && encoder_.isOpen())
        status = avcodec_parameters_from_context(video_->codecpar, encoder_.context());
    return status;
}

AvStatus AviOutput::writeEmptyPacket(int64_t position) {
    AvPacketPtr empty(av_packet_alloc());
    if (!empty)
        return AVERROR(ENOMEM);
    empty->stream_index = video_->index;
    empty->pts = empty->dts = av_rescale_q(position, AVRational{1, int(fps_)}, video_->time_base);
    empty->duration = av_rescale_q(1, AVRational{1, int(fps_)}, video_->time_base);
    const AvStatus written = av_write_frame(output_.get(), empty.get());
    if (written.ok())
        nextPosition_ = position + 1;
    return written;
}

AvStatus AviOutput::writeVideoPacket(AVPacket* packet) {
    const int64_t position = packet->pts;
    if (position == AV_NOPTS_VALUE || position < nextPosition_)
        return AVERROR(EINVAL);
    // Sound that starts before this frame goes first, so the file interleaves.
    if (audio_.isOpen())
        (void)audio_.copyUntil(position, AVRational{1, int(fps_)});

    AvStatus status;
    // Without a packet at 0 the muxer would move the first frame there.
    if (!anyVideoPacket_ && position > 0 && !(status = writeEmptyPacket(0)).ok())
        return status;
    anyVideoPacket_ = true;
    // The muxer holds the frame before over gaps of up to MaxMuxerGap
    // positions; longer ones are bridged with empty packets of our own.
    while (position - nextPosition_ > MaxMuxerGap)
        if (!(status = writeEmptyPacket(nextPosition_ + MaxMuxerGap)).ok())
            return status;

    packet->stream_index = video_->index;
    packet->dts = packet->pts;
    packet->duration = 1;
    av_packet_rescale_ts(packet, AVRational{1, int(fps_)}, video_->time_base);
    if (!(status = av_write_frame(output_.get(), packet)).ok())
        return status;
    nextPosition_ = position + 1;
    return {};
}

AvStatus AviOutput::writeFrame(long position, const PixelBuffer& frame) {
    if (!headerWritten_ || videoFinished_)
        return AVERROR(EINVAL);
    if (position < 0 || position <= lastSubmitted_ || frame.width() != int(width_) ||
        frame.height() != int(height_) || frame.format() != frameFormat_ ||
        frame.rowOrder() != RowOrder::BottomUp)
        return AVERROR(EINVAL);
    lastSubmitted_ = position;
    AvStatus status;
    if (encoder_.isOpen()) {
        status = encoder_.encode(frame, position,
                                 [this](AVPacket* packet) { return writeVideoPacket(packet); });
    } else {
        AvPacketPtr packet(av_packet_alloc());
        if (!packet)
            return AVERROR(ENOMEM);
        // Exactly stride x height bytes: the muxer stores them unchanged.
        packet->data = const_cast<uint8_t*>(frame.data());
        packet->size = int(frame.byteSize());
        packet->pts = position;
        packet->flags = AV_PKT_FLAG_KEY;
        status = writeVideoPacket(packet.get());
    }
    if (!status.ok())
        (void)Reported("cannot write a video frame", status);
    return status;
}

AvStatus AviOutput::finishVideo() {
    if (!headerWritten_ || videoFinished_)
        return {};
    videoFinished_ = true;
    if (!encoder_.isOpen())
        return {};
    const AvStatus flushed =
        encoder_.flush([this](AVPacket* packet) { return writeVideoPacket(packet); });
    if (!flushed.ok())
        (void)Reported("cannot finish the compressed frames", flushed);
    return flushed;
}

AvStatus AviOutput::mergeAudio() {
    if (!headerWritten_ || !audio_.isOpen())
        return AVERROR(EINVAL);
    return audio_.copyRest();
}

AvStatus AviOutput::close() {
    if (!isOpen())
        return AVERROR(EINVAL);
    AvStatus status;
    if (!headerWritten_)
        status = writeHeader();
    if (headerWritten_) {
        (void)finishVideo();
        if (const AvStatus trailer = av_write_trailer(output_.get()); !trailer.ok())
            status = Reported("cannot finish the AVI file", trailer);
    }
    if (const AvStatus closed = avio_closep(&output_->pb); !closed.ok() && status.ok())
        status = Reported("cannot close the AVI file", closed);
    output_.reset();
    if (status.ok() && headerWritten_ && video_)
        MendHeaders(path_,
                    encoder_.isOpen()
                        ? 0
                        : uint32_t(PixelBuffer::strideFor(int(width_), frameFormat_) * height_));
    return status;
}
