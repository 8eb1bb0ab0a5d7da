#include "ui/PreviewPane.h"

#include "imaging/ImageDrawing.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

// The scroll page: white, with the preview's surface at the top-left corner.
class PreviewPane::Page : public QWidget {
public:
    Page(const Surface& surface, QWidget* parent) : QWidget(parent), surface_(surface) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), Qt::white);
        if (surface_.isEmpty())
            return;
        // Wraps the surface's pixels; nothing is copied.
        const QImage image(reinterpret_cast<const uchar*>(surface_.bits()), surface_.width(),
                           surface_.height(), surface_.bytesPerLine(), QImage::Format_RGB32);
        painter.drawImage(event->rect().topLeft(), image, event->rect());
    }

private:
    const Surface& surface_;
};

PreviewPane::PreviewPane(QWidget* parent) : QScrollArea(parent) {
    // Beyond the page the pane is white too.
    QPalette white = viewport()->palette();
    white.setColor(QPalette::Window, Qt::white);
    viewport()->setPalette(white);
    viewport()->setAutoFillBackground(true);
    setFrameShape(QFrame::NoFrame);

    page_ = new Page(surface_, this);
    page_->resize(PageWidth, PageHeight);
    setWidget(page_);
    setWidgetResizable(false);
}

QSize PreviewPane::pageSize() const {
    return page_->size();
}

void PreviewPane::showImage(const QByteArray& path) {
    path_ = path;
    surface_.reset(0, 0);
    if (!path_.isEmpty()) {
        const std::optional<DecodedImage> image =
            LoadImageFile(std::string(path_.constData(), size_t(path_.size())));
        // Natural size at the corner (mode 2) on a surface just as large as the image.
        if (image && !image->isEmpty() &&
            surface_.reset(image->width, image->height, Surface::White))
            BlitImage(*image, surface_, 0, 0, 2);
    }
    // A page larger than 1280 x 1280 when the image is, so that all of it can be seen.
    page_->resize(std::max(PageWidth, surface_.width()), std::max(PageHeight, surface_.height()));
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    page_->update();
}
