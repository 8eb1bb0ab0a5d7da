#include "imaging/ThumbnailCache.h"

#include "imaging/ImageFile.h"

#include <algorithm>

ThumbnailCache::ThumbnailCache(QObject* parent, qsizetype byteBound) : QObject(parent) {
    cache_.setMaxCost(byteBound);
    // One decoder fewer than the cores, so the GUI thread always finds one free and scrolling
    // never waits for thumbnails. Normal priority: at idle priority any other busy program on
    // the machine would hold the thumbnails back for as long as it runs.
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
}

ThumbnailCache::~ThumbnailCache() {
    pool_.clear();
    pool_.waitForDone();
}

QImage ThumbnailCache::thumbnail(const QByteArray& path) {
    if (const QImage* known = cache_.object(path))
        return *known;
    if (asked_.contains(path)) { // asked again: it is on screen, make it sooner
        if (const qsizetype at = waiting_.indexOf(path); at >= 0 && at + 1 < waiting_.size())
            waiting_.move(at, waiting_.size() - 1);
        return {};
    }
    asked_.insert(path);
    waiting_.append(path);
    if (waiting_.size() > MaxWaiting)
        asked_.remove(waiting_.takeFirst());
    startJobs();
    return {};
}

void ThumbnailCache::setResolver(PathResolver resolve) {
    resolve_ = std::move(resolve);
    clear();
}

void ThumbnailCache::setDecodeOptions(DecodeOptions options) {
    if (options == options_)
        return;
    options_ = options;
    clear();
}

void ThumbnailCache::clear() {
    ++generation_;
    cache_.clear();
    for (const QByteArray& path : waiting_)
        asked_.remove(path);
    waiting_.clear();
    asked_.clear();
}

QImage ThumbnailCache::Make(const QByteArray& file, DecodeOptions options) {
    const std::optional<PixelBuffer> picture =
        DecodeImageFile(std::string(file.constData(), size_t(file.size())), options);
    if (!picture || picture->isEmpty())
        return {};
    const QImage::Format format = picture->format() == PixelFormat::Xrgb32 ? QImage::Format_RGB32
                                  : picture->format() == PixelFormat::Bgr24
                                      ? QImage::Format_BGR888
                                      : QImage::Format_Invalid;
    if (format == QImage::Format_Invalid)
        return {};
    // Rows stored bottom-up: the block starts with the last row, and the
    // picture read from there comes out upside down.
    const bool bottomUp = picture->rowOrder() == RowOrder::BottomUp;
    const QImage whole(picture->row(bottomUp ? picture->height() - 1 : 0), picture->width(),
                       picture->height(), qsizetype(picture->stride()), format);
    const QImage fitted =
        whole.scaled(QSize(MaxWidth, Height), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return bottomUp ? fitted.mirrored() : fitted.copy();
}

void ThumbnailCache::startJobs() {
    while (running_ < pool_.maxThreadCount() && !waiting_.isEmpty()) {
        const QByteArray path = waiting_.takeLast();
        ++running_;
        pool_.start([this, path, resolve = resolve_, options = options_, generation = generation_] {
            const QImage image = Make(resolve ? resolve(path) : path, options);
            QMetaObject::invokeMethod(
                this, [this, path, image, generation] { finished(path, image, generation); },
                Qt::QueuedConnection);
        });
    }
}

void ThumbnailCache::finished(const QByteArray& path, const QImage& image, int generation) {
    --running_;
    if (generation == generation_) {
        asked_.remove(path);
        // A file that cannot be read is remembered too, at a token cost.
        cache_.insert(path, new QImage(image), std::max<qsizetype>(image.sizeInBytes(), 64));
        emit ready(path);
    }
    startJobs();
}
