#include "movie/Conversion.h"

#include "movie/AviWriter.h"
#include "movie/FrameDrawing.h"
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

// The movie: the frame file's lines drawn ahead on all cores, and written.
void WriteMovie(const ConversionRequest& request, const QByteArray& audioPath, std::FILE* lines,
                ConversionOutcome& outcome, const ConversionProgress& progress) {
    const ProjectSettings& settings = request.settings;
    MovieDescription movie;
    movie.outputPath = request.outputPath.toStdString();
    movie.width = settings.width;
    movie.height = settings.height;
    movie.depth = settings.depth;
    movie.fps = settings.fps;
    movie.compression = request.compression;
    movie.audioPath = audioPath.toStdString();
    FrameLineReader reader(lines);
    FramePipeline frames(reader, outcome.lines, settings.width, settings.height,
                         *MovieFrameFormat(settings.depth), FrameDrawMode(settings),
                         ImageDecodeOptions(settings));
    const MovieResult written =
        WriteAviMovie(movie, frames, [&progress, &outcome](long framesWritten) {
            outcome.framesWritten = framesWritten;
            if (!progress || progress(framesWritten, outcome.lines))
                return true;
            outcome.cancelled = true;
            return false;
        });
    for (const MovieMessage& message : written.messages)
        outcome.messages.append({ConversionMessage::Kind::Writer,
                                 QString::fromStdString(message.text),
                                 QString::fromStdString(message.caption)});
    outcome.writerResult = written.written ? 0 : 1;
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

    WriteMovie(request, audioPath, frameFile.file(), outcome, progress);
    outcome.status = ConversionStatus::Finished;

    frameFile.remove();
    outcome.messages.append(
        {ConversionMessage::Kind::Closing, Texts::tr("AVI変換処理が終了しました。"), {}});
    return outcome;
}
