#include "movie/Containers.h"

#include "movie/LibavHandles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <mutex>
#include <optional>

namespace {

struct ContainerRow {
    MovieContainer container;
    const char* extension;
    const char* muxer;
    const char* description;
    const char* name;         // the short name messages use
    const char* soundEncoder; // for a sound the container cannot hold as it is
};

constexpr ContainerRow Rows[] = {
    {MovieContainer::Avi, "avi", "avi", "AVI movie", "AVI", ""},
    {MovieContainer::Mp4, "mp4", "mp4", "MP4 video", "MP4", "aac"},
    {MovieContainer::Mov, "mov", "mov", "QuickTime movie", "MOV", "aac"},
    {MovieContainer::Mkv, "mkv", "matroska", "Matroska video", "MKV", "aac"},
    {MovieContainer::WebM, "webm", "webm", "WebM video", "WebM", "libopus"},
    {MovieContainer::Gif, "gif", "gif", "animated GIF", "GIF", ""},
};

const ContainerRow& RowOf(MovieContainer container) {
    for (const ContainerRow& row : Rows)
        if (row.container == container)
            return row;
    return Rows[0];
}

struct Candidate {
    const char* name;
    const char* description;
    bool hasQuality;
};

constexpr Candidate Mp4Codecs[] = {
    {"libx264", "H.264 (x264)", true},    {"mpeg4", "MPEG-4 Part 2", true},
    {"libx265", "HEVC (x265)", true},     {"libsvtav1", "AV1 (SVT-AV1)", true},
    {"libaom-av1", "AV1 (libaom)", true},
};
constexpr Candidate MkvCodecs[] = {
    {"ffv1", "FFV1 (lossless)", false},
    {"libx264", "H.264 (x264)", true},
    {"libx265", "HEVC (x265)", true},
    {"libvpx-vp9", "VP9", true},
    {"libvpx", "VP8", true},
    {"libsvtav1", "AV1 (SVT-AV1)", true},
    {"libaom-av1", "AV1 (libaom)", true},
    {"mpeg4", "MPEG-4 Part 2", true},
    {"mjpeg", "Motion JPEG", true},
    {"huffyuv", "HuffYUV (lossless)", false},
    {"utvideo", "Ut Video (lossless)", false},
    {"magicyuv", "MagicYUV (lossless)", false},
};
constexpr Candidate WebmCodecs[] = {
    {"libvpx-vp9", "VP9", true},
    {"libvpx", "VP8", true},
    {"libsvtav1", "AV1 (SVT-AV1)", true},
    {"libaom-av1", "AV1 (libaom)", true},
};
constexpr Candidate GifCodecs[] = {{"gif", "GIF (one palette per movie)", false}};

template <size_t N> std::vector<Candidate> List(const Candidate (&candidates)[N]) {
    return {candidates, candidates + N};
}

std::vector<Candidate> CandidatesOf(MovieContainer container) {
    switch (container) {
    case MovieContainer::Mp4:
    case MovieContainer::Mov:
        return List(Mp4Codecs);
    case MovieContainer::Mkv:
        return List(MkvCodecs);
    case MovieContainer::WebM:
        return List(WebmCodecs);
    case MovieContainer::Gif:
        return List(GifCodecs);
    case MovieContainer::Avi:
        break;
    }
    return {};
}

// An encoder is offered when this libavcodec has it and the container can
// hold its codec. (Opening the AV1 and HEVC encoders to try them costs
// seconds; the writer reports one that refuses the movie's settings.)
bool Works(const Candidate& candidate, const AVOutputFormat* muxer) {
    const AVCodec* codec = avcodec_find_encoder_by_name(candidate.name);
    return codec && muxer && avformat_query_codec(muxer, codec->id, FF_COMPLIANCE_NORMAL) == 1;
}

std::vector<CodecInfo> Probe(MovieContainer container) {
    if (container == MovieContainer::Avi)
        return OfferedCodecs();
    std::vector<CodecInfo> codecs;
    const AVOutputFormat* muxer = av_guess_format(RowOf(container).muxer, nullptr, nullptr);
    for (const Candidate& c : CandidatesOf(container))
        if (Works(c, muxer))
            codecs.push_back({c.name, c.description, c.hasQuality, 1});
    return codecs;
}

const std::vector<CodecInfo>& Cached(MovieContainer container) {
    static std::mutex mutex;
    static std::array<std::optional<std::vector<CodecInfo>>, std::size(Rows)> lists;
    const std::lock_guard lock(mutex);
    std::optional<std::vector<CodecInfo>>& list = lists[size_t(container)];
    if (!list)
        list = Probe(container);
    return *list;
}

} // namespace

const std::vector<MovieContainer>& MovieContainers() {
    static const std::vector<MovieContainer> all = [] {
        std::vector<MovieContainer> v;
        for (const ContainerRow& row : Rows)
            v.push_back(row.container);
        return v;
    }();
    return all;
}

MovieContainer ContainerForPath(const std::string& path) {
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return MovieContainer::Avi;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    for (const ContainerRow& row : Rows)
        if (extension == row.extension)
            return row.container;
    return MovieContainer::Avi;
}

const char* ContainerExtension(MovieContainer container) {
    return RowOf(container).extension;
}

const char* ContainerName(MovieContainer container) {
    return RowOf(container).name;
}

const char* ContainerDescription(MovieContainer container) {
    return RowOf(container).description;
}

const char* ContainerMuxer(MovieContainer container) {
    return RowOf(container).muxer;
}

std::vector<CodecInfo> ContainerCodecs(MovieContainer container) {
    return Cached(container);
}

const CodecInfo* FindContainerCodec(MovieContainer container, const std::string& name) {
    if (container == MovieContainer::Avi)
        return FindOfferedCodec(name);
    const std::vector<CodecInfo>& codecs = Cached(container);
    if (name.empty())
        return codecs.empty() ? nullptr : &codecs.front();
    for (const CodecInfo& c : codecs)
        if (c.name == name)
            return &c;
    return nullptr;
}

bool ContainerHoldsSound(MovieContainer container) {
    return container != MovieContainer::Gif;
}

const char* ContainerSoundEncoder(MovieContainer container) {
    return RowOf(container).soundEncoder;
}
