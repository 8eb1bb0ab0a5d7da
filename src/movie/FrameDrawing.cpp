#include "movie/FrameDrawing.h"

#include "imaging/ImageFile.h"
#include "movie/IntermediateFrameFile.h"

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
