#pragma once

// The preview pane: a white scroll page, 1280 x 1280 or as large as the image
// when that is larger, showing one image file at its natural size in the
// top-left corner. It changes only when told to show an image; an empty path
// clears it. The image is decoded and drawn once into a frame of its own size
// that the page paints from directly (wrapped in a QImage, not copied), so
// scrolling and repainting do not touch the file again.
//
// During playback the pane shows movie frames instead: scaled to fit the
// pane with their aspect ratio kept, centred on the white page, without
// scrolling. Showing an image (or clearing) leaves that mode.

#include "imaging/DecodeOptions.h"
#include "imaging/PixelBuffer.h"

#include <QByteArray>
#include <QImage>
#include <QScrollArea>
#include <QSize>

class PreviewPane : public QScrollArea {
    Q_OBJECT

public:
    static constexpr int PageWidth = 1280;
    static constexpr int PageHeight = 1280;

    explicit PreviewPane(QWidget* parent = nullptr);

    const QByteArray& path() const { return path_; }

    // What the page shows: the image drawn at natural size, Xrgb32 rows
    // top-down (empty when there is none or it cannot be drawn), and the size
    // of the scroll page.
    const PixelBuffer& picture() const { return picture_; }
    QSize pageSize() const;

    // The movie frame shown (null when the pane shows an image instead).
    const QImage& movieFrame() const { return movieFrame_; }
    // Where the movie frame is drawn in the pane.
    QRect movieFrameRect() const;

    // How images are decoded (the project's settings say); a change redraws
    // the image shown, keeping the scroll position.
    void setDecodeOptions(DecodeOptions options);

public slots:
    // Shows the image file at path; an empty path clears the preview.
    void showImage(const QByteArray& path);
    // Shows a movie frame (Xrgb32, top-down); the pane keeps a copy.
    void showMovieFrame(const PixelBuffer& frame);

private:
    class Page;

    // Decodes and draws the image at path_ again.
    void draw();

    QByteArray path_;
    DecodeOptions options_;
    PixelBuffer picture_;
    QImage movieFrame_;
    Page* page_ = nullptr;
};
