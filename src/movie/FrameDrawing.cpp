#include "movie/FrameDrawing.h"

#include "imaging/ImageFile.h"
#include "movie/IntermediateFrameFile.h"

DrawMode FrameDrawMode(const ProjectSettings& settings) {
    return settings.scaleImages ? DrawMode::Stretch : DrawMode::Centre;
}

void DrawFrameLine(const QByteArray& path, DrawMode mode, PixelBuffer& frame) {
    std::optional<PixelBuffer> picture;
    if (!path.isEmpty() && path != kBlankFrameMarker)
        picture = DecodeImageFile(path.toStdString());
    RenderFrame(picture ? &*picture : nullptr, mode, frame);
}
