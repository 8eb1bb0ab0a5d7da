#include "movie/Conversion.h"

#include "movie/AviWriter.h"
#include "movie/ContainerEncoder.h"
#include "movie/ContainerWriter.h"
#include "movie/Containers.h"
#include "movie/FrameDrawing.h"
#include "movie/FramePipeline.h"
#include "movie/IntermediateFrameFile.h"
#include "movie/PendingMovieFile.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Texts {
    Q_DECLARE_TR_FUNCTIONS(Conversion)
};

QString SettingsProblem(const ProjectSettings& settings, MovieContainer container) {
    // The writer's time base is 1/fps in a signed 32-bit denominator.
    if (settings.fps == 0 || settings.fps > quint32(INT_MAX))
        return ForContainer(container,
                            Texts::tr("フレームレート %1 fps ではAVIファイルを作成できません。\n"
                                      "FPSの設定を 1 以上にしてください。"),
                            Texts::tr("フレームレート %2 fps では%1ファイルを作成できません。\n"
                                      "FPSの設定を 1 以上にしてください。"))
            .arg(settings.fps);
    if (settings.width == 0 || settings.height == 0 || settings.width > kMaxMovieSide ||
        settings.height > kMaxMovieSide)
        return ForContainer(container,
                            Texts::tr("画像サイズ %1 x %2 ではAVIファイルを作成できません。\n"
                                      "幅と高さを 1 から %3 の範囲にしてください。"),
                            Texts::tr("画像サイズ %2 x %3 では%1ファイルを作成できません。\n"
                                      "幅と高さを 1 から %4 の範囲にしてください。"))
            .arg(qint32(settings.width))
            .arg(qint32(settings.height))
            .arg(kMaxMovieSide);
    // FFmpeg's readers, and players built on them, refuse a picture whose
    // (width + 128) x (height + 128) x 8 reaches INT_MAX (av_image_check_size).
    if ((quint64(settings.width) + 128) * (quint64(settings.height) + 128) >= kMaxMovieArea)
        return ForContainer(container,
                            Texts::tr("画像サイズ %1 x %2 のAVIファイルは再生ソフトで開けません。\n"
                                      "(幅 + 128) × (高さ + 128) を %3 より小さくしてください。"),
                            Texts::tr("画像サイズ %2 x %3 の%1ファイルは再生ソフトで開けません。\n"
                                      "(幅 + 128) × (高さ + 128) を %4 より小さくしてください。"))
            .arg(settings.width)
            .arg(settings.height)
            .arg(kMaxMovieArea);
    // The colour depth shapes AVI's uncompressed frames only.
    if (container == MovieContainer::Avi && BitsPerPixel(settings.depth) == 0)
        return Texts::tr("色数の設定 (%1) ではAVIファイルを作成できません。\n"
                         "8, 16, 24 bpp のいずれかを選んでください。")
            .arg(qint32(settings.depth));
    return {};
}

// The file a path names, when it exists.
std::optional<std::pair<dev_t, ino_t>> FileIdentity(const QByteArray& path) {
    struct stat info {};
    if (path.isEmpty() || ::stat(path.constData(), &info) != 0)
        return std::nullopt;
    return std::pair{info.st_dev, info.st_ino};
}

// Why the movie may not go to its path: replacing the file would destroy the
// sound it is to copy, one of its own images, or the project.
std::optional<QString> OutputProblem(const ConversionRequest& request,
                                     const QByteArray& audioPath) {
    const auto output = FileIdentity(request.outputPath);
    if (!output)
        return std::nullopt; // a new file is none of them
    const MovieContainer container = ContainerForPath(request.outputPath.toStdString());
    if (FileIdentity(audioPath) == output)
        return ForContainer(
            container,
            Texts::tr("Audioのwavファイルと同じファイルにはAVIファイルを作成できません。"),
            Texts::tr("Audioのwavファイルと同じファイルには%1ファイルを作成できません。"));
    if (FileIdentity(request.projectPath) == output)
        return ForContainer(
            container,
            Texts::tr("プロジェクトファイルと同じファイルにはAVIファイルを作成できません。"),
            Texts::tr("プロジェクトファイルと同じファイルには%1ファイルを作成できません。"));
    for (qsizetype row = 0; row < request.rows.size(); ++row)
        if (FileIdentity(request.rows[row]) == output)
            return ForContainer(
                       container,
                       Texts::tr("%1 行目の画像と同じファイルにはAVIファイルを作成できません。"),
                       Texts::tr("%2 行目の画像と同じファイルには%1ファイルを作成できません。"))
                .arg(row);
    return std::nullopt;
}

// Sound is read only from a regular file: a pipe would keep the conversion
// waiting for a writer, a device or a folder holds no sound file. A missing
// file gives a movie without sound, as before.
std::optional<QString> SoundProblem(const QByteArray& audioPath) {
    struct stat info {};
    if (audioPath.isEmpty() || ::stat(audioPath.constData(), &info) != 0 || S_ISREG(info.st_mode))
        return std::nullopt;
    return Texts::tr("Audioのファイル %1 は通常のファイルではない (パイプ、デバイスまたは"
                     "フォルダ) ため、読み込めません。")
        .arg(QFile::decodeName(audioPath));
}

ConversionMessage ProgramMessage(const QString& text) {
    return {ConversionMessage::Kind::Program, text, {}};
}

QString IntermediateFileError() {
    return Texts::tr("中間ファイル作成時にエラーが発生しました");
}

// Why an image could not be drawn, for the user.
QString UnreadableReason(const QByteArray& path) {
    struct stat info {};
    if (::stat(path.constData(), &info) != 0)
        return errno == ENOENT ? Texts::tr("ファイルがありません")
                               : QString::fromLocal8Bit(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return Texts::tr("通常のファイルではありません");
    if (::access(path.constData(), R_OK) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    return Texts::tr("画像として読み込めません");
}

// A container movie whose encoder takes YUV frames gets them made on the
// pipeline's workers, stretched pictures scaled in one filtered step.
void MakeEncoderFrames(FramePipeline& frames, MovieContainer container,
                       const CompressionChoice& compression, const ProjectSettings& settings) {
    const CodecInfo* codec = FindContainerCodec(container, compression.encoder);
    const int width = int(settings.width), height = int(settings.height);
    const AVPixelFormat format =
        codec ? ContainerFrameFormat(codec->name, width, height) : AV_PIX_FMT_NONE;
    const AVPixFmtDescriptor* described = av_pix_fmt_desc_get(format);
    if (!described || (described->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL)))
        return;
    frames.makeEncoderFrames(
        [=, mode = FrameDrawMode(settings),
         options = ImageDecodeOptions(settings)](const QByteArray& path, bool& readable) {
            return DrawEncoderFrame(path, mode, options, width, height, format, readable);
        });
}

// The movie: the frame file's lines drawn ahead on all cores, and written to `path`.
void WriteMovie(const ConversionRequest& request, const QByteArray& path,
                const QByteArray& audioPath, std::FILE* lines, ConversionOutcome& outcome,
                const ConversionProgress& progress) {
    const ProjectSettings& settings = request.settings;
    MovieDescription movie;
    movie.outputPath = path.toStdString();
    movie.width = settings.width;
    movie.height = settings.height;
    movie.depth = settings.depth;
    movie.fps = settings.fps;
    movie.compression = request.compression;
    movie.audioPath = audioPath.toStdString();
    FrameLineReader reader(lines);
    // The colour depth shapes AVI's frames only; other containers take 24 bits.
    const MovieContainer container = ContainerForPath(request.outputPath.toStdString());
    const bool avi = container == MovieContainer::Avi;
    FramePipeline frames(reader, outcome.lines, settings.width, settings.height,
                         *MovieFrameFormat(avi ? settings.depth : ColourDepth::Bits24),
                         FrameDrawMode(settings), ImageDecodeOptions(settings));
    if (!avi && request.compression)
        MakeEncoderFrames(frames, container, *request.compression, settings);
    // An image line's position is its row.
    frames.onUnreadable([&outcome](long position, const QByteArray& image) {
        outcome.unreadableImages.append({position, image, UnreadableReason(image)});
    });
    auto onFrame = [&progress, &outcome](long framesWritten) {
        outcome.framesWritten = framesWritten;
        if (!progress || progress(framesWritten, outcome.lines))
            return true;
        outcome.cancelled = true;
        return false;
    };
    const MovieResult written = avi ? WriteAviMovie(movie, frames, onFrame)
                                    : WriteContainerMovie(movie, container, frames, onFrame);
    for (const MovieMessage& message : written.messages)
        outcome.messages.append({ConversionMessage::Kind::Writer,
                                 QString::fromStdString(message.text),
                                 QString::fromStdString(message.caption)});
    outcome.writerResult = written.written ? 0 : 1;
}

// The writer's own words for a file it cannot create, and the system's reason.
void TellCannotCreate(ConversionOutcome& outcome, const QString& reason) {
    for (const MovieMessage& message : AviCannotOpenMessages())
        outcome.messages.append({ConversionMessage::Kind::Writer,
                                 QString::fromStdString(message.text),
                                 QString::fromStdString(message.caption)});
    outcome.messages.append(ProgramMessage(reason));
    outcome.writerResult = 1;
}

// The movie beside its target, put in place when complete and not cancelled.
void WriteMovieInPlace(const ConversionRequest& request, const QByteArray& audioPath,
                       std::FILE* lines, ConversionOutcome& outcome,
                       const ConversionProgress& progress) {
    PendingMovieFile movie(request.outputPath);
    QString reason;
    if (!movie.create(&reason)) {
        TellCannotCreate(outcome, reason);
        return;
    }
    WriteMovie(request, movie.writePath(), audioPath, lines, outcome, progress);
    if (outcome.writerResult != 0 || outcome.cancelled || !request.compression)
        movie.discard();
    else if (!movie.commit(&reason)) {
        outcome.messages.append(ProgramMessage(reason));
        outcome.writerResult = 1;
    }
}

} // namespace

QString ForContainer(MovieContainer container, const QString& aviText, const QString& otherText) {
    return container == MovieContainer::Avi
               ? aviText
               : otherText.arg(QLatin1String(ContainerName(container)));
}

std::optional<QString> ConversionInputProblem(const ProjectSettings& settings,
                                              const QList<QByteArray>& rows,
                                              MovieContainer container) {
    if (QString problem = SettingsProblem(settings, container); !problem.isEmpty())
        return problem;
    if (const long row = FirstUncarriableRow(rows); row >= 0)
        return ForContainer(container,
                            Texts::tr("%1 行目のファイル名は改行を含むか空白だけのため、"
                                      "AVIファイルを作成できません。"),
                            Texts::tr("%2 行目のファイル名は改行を含むか空白だけのため、"
                                      "%1ファイルを作成できません。"))
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
    const MovieContainer container = ContainerForPath(request.outputPath.toStdString());

    // Nothing is written for settings or rows that cannot make a movie.
    if (const std::optional<QString> problem =
            ConversionInputProblem(settings, request.rows, container)) {
        outcome.messages.append(ProgramMessage(*problem));
        return outcome;
    }

    const QByteArray audioPath = ConversionAudioPath(settings);
    if (std::optional<QString> problem = OutputProblem(request, audioPath)) {
        outcome.messages.append(ProgramMessage(*problem));
        return outcome;
    }
    if (std::optional<QString> problem = SoundProblem(audioPath)) {
        outcome.messages.append(ProgramMessage(*problem));
        return outcome;
    }

    IntermediateFrameFile frameFile;
    if (!frameFile.create(request.tempDirectory)) {
        outcome.status = ConversionStatus::IntermediateError;
        outcome.messages.append(ProgramMessage(IntermediateFileError()));
        return outcome;
    }
    // Held frames cost nothing outside AVI: there is nothing to trim.
    const bool trim = settings.trimAviSize && container == MovieContainer::Avi;
    outcome.lines = frameFile.writeLines(request.rows, trim, settings.noTrailingBlank);
    // A short write (a full disk) would silently drop the frames after it.
    if (outcome.lines < 0 || !frameFile.rewindForReading()) {
        outcome.lines = 0;
        outcome.status = ConversionStatus::IntermediateError;
        frameFile.remove();
        outcome.messages.append(ProgramMessage(IntermediateFileError()));
        return outcome;
    }

    WriteMovieInPlace(request, audioPath, frameFile.file(), outcome, progress);
    outcome.status = ConversionStatus::Finished;

    frameFile.remove();
    outcome.messages.append({ConversionMessage::Kind::Closing,
                             ForContainer(container, Texts::tr("AVI変換処理が終了しました。"),
                                          Texts::tr("%1変換処理が終了しました。")),
                             {}});
    return outcome;
}
