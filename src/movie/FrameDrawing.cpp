#include "movie/FrameDrawing.h"

#include "imaging/ImageFile.h"
#include "movie/IntermediateFrameFile.h"

DrawMode FrameDrawMode(const ProjectSettings& settings) {
    return settings.scaleImages ? DrawMode::Stretch : DrawMode::Centre;
}

DecodeOptions ImageDecodeOptions(const ProjectSettings& settings) {
    return {.applyOrientation = settings.applyOrientation};
}

void DrawFrameLine(const QByteArray& path, DrawMode mode, DecodeOptions options,
                   PixelBuffer& frame) {
    std::optional<PixelBuffer> picture;
    if (!path.isEmpty() && path != kBlankFrameMarker)
        picture = DecodeImageFile(path.toStdString(), options);
    RenderFrame(picture ? &*picture : nullptr, mode, frame);
}
