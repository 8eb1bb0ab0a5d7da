#include "app/HeadlessConverter.h"

#include "language/Language.h"
#include "movie/Codecs.h"
#include "movie/Conversion.h"
#include "movie/IntermediateFrameFile.h"
#include "project/ProjectFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

constexpr int kExitFailure = 1; // the conversion failed
constexpr int kExitUsage = 2;   // the command line is wrong

// Set by SIGINT or SIGTERM: the frame loop stops after the current frame, so
// the movie is closed properly and the intermediate file removed. A second
// signal ends the program at once (the handler resets itself).
volatile std::sig_atomic_t interrupted = 0;

void OnInterrupt(int) {
    interrupted = 1;
}

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// The name --list-codecs shows for the uncompressed entry, whose encoder name is empty.
constexpr char kUncompressedName[] = "uncompressed";

const char kUsage[] =
    "Usage:\n"
    "  vistrom [--lang ja|en] [PROJECT.fsq]\n"
    "      Opens the window, with the project when one is named, in Japanese or\n"
    "      English (default: the desktop's language).\n"
    "  vistrom --convert PROJECT.fsq --output MOVIE.avi [--codec NAME] [--quality Q]\n"
    "          [--audio FILE | --no-audio]\n"
    "      Converts the project's frame list to an AVI movie without a window.\n"
    "      Relative image and sound paths in the project are taken from the\n"
    "      project file's folder, else from the current folder.\n"
    "      --codec NAME   a compressor from --list-codecs (default: uncompressed)\n"
    "      --quality Q    1 to 100, for compressors with a quality setting\n"
    "      --audio FILE   use FILE as the audio track (overrides the project)\n"
    "      --no-audio     leave the audio track out (overrides the project)\n"
    "  vistrom --list-codecs\n"
    "      Lists the compressors this installation offers.\n"
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
};

// The rules between the options.
QString CheckCombination(const Options& options) {
    if (options.help)
        return {};
    if (options.listCodecs && options.convert)
        return QStringLiteral("--list-codecs and --convert cannot be combined");
    if (options.convert && options.output.isEmpty())
        return QStringLiteral("--convert needs --output MOVIE.avi");
    if (!options.convert &&
        (!options.output.isEmpty() || options.codec || options.quality || options.audio))
        return QStringLiteral("--output, --codec, --quality and --audio go with --convert");
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
    for (const CodecInfo& codec : OfferedCodecs()) {
        const std::string name = codec.name.empty() ? kUncompressedName : codec.name;
        std::printf("%-14s %s%s\n", name.c_str(), codec.description.c_str(),
                    codec.hasQuality ? " (quality 1-100)" : "");
    }
    return 0;
}

// Progress on standard error: a line on a terminal every tenth of a second;
// otherwise one line per tenth of the work.
class ProgressPrinter {
public:
    ProgressPrinter() {
        interactive_ = ::isatty(STDERR_FILENO) == 1;
        clock_.start();
    }

    bool operator()(long written, long total) {
        if (interactive_) {
            if (written == total || clock_.elapsed() >= lastShown_ + 100) {
                lastShown_ = clock_.elapsed();
                std::fprintf(stderr, "\rvistrom: frame %ld of %ld", written, total);
                std::fflush(stderr);
                lineOpen_ = true;
            }
        } else {
            const long step = total > 0 ? total * (shownTenths_ + 1) / 10 : 0;
            if (written >= step || written == total) {
                while (shownTenths_ < 10 && total * (shownTenths_ + 1) / 10 <= written)
                    ++shownTenths_;
                std::fprintf(stderr, "vistrom: frame %ld of %ld\n", written, total);
            }
        }
        return !interrupted;
    }

    void endLine() {
        if (lineOpen_)
            std::fputc('\n', stderr);
        lineOpen_ = false;
    }

private:
    bool interactive_ = false;
    bool lineOpen_ = false;
    QElapsedTimer clock_;
    qint64 lastShown_ = -1000;
    long shownTenths_ = 0;
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
    if (options.codec) {
        const std::string name =
            *options.codec == kUncompressedName ? std::string() : *options.codec;
        const CodecInfo* codec = FindOfferedCodec(name);
        if (!codec) {
            Print(QStringLiteral(
                      "unknown codec \"%1\"; `vistrom --list-codecs` shows the ones offered")
                      .arg(QString::fromStdString(*options.codec)));
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
        Print(QStringLiteral("uncompressed frames have no quality setting; pick a --codec"));
        return std::nullopt;
    }
    return choice;
}

int Convert(const Options& options) {
    // The compressor first: a typo should not cost a conversion.
    const std::optional<CompressionChoice> choice = ChooseCompression(options);
    if (!choice)
        return kExitUsage;
    ProjectData project;
    FileFailure failure;
    const QString name = QFile::decodeName(options.project);
    switch (ReadProjectData(options.project, project, &failure)) {
    case ProjectReadResult::Ok:
        break;
    case ProjectReadResult::CannotOpen:
        Print(QStringLiteral("cannot open the project file %1: %2")
                  .arg(name, QString::fromLocal8Bit(std::strerror(failure.systemError))));
        return kExitFailure;
    case ProjectReadResult::NoRowLine:
        Print(QStringLiteral("%1 is not a project file: it has no row lines").arg(name));
        return kExitFailure;
    case ProjectReadResult::NotText:
        Print(QStringLiteral("%1 is not a project file: it is not text").arg(name));
        return kExitFailure;
    case ProjectReadResult::FileTooLarge:
        Print(QStringLiteral("%1 is too large for a project file (at most %2 MiB)")
                  .arg(name)
                  .arg(kMaxProjectFileBytes >> 20));
        return kExitFailure;
    case ProjectReadResult::LineTooLong:
        Print(QStringLiteral("%1: line %2 is too long for a project file (at most %3 bytes)")
                  .arg(name)
                  .arg(failure.line)
                  .arg(kMaxProjectLineBytes));
        return kExitFailure;
    case ProjectReadResult::TooManyRows:
        Print(QStringLiteral("%1 has too many rows for a project file (at most %2)")
                  .arg(name)
                  .arg(kMaxProjectRows));
        return kExitFailure;
    }

    // Relative paths in the project are taken from its folder first; a sound
    // file named on the command line is the shell's, from the current folder.
    const QByteArray folder = ProjectFolder(options.project);
    project.settings.audioPath = ResolveProjectPath(project.settings.audioPath, folder);
    if (options.audio) {
        project.settings.audioEnabled = !options.audio->isEmpty();
        if (!options.audio->isEmpty())
            project.settings.audioPath = *options.audio;
    }
    if (const std::optional<QString> problem =
            ConversionInputProblem(project.settings, project.rows)) {
        Print(QStringLiteral("%1: %2").arg(QFile::decodeName(options.project), *problem));
        return kExitFailure;
    }

    ConversionRequest request;
    request.outputPath = options.output;
    request.settings = project.settings;
    request.rows = ResolveProjectPaths(std::move(project.rows), folder);
    request.compression = *choice;
    ProgressPrinter progress;
    CatchInterrupts();
    const ConversionOutcome outcome = RunConversion(
        request, [&progress](long written, long total) { return progress(written, total); });
    progress.endLine();
    PrintMessages(outcome.messages);
    if (outcome.status != ConversionStatus::Finished)
        return kExitFailure;
    if (outcome.cancelled) {
        Print(QStringLiteral("interrupted: %1 holds the first %2 of %3 frames")
                  .arg(QFile::decodeName(options.output))
                  .arg(outcome.framesWritten)
                  .arg(outcome.lines));
        return kExitFailure;
    }
    if (outcome.writerResult != 0) {
        Print(QStringLiteral("the movie %1 could not be written completely")
                  .arg(QFile::decodeName(options.output)));
        return kExitFailure;
    }
    Print(QStringLiteral("wrote %1 (%2 frames from %3 frame lines)")
              .arg(QFile::decodeName(options.output))
              .arg(outcome.framesWritten)
              .arg(outcome.lines));
    return 0;
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
    // The converter speaks English whatever the desktop's language.
    ApplyLanguage(UiLanguage::English);
    if (options.listCodecs)
        return ListCodecs();
    return Convert(options);
}
