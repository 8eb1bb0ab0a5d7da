#include "ui/PreviewPane.h"

#include "imaging/FrameRenderer.h"
#include "imaging/ImageFile.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

// The scroll page: white, with the preview's picture at the top-left corner,
// or the movie frame scaled to fit.
class PreviewPane::Page : public QWidget {
public:
    Page(const PreviewPane* pane, QWidget* parent)
        : QWidget(parent), pane_(pane), picture_(pane->picture_) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), Qt::white);
        if (!pane_->movieFrame_.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(pane_->movieFrameRect(), pane_->movieFrame_);
            return;
        }
        if (picture_.isEmpty())
            return;
        // Wraps the picture's pixels; nothing is copied.
        const QImage image(picture_.row(0), picture_.width(), picture_.height(),
                           qsizetype(picture_.stride()), QImage::Format_RGB32);
        painter.drawImage(event->rect().topLeft(), image, event->rect());
    }

private:
    const PreviewPane* pane_;
    const PixelBuffer& picture_;
};

PreviewPane::PreviewPane(QWidget* parent) : QScrollArea(parent) {
    // Beyond the page the pane is white too.
    QPalette white = viewport()->palette();
    white.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(white);
    viewport()->setAutoFillBackground(true);
    setFrameShape(QFrame::NoFrame);

    page_ = new Page(this, this);
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

QRect PreviewPane::movieFrameRect() const {
    if (movieFrame_.isNull())
        return {};
    const QSize area = viewport()->size();
    const QSize fitted = movieFrame_.size().scaled(area, Qt::KeepAspectRatio);
    return QRect(QPoint((area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2),
                 fitted);
}

void PreviewPane::showMovieFrame(const PixelBuffer& frame) {
    if (frame.isEmpty() || frame.format() != PixelFormat::Xrgb32)
        return;
    if (movieFrame_.isNull()) { // the page becomes the pane, nothing to scroll
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
        setWidgetResizable(true);
    }
    movieFrame_ = QImage(frame.row(0), frame.width(), frame.height(), qsizetype(frame.stride()),
                         QImage::Format_RGB32)
                      .copy();
    page_->update();
}

void PreviewPane::showImage(const QByteArray& path) {
    if (!movieFrame_.isNull()) {
        movieFrame_ = QImage();
        setWidgetResizable(false);
    }
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
