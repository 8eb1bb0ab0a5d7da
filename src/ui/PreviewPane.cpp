#include "ui/PreviewPane.h"

#include "imaging/FrameRenderer.h"
#include "imaging/ImageFile.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

// The scroll page: white, with the preview's picture at the top-left corner.
class PreviewPane::Page : public QWidget {
public:
    Page(const PixelBuffer& picture, QWidget* parent) : QWidget(parent), picture_(picture) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), Qt::white);
        if (picture_.isEmpty())
            return;
        // Wraps the picture's pixels; nothing is copied.
        const QImage image(picture_.row(0), picture_.width(), picture_.height(),
                           qsizetype(picture_.stride()), QImage::Format_RGB32);
        painter.drawImage(event->rect().topLeft(), image, event->rect());
    }

private:
    const PixelBuffer& picture_;
};

PreviewPane::PreviewPane(QWidget* parent) : QScrollArea(parent) {
    // Beyond the page the pane is white too.
    QPalette white = viewport()->palette();
    white.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(white);
    viewport()->setAutoFillBackground(true);
    setFrameShape(QFrame::NoFrame);

    page_ = new Page(picture_, this);
    page_->resize(PageWidth, PageHeight);
    setWidget(page_);
    setWidgetResizable(false);
}

QSize PreviewPane::pageSize() const {
    return page_->size();
}

void PreviewPane::setDecodeOptions(DecodeOptions options) {
    if (options == options_)
        return;
    options_ = options;
    if (!path_.isEmpty())
        draw();
}

void PreviewPane::showImage(const QByteArray& path) {
    path_ = path;
    draw();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
}

void PreviewPane::draw() {
    picture_ = PixelBuffer();
    const std::optional<PixelBuffer> image =
        path_.isEmpty()
            ? std::nullopt
            : DecodeImageFile(std::string(path_.constData(), size_t(path_.size())), options_);
    // Natural size at the corner, on a frame just as large as the image.
    if (image && !image->isEmpty()) {
        std::optional<PixelBuffer> frame = PixelBuffer::allocate(
            image->width(), image->height(), PixelFormat::Xrgb32, RowOrder::TopDown);
        if (frame) {
            RenderFrame(&*image, DrawMode::TopLeft, *frame);
            picture_ = std::move(*frame);
        }
    }
    // A page larger than 1280 x 1280 when the image is, so that all of it can be seen.
    page_->resize(std::max(PageWidth, picture_.width()), std::max(PageHeight, picture_.height()));
    page_->update();
}
