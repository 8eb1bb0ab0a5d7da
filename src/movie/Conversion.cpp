#include "movie/Conversion.h"

#include "movie/FramePipeline.h"
#include "movie/IntermediateFrameFile.h"

#include <QFile>

#include <climits>
#include <sys/stat.h>

SettingsProblem CheckMovieSettings(const ProjectSettings& settings) {
    // The writer's time base is 1/fps in a signed 32-bit denominator.
    if (settings.fps == 0 || settings.fps > quint32(INT_MAX))
        return SettingsProblem::FrameRate;
    if (settings.width == 0 || settings.height == 0 || settings.width > kMaxMovieSide ||
        settings.height > kMaxMovieSide)
        return SettingsProblem::FrameSize;
    if (settings.depthIndex < 0 || settings.depthIndex > 2)
        return SettingsProblem::Depth;
    return SettingsProblem::None;
}

QString SettingsProblemMessage(SettingsProblem problem, const ProjectSettings& settings) {
    switch (problem) {
    case SettingsProblem::None:
        break;
    case SettingsProblem::FrameRate:
        return QStringLiteral("フレームレート %1 fps ではAVIファイルを作成できません。\n"
                              "FPSの設定を 1 以上にしてください。")
            .arg(settings.fps);
    case SettingsProblem::FrameSize:
        return QStringLiteral("画像サイズ %1 x %2 ではAVIファイルを作成できません。\n"
                              "幅と高さを 1 から %3 の範囲にしてください。")
            .arg(qint32(settings.width))
            .arg(qint32(settings.height))
            .arg(kMaxMovieSide);
    case SettingsProblem::Depth:
        return QStringLiteral("色数の設定 (%1) ではAVIファイルを作成できません。\n"
                              "8, 16, 24 bpp のいずれかを選んでください。")
            .arg(settings.depthIndex);
    }
    return {};
}

QString SettingsProblemText(SettingsProblem problem, const ProjectSettings& settings) {
    switch (problem) {
    case SettingsProblem::None:
        break;
    case SettingsProblem::FrameRate:
        return QStringLiteral("a frame rate of %1 fps cannot make a movie (use 1 or more)")
            .arg(settings.fps);
    case SettingsProblem::FrameSize:
        return QStringLiteral("a frame size of %1 x %2 cannot make a movie "
                              "(width and height must be 1 to %3)")
            .arg(qint32(settings.width))
            .arg(qint32(settings.height))
            .arg(kMaxMovieSide);
    case SettingsProblem::Depth:
        return QStringLiteral("a colour depth index of %1 cannot make a movie "
                              "(0, 1 or 2 for 8, 16 or 24 bits)")
            .arg(settings.depthIndex);
    }
    return {};
}

QString UncarriableRowMessage(long row) {
    return QStringLiteral(
               "%1 行目のファイル名は改行を含むか空白だけのため、AVIファイルを作成できません。")
        .arg(row);
}

QByteArray ConversionAudioPath(const ProjectSettings& settings) {
    return settings.audioEnabled ? settings.audioPath : QByteArray();
}

// True when both paths name one existing file.
static bool IsSameFile(const QByteArray& a, const QByteArray& b) {
    struct stat sa {
    }, sb{};
    return !a.isEmpty() && !b.isEmpty() && ::stat(a.constData(), &sa) == 0 &&
           ::stat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

ConversionOutcome RunConversion(const ConversionRequest& request, ConversionSink& sink) {
    ConversionOutcome outcome;
    const ProjectSettings& settings = request.settings;

    // Nothing is written for settings or rows that cannot make a movie.
    if (const SettingsProblem problem = CheckMovieSettings(settings);
        problem != SettingsProblem::None) {
        sink.showMessage(SettingsProblemMessage(problem, settings));
        return outcome;
    }
    if (const long row = FirstUncarriableRow(request.rows); row >= 0) {
        sink.showMessage(UncarriableRowMessage(row));
        return outcome;
    }

    const QByteArray audioPath = ConversionAudioPath(settings);
    // The movie replaces its file before the sound is read: a sound taken from
    // that same file would be lost with it.
    if (IsSameFile(audioPath, request.outputPath)) {
        sink.showMessage(QString::fromUtf8(kSoundIsOutputMessage));
        return outcome;
    }

    IntermediateFrameFile frameFile;
    if (!frameFile.create(request.tempDirectory)) {
        outcome.status = ConversionStatus::IntermediateError;
        sink.showMessage(QString::fromUtf8(kIntermediateFileErrorMessage));
        return outcome;
    }
    outcome.lines = frameFile.writeLines(request.rows, settings.trimAviSize != 0,
                                         settings.noTrailingBlank != 0);
    // A short write (a full disk) would silently drop the frames after it.
    if (outcome.lines < 0 || !frameFile.rewindForReading()) {
        outcome.lines = 0;
        outcome.status = ConversionStatus::IntermediateError;
        frameFile.remove();
        sink.showMessage(QString::fromUtf8(kIntermediateFileErrorMessage));
        return outcome;
    }

    FrameLineReader reader(frameFile.file(), settings.scaleImages);
    AviWriterHooks hooks;
    hooks.chooseCompression = [&sink]() { return sink.chooseCompression(); };
    hooks.message = [&sink](const char* text, const char* caption) {
        sink.showPlainMessage(QString::fromUtf8(text), QString::fromUtf8(caption));
    };
    hooks.progress = [&sink, &outcome](long written, long total) {
        outcome.framesWritten = written;
        if (sink.progress(written, total))
            return true;
        outcome.cancelled = true;
        return false;
    };
    // The frames are drawn ahead on all cores; the file is the same as with
    // the reader's own callbacks one frame at a time.
    outcome.writerResult = WriteAviMovieFromLines(
        reader, request.outputPath.toStdString(), settings.width, settings.height,
        8 * (settings.depthIndex + 1), outcome.lines, settings.fps, audioPath.toStdString(), hooks);
    outcome.status = ConversionStatus::Finished;

    frameFile.remove();
    sink.finished(QString::fromUtf8(kConversionFinishedMessage), outcome.writerResult);
    return outcome;
}
