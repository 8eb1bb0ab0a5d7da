#pragma once

// Small pictures of the list's images, made off the window's thread: at most
// Height pixels high and MaxWidth wide, aspect kept. thumbnail() answers at
// once, with the picture when it is made and nothing otherwise, and asks for
// it then; the newest asks are made first, so the rows on screen come before
// those scrolled past, and asks beyond a bound are forgotten. ready() tells
// when one is made. The pictures are kept in a cache bounded by their bytes.

#include "imaging/DecodeOptions.h"

#include <QByteArray>
#include <QCache>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QThreadPool>

#include <functional>

class ThumbnailCache : public QObject {
    Q_OBJECT

public:
    static constexpr int Height = 64;
    static constexpr int MaxWidth = 128;
    static constexpr qsizetype DefaultByteBound = qsizetype(64) << 20;
    // Asks waiting beyond this are dropped, oldest first.
    static constexpr qsizetype MaxWaiting = 512;

    using PathResolver = std::function<QByteArray(const QByteArray&)>;

    explicit ThumbnailCache(QObject* parent = nullptr, qsizetype byteBound = DefaultByteBound);
    // Waits for the pictures being made.
    ~ThumbnailCache() override;

    // The picture of the file a row's path names; null while it is being made
    // (it is then asked for) or when the file cannot be read (known).
    QImage thumbnail(const QByteArray& path);
    bool isKnown(const QByteArray& path) const { return cache_.contains(path); }

    // How row paths are found (called on the worker threads) and decoded;
    // either change forgets every picture.
    void setResolver(PathResolver resolve);
    void setDecodeOptions(DecodeOptions options);
    // Forgets one picture (its file changed), or all.
    void forget(const QByteArray& path) { cache_.remove(path); }
    void clear();

    qsizetype bytesHeld() const { return cache_.totalCost(); }
    qsizetype byteBound() const { return cache_.maxCost(); }
    qsizetype waiting() const { return waiting_.size(); }

    // The thumbnail of an image file, as made on the workers.
    static QImage Make(const QByteArray& file, DecodeOptions options);

signals:
    void ready(const QByteArray& path);

private:
    void startJobs();
    void finished(const QByteArray& path, const QImage& image, int generation);

    QCache<QByteArray, QImage> cache_;
    QList<QByteArray> waiting_; // newest last
    QSet<QByteArray> asked_;    // waiting or being made
    int running_ = 0;
    int generation_ = 0; // pictures of an earlier generation are dropped
    PathResolver resolve_;
    DecodeOptions options_;
    QThreadPool pool_;
};
