#include "ui/MediaPlayerSound.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFile>
#include <QMediaDevices>
#include <QMediaPlayer>
#include <QUrl>

MediaPlayerSound::MediaPlayerSound(QObject* parent) : QObject(parent) {}

MediaPlayerSound::~MediaPlayerSound() = default;

bool MediaPlayerSound::ensurePlayer() {
    if (player_)
        return true;
    if (QMediaDevices::audioOutputs().isEmpty())
        return false;
    player_ = new QMediaPlayer(this);
    output_ = new QAudioOutput(this);
    player_->setAudioOutput(output_);
    // A position asked for before the file was loaded is taken once it is.
    connect(player_, &QMediaPlayer::mediaStatusChanged, this, [this](QMediaPlayer::MediaStatus s) {
        if (s == QMediaPlayer::LoadedMedia && pendingMs_ >= 0) {
            player_->setPosition(pendingMs_);
            pendingMs_ = -1;
        }
    });
    return true;
}

void MediaPlayerSound::play(const QByteArray& path, qint64 fromMs) {
    if (!ensurePlayer())
        return;
    if (path != path_) {
        path_ = path;
        player_->setSource(QUrl::fromLocalFile(QFile::decodeName(path)));
        pendingMs_ = fromMs;
    }
    player_->setPosition(fromMs);
    player_->play();
}

void MediaPlayerSound::pause() {
    if (player_)
        player_->pause();
}

void MediaPlayerSound::stop() {
    if (player_)
        player_->stop();
}
