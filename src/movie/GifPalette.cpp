#include "movie/GifPalette.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
}

#include <string>

namespace {

// One palette for the whole movie (no transparent entry: frames carry no
// alpha), and error diffusion for pictures of more colours.
constexpr char kFilters[] = "split[a][b];"
                            "[a]palettegen=reserve_transparent=0:stats_mode=full[p];"
                            "[b][p]paletteuse=dither=sierra2_4a";

struct InOutFree {
    void operator()(AVFilterInOut* io) const { avfilter_inout_free(&io); }
};

} // namespace

GifPalette::~GifPalette() {
    avfilter_graph_free(&graph_);
}

AvStatus GifPalette::open(int width, int height, unsigned fps) {
    graph_ = avfilter_graph_alloc();
    if (!graph_)
        return AVERROR(ENOMEM);
    graph_->nb_threads = 1;
    const std::string args = "video_size=" + std::to_string(width) + "x" + std::to_string(height) +
                             ":pix_fmt=" + std::to_string(int(AV_PIX_FMT_BGR24)) + ":time_base=1/" +
                             std::to_string(fps) + ":pixel_aspect=1/1";
    AvStatus status = avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in",
                                                   args.c_str(), nullptr, graph_);
    if (status.ok())
        status = avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out",
                                              nullptr, nullptr, graph_);
    if (!status.ok())
        return status;
    std::unique_ptr<AVFilterInOut, InOutFree> outputs(avfilter_inout_alloc());
    std::unique_ptr<AVFilterInOut, InOutFree> inputs(avfilter_inout_alloc());
    if (!outputs || !inputs)
        return AVERROR(ENOMEM);
    outputs->name = av_strdup("in");
    outputs->filter_ctx = source_;
    inputs->name = av_strdup("out");
    inputs->filter_ctx = sink_;
    AVFilterInOut* in = inputs.release();
    AVFilterInOut* out = outputs.release();
    status = avfilter_graph_parse_ptr(graph_, kFilters, &in, &out, nullptr);
    avfilter_inout_free(&in);
    avfilter_inout_free(&out);
    if (!status.ok())
        return status;
    return avfilter_graph_config(graph_, nullptr);
}

AvStatus GifPalette::add(AvFramePtr frame) {
    if (!source_ || !frame)
        return AVERROR(EINVAL);
    return av_buffersrc_add_frame_flags(source_, frame.get(), 0);
}

AvStatus GifPalette::finish(const std::function<AvStatus(AVFrame*)>& out) {
    if (!source_)
        return AVERROR(EINVAL);
    AvStatus status = av_buffersrc_add_frame_flags(source_, nullptr, 0);
    AvFramePtr frame(av_frame_alloc());
    if (!frame)
        return AVERROR(ENOMEM);
    while (status.ok()) {
        const int ret = av_buffersink_get_frame(sink_, frame.get());
        if (ret == AVERROR_EOF || ret == AVERROR(EAGAIN))
            break;
        status = ret;
        if (status.ok())
            status = out(frame.get());
        av_frame_unref(frame.get());
    }
    return status;
}
