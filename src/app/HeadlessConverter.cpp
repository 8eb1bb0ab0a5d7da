#include "app/HeadlessConverter.h"

#include "language/Language.h"
#include "movie/Codecs.h"
#include "movie/Containers.h"
#include "movie/Conversion.h"
#include "movie/IntermediateFrameFile.h"
#include "movie/TemporaryFiles.h"
#include "project/ProjectFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr int kExitFailure = 1; // the conversion failed
constexpr int kExitUsage = 2;   // the command line is wrong

// Set by the first SIGINT, SIGTERM, SIGHUP or SIGPIPE: the frame loop stops
// after the current frame, so the movie's temporary file and the intermediate
// file are removed and the file at the output path stays as it was. A second
// SIGINT, SIGTERM or SIGHUP ends the program at once, after removing the
// temporary files. SIGPIPE (standard error piped into `head`, say) never
// kills: later writes to the closed pipe simply fail.
volatile std::sig_atomic_t interrupted = 0;

void OnSignal(int signal) {
    if (interrupted && signal != SIGPIPE) {
        RemoveTemporaryFiles();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
        return;
    }
    interrupted = 1;
}

void CatchSignals() {
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        sigaction(signal, &action, nullptr);
}

// The name --list-codecs shows for the uncompressed entry, whose encoder name is empty.
constexpr char kUncompressedName[] = "uncompressed";

const char kUsage[] =
    "Usage:\n"
    "  vistrom [--lang ja|en] [PROJECT.fsq]\n"
    "      Opens the window, with the project when one is named, in Japanese or\n"
    "      English (default: the desktop's language).\n"
    "  vistrom --convert PROJECT.fsq --output MOVIE.avi [--codec NAME] [--quality Q]\n"
    "          [--audio FILE | --no-audio] [--strict] [--quiet]\n"
    "      Converts the project's frame list to a movie without a window: MOVIE's\n"
    "      extension picks the container (.avi, .mp4, .mov, .mkv, .webm, .gif;\n"
    "      any other name is an AVI file).\n"
    "      Relative image and sound paths in the project are taken from the\n"
    "      project file's folder, else from the current folder.\n"
    "      --codec NAME   a compressor --list-codecs offers for the container\n"
    "                     (default: the container's first)\n"
    "      --quality Q    1 to 100, for compressors with a quality setting\n"
    "      --audio FILE   use FILE as the audio track (overrides the project)\n"
    "      --no-audio     leave the audio track out (overrides the project)\n"
    "      --strict       fail (exit status 1) when an image cannot be read; its\n"
    "                     frame is white either way\n"
    "      --quiet        print only warnings and errors\n"
    "      The movie is written beside MOVIE.avi under a temporary name and takes\n"
    "      its place only when complete.\n"
    "  vistrom --list-codecs\n"
    "      Lists the compressors this installation offers, per container.\n"
    "  vistrom --help\n"
    "      Shows this text.\n"
    "Exit status: 0 when the movie was written, 1 when the conversion failed,\n"
    "2 when the command line is wrong.\n";

void Print(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stderr, "vistrom: %s\n", bytes.constData());
}

struct Options {
    bool help = false;
    bool listCodecs = false;
    bool convert = false;
    QByteArray project;
    QByteArray output;
    std::optional<std::string> codec;
    std::optional<int> quality;
    std::optional<QByteArray> audio; // a path, or empty for --no-audio
    bool strict = false;
    bool quiet = false;
};

// The rules between the options.
QString CheckCombination(const Options& options) {
    if (options.help)
        return {};
    if (options.listCodecs && options.convert)
        return QStringLiteral("--list-codecs and --convert cannot be combined");
    if (options.convert && options.output.isEmpty())
        return QStringLiteral("--convert needs --output MOVIE.avi");
    if (!options.convert && (!options.output.isEmpty() || options.codec || options.quality ||
                             options.audio || options.strict || options.quiet))
        return QStringLiteral(
            "--output, --codec, --quality, --audio, --strict and --quiet go with --convert");
    return {};
}

// Parses argv as bytes, so that paths pass through unchanged. Accepts
// "--name value" and "--name=value". Answers an error text, or empty.
QString ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        QByteArray arg(argv[i]);
        QByteArray inlineValue;
        bool hasInline = false;
        if (arg.startsWith("--")) {
            const qsizetype eq = arg.indexOf('=');
            if (eq > 0) {
                inlineValue = arg.mid(eq + 1);
                arg.truncate(eq);
                hasInline = true;
            }
        }
        auto value = [&](QByteArray& out) -> bool {
            if (hasInline) {
                out = inlineValue;
                return true;
            }
            if (i + 1 >= argc)
                return false;
            out = QByteArray(argv[++i]);
            return true;
        };
        auto needsValue = [&] {
            return QStringLiteral("%1 needs a value").arg(QString::fromLocal8Bit(arg));
        };
        QByteArray v;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--list-codecs") {
            options.listCodecs = true;
        } else if (arg == "--convert") {
            if (!value(v))
                return needsValue();
            options.convert = true;
            options.project = v;
        } else if (arg == "--output" || arg == "-o") {
            if (!value(v))
                return needsValue();
            options.output = v;
        } else if (arg == "--codec") {
            if (!value(v))
                return needsValue();
            options.codec = v.toStdString();
        } else if (arg == "--quality") {
            if (!value(v))
                return needsValue();
            bool ok = false;
            const int q = v.toInt(&ok);
            if (!ok || q < 1 || q > 100)
                return QStringLiteral("--quality takes a whole number from 1 to 100, not \"%1\"")
                    .arg(QString::fromLocal8Bit(v));
            options.quality = q;
        } else if (arg == "--audio") {
            if (!value(v))
                return needsValue();
            if (v.isEmpty())
                return QStringLiteral("--audio needs a file name");
            if (options.audio)
                return QStringLiteral("give --audio or --no-audio once");
            options.audio = v;
        } else if (arg == "--strict") {
            options.strict = true;
        } else if (arg == "--quiet" || arg == "-q") {
            options.quiet = true;
        } else if (arg == "--no-audio") {
            if (options.audio)
                return QStringLiteral("give --audio or --no-audio once");
            options.audio = QByteArray();
        } else {
            return QStringLiteral("unknown argument \"%1\"").arg(QString::fromLocal8Bit(argv[i]));
        }
    }
    return CheckCombination(options);
}

int ListCodecs() {
    for (const MovieContainer container : MovieContainers()) {
        std::printf("%s%s (.%s%s):\n", container == MovieContainer::Avi ? "" : "\n",
                    ContainerDescription(container), ContainerExtension(container),
                    container == MovieContainer::Avi ? ", and any other name" : "");
        bool first = true;
        for (const CodecInfo& codec : ContainerCodecs(container)) {
            const std::string name = codec.name.empty() ? kUncompressedName : codec.name;
            std::printf("%-14s %s%s%s\n", name.c_str(), codec.description.c_str(),
                        codec.hasQuality ? " (quality 1-100)" : "", first ? ", the default" : "");
            first = false;
        }
    }
    return 0;
}

// Progress on standard error. On a terminal, one line updated in place at
// most ten times a second: frames, percent, frames per second and the time
// left, as the ffmpeg command line shows it. Otherwise (a file, a pipe) a
// line at every tenth of the work. Nothing with --quiet.
class ProgressPrinter {
public:
    explicit ProgressPrinter(bool quiet) : quiet_(quiet) {
        interactive_ = ::isatty(STDERR_FILENO) == 1;
        clock_.start();
    }

    bool operator()(long written, long total) {
        if (quiet_ || total <= 0)
            return !interrupted;
        const int percent = int(qint64(written) * 100 / total);
        if (interactive_) {
            if (written == total || clock_.elapsed() >= lastShown_ + 100) {
                lastShown_ = clock_.elapsed();
                const double seconds = std::max<qint64>(clock_.elapsed(), 1) / 1000.0;
                const double fps = written / seconds;
                const long left = fps > 0 ? long((total - written) / fps + 0.5) : 0;
                std::fprintf(stderr,
                             "\rvistrom: frame %ld of %ld (%d %%), %.1f fps, %ld:%02ld left\033[K",
                             written, total, percent, fps, left / 60, left % 60);
                std::fflush(stderr);
                lineOpen_ = true;
            }
        } else if (percent / 10 > shownTenths_) {
            shownTenths_ = percent / 10;
            std::fprintf(stderr, "vistrom: frame %ld of %ld (%d %%)\n", written, total, percent);
        }
        return !interrupted;
    }

    void endLine() {
        if (lineOpen_)
            std::fputc('\n', stderr);
        lineOpen_ = false;
    }

private:
    bool quiet_ = false;
    bool interactive_ = false;
    bool lineOpen_ = false;
    QElapsedTimer clock_;
    qint64 lastShown_ = -1000;
    int shownTenths_ = 0;
};

// The conversion's messages; the closing message is the window's, the
// converter prints its own summary instead.
void PrintMessages(const QList<ConversionMessage>& messages) {
    for (const ConversionMessage& message : messages) {
        switch (message.kind) {
        case ConversionMessage::Kind::Program:
            Print(message.text);
            break;
        case ConversionMessage::Kind::Writer:
            Print(QStringLiteral("%1 (%2)").arg(message.text, message.caption));
            break;
        case ConversionMessage::Kind::Closing:
            break;
        }
    }
}

// The compressor the options name; nothing, after a message, when they name
// none that is offered.
std::optional<CompressionChoice> ChooseCompression(const Options& options) {
    CompressionChoice choice;
    const MovieContainer container = ContainerForPath(options.output.toStdString());
    if (options.codec) {
        const std::string name =
            *options.codec == kUncompressedName ? std::string() : *options.codec;
        const CodecInfo* codec = name.empty() && container != MovieContainer::Avi
                                     ? nullptr
                                     : FindContainerCodec(container, name);
        if (!codec) {
            const bool elsewhere = name.empty() || FindOfferedCodec(name) ||
                                   std::any_of(MovieContainers().begin(), MovieContainers().end(),
                                               [&name](MovieContainer c) {
                                                   return FindContainerCodec(c, name) != nullptr;
                                               });
            Print(QStringLiteral("%1 codec \"%2\"%3; `vistrom --list-codecs` shows the ones "
                                 "offered per container")
                      .arg(elsewhere ? QStringLiteral("the") : QStringLiteral("unknown"),
                           QString::fromStdString(*options.codec),
                           elsewhere ? QStringLiteral(" cannot go in a .%1 file")
                                           .arg(QLatin1String(ContainerExtension(container)))
                                     : QString()));
            return std::nullopt;
        }
        choice.encoder = codec->name;
        if (options.quality) {
            if (!codec->hasQuality) {
                Print(QStringLiteral("the codec \"%1\" has no quality setting")
                          .arg(QString::fromStdString(*options.codec)));
                return std::nullopt;
            }
            choice.quality = *options.quality;
        }
    } else if (options.quality) {
        const CodecInfo* codec = FindContainerCodec(container, {});
        if (!codec || !codec->hasQuality) {
            Print(QStringLiteral("%1 have no quality setting; pick a --codec")
                      .arg(codec && !codec->name.empty()
                               ? QStringLiteral("the frames of \"%1\"")
                                     .arg(QString::fromStdString(codec->name))
                               : QStringLiteral("uncompressed frames")));
            return std::nullopt;
        }
        choice.quality = *options.quality;
    }
    return choice;
}

// Reads the project; false, after a message, when it cannot be read.
bool ReadProject(const QByteArray& path, ProjectData& project) {
    FileFailure failure;
    const QString name = QFile::decodeName(path);
    switch (ReadProjectData(path, project, &failure)) {
    case ProjectReadResult::Ok:
        return true;
    case ProjectReadResult::CannotOpen:
        Print(QStringLiteral("cannot open the project file %1: %2")
                  .arg(name, QString::fromLocal8Bit(std::strerror(failure.systemError))));
        break;
    case ProjectReadResult::NoRowLine:
        Print(QStringLiteral("%1 is not a project file: it has no row lines").arg(name));
        break;
    case ProjectReadResult::NotText:
        Print(QStringLiteral("%1 is not a project file: it is not text").arg(name));
        break;
    case ProjectReadResult::FileTooLarge:
        Print(QStringLiteral("%1 is too large for a project file (at most %2 MiB)")
                  .arg(name)
                  .arg(kMaxProjectFileBytes >> 20));
        break;
    case ProjectReadResult::LineTooLong:
        Print(QStringLiteral("%1: line %2 is too long for a project file (at most %3 bytes)")
                  .arg(name)
                  .arg(failure.line)
                  .arg(kMaxProjectLineBytes));
        break;
    case ProjectReadResult::TooManyRows:
        Print(QStringLiteral("%1 has too many rows for a project file (at most %2)")
                  .arg(name)
                  .arg(kMaxProjectRows));
        break;
    }
    return false;
}

// The conversion the options and the project ask for; nothing, after a
// message, when the project or its settings cannot make a movie.
std::optional<ConversionRequest> MakeRequest(const Options& options,
                                             const CompressionChoice& compression) {
    ProjectData project;
    if (!ReadProject(options.project, project))
        return std::nullopt;
    // Relative paths in the project are taken from its folder first; a sound
    // file named on the command line is the shell's, from the current folder.
    const QByteArray folder = ProjectFolder(options.project);
    project.settings.audioPath = ResolveProjectPath(project.settings.audioPath, folder);
    if (options.audio) {
        project.settings.audioEnabled = !options.audio->isEmpty();
        if (!options.audio->isEmpty())
            project.settings.audioPath = *options.audio;
    }
    if (const std::optional<QString> problem = ConversionInputProblem(
            project.settings, project.rows, ContainerForPath(options.output.toStdString()))) {
        Print(QStringLiteral("%1: %2").arg(QFile::decodeName(options.project), *problem));
        return std::nullopt;
    }
    ConversionRequest request;
    request.outputPath = options.output;
    request.projectPath = options.project;
    request.settings = project.settings;
    request.rows = ResolveProjectPaths(std::move(project.rows), folder);
    request.compression = compression;
    return request;
}

// Tells how the conversion ended; the exit status.
int ReportOutcome(const Options& options, const ConversionOutcome& outcome) {
    PrintMessages(outcome.messages);
    for (const UnreadableImage& image : outcome.unreadableImages)
        Print(QStringLiteral("row %1: %2: %3")
                  .arg(image.row)
                  .arg(QFile::decodeName(image.path), image.reason));
    if (const qsizetype n = outcome.unreadableImages.size())
        Print(QStringLiteral("%1 %2 could not be read; %3 white")
                  .arg(n)
                  .arg(n == 1 ? "image" : "images", n == 1 ? "its frame is" : "their frames are"));
    const QString movie = QFile::decodeName(options.output);
    if (outcome.status != ConversionStatus::Finished)
        return kExitFailure;
    if (outcome.cancelled) {
        Print(QStringLiteral("interrupted after %1 of %2 frames; %3 was left as it was")
                  .arg(outcome.framesWritten)
                  .arg(outcome.lines)
                  .arg(movie));
        return kExitFailure;
    }
    if (outcome.writerResult != 0) {
        Print(QStringLiteral("the movie %1 could not be written; the file there was left as it was")
                  .arg(movie));
        return kExitFailure;
    }
    if (!options.quiet)
        Print(QStringLiteral("wrote %1 (%2 frames from %3 frame lines)")
                  .arg(movie)
                  .arg(outcome.framesWritten)
                  .arg(outcome.lines));
    return options.strict && !outcome.unreadableImages.isEmpty() ? kExitFailure : 0;
}

int Convert(const Options& options) {
    // The compressor first: a typo should not cost a conversion.
    const std::optional<CompressionChoice> choice = ChooseCompression(options);
    if (!choice)
        return kExitUsage;
    const std::optional<ConversionRequest> request = MakeRequest(options, *choice);
    if (!request)
        return kExitFailure;
    ProgressPrinter progress(options.quiet);
    CatchSignals();
    const ConversionOutcome outcome = RunConversion(
        *request, [&progress](long written, long total) { return progress(written, total); });
    progress.endLine();
    return ReportOutcome(options, outcome);
}

} // namespace

bool IsHeadlessCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (!std::strcmp(arg, "--convert") || !std::strncmp(arg, "--convert=", 10) ||
            !std::strcmp(arg, "--list-codecs") || !std::strcmp(arg, "--help") ||
            !std::strcmp(arg, "-h"))
            return true;
    }
    return false;
}

int RunHeadless(int argc, char** argv) {
    Options options;
    const QString error = ParseOptions(argc, argv, options);
    if (!error.isEmpty()) {
        Print(error);
        std::fputs(kUsage, stderr);
        return kExitUsage;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // No display: the core application only, for Qt's file and text services.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QCoreApplication app(qtArgc, qtArgv);
    // The converter speaks English whatever the desktop's language, the
    // system's reasons (strerror) included.
    ApplyLanguage(UiLanguage::English);
    std::setlocale(LC_MESSAGES, "C");
    if (options.listCodecs)
        return ListCodecs();
    return Convert(options);
}
