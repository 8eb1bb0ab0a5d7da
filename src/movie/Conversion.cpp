#include "movie/Conversion.h"

#include "movie/FramePipeline.h"
#include "movie/IntermediateFrameFile.h"

#include <climits>
#include <sys/stat.h>

namespace {

struct Texts {
    Q_DECLARE_TR_FUNCTIONS(Conversion)
};

QString SettingsProblem(const ProjectSettings& settings) {
    // The writer's time base is 1/fps in a signed 32-bit denominator.
    if (settings.fps == 0 || settings.fps > quint32(INT_MAX))
        return Texts::tr("フレームレート %1 fps ではAVIファイルを作成できません。\n"
                         "FPSの設定を 1 以上にしてください。")
            .arg(settings.fps);
    if (settings.width == 0 || settings.height == 0 || settings.width > kMaxMovieSide ||
        settings.height > kMaxMovieSide)
        return Texts::tr("画像サイズ %1 x %2 ではAVIファイルを作成できません。\n"
                         "幅と高さを 1 から %3 の範囲にしてください。")
            .arg(qint32(settings.width))
            .arg(qint32(settings.height))
            .arg(kMaxMovieSide);
    if (BitsPerPixel(settings.depth) == 0)
        return Texts::tr("色数の設定 (%1) ではAVIファイルを作成できません。\n"
                         "8, 16, 24 bpp のいずれかを選んでください。")
            .arg(qint32(settings.depth));
    return {};
}

// True when both paths name one existing file.
bool IsSameFile(const QByteArray& a, const QByteArray& b) {
    struct stat sa {
    }, sb{};
    return !a.isEmpty() && !b.isEmpty() && ::stat(a.constData(), &sa) == 0 &&
           ::stat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

ConversionMessage ProgramMessage(const QString& text) {
    return {ConversionMessage::Kind::Program, text, {}};
}

QString IntermediateFileError() {
    return Texts::tr("中間ファイル作成時にエラーが発生しました");
}

} // namespace

std::optional<QString> ConversionInputProblem(const ProjectSettings& settings,
                                              const QList<QByteArray>& rows) {
    if (QString problem = SettingsProblem(settings); !problem.isEmpty())
        return problem;
    if (const long row = FirstUncarriableRow(rows); row >= 0)
        return Texts::tr("%1 行目のファイル名は改行を含むか空白だけのため、"
                         "AVIファイルを作成できません。")
            .arg(row);
    return std::nullopt;
}

QByteArray ConversionAudioPath(const ProjectSettings& settings) {
    return settings.audioEnabled ? settings.audioPath : QByteArray();
}

ConversionOutcome RunConversion(const ConversionRequest& request,
                                const ConversionProgress& progress) {
    ConversionOutcome outcome;
    const ProjectSettings& settings = request.settings;

    // Nothing is written for settings or rows that cannot make a movie.
    if (const std::optional<QString> problem = ConversionInputProblem(settings, request.rows)) {
        outcome.messages.append(ProgramMessage(*problem));
        return outcome;
    }

    const QByteArray audioPath = ConversionAudioPath(settings);
    // The movie replaces its file before the sound is read: a sound taken from
    // that same file would be lost with it.
    if (IsSameFile(audioPath, request.outputPath)) {
        outcome.messages.append(ProgramMessage(
            Texts::tr("Audioのwavファイルと同じファイルにはAVIファイルを作成できません。")));
        return outcome;
    }

    IntermediateFrameFile frameFile;
    if (!frameFile.create(request.tempDirectory)) {
        outcome.status = ConversionStatus::IntermediateError;
        outcome.messages.append(ProgramMessage(IntermediateFileError()));
        return outcome;
    }
    outcome.lines =
        frameFile.writeLines(request.rows, settings.trimAviSize, settings.noTrailingBlank);
    // A short write (a full disk) would silently drop the frames after it.
    if (outcome.lines < 0 || !frameFile.rewindForReading()) {
        outcome.lines = 0;
        outcome.status = ConversionStatus::IntermediateError;
        frameFile.remove();
        outcome.messages.append(ProgramMessage(IntermediateFileError()));
        return outcome;
    }

    FrameLineReader reader(frameFile.file(), settings.scaleImages ? 1 : 0);
    AviWriterHooks hooks;
    hooks.chooseCompression = [&request]() { return request.compression; };
    hooks.message = [&outcome](const char* text, const char* caption) {
        outcome.messages.append(
            {ConversionMessage::Kind::Writer, QString::fromUtf8(text), QString::fromUtf8(caption)});
    };
    hooks.progress = [&progress, &outcome](long written, long total) {
        outcome.framesWritten = written;
        if (!progress || progress(written, total))
            return true;
        outcome.cancelled = true;
        return false;
    };
    // The frames are drawn ahead on all cores; the file is the same as with
    // the reader's own callbacks one frame at a time.
    outcome.writerResult = WriteAviMovieFromLines(
        reader, request.outputPath.toStdString(), settings.width, settings.height,
        BitsPerPixel(settings.depth), outcome.lines, settings.fps, audioPath.toStdString(), hooks);
    outcome.status = ConversionStatus::Finished;

    frameFile.remove();
    outcome.messages.append(
        {ConversionMessage::Kind::Closing, Texts::tr("AVI変換処理が終了しました。"), {}});
    return outcome;
}
