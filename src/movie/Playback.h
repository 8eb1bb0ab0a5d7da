#pragma once

// Playing a project's movie before it is converted: the schedule's positions
// at the project's frame rate, timed from a monotonic clock (QElapsedTimer).
// A position whose frame is not drawn by the time the next one is due is
// skipped, never waited for: the pictures keep the movie's pace, and so stay
// in step with the sound. The sound track, when the project has one switched
// on, starts at the time of the first position played.
//
// No widget here: the window shows frameShown's frames and moves the list's
// focus; tests and benchmarks drive it with an event loop only.

#include "movie/PlaybackFrames.h"
#include "movie/PlaybackSchedule.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <memory>

// Where the sound goes: Qt Multimedia in the window, a recorder in tests.
class PlaybackSound {
public:
    virtual ~PlaybackSound() = default;
    // Plays the sound file at path from fromMs milliseconds on.
    virtual void play(const QByteArray& path, qint64 fromMs) = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
};

class Playback : public QObject {
    Q_OBJECT

public:
    struct Figures {
        long shown = 0;         // positions shown
        long skipped = 0;       // positions passed over because their frame was late
        double lateMsTotal = 0; // how late the positions shown were, summed
        double lateMsLongest = 0;
    };

    explicit Playback(QObject* parent = nullptr);
    ~Playback() override;

    // The sound output; not owned; null: silent.
    void setSound(PlaybackSound* sound) { sound_ = sound; }
    // Threads drawing ahead; 0: one per core.
    void setThreads(int threads) { threads_ = threads; }

    // Plays the list's rows with settings, from the position of startRow
    // (the first position when that row gives none); soundPath is the sound
    // file, empty for none; resolve finds a row's file (see PlaybackFrames).
    // The settings must be able to make a movie (ConversionInputProblem).
    void start(const QList<QByteArray>& rows, const ProjectSettings& settings, int startRow,
               const QByteArray& soundPath = {}, PlaybackFrames::PathResolver resolve = {});
    // The rows or settings changed while playing: goes on with the movie as
    // it is now, showing the position on screen anew (paused: stays paused);
    // stops when it has no position left.
    void follow(const QList<QByteArray>& rows, const ProjectSettings& settings,
                const QByteArray& soundPath = {}, PlaybackFrames::PathResolver resolve = {});
    void pause();
    void resume();
    // Stops; the last position shown stays on screen.
    void stop();

    bool isActive() const { return frames_ != nullptr; } // playing or paused
    bool isPaused() const { return isActive() && paused_; }
    void setLoop(bool loop) { loop_ = loop; }
    bool loops() const { return loop_; }

    const PlaybackSchedule& schedule() const { return schedule_; }
    const Figures& figures() const { return figures_; }
    // The frames drawn ahead, while active.
    const PlaybackFrames* frames() const { return frames_.get(); }

signals:
    // A position is on screen: its frame (valid until the next signal) and
    // the list's row.
    void frameShown(long position, int row, const PixelBuffer& frame);
    // The movie ended (without loop) or stop() was called.
    void stopped(int lastRow);

private:
    // Makes the schedule and the frames drawn ahead; false when the movie
    // would have no position (nothing changed then).
    bool load(const QList<QByteArray>& rows, const ProjectSettings& settings,
              const QByteArray& soundPath, PlaybackFrames::PathResolver resolve);
    void tick();
    void restartAt(long position);
    // The movie's time now, in nanoseconds from position 0.
    qint64 movieTimeNs() const;
    qint64 positionTimeNs(long position) const;
    void playSound();

    PlaybackSchedule schedule_;
    std::unique_ptr<PlaybackFrames> frames_;
    PlaybackSound* sound_ = nullptr;
    QByteArray soundPath_;
    int threads_ = 0;
    quint32 fps_ = 1;
    bool loop_ = false;
    bool paused_ = false;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 originNs_ = 0; // the movie's time when the clock started
    long lastShown_ = -1;
    int lastRow_ = 0;
    Figures figures_;
};
