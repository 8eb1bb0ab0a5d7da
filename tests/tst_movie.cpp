// The movie writer: headers, positions, pixels, codecs, the sound track and
// the failure paths, read back by readers we did not write; the sizes refused;
// and the conversion's frame pipeline, against the pictures its lines name.

#include "movie/Conversion.h"
#include "movie/FramePipeline.h"
#include "movie/IntermediateFrameFile.h"

#include "movie_writer_tools.h"

#include <QtTest>

#include <numeric>

#include <sys/stat.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/imgutils.h>
}

using namespace moviecheck;

class TestMovie : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString file(const QString& name) const { return dir_.filePath(name); }

private slots:
    void initTestCase() {
        // Relative names (the sound test) are in the test's folder.
        QVERIFY(dir_.isValid() && QDir::setCurrent(dir_.path()));
        for (const char* tool : {"ffprobe", "ffmpeg", "mediainfo", "gst-launch-1.0"})
            QVERIFY2(HaveTool(tool), tool);
    }

    void movies_data() {
        // The list: full frames first, then the encoders the AVI muxer takes.
        QStringList names;
        for (const CodecInfo& c : OfferedCodecs())
            names << QString::fromStdString(c.name);
        QCOMPARE(names.at(0), QString());
        for (const char* needed : {"mjpeg", "ffv1", "mpeg4"})
            QVERIFY2(names.contains(needed), needed);
        QVERIFY(names.contains("huffyuv") || names.contains("utvideo"));
        QVERIFY(!avcodec_find_encoder_by_name("libx264") || names.contains("libx264"));
        QVERIFY(!FindOfferedCodec("no-such-encoder") && FindOfferedCodec("mjpeg")->hasQuality);
        QTest::addColumn<QString>("encoder"); // empty: full frames
        QTest::addColumn<ColourDepth>("depth");
        QTest::addColumn<QList<long>>("positions");
        for (const QString& name : names)
            for (ColourDepth depth : {ColourDepth::Bits24, ColourDepth::Bits16, ColourDepth::Bits8})
                QTest::addRow("%s %d bits", qPrintable(name.isEmpty() ? "full frames" : name),
                              BitsPerPixel(depth))
                    << name << depth << QList<long>{0, 2, 3};
        const ColourDepth bits24 = ColourDepth::Bits24;
        QTest::newRow("first position above 0") << QString() << bits24 << QList<long>{3, 5};
        QTest::newRow("gap above 60,000") << QString() << bits24 << QList<long>{0, 130005, 130007};
    }

    // Full frames and each compressor at each depth, at an odd size where it
    // allows one: the frames come back exactly for the lossless ones, closely
    // else; skipped positions hold the frame before. An older, longer file of
    // the same name is replaced, not overwritten in place.
    void movies() {
        QFETCH(QString, encoder);
        QFETCH(ColourDepth, depth);
        QFETCH(QList<long>, positions);
        const CodecInfo& codec = *FindOfferedCodec(encoder.toStdString());
        const bool raw = encoder.isEmpty(),
                   lossless = raw || codec.description.find("lossless") != std::string::npos;
        const int bits = BitsPerPixel(depth), n = int(positions.size());
        const int w = codec.sizeMultiple > 1 ? 32 : 33, h = codec.sizeMultiple > 1 ? 24 : 25;
        const QString out = file(QTest::currentDataTag() + QString(".avi"));
        QVERIFY(Save(out, QByteArray(8 << 20, 'x')));
        const Outcome o = WriteMovie(out, w, h, depth, {positions.begin(), positions.end()},
                                     CompressionChoice{codec.name, -1});
        QVERIFY2(o.result.written && o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
        QCOMPARE(o.result.framesWritten, long(n));
        const std::vector<QByteArray> frames = DecodeBgr24(out, w, h);
        QCOMPARE(int(frames.size()), n);
        for (int f = 0; f < n; ++f) {
            const auto [worst, mean] = Difference(frames[size_t(f)], PatternImage(w, h, f, bits));
            QVERIFY2(lossless ? worst == 0 : mean < 40, qPrintable(QString::number(mean)));
        }
        if (!raw && bits != 24)
            return;

        // ffprobe: the codec, size, rate, packet positions and key flags; MediaInfo: every
        // position counted; GStreamer: the same positions, and the same pixels where it decodes
        // (its AVI reader names 16-bit RGB "x-avi-unknown").
        const QJsonObject probe = Probe(out), v = StreamOf(probe, "video");
        const char* name =
            raw ? "rawvideo"
                : avcodec_get_name(avcodec_find_encoder_by_name(codec.name.c_str())->id);
        QCOMPARE(v["codec_name"].toString() + " " + v["r_frame_rate"].toString(),
                 QString(name) + " 8/1");
        QCOMPARE(QSize(v["width"].toInt(), v["height"].toInt()), QSize(w, h));
        QCOMPARE(VideoPackets(probe), std::pair(positions, true));
        const uint32_t length = uint32_t(positions.last() + 1);
        QCOMPARE(MediaInfoTrack(out, "Video")["FrameCount"].toString(), QString::number(length));
        const bool decoded = raw && bits != 16;
        const GstBuffers g = GstRead(out, decoded ? "videoconvert ! video/x-raw,format=BGRx" : "");
        QVERIFY(g.ok);
        QCOMPARE(g.positions, positions);
        for (int f = 0; decoded && f < n; ++f)
            QCOMPARE(Difference(g.bytes[size_t(f)], PatternImage(w, h, f, bits), 4).first, 0);
        if (!raw) {
            // x264: every frame carries its own SPS and PPS, which GStreamer's decoders need.
            const QByteArray stream = encoder == "libx264" ? StreamBytes(out, "v", "h264") : "";
            for (const char* nal : {"\x00\x00\x00\x01\x67", "\x00\x00\x00\x01\x68"})
                QVERIFY(stream.isEmpty() || stream.count(QByteArray(nal, 5)) == 3);
            // With a quality setting, a higher quality takes more bytes.
            qint64 size[2] = {0, 0};
            for (int i = 0; codec.hasQuality && i < 2; ++i) {
                const QString q = file(QString("q_%1_%2.avi").arg(encoder).arg(i));
                const CompressionChoice quality{codec.name, i == 0 ? 5 : 95};
                QVERIFY(WriteMovie(q, 64, 48, ColourDepth::Bits24, {0, 1}, quality).result.written);
                size[i] = QFileInfo(q).size();
            }
            QVERIFY(!codec.hasQuality || size[0] < size[1]);
            return;
        }

        // Full frames: held positions are empty chunks (an index entry each), not copies.
        const int stride = (w * bits / 8 + 3) & ~3;
        const uint32_t image = uint32_t(stride * h);
        QVERIFY(QFileInfo(out).size() < n * image + length * 40 + 65536);
        // Our own reading of the headers. Main header: no AVIF_TRUSTCKTYPE (Video for Windows
        // readers would take "dc" chunks for delta frames), every position counted, a suggested
        // buffer that holds the largest chunk. Stream: 8/1, its length. Format: a bottom-up
        // BI_RGB DIB, with the movie palette at 8 bits.
        const QByteArray avi = ReadAll(out);
        const auto streams = AviStreams(out);
        QCOMPARE(int(streams.size()), 1);
        const auto& [strh, strf] = streams[0];
        QCOMPARE(avi.mid(24, 4) + strh.left(4), QByteArray("avihvids"));
        const uint32_t got[] = {U32(avi, 44),  U32(avi, 48),  U32(avi, 60),         U32(strh, 20),
                                U32(strh, 24), U32(strh, 32), U32(strh, 36),        U32(strf, 0),
                                U32(strf, 4),  U32(strf, 8),  U32(strf, 12),        U32(strf, 16),
                                U32(strf, 20), U32(strf, 32), uint32_t(strf.size())};
        const uint32_t colours = bits == 8 ? 256 : 0;
        QCOMPARE(
            QList<uint32_t>(std::begin(got), std::end(got)),
            (QList<uint32_t>{0x110, length, image, 1, 8, length, image, 40, uint32_t(w),
                             uint32_t(h), 1u | bits << 16, 0, image, colours, 40 + colours * 4}));
        const auto& palette = MoviePalette();
        QVERIFY(bits != 8 || strf.mid(40) == QByteArray(reinterpret_cast<const char*>(&palette),
                                                        int(sizeof palette)));
        const char* format = bits == 8 ? "pal8" : bits == 16 ? "rgb555le" : "bgr24";
        QCOMPARE(v["codec_tag"].toString() + " " + v["pix_fmt"].toString(),
                 "0x0000 " + QString(format));
        // The stored rows: padding zero, so the same frames always give the same file.
        const QByteArray stored = StreamBytes(out, "v", "rawvideo");
        QCOMPARE(stored.size(), n * int(image));
        const int used = (w * bits + 7) / 8;
        for (int row = 0; row < n * h; ++row)
            QCOMPARE(stored.mid(row * stride + used, stride - used), QByteArray(stride - used, 0));
    }

    void outcomes_data() {
        QTest::addColumn<int>("depth"); // the project file's index
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<long>("stopAfter"); // progress answers false after this many
        QTest::addColumn<long>("missing");   // this frame comes without pixels
        QTest::addColumn<bool>("written");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QList<long>>("packets"); // in the file
        QTest::addColumn<long>("drawn");
        QTest::addColumn<QList<long>>("progress"); // counts seen
        auto row = [](const char* tag, int depth, const QList<int>& positions, long stopAfter,
                      long missing, bool written, const QStringList& messages,
                      const QList<long>& packets = {}, long drawn = 0,
                      const QList<long>& progress = {}) {
            QTest::newRow(tag) << depth << positions << stopAfter << missing << written << messages
                               << packets << drawn << progress;
        };
        row("unwritable path", 2, {0, 1}, -1, -1, false,
            {"Error/CannotOpenAviFile", "AVI ERR/WritingERR"});
        // The frames' format is checked before the file: nothing is created.
        row("depth without frames", 7, {0}, -1, -1, false, {"AVI ERR/MAKEDIB ERROR!"});
        // The frames before stay in a properly closed file.
        row("position not increasing", 2, {0, 2, 2, 3}, -1, -1, false, {"AVI ERR/WritingERR"},
            {0, 2}, 3, {1, 2});
        row("frame without pixels", 1, {0, 1, 2, 3}, -1, 2, false, {"AVI ERR/MAKEDIB ERROR!"},
            {0, 1}, 3, {1, 2});
        row("no frames", 0, {}, -1, -1, true, {});
        // A cancelled compression dialog: no frame drawn, no message, not written; the
        // sound is still in a closed file.
        row("compression cancelled", 2, {0, 2, 3}, -1, -1, false, {});
        row("progress stops", 1, {0, 1, 2, 3, 4}, 2, -1, true, {}, {0, 1}, 2, {1, 2});
    }

    void outcomes() {
        QFETCH(int, depth);
        QFETCH(QList<int>, positions);
        QFETCH(long, stopAfter);
        QFETCH(long, missing);
        QFETCH(QList<long>, packets);
        const QString tag = QTest::currentDataTag(), sound = file("cancel.wav");
        const bool unwritable = tag == "unwritable path",
                   cancelled = tag == "compression cancelled";
        const QString out = file(unwritable ? "no/such/folder/x.avi" : tag + ".avi");
        const Wav wav = MakeWav(8, 1, 11025, 5000);
        QVERIFY(Save(sound, wav.file));
        QList<long> seen;
        const Outcome o = WriteMovie(
            out, 21, 20, ColourDepth(depth), {positions.begin(), positions.end()},
            cancelled ? std::nullopt : std::optional(CompressionChoice{}),
            cancelled ? sound : QString(),
            [&seen, stopAfter](long n) {
                seen << n;
                return stopAfter < 0 || n < stopAfter;
            },
            missing);
        QTEST(o.result.written, "written");
        QTEST(o.messages, "messages");
        QTEST(o.drawn, "drawn");
        QTEST(seen, "progress");
        QCOMPARE(QFile::exists(out), !unwritable && depth != 7);
        if (!QFile::exists(out))
            return;
        const QJsonObject probe = Probe(out);
        QCOMPARE(VideoPackets(probe).first, packets);
        QCOMPARE(int(AviStreams(out).at(0).second.size()), depth == 0 ? 1064 : 40);
        QVERIFY(cancelled || MediaInfoTrack(out, "Video")["FrameCount"].toString().toLong() ==
                                 (packets.isEmpty() ? 0 : packets.last() + 1));
        QCOMPARE(StreamBytes(out, "a", "u8"), cancelled ? wav.data : QByteArray());
    }

    // The first audio stream of the sound file, copied unchanged: format, bytes
    // and sample positions; where there is no sound the movie has none,
    // silently. Both names are relative, with a colon as in "protocol:rest":
    // they are plain local files all the same.
    void sound_data() {
        QTest::addColumn<QString>("kind"); // wav: the bytes below; avi: a movie with them as its
                                           // sound; mp3, opus: a second of tone made by ffmpeg
        QTest::addColumn<QByteArray>("wav");
        QTest::addColumn<QString>("format"); // as ffmpeg copies the sound out; empty: no sound
        const QByteArray none;
        const QByteArray stereo = MakeWav(16, 2, 44100, 132300).file;
        QTest::newRow("wav longer than the movie") << "wav" << stereo << "s16le";
        QTest::newRow("wav shorter, odd length")
            << "wav" << MakeWav(8, 1, 11025, 4079).file << "u8";
        // The header promises three seconds, the file holds half of one.
        QTest::newRow("wav truncated") << "wav" << stereo.left(44 + 88200) << "s16le";
        QTest::newRow("movie with sound") << "avi" << MakeWav(16, 2, 22050, 30000).file << "s16le";
        QTest::newRow("mp3") << "mp3" << none << "data"; // copied packet for packet
        QTest::newRow("missing") << "" << none << "";
        QTest::newRow("text") << "wav" << QByteArray("just some words\n") << "";
        QTest::newRow("silent movie") << "avi" << none << "";
        QTest::newRow("wav without samples") << "wav" << MakeWav(16, 2, 44100, 0).file << "";
        QTest::newRow("fifo") << "fifo" << none << ""; // never opened: that would wait for a writer
        QTest::newRow("opus") << "opus" << none << ""; // AVI cannot hold it
    }

    void sound() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, wav);
        QFETCH(QString, format);
        const QString name = QString(QTest::currentDataTag()).replace(' ', '_');
        const QString source = "in:" + name, movie = "out:" + name + ".avi";
        auto convert = [](const QString& to, const QString& sound) {
            return WriteMovie(to, 20, 20, ColourDepth::Bits24, {0, 2, 3, 4, 6, 7},
                              CompressionChoice{}, sound);
        };
        bool made = true;
        if (kind == "wav")
            made = Save(source, wav);
        else if (kind == "avi")
            made = Save(source + ".wav", wav) &&
                   convert(source, wav.isEmpty() ? QString() : source + ".wav").result.written;
        else if (kind == "fifo")
            made = ::mkfifo(QFile::encodeName(source).constData(), 0600) == 0;
        QVERIFY(made);
        if (kind == "mp3" || kind == "opus") {
            Run("ffmpeg",
                {"-v", "error", "-f", "lavfi", "-i", "sine=f=440:d=1", "-c:a",
                 kind == "mp3" ? "libmp3lame" : "libopus", "-f", kind, "file:" + source},
                &made);
            if (!made)
                QSKIP("this ffmpeg cannot make such files");
        }
        const QByteArray expected = format.isEmpty() ? QByteArray()
                                    : kind == "mp3"  ? StreamBytes(file(source), "a", format)
                                                     : wav.mid(44);
        const Outcome o = convert(movie, source);
        QVERIFY2(o.result.written && o.messages.isEmpty(), qPrintable(o.messages.join(", ")));
        const QString path = file(movie);
        const QJsonObject probe = Probe(path);
        QCOMPARE(VideoPackets(probe).first, (QList<long>{0, 2, 3, 4, 6, 7}));
        const auto streams = AviStreams(path);
        QCOMPARE(int(streams.size()), format.isEmpty() ? 1 : 2);
        QCOMPARE(StreamBytes(path, "a", format.isEmpty() ? "u8" : format), expected);
        if (kind != "wav" || format.isEmpty())
            return;

        // The samples keep their positions: the first starts at 0, each follows
        // the last; and they come in the file between the frames, not after them.
        const int align = wav.at(32); // bytes per sample frame
        const QJsonArray packets = PacketsOf(probe, "audio");
        long samples = 0;
        for (const auto& p : packets) {
            QCOMPARE(long(p.toObject()["pts"].toInteger()), samples);
            samples += p.toObject()["size"].toString().toLong() / align;
        }
        QCOMPARE(samples, long(expected.size() / align));
        QVERIFY(packets.first().toObject()["pos"].toString().toLongLong() <
                PacketsOf(probe, "video").last().toObject()["pos"].toString().toLongLong());
        // Our own reading: the stream header and the format record as in the WAV.
        QCOMPARE(streams[1].first.left(4), QByteArray("auds"));
        QCOMPARE(long(U32(streams[1].first, 32)), samples); // dwLength
        QCOMPARE(streams[1].second.left(16), wav.mid(20, 16));
        const QJsonObject mi = MediaInfoTrack(path, "Audio");
        QCOMPARE(mi["SamplingRate"].toString() + " " + mi["StreamSize"].toString(),
                 QString("%1 %2").arg(U32(wav, 24)).arg(expected.size()));
        QCOMPARE(MediaInfoTrack(path, "Video")["FrameCount"].toString(), QString("8"));
        const GstBuffers g = GstRead(path, {}, "audio_0");
        QVERIFY(g.ok);
        QCOMPARE(std::accumulate(g.bytes.begin(), g.bytes.end(), QByteArray()), expected);
    }

    // Sizes are refused exactly where FFmpeg's readers refuse them.
    void sizeLimit() {
        for (quint32 w : {16255u, 16256u, 16384u})
            for (quint32 h : {16128u, 16129u, 16255u, 16256u}) {
                QCOMPARE(!ConversionInputProblem({.width = w, .height = h}, {}),
                         av_image_check_size(w, h, 0, nullptr) == 0);
            }
    }

    void pipeline_data() {
        QTest::addColumn<int>("threads"); // 0: one per core
        QTest::addColumn<long>("lineCount");
        QTest::addColumn<int>("taken"); // frames asked for before the pipeline goes
        QTest::newRow("five workers") << 5 << 99L << 99;
        QTest::newRow("one per core, fewer lines than the file") << 0 << 9L << 99;
        QTest::newRow("dropped with frames in flight") << 5 << 99L << 3;
    }

    // Each frame shows its line's picture in order; a line that repeats the
    // path before reuses its frame; missing and broken files are white.
    void pipeline() {
        QFETCH(int, threads);
        QFETCH(long, lineCount);
        QFETCH(int, taken);
        const QHash<char, QRgb> colours{{'r', 0xffff0000}, {'b', 0xff0000ff}};
        for (auto it = colours.begin(); it != colours.end(); ++it) {
            QImage picture(6, 4, QImage::Format_RGB32);
            picture.fill(it.value());
            QVERIFY(picture.save(file(QString(it.key()) + ".png")));
        }
        QVERIFY(Save(file("x.png"), "\x89PNG\r\n\x1a\nnot really"));
        // r, b: red and blue; m: missing; x: broken; '.': a hold line.
        QList<QByteArray> rows;
        for (char c : QByteArray("r..bbmx.br.b").repeated(7))
            rows << (c == '.' ? QByteArray() : QFile::encodeName(file(QString(c) + ".png")));
        IntermediateFrameFile lines;
        QVERIFY(lines.create(QFile::encodeName(dir_.path())));
        QVERIFY(lines.writeLines(rows, false, false) > 60 && lines.rewindForReading());
        QList<std::pair<long, QByteArray>> meant;
        ForEachFrameLine(rows, false, false, [&](long position, const QByteArray& path) {
            meant << std::pair{position, path};
            return meant.size() < lineCount;
        });

        FrameLineReader reader(lines.file());
        FramePipeline frames(reader, lineCount, 10, 8, PixelFormat::Bgr24, DrawMode::Centre, {},
                             threads);
        for (int i = 0; i < std::min<long>(taken, meant.size()); ++i) {
            const std::optional<MovieFrame> frame = frames.next();
            QVERIFY(frame && frame->pixels);
            const QByteArray& path = meant[i].second;
            QCOMPARE(frame->position, meant[i].first);
            QCOMPARE(frame->sameAsBefore, i > 0 && path == meant[i - 1].second);
            const uint8_t* centre = frame->pixels->row(4) + 5 * 3;
            QCOMPARE(qRgb(centre[2], centre[1], centre[0]),
                     colours.value(path.at(path.size() - 5), 0xffffffff));
            QCOMPARE(frame->pixels->row(0)[0], uint8_t(255)); // white around the picture
        }
        QVERIFY(taken <= meant.size() || !frames.next());
    }
};

QTEST_GUILESS_MAIN(TestMovie)
#include "tst_movie.moc"
