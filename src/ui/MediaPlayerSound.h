#pragma once

// Playback's sound through Qt Multimedia: the project's sound file played
// from the time of the first position shown. Without a sound device (a
// machine with none, the offscreen platform) nothing is played and playback
// goes on silently.

#include "movie/Playback.h"

#include <QObject>

class QAudioOutput;
class QMediaPlayer;

class MediaPlayerSound : public QObject, public PlaybackSound {
    Q_OBJECT

public:
    explicit MediaPlayerSound(QObject* parent = nullptr);
    ~MediaPlayerSound() override;

    void play(const QByteArray& path, qint64 fromMs) override;
    void pause() override;
    void stop() override;

private:
    // Made at the first play, and only when there is a device.
    bool ensurePlayer();

    QMediaPlayer* player_ = nullptr;
    QAudioOutput* output_ = nullptr;
    QByteArray path_;
    qint64 pendingMs_ = -1; // where to start once the file is loaded
};
