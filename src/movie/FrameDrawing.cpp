#include "movie/FrameDrawing.h"

#include "imaging/ImageFile.h"
#include "movie/IntermediateFrameFile.h"

namespace {

// This thread's libswscale context for one kind of conversion (0: movie
// frames, 1: stretched pictures, 2: stretched planes), kept while the sizes
// and formats stay.
SwsContext* ThreadScaler(int kind, int srcW, int srcH, AVPixelFormat srcFormat, const AVFrame& out,
                         int flags) {
    thread_local SwsContextPtr scalers[3];
    SwsContextPtr& scaler = scalers[kind];
    scaler.reset(sws_getCachedContext(scaler.release(), srcW, srcH, srcFormat, out.width,
                                      out.height, AVPixelFormat(out.format), flags, nullptr,
                                      nullptr, nullptr));
    return scaler.get();
}

// Up to three planes of srcH rows scaled into `out`.
bool Scale(SwsContext* scaler, const uint8_t* const (&src)[4], const int (&srcStride)[4], int srcH,
           AVFrame& out) {
    return scaler && sws_scale(scaler, src, srcStride, 0, srcH, out.data, out.linesize) >= 0;
}

bool Scale(SwsContext* scaler, const PixelBuffer& picture, AVFrame& out) {
    return Scale(scaler, {picture.row(0), nullptr, nullptr, nullptr},
                 {int(picture.rowStep()), 0, 0, 0}, picture.height(), out);
}

// The whole picture over the whole frame, filtered; false when it cannot be
// done that way.
bool StretchPicture(const PixelBuffer& picture, AVFrame& out) {
    if (picture.isEmpty() || (picture.width() == out.width && picture.height() == out.height) ||
        (picture.format() != PixelFormat::Bgr24 && picture.format() != PixelFormat::Xrgb32))
        return false;
    const AVPixelFormat format =
        picture.format() == PixelFormat::Bgr24 ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_BGR0;
    return Scale(ThreadScaler(1, picture.width(), picture.height(), format, out, SWS_BICUBIC),
                 picture, out);
}

// A JPEG's planes over the whole frame, filtered.
bool StretchPlanes(const YuvPlanes& planes, AVFrame& out) {
    SwsContext* scaler =
        ThreadScaler(2, planes.width(), planes.height(), AV_PIX_FMT_YUVJ420P, out, SWS_BICUBIC);
    return Scale(scaler, {planes.plane(0), planes.plane(1), planes.plane(2), nullptr},
                 {planes.stride(0), planes.stride(1), planes.stride(2), 0}, planes.height(), out);
}

AvFramePtr AllocateFrame(int width, int height, AVPixelFormat format) {
    AvFramePtr frame(av_frame_alloc());
    if (!frame)
        return nullptr;
    frame->format = format;
    frame->width = width;
    frame->height = height;
    return av_frame_get_buffer(frame.get(), 0) < 0 ? nullptr : std::move(frame);
}

} // namespace

DrawMode FrameDrawMode(const ProjectSettings& settings) {
    return settings.scaleImages ? DrawMode::Stretch : DrawMode::Centre;
}

DecodeOptions ImageDecodeOptions(const ProjectSettings& settings) {
    return {.applyOrientation = settings.applyOrientation};
}

bool DrawFrameLine(const QByteArray& path, DrawMode mode, DecodeOptions options,
                   PixelBuffer& frame) {
    std::optional<PixelBuffer> picture;
    const bool image = !path.isEmpty() && path != kBlankFrameMarker;
    if (image)
        picture = DecodeImageFile(path.toStdString(), options);
    RenderFrame(picture ? &*picture : nullptr, mode, frame);
    return !image || picture.has_value();
}

AvFramePtr DrawEncoderFrame(const QByteArray& path, DrawMode mode, DecodeOptions options, int width,
                            int height, AVPixelFormat format, bool& readable) {
    std::optional<DecodedPicture> decoded;
    const bool image = !path.isEmpty() && path != kBlankFrameMarker;
    if (image && mode == DrawMode::Stretch)
        decoded = DecodeImagePlanes(path.toStdString(), options);
    else if (image)
        decoded = DecodeImageFile(path.toStdString(), options);
    readable = !image || decoded.has_value();
    AvFramePtr frame = AllocateFrame(width, height, format);
    if (!frame)
        return nullptr;
    const YuvPlanes* planes = decoded ? std::get_if<YuvPlanes>(&*decoded) : nullptr;
    const PixelBuffer* picture = decoded ? std::get_if<PixelBuffer>(&*decoded) : nullptr;
    if (planes)
        return StretchPlanes(*planes, *frame) ? std::move(frame) : nullptr;
    if (mode == DrawMode::Stretch && picture && StretchPicture(*picture, *frame))
        return frame;
    std::optional<PixelBuffer> drawn =
        PixelBuffer::allocate(width, height, PixelFormat::Bgr24, RowOrder::TopDown);
    if (!drawn)
        return nullptr;
    RenderFrame(picture, mode, *drawn);
    return ConvertMovieFrame(*drawn, *frame) ? std::move(frame) : nullptr;
}

bool ConvertMovieFrame(const PixelBuffer& frame, AVFrame& out) {
    constexpr int Flags = SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT | SWS_FULL_CHR_H_INP;
    return frame.format() == PixelFormat::Bgr24 && frame.width() == out.width &&
           frame.height() == out.height &&
           Scale(ThreadScaler(0, frame.width(), frame.height(), AV_PIX_FMT_BGR24, out, Flags),
                 frame, out);
}
