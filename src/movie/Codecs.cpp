#include "movie/Codecs.h"

#include "movie/VideoEncoder.h"

#include <mutex>

namespace {

struct Candidate {
    const char* name;
    const char* description;
    bool hasQuality;
    int sizeMultiple;
};

// In the order the dialog shows them.
constexpr Candidate Candidates[] = {
    {"mjpeg", "Motion JPEG", true, 1},
    {"libx264", "H.264 (x264)", true, 1},
    {"mpeg4", "MPEG-4 Part 2", true, 1},
    {"ffv1", "FFV1 (lossless)", false, 1},
    {"huffyuv", "HuffYUV (lossless)", false, 1},
    {"utvideo", "Ut Video (lossless)", false, 1},
    {"magicyuv", "MagicYUV (lossless)", false, 1},
    {"png", "PNG (lossless)", false, 1},
    {"zmbv", "Zip Motion Blocks Video (lossless)", false, 1},
    {"cinepak", "Cinepak (sizes in multiples of 4)", false, 4},
    {"msvideo1", "Microsoft Video 1 (sizes in multiples of 4)", false, 4},
};

// An encoder is offered when AVI can hold its codec and it compresses a small
// frame with the settings the writer uses.
bool Works(const Candidate& candidate) {
    const AVCodec* codec = avcodec_find_encoder_by_name(candidate.name);
    const AVOutputFormat* avi = av_guess_format("avi", nullptr, nullptr);
    if (!codec || !avi || avformat_query_codec(avi, codec->id, FF_COMPLIANCE_NORMAL) != 1)
        return false;
    VideoEncoder encoder;
    if (!encoder.open({candidate.name, -1}, 32, 32, 8, PixelFormat::Bgr24).ok())
        return false;
    std::optional<PixelBuffer> frame =
        PixelBuffer::allocate(32, 32, PixelFormat::Bgr24, RowOrder::BottomUp);
    if (!frame)
        return false;
    int packets = 0;
    auto count = [&packets](AVPacket* packet) {
        if (packet->size > 0)
            ++packets;
        return AvStatus();
    };
    if (!encoder.encode(*frame, 0, count).ok() || !encoder.flush(count).ok())
        return false;
    return packets > 0;
}

std::vector<CodecInfo> Probe() {
    std::vector<CodecInfo> codecs{{"", "Full Frames (Uncompressed)", false}};
    const int logLevel = av_log_get_level();
    av_log_set_level(AV_LOG_QUIET); // refusals of missing encoders are expected here
    for (const Candidate& c : Candidates)
        if (Works(c))
            codecs.push_back({c.name, c.description, c.hasQuality, c.sizeMultiple});
    av_log_set_level(logLevel);
    return codecs;
}

const std::vector<CodecInfo>& Cached() {
    static const std::vector<CodecInfo> codecs = Probe(); // thread-safe static init
    return codecs;
}

} // namespace

std::vector<CodecInfo> OfferedCodecs() {
    return Cached();
}

bool CodecAcceptsSize(const CodecInfo& codec, unsigned width, unsigned height) {
    const unsigned m = unsigned(codec.sizeMultiple > 0 ? codec.sizeMultiple : 1);
    return width > 0 && height > 0 && width % m == 0 && height % m == 0;
}

const CodecInfo* FindOfferedCodec(const std::string& name) {
    for (const CodecInfo& c : Cached())
        if (c.name == name)
            return &c;
    return nullptr;
}
