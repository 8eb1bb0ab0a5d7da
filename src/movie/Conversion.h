#pragma once

// The conversion of a frame list to an AVI movie, shared by the Ctrl+B command
// and `vistrom --convert`: check the settings, write the intermediate frame
// file, read it back through the movie writer's callbacks, delete it, report.
// Everything the user is told or asked goes through a ConversionSink, so the
// window shows message boxes and the command line prints to standard error.
// RunConversion may run on a worker thread; the sink's methods are then called
// on that thread.

#include "movie/AviWriter.h"
#include "settings/ProjectSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// The program's closing message, shown whatever the writer reported.
inline const char* const kConversionFinishedMessage = "AVI変換処理が終了しました。";
// The intermediate file could not be created, written or read back.
inline const char* const kIntermediateFileErrorMessage = "中間ファイル作成時にエラーが発生しました";
// The sound file is the movie file itself: converting would destroy the sound.
inline const char* const kSoundIsOutputMessage =
    "Audioのwavファイルと同じファイルにはAVIファイルを作成できません。";

class ConversionSink {
public:
    virtual ~ConversionSink() = default;
    // A message of the program (caption "Vistrom").
    virtual void showMessage(const QString& text) = 0;
    // The movie writer's plain messages, e.g. ("WritingERR", "AVI ERR").
    virtual void showPlainMessage(const QString& text, const QString& caption) = 0;
    // The compression options; std::nullopt when the user cancelled.
    virtual std::optional<CompressionChoice> chooseCompression() = 0;
    // After each frame written; false asks to stop after that frame.
    virtual bool progress(long written, long total) = 0;
    // The end of a conversion that reached the writer. `text` is the closing
    // message; writerResult is the writer's 0 or 1.
    virtual void finished(const QString& text, int /*writerResult*/) { showMessage(text); }
};

struct ConversionRequest {
    QByteArray outputPath; // the movie file, completed with ".avi" by the caller
    ProjectSettings settings;
    QList<QByteArray> rows;   // the list's row paths, empty for a blank row
    QByteArray tempDirectory; // empty: the user's temporary directory
};

enum class ConversionStatus {
    Finished,          // the writer ran (see writerResult)
    Refused,           // the settings or rows cannot make a movie; nothing was written
    IntermediateError, // the intermediate file failed; no movie was written
};

struct ConversionOutcome {
    ConversionStatus status = ConversionStatus::Refused;
    int writerResult = 1; // WriteAviMovie's result when Finished
    long lines = 0;       // frame lines written to the intermediate file
    long framesWritten = 0;
    bool cancelled = false; // the user stopped the frame loop through progress()
    bool succeeded() const { return status == ConversionStatus::Finished && writerResult == 0; }
};

// Why a project's settings cannot make a movie; None when they can. A project
// file may bring in any value; these are the ones no movie can be made with.
enum class SettingsProblem { None, FrameRate, FrameSize, Depth };
SettingsProblem CheckMovieSettings(const ProjectSettings& settings);
// The message for the window, and its English text for the command line.
QString SettingsProblemMessage(SettingsProblem problem, const ProjectSettings& settings);
QString SettingsProblemText(SettingsProblem problem, const ProjectSettings& settings);
// The largest width or height a movie may have.
inline constexpr quint32 kMaxMovieSide = 16384;

// The message for a row whose path cannot go into the intermediate file.
QString UncarriableRowMessage(long row);

// The audio file handed to the writer: the path when audio is on, else empty.
QByteArray ConversionAudioPath(const ProjectSettings& settings);

// Runs one conversion, synchronously.
ConversionOutcome RunConversion(const ConversionRequest& request, ConversionSink& sink);
