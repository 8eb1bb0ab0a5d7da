#pragma once

// The conversion of a frame list to an AVI movie, shared by the window's
// convert command and `vistrom --convert`: check the input, write the
// intermediate frame file, read it back through the movie writer, delete it.
// RunConversion asks nothing and shows nothing: the compressor is chosen
// before it starts, and what the user is to be told comes back, in order, in
// the outcome. It may run on a worker thread; `progress` is then called on
// that thread.

#include "movie/Codecs.h"
#include "movie/Containers.h"
#include "settings/ProjectSettings.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QList>
#include <QString>

#include <climits>
#include <functional>
#include <optional>

// The largest width or height a movie may have.
inline constexpr quint32 kMaxMovieSide = 16384;
// (width + 128) x (height + 128) stays below this: FFmpeg's readers open no
// larger picture (8 x that product must stay below INT_MAX).
inline constexpr quint64 kMaxMovieArea = quint64(INT_MAX) / 8 + 1;

// A message's words for the movie's container: AVI's text as it always was,
// or the other text, whose %1 is the container's name ("MP4", "WebM", ...).
QString ForContainer(MovieContainer container, const QString& aviText, const QString& otherText);

// Why these settings and rows cannot make a movie in the container, as the
// message to show; nothing when they can (the colour depth counts for AVI
// only). The window asks it before the user picks a file name (in AVI's
// words: the container is not known yet), the converter before it starts,
// and RunConversion once more.
std::optional<QString> ConversionInputProblem(const ProjectSettings& settings,
                                              const QList<QByteArray>& rows,
                                              MovieContainer container = MovieContainer::Avi);

// The audio file handed to the writer: the path when audio is on, else empty.
QByteArray ConversionAudioPath(const ProjectSettings& settings);

struct ConversionRequest {
    // The movie file, completed with ".avi" by the caller. The movie is
    // written beside it under a temporary name and takes its place only when
    // complete (PendingMovieFile.h): a failed or cancelled conversion leaves
    // the file that was there as it was.
    QByteArray outputPath;
    QByteArray projectPath; // the project file, which the movie may not replace; empty: none
    ProjectSettings settings;
    QList<QByteArray> rows; // the list's row paths, empty for a blank row
    // The compressor; std::nullopt when the user cancelled the compression
    // dialog (the movie then gets an empty video stream and the sound).
    std::optional<CompressionChoice> compression = CompressionChoice{};
    QByteArray tempDirectory; // empty: the user's temporary directory
};

// One thing to tell the user.
struct ConversionMessage {
    enum class Kind {
        Program, // the program's own message box (caption "Vistrom")
        Writer, // the movie writer's plain box with its own caption, e.g. ("WritingERR", "AVI ERR")
        Closing, // the closing message after the writer ran
    };
    Kind kind = Kind::Program;
    QString text;
    QString caption; // Writer only

    bool operator==(const ConversionMessage&) const = default;
};

// An image the conversion could not read; its frame stayed white.
struct UnreadableImage {
    long row = -1;   // the list's row
    QByteArray path; // the file tried
    QString reason;  // why, for the user; may be empty

    bool operator==(const UnreadableImage&) const = default;
};

enum class ConversionStatus {
    Finished,          // the writer ran (see writerResult)
    Refused,           // the settings or rows cannot make a movie; nothing was written
    IntermediateError, // the intermediate file failed; no movie was written
};

struct ConversionOutcome {
    ConversionStatus status = ConversionStatus::Refused;
    int writerResult = 1; // when Finished: 0 when the movie writer wrote the movie, else 1
    long lines = 0;       // frame lines written to the intermediate file
    long framesWritten = 0;
    bool cancelled = false;                  // progress() asked to stop
    QList<ConversionMessage> messages;       // in the order they happened
    QList<UnreadableImage> unreadableImages; // in row order
    bool succeeded() const { return status == ConversionStatus::Finished && writerResult == 0; }
};

// After each frame written: frames written so far and the total; answering
// false stops after that frame (the movie is closed properly).
using ConversionProgress = std::function<bool(long written, long total)>;

// Runs one conversion, synchronously.
ConversionOutcome RunConversion(const ConversionRequest& request,
                                const ConversionProgress& progress = {});
