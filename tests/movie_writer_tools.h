#pragma once

// The movie tests' fixture: movies written from pictures we know (a pattern
// made here, or images drawn by Qt), read back by readers we did not write
// (ffprobe, ffmpeg, GStreamer, MediaInfo), and decoded frames compared with
// the pixels meant, computed here.

#include "imaging/MoviePalette.h"
#include "movie/AviWriter.h"

#include "program_run.h"

#include <QtGui>

#include <cstring>
#include <vector>

namespace moviecheck {

inline bool HaveTool(const QString& name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

// Standard output of a tool; empty when it could not run or failed.
inline QByteArray Run(const QString& program, const QStringList& args, bool* ok = nullptr) {
    const ProgramRun r = RunProgram(program, args);
    if (ok)
        *ok = r.exitCode == 0;
    return r.exitCode == 0 ? r.out : QByteArray();
}

inline QByteArray Le(uint32_t v, int bytes) {
    const quint32 le = qToLittleEndian(v);
    return QByteArray(reinterpret_cast<const char*>(&le), bytes);
}

inline uint32_t U32(const QByteArray& b, int at) {
    return uint32_t(b.size() >= at + 4 ? qFromLittleEndian<quint32>(b.constData() + at) : 0);
}

struct Wav {
    QByteArray file, data; // the whole file, its samples
};

// A PCM WAV whose samples show any byte moved, dropped or doubled.
inline Wav MakeWav(int bits, int channels, int rate, int frames) {
    Wav w;
    const int align = channels * bits / 8;
    for (int i = 0; i < frames * channels; ++i)
        w.data += bits == 8 ? Le(uint32_t((i * 7 + i / 251) & 255), 1)
                            : Le(uint32_t((i * 977 + i / 3001) & 0xffff), 2);
    const QByteArray fmt = Le(1, 2) + Le(uint32_t(channels), 2) + Le(uint32_t(rate), 4) +
                           Le(uint32_t(rate * align), 4) + Le(uint32_t(align), 2) +
                           Le(uint32_t(bits), 2);
    w.file = "RIFF" + Le(uint32_t(36 + w.data.size()), 4) + "WAVEfmt " + Le(16, 4) + fmt + "data" +
             Le(uint32_t(w.data.size()), 4) + w.data;
    return w;
}

// Detail in every pixel, plus exact greys, which the 8-bit mapping treats apart.
inline uint32_t Pattern(int x, int y, long frame) {
    const int f = int(frame), grey = (x * 3 + f * 40) & 255;
    if ((x + y) % 7 == 0)
        return 0xff000000u | uint32_t(grey) * 0x010101u;
    return 0xff000000u | uint32_t((x * 7 + f * 50) & 255) << 16 |
           uint32_t((y * 5 + f * 30) & 255) << 8 | uint32_t((x * y + f * 90) & 255);
}

// Frame f of the pattern as a reader shows it after writing at `bits`: through
// the movie palette at 8, each channel's top five bits widened at 16.
inline QImage PatternImage(int w, int h, long f, int bits = 24) {
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t c = Pattern(x, y, f);
            if (bits == 8)
                c = MoviePalette()[MoviePaletteIndex(c, x, y)];
            if (bits == 16)
                c = (c & 0xf8f8f8) | (c & 0xe0e0e0) >> 5;
            image.setPixel(x, y, c | 0xff000000u);
        }
    return image;
}

// Frame i of the pattern at positions[i], in the movie's format: B, G, R
// bytes; 5-5-5 words of each channel's top bits; or the movie palette's entry.
class PatternFrames : public MovieFrameSource {
public:
    PatternFrames(int w, int h, ColourDepth depth, std::vector<long> positions, long missing)
        : w_(w), h_(h), format_(MovieFrameFormat(depth)), positions_(positions), missing_(missing) {
    }
    std::optional<MovieFrame> next() override {
        if (made >= long(positions_.size()))
            return std::nullopt;
        const long f = made++;
        frame_ = PixelBuffer::allocate(w_, h_, format_.value(), RowOrder::BottomUp);
        const int bytes = PixelBits(*format_) / 8;
        for (int y = 0; y < h_; ++y)
            for (int x = 0; x < w_; ++x) {
                const uint32_t c = Pattern(x, y, f);
                const uint16_t v =
                    uint16_t((c >> 19 & 31) << 10 | (c >> 11 & 31) << 5 | (c >> 3 & 31));
                uint8_t* p = frame_->row(y) + x * bytes;
                if (bytes == 1)
                    *p = MoviePaletteIndex(c, x, y);
                else
                    std::memcpy(p, bytes == 2 ? static_cast<const void*>(&v) : &c, size_t(bytes));
            }
        return MovieFrame{positions_[size_t(f)], f == missing_ ? nullptr : &*frame_, false};
    }
    long made = 0;

private:
    int w_, h_;
    std::optional<PixelFormat> format_;
    std::vector<long> positions_;
    long missing_;
    std::optional<PixelBuffer> frame_;
};

struct Outcome {
    MovieResult result;
    QStringList messages; // "caption/text"
    long drawn = 0;
};

// A movie at 8 positions per second of the pattern, frame i at positions[i];
// frame `missing` comes without pixels.
inline Outcome WriteMovie(const QString& path, int w, int h, ColourDepth depth,
                          std::vector<long> positions,
                          std::optional<CompressionChoice> compression = CompressionChoice{},
                          const QString& audio = {}, const MovieProgress& progress = {},
                          long missing = -1) {
    PatternFrames frames(w, h, depth, positions, missing);
    const MovieDescription movie{
        QFile::encodeName(path).toStdString(), unsigned(w), unsigned(h), depth, 8, compression,
        QFile::encodeName(audio).toStdString()};
    Outcome o{WriteAviMovie(movie, frames, progress), {}, frames.made};
    for (const MovieMessage& m : o.result.messages)
        o.messages << QString::fromStdString(m.caption + "/" + m.text);
    return o;
}

// The frame meant for an image: white, with the image centred at natural size
// or stretched over the frame, drawn here with QPainter.
inline QImage Framed(int width, int height, const QImage& image, bool stretch = false) {
    QImage frame(width, height, QImage::Format_RGB32);
    frame.fill(Qt::white);
    const QRect centred((width >> 1) - image.width() / 2, (height >> 1) - image.height() / 2,
                        image.width(), image.height());
    if (!image.isNull())
        QPainter(&frame).drawImage(stretch ? frame.rect() : centred, image);
    return frame;
}

// The largest channel difference (and the mean one) between a decoded frame
// of B, G, R (and with `step` 4, a fourth) bytes and the frame meant.
inline std::pair<int, double> Difference(const QByteArray& bgr, const QImage& meant, int step = 3) {
    const int w = meant.width(), h = meant.height();
    if (bgr.size() != w * h * step)
        return {1000, 1000};
    int worst = 0;
    double sum = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb m = meant.pixel(x, y);
            const auto* p = reinterpret_cast<const uchar*>(bgr.constData()) + (y * w + x) * step;
            for (int d : {p[0] - qBlue(m), p[1] - qGreen(m), p[2] - qRed(m)})
                worst = std::max(worst, std::abs(d)), sum += std::abs(d);
        }
    return {worst, sum / (w * h * 3)};
}

// ffprobe's streams, and its packets unless told what else to show.
inline QJsonObject Probe(const QString& file, const QStringList& show = {"-show_packets"}) {
    return QJsonDocument::fromJson(
               Run("ffprobe",
                   QStringList{"-v", "error", "-of", "json", "-show_streams", file} + show))
        .object();
}

// The objects of a JSON array whose `key` holds `value`.
inline QJsonArray Where(const QJsonValue& array, const QString& key, const QString& value) {
    QJsonArray out;
    for (const auto& v : array.toArray())
        if (v.toObject()[key].toString() == value)
            out.append(v);
    return out;
}

inline QJsonArray PacketsOf(const QJsonObject& probe, const QString& type) {
    return Where(probe["packets"], "codec_type", type);
}

inline QJsonObject StreamOf(const QJsonObject& probe, const QString& type) {
    return Where(probe["streams"], "codec_type", type).at(0).toObject();
}

// The positions of the video packets (pts, else dts; `stored`: only those holding a frame)
// and whether every one is a key frame.
inline std::pair<QList<long>, bool> VideoPackets(const QJsonObject& probe, bool stored = false) {
    std::pair<QList<long>, bool> out{{}, true};
    for (const auto& v : PacketsOf(probe, "video")) {
        const QJsonObject p = v.toObject();
        if (!stored || p["size"].toString().toLong() > 0)
            out.first << long(p["pts"].toInteger(p["dts"].toInteger(-1)));
        out.second = out.second && p["flags"].toString().startsWith('K');
    }
    return out;
}

// The payload of the first stream of a type ("a", "v"), copied out by ffmpeg as `format`.
inline QByteArray StreamBytes(const QString& movie, const QString& type, const QString& format) {
    return Run("ffmpeg",
               {"-v", "error", "-i", movie, "-map", "0:" + type, "-c", "copy", "-f", format, "-"});
}

// MediaInfo's track of a type ("General", "Video", "Audio").
inline QJsonObject MediaInfoTrack(const QString& file, const QString& type) {
    const QJsonObject all =
        QJsonDocument::fromJson(Run("mediainfo", {"--Output=JSON", file})).object();
    return Where(all["media"]["track"], "@type", type).at(0).toObject();
}

// What GStreamer makes of one pad of an AVI: each buffer at the end of `chain`
// (e.g. "videoconvert ! video/x-raw,format=BGRx" to decode; empty: the
// demuxer's output) with its position at 8 per second. Buffers go to files
// and their notices come as bus messages, so none is lost.
struct GstBuffers {
    bool ok = false;
    QList<long> positions;
    std::vector<QByteArray> bytes;
};

inline GstBuffers GstRead(const QString& file, const QString& chain = {},
                          const QString& pad = "video_0") {
    GstBuffers r;
    QTemporaryDir dump;
    QStringList args{"-m", "filesrc", "location=" + file, "!", "avidemux", "name=d", "d." + pad};
    if (!chain.isEmpty())
        args << "!" << chain.split(' ');
    args += {"!", "multifilesink", "location=" + dump.filePath("b%05d"), "post-messages=true",
             "sync=false"};
    const QByteArray out = Run("gst-launch-1.0", args, &r.ok);
    auto field = [](const QByteArray& line, const QByteArray& name) {
        const QByteArray rest = line.mid(line.indexOf(')', line.indexOf(name + "=(")) + 1);
        return rest.left(rest.indexOf(','));
    };
    for (const QByteArray& line : out.split('\n')) {
        if (!line.contains("GstMultiFileSink, filename=(string)"))
            continue;
        r.bytes.push_back(ReadAll(QString::fromUtf8(field(line, "filename"))));
        r.positions << long((field(line, "timestamp").toLongLong() * 8 + 500000000) / 1000000000);
    }
    return r;
}

// Decoded frames as BGR24, one per stored frame (no duplication over gaps).
inline std::vector<QByteArray> DecodeBgr24(const QString& file, int width, int height) {
    bool ok = false;
    const QByteArray all = Run("ffmpeg",
                               {"-v", "error", "-i", file, "-map", "0:v", "-fps_mode",
                                "passthrough", "-f", "rawvideo", "-pix_fmt", "bgr24", "-"},
                               &ok);
    std::vector<QByteArray> frames;
    for (int at = 0, size = width * height * 3; ok && at + size <= all.size(); at += size)
        frames.push_back(all.mid(at, size));
    return frames;
}

// Each stream's header chunks (strh, then strf) in LIST hdrl, read by hand:
// every list there is entered, every other chunk passed over.
inline std::vector<std::pair<QByteArray, QByteArray>> AviStreams(const QString& path) {
    const QByteArray file = ReadAll(path);
    std::vector<std::pair<QByteArray, QByteArray>> streams;
    const qsizetype end = file.mid(12, 4) == "LIST" ? 20 + qsizetype(U32(file, 16)) : 0;
    for (qsizetype at = 24; at + 8 <= std::min(end, file.size());) {
        const QByteArray id = file.mid(at, 4);
        const qsizetype size = U32(file, int(at + 4));
        if (id == "strh")
            streams.emplace_back(file.mid(at + 8, size), QByteArray());
        if (id == "strf" && !streams.empty())
            streams.back().second = file.mid(at + 8, size);
        at += id == "LIST" ? 12 : 8 + size + (size & 1);
    }
    return streams;
}

} // namespace moviecheck
