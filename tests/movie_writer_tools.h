#pragma once

// Helpers for the movie writer tests: run the independent readers (ffprobe,
// ffmpeg, GStreamer, MediaInfo) on a written file and read the AVI headers
// ourselves.

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace moviecheck {

inline bool HaveTool(const QString& name) {
    return !QStandardPaths::findExecutable(name).isEmpty();
}

// Standard output of a tool; empty when it could not run or failed.
inline QByteArray Run(const QString& program, const QStringList& args, bool* ok = nullptr,
                      QByteArray* errors = nullptr) {
    QProcess p;
    p.start(program, args);
    bool fine = p.waitForStarted(10000) && p.waitForFinished(60000) &&
                p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok)
        *ok = fine;
    if (errors)
        *errors = p.readAllStandardError();
    return p.readAllStandardOutput();
}

inline QJsonObject Json(const QByteArray& text) {
    return QJsonDocument::fromJson(text).object();
}

// ffprobe's streams and packets as JSON.
inline QJsonObject Probe(const QString& file, const QStringList& extra = {}) {
    QStringList args{"-v", "error", "-of", "json", "-show_streams", "-show_packets"};
    args += extra;
    args << file;
    return Json(Run("ffprobe", args));
}

inline QJsonArray PacketsOf(const QJsonObject& probe, const QString& type) {
    QJsonArray out;
    for (const auto& v : probe["packets"].toArray())
        if (v.toObject()["codec_type"].toString() == type)
            out.append(v);
    return out;
}

inline QJsonObject StreamOf(const QJsonObject& probe, const QString& type) {
    for (const auto& v : probe["streams"].toArray())
        if (v.toObject()["codec_type"].toString() == type)
            return v.toObject();
    return {};
}

// MediaInfo's track of a type ("General", "Video", "Audio").
inline QJsonObject MediaInfoTrack(const QString& file, const QString& type) {
    QJsonObject all = Json(Run("mediainfo", {"--Output=JSON", file}));
    for (const auto& v : all["media"].toObject()["track"].toArray())
        if (v.toObject()["@type"].toString() == type)
            return v.toObject();
    return {};
}

// What GStreamer's avidemux delivers: the caps line and the sizes and
// positions of the buffers it hands on. The sink plays in real time, so
// that every buffer's notice reaches the log (keep such movies short).
struct GstDemuxed {
    bool ok = false;
    QString caps;
    std::vector<long> bufferSizes;
    std::vector<long> offsets; // the frame position of each buffer
    long nonEmptyBuffers() const {
        long n = 0;
        for (long s : bufferSizes)
            n += s > 0;
        return n;
    }
};

inline GstDemuxed GstDemux(const QString& file, const QString& pad = "video_0") {
    GstDemuxed r;
    QByteArray out = Run("gst-launch-1.0",
                         {"-v", "filesrc", "location=" + file, "!", "avidemux", "name=d",
                          "d." + pad, "!", "fakesink", "silent=false", "sync=true"},
                         &r.ok);
    for (const QByteArray& line : out.split('\n')) {
        if (line.contains("GstFakeSink:fakesink0.GstPad:sink: caps = "))
            r.caps = QString::fromUtf8(line.mid(line.indexOf("caps = ") + 7));
        int chain = line.indexOf("chain   ******* (fakesink0:sink) (");
        if (chain >= 0) {
            QByteArray rest = line.mid(chain + 35);
            r.bufferSizes.push_back(rest.left(rest.indexOf(' ')).toLong());
            int offset = rest.indexOf("offset: ");
            r.offsets.push_back(offset < 0 ? -1
                                           : rest.mid(offset + 8).split(',').value(0).toLong());
        }
    }
    return r;
}

// The bytes GStreamer's avidemux hands on from one pad, written to `dump`.
inline QByteArray GstDemuxBytes(const QString& file, const QString& pad, const QString& dump) {
    bool ok = false;
    Run("gst-launch-1.0",
        {"-q", "filesrc", "location=" + file, "!", "avidemux", "name=d", "d." + pad, "!",
         "filesink", "location=" + dump},
        &ok);
    QFile f(dump);
    return ok && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Decoded frames as BGR24, one per stored frame (no duplication over gaps).
inline std::vector<QByteArray> DecodeBgr24(const QString& file, int width, int height) {
    bool ok = false;
    QByteArray all = Run("ffmpeg",
                         {"-v", "error", "-i", file, "-map", "0:v", "-fps_mode", "passthrough",
                          "-f", "rawvideo", "-pix_fmt", "bgr24", "-"},
                         &ok);
    std::vector<QByteArray> frames;
    const int size = width * height * 3;
    for (int at = 0; ok && at + size <= all.size(); at += size)
        frames.push_back(all.mid(at, size));
    return frames;
}

// The chunks of an AVI file's header we check by hand.
struct AviHeaders {
    bool ok = false;
    struct Stream {
        QByteArray strh; // AVISTREAMHEADER (56 bytes)
        QByteArray strf; // BITMAPINFOHEADER (+ colour table) or WAVEFORMATEX
    };
    std::vector<Stream> streams;

    static uint32_t U32(const QByteArray& b, int at) {
        if (at + 4 > b.size())
            return 0;
        const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    static uint16_t U16(const QByteArray& b, int at) {
        if (at + 2 > b.size())
            return 0;
        const auto* p = reinterpret_cast<const uint8_t*>(b.constData()) + at;
        return uint16_t(p[0] | p[1] << 8);
    }
};

inline AviHeaders ReadAviHeaders(const QByteArray& file) {
    AviHeaders h;
    if (file.size() < 12 || !file.startsWith("RIFF") || file.mid(8, 4) != "AVI ")
        return h;
    // Walk the chunks of LIST hdrl and its LIST strl children.
    std::function<void(int, int)> walk = [&](int at, int end) {
        while (at + 8 <= end && at + 8 <= file.size()) {
            QByteArray id = file.mid(at, 4);
            int size = int(AviHeaders::U32(file, at + 4));
            if (size < 0 || at + 8 + size > file.size())
                return;
            if (id == "LIST") {
                QByteArray type = file.mid(at + 8, 4);
                if (type == "hdrl" || type == "strl") {
                    if (type == "strl")
                        h.streams.push_back({});
                    walk(at + 12, at + 8 + size);
                }
                if (type == "movi")
                    return;
            } else if (id == "strh" && !h.streams.empty()) {
                h.streams.back().strh = file.mid(at + 8, size);
            } else if (id == "strf" && !h.streams.empty()) {
                h.streams.back().strf = file.mid(at + 8, size);
            }
            at += 8 + size + (size & 1);
        }
    };
    walk(12, int(file.size()));
    h.ok = !h.streams.empty();
    return h;
}

} // namespace moviecheck
