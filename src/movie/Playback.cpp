#include "movie/Playback.h"

#include "movie/FrameDrawing.h"
#include "movie/MovieWriter.h"

#include <algorithm>

namespace {

// How soon to look again for a frame that is due but not drawn yet.
constexpr int RetryMs = 2;

} // namespace

Playback::Playback(QObject* parent) : QObject(parent) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &Playback::tick);
}

Playback::~Playback() = default;

void Playback::start(const QList<QByteArray>& rows, const ProjectSettings& settings, int startRow,
                     const QByteArray& soundPath, PlaybackFrames::PathResolver resolve) {
    stop();
    figures_ = {};
    if (!load(rows, settings, soundPath, std::move(resolve)))
        return;
    const long first = startRow >= 0 && startRow < schedule_.positionCount() ? startRow : 0;
    restartAt(first);
}

void Playback::follow(const QList<QByteArray>& rows, const ProjectSettings& settings,
                      const QByteArray& soundPath, PlaybackFrames::PathResolver resolve) {
    if (!isActive())
        return;
    if (!load(rows, settings, soundPath, std::move(resolve))) {
        stop();
        return;
    }
    const long at = std::clamp(lastShown_, 0L, schedule_.positionCount() - 1);
    if (!paused_) {
        restartAt(at);
        return;
    }
    originNs_ = positionTimeNs(at);
    lastShown_ = at - 1;
    tick(); // shows the position anew, and stays paused
}

bool Playback::load(const QList<QByteArray>& rows, const ProjectSettings& settings,
                    const QByteArray& soundPath, PlaybackFrames::PathResolver resolve) {
    PlaybackSchedule schedule(rows, settings);
    if (schedule.positionCount() == 0)
        return false;
    timer_.stop();
    frames_.reset(); // it reads the schedule
    schedule_ = std::move(schedule);
    fps_ = std::max<quint32>(settings.fps, 1);
    soundPath_ = soundPath;
    frames_ = std::make_unique<PlaybackFrames>(
        schedule_, int(settings.width), int(settings.height), FrameDrawMode(settings),
        ImageDecodeOptions(settings), std::move(resolve), threads_,
        PlaybackFrames::DefaultByteBound,
        MovieFrameFormat(settings.depth).value_or(PixelFormat::Xrgb32));
    return true;
}

void Playback::restartAt(long position) {
    originNs_ = positionTimeNs(position);
    lastShown_ = position - 1;
    clock_.start();
    playSound();
    tick();
}

void Playback::playSound() {
    if (sound_ && !soundPath_.isEmpty())
        sound_->play(soundPath_, originNs_ / 1000000);
}

void Playback::pause() {
    if (!isActive() || isPaused())
        return;
    originNs_ = movieTimeNs();
    paused_ = true;
    timer_.stop();
    if (sound_ && !soundPath_.isEmpty())
        sound_->pause();
}

void Playback::resume() {
    if (!isPaused())
        return;
    paused_ = false;
    clock_.start();
    playSound();
    tick();
}

void Playback::stop() {
    if (!isActive())
        return;
    timer_.stop();
    paused_ = false;
    frames_.reset();
    if (sound_ && !soundPath_.isEmpty())
        sound_->stop();
    emit stopped(lastRow_);
}

qint64 Playback::positionTimeNs(long position) const {
    return qint64(position) * 1000000000 / qint64(fps_);
}

qint64 Playback::movieTimeNs() const {
    return paused_ ? originNs_ : originNs_ + clock_.nsecsElapsed();
}

void Playback::tick() {
    const qint64 now = movieTimeNs();
    const long due = long(now * qint64(fps_) / 1000000000);
    const long count = schedule_.positionCount();
    if (due >= count) { // the last position has had its time
        figures_.skipped += count - 1 - std::min(lastShown_, count - 1);
        if (loop_) {
            restartAt(0);
        } else {
            stop();
        }
        return;
    }
    if (due > lastShown_) {
        if (const PixelBuffer* frame = frames_->frameAt(due)) {
            figures_.skipped += due - lastShown_ - 1;
            const double late = double(now - positionTimeNs(due)) / 1e6;
            figures_.lateMsTotal += late;
            figures_.lateMsLongest = std::max(figures_.lateMsLongest, late);
            ++figures_.shown;
            lastShown_ = due;
            lastRow_ = schedule_.rowAt(due);
            emit frameShown(due, lastRow_, *frame);
            if (!isActive() || isPaused())
                return; // stopped or paused by a receiver
        }
    }
    const qint64 wait =
        lastShown_ == due ? (positionTimeNs(due + 1) - movieTimeNs() + 999999) / 1000000 : RetryMs;
    timer_.start(int(std::clamp<qint64>(wait, 0, 1000)));
}
