#include "movie/ContainerWriter.h"

#include "movie/AudioTrack.h"
#include "movie/ContainerEncoder.h"
#include "movie/Containers.h"
#include "movie/GifPalette.h"
#include "movie/SoundEncoder.h"

extern "C" {
#include <libavutil/opt.h>
}

#include <QCoreApplication>
#include <QString>

#include <cstring>
#include <map>
#include <optional>

namespace {

struct Texts {
    Q_DECLARE_TR_FUNCTIONS(ContainerWriter)
};

MovieMessage Message(const QString& text) {
    return {text.toStdString(), "Vistrom"};
}

// The file, its video stream with its encoder (and, for GIF, the palette),
// and the sound, copied or encoded. A picture is encoded once the next one
// (or the end) tells how long it lasts.
class ContainerOutput {
public:
    ContainerOutput(const MovieDescription& movie, MovieContainer container)
        : movie_(movie), container_(container) {}

    bool fileCreated() const { return output_ && output_->pb; }
    AvStatus open(const CodecInfo& codec, int quality);
    // False when the sound is left out.
    bool addSound(const std::string& path);
    AvStatus writeHeader();
    // A new picture from its position on; the picture before ends there.
    AvStatus picture(const PixelBuffer& pixels, int64_t position);
    // The same, already in the encoder's pixel format.
    AvStatus picture(const AVFrame& encoded, int64_t position);
    // Ends the last picture at `end` and closes the file.
    AvStatus finish(int64_t end);

private:
    AvStatus send(int64_t duration);
    AvStatus writeVideo(AVPacket* packet);
    void soundUntil(int64_t limit, AVRational base);

    const MovieDescription& movie_;
    MovieContainer container_;
    AvOutputContextPtr output_;
    AVStream* video_ = nullptr;
    ContainerEncoder encoder_;
    std::optional<GifPalette> palette_;
    std::map<int64_t, int64_t> paletteDurations_; // by pts, of the frames in the palette
    AvFramePtr pending_;                          // the picture whose length is not known yet
    AudioTrack audio_;
    SoundEncoder encodedSound_;
    bool soundFailed_ = false;
    bool headerWritten_ = false;
};

AvStatus ContainerOutput::open(const CodecInfo& codec, int quality) {
    AVFormatContext* raw = nullptr;
    const std::string url = LocalFileUrl(movie_.outputPath);
    AvStatus status =
        avformat_alloc_output_context2(&raw, nullptr, ContainerMuxer(container_), url.c_str());
    if (!status.ok())
        return status;
    output_.reset(raw);
    status = avio_open(&output_->pb, url.c_str(), AVIO_FLAG_WRITE);
    if (!status.ok())
        return status;
    const bool globalHeader = output_->oformat->flags & AVFMT_GLOBALHEADER;
    status = encoder_.open({codec.name, codec.hasQuality ? quality : -1}, int(movie_.width),
                           int(movie_.height), movie_.fps, globalHeader);
    if (status.ok() && container_ == MovieContainer::Gif) {
        palette_.emplace();
        status = palette_->open(int(movie_.width), int(movie_.height), movie_.fps);
    }
    if (!status.ok())
        return status;
    video_ = avformat_new_stream(output_.get(), nullptr);
    if (!video_)
        return AVERROR(ENOMEM);
    video_->time_base = AVRational{1, int(movie_.fps)};
    return avcodec_parameters_from_context(video_->codecpar, encoder_.context());
}

bool ContainerOutput::addSound(const std::string& path) {
    if (!ContainerHoldsSound(container_))
        return false;
    if (audio_.open(path, output_.get()))
        return true;
    const std::string encoder = ContainerSoundEncoder(container_);
    return !encoder.empty() && encodedSound_.open(path, encoder, output_.get());
}

AvStatus ContainerOutput::writeHeader() {
    AVDictionary* options = nullptr;
    if (container_ == MovieContainer::Gif)
        av_dict_set(&options, "loop", "0", 0); // forever
    const AvStatus status = avformat_write_header(output_.get(), &options);
    av_dict_free(&options);
    headerWritten_ = status.ok();
    return status;
}

void ContainerOutput::soundUntil(int64_t limit, AVRational base) {
    if (soundFailed_)
        return;
    if (audio_.isOpen())
        soundFailed_ = !audio_.copyUntil(limit, base).ok();
    else if (encodedSound_.isOpen())
        soundFailed_ = !encodedSound_.copyUntil(limit, base).ok();
}

AvStatus ContainerOutput::writeVideo(AVPacket* packet) {
    const AVRational base = encoder_.context()->time_base;
    soundUntil(packet->dts != AV_NOPTS_VALUE ? packet->dts : packet->pts, base);
    av_packet_rescale_ts(packet, base, video_->time_base);
    packet->stream_index = video_->index;
    return av_write_frame(output_.get(), packet);
}

AvStatus ContainerOutput::send(int64_t duration) {
    if (!pending_)
        return {};
    AvFramePtr frame = std::move(pending_);
    if (palette_) {
        paletteDurations_[frame->pts] = duration;
        return palette_->add(std::move(frame));
    }
    return encoder_.encode(frame.get(), duration,
                           [this](AVPacket* packet) { return writeVideo(packet); });
}

AvStatus ContainerOutput::picture(const PixelBuffer& pixels, int64_t position) {
    if (pending_) {
        if (AvStatus sent = send(position - pending_->pts); !sent.ok())
            return sent;
    }
    pending_ = encoder_.convert(pixels, position);
    return pending_ ? AvStatus() : AVERROR(ENOMEM);
}

AvStatus ContainerOutput::picture(const AVFrame& encoded, int64_t position) {
    const AVCodecContext* c = encoder_.context();
    if (palette_ || encoded.width != c->width || encoded.height != c->height ||
        encoded.format != c->pix_fmt)
        return AVERROR(EINVAL);
    if (pending_) {
        if (AvStatus sent = send(position - pending_->pts); !sent.ok())
            return sent;
    }
    pending_.reset(av_frame_clone(&encoded)); // a new reference to the same pixels
    if (!pending_)
        return AVERROR(ENOMEM);
    pending_->pts = position;
    return {};
}

AvStatus ContainerOutput::finish(int64_t end) {
    AvStatus status;
    if (headerWritten_) {
        auto write = [this](AVPacket* packet) { return writeVideo(packet); };
        if (pending_ && palette_) {
            // The GIF muxer would give the last picture the delay before it.
            const int64_t delay = av_rescale(end - pending_->pts, 100, movie_.fps);
            av_opt_set_int(output_->priv_data, "final_delay", delay, 0);
        }
        if (pending_)
            status = send(end - pending_->pts);
        if (status.ok() && palette_)
            status = palette_->finish([this, &write](AVFrame* frame) {
                return encoder_.encode(frame, paletteDurations_[frame->pts], write);
            });
        if (status.ok())
            status = encoder_.flush(write);
        if (!soundFailed_ && audio_.isOpen())
            (void)audio_.copyRest();
        else if (!soundFailed_ && encodedSound_.isOpen())
            (void)encodedSound_.copyRest();
        const AvStatus trailer = av_write_trailer(output_.get());
        if (status.ok())
            status = trailer;
    }
    AVIOContext*& pb = output_->pb;
    if (pb) {
        const AvStatus closed = avio_closep(&pb);
        if (status.ok())
            status = closed;
    }
    return status;
}

// Every frame of the source, until progress asks to stop; the movie's end
// goes to `end`.
AvStatus WriteFrames(ContainerOutput& output, MovieFrameSource& frames,
                     const MovieProgress& progress, MovieResult& result, int64_t& end) {
    bool first = true;
    while (const std::optional<MovieFrame> frame = frames.next()) {
        if (!frame->pixels && !frame->encoded) {
            result.messages.push_back(Message(Texts::tr("フレームを作成できませんでした。")));
            return AVERROR(EINVAL);
        }
        if (frame->position < end)
            return AVERROR(EINVAL); // positions must increase
        if (first && frame->position > 0) {
            const int width = frame->pixels ? frame->pixels->width() : frame->encoded->width;
            const int height = frame->pixels ? frame->pixels->height() : frame->encoded->height;
            std::optional<PixelBuffer> white =
                PixelBuffer::allocate(width, height, PixelFormat::Bgr24, RowOrder::TopDown);
            if (!white)
                return AVERROR(ENOMEM);
            std::memset(white->row(0), 0xff, white->byteSize());
            if (AvStatus s = output.picture(*white, 0); !s.ok())
                return s;
        }
        if (first || !frame->sameAsBefore) {
            const AvStatus s = frame->encoded ? output.picture(*frame->encoded, frame->position)
                                              : output.picture(*frame->pixels, frame->position);
            if (!s.ok())
                return s;
        }
        first = false;
        end = frame->position + 1;
        ++result.framesWritten;
        if (progress && !progress(result.framesWritten))
            break;
    }
    return {};
}

bool CanMakeFrames(const MovieDescription& movie) {
    return movie.width > 0 && movie.height > 0 && movie.width <= 16384 && movie.height <= 16384 &&
           movie.fps > 0 && movie.fps <= 0x7fffffffu;
}

} // namespace

MovieResult WriteContainerMovie(const MovieDescription& movie, MovieContainer container,
                                MovieFrameSource& frames, const MovieProgress& progress) {
    MovieResult result;
    if (!movie.compression)
        return result; // cancelled: nothing is written
    QuietLibav();
    const CodecInfo* codec = FindContainerCodec(container, movie.compression->encoder);
    if (!codec) {
        result.messages.push_back(
            Message(Texts::tr("%1 ファイルには圧縮形式 %2 を使えません。")
                        .arg(QString::fromLatin1(ContainerExtension(container)).toUpper(),
                             QString::fromStdString(movie.compression->encoder))));
        return result;
    }
    if (!CanMakeFrames(movie)) {
        result.messages.push_back(Message(Texts::tr("フレームを作成できませんでした。")));
        return result;
    }
    ContainerOutput output(movie, container);
    AvStatus last = output.open(*codec, movie.compression->quality);
    if (!output.fileCreated()) {
        result.messages.push_back(Message(Texts::tr("動画ファイル %1 を作成できません。")
                                              .arg(QString::fromStdString(movie.outputPath))));
        return result;
    }
    const bool soundLeftOut =
        last.ok() && !movie.audioPath.empty() && !output.addSound(movie.audioPath);
    int64_t end = 0;
    if (last.ok())
        last = output.writeHeader();
    if (last.ok())
        last = WriteFrames(output, frames, progress, result, end);
    const AvStatus closed = output.finish(end);
    if (last.ok())
        last = closed;
    if (soundLeftOut)
        result.messages.push_back(Message(Texts::tr("サウンドをこの形式の動画に入れられないため、"
                                                    "サウンドなしで作成しました。")));
    if (!last.ok())
        result.messages.push_back(Message(Texts::tr("動画ファイルの書き込みに失敗しました (%1)。")
                                              .arg(QString::fromStdString(last.text()))));
    result.written = last.ok();
    return result;
}
