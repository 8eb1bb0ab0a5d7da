// The frame pipeline against the writer's own one-frame-at-a-time path: the
// same movie file byte for byte, the same messages and progress; and a frame
// drawn straight into a DIB equals the one drawn on a surface and converted.

#include "imaging/ImageDrawing.h"
#include "movie/FramePipeline.h"
#include "movie/IntermediateFrameFile.h"
#include "movie/PackedDib.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Detail in every pixel, so a wrong row or column shows.
QImage TestPicture(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y,
                qRgb((x * 7 + seed * 31) & 255, (y * 11 + seed * 17) & 255, (x * y + seed) & 255));
    QPainter(&image).fillRect(0, 0, width / 3 + 1, height / 3 + 1, QColor(128, 128, 128)); // greys
    return image;
}

DecodedImage Decoded(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    DecodedImage image;
    image.width = rgb.width();
    image.height = rgb.height();
    image.pixels.resize(size_t(image.width) * size_t(image.height));
    for (int y = 0; y < image.height; ++y)
        std::memcpy(image.row(y), rgb.constScanLine(y), size_t(image.width) * 4);
    return image;
}

struct Outcome {
    QByteArray movie;
    int result = -1;
    QStringList messages;
    QList<long> progress; // (written, total) pairs
};

struct Job {
    QList<QByteArray> rows;
    int bitCount = 24, scale = 0;
    bool trim = false, noBlank = false;
    long cancelAfter = -1; // progress answers false after this many frames
};

// threads < 0: the writer's own callbacks; otherwise the pipeline.
Outcome Convert(const Job& job, int threads, const QByteArray& tempDir, const QByteArray& output) {
    Outcome out;
    IntermediateFrameFile file;
    const long lines = file.create(tempDir) ? file.writeLines(job.rows, job.trim, job.noBlank) : -1;
    if (lines < 0 || !file.rewindForReading())
        return out;
    FrameLineReader reader(file.file(), job.scale);
    AviWriterHooks hooks;
    hooks.message = [&out](const char* text, const char* caption) {
        out.messages << QString::fromUtf8(caption) + ": " + QString::fromUtf8(text);
    };
    hooks.progress = [&out, &job](long written, long total) {
        out.progress << written << total;
        return job.cancelAfter < 0 || written < job.cancelAfter;
    };
    const std::string path = output.toStdString();
    if (threads < 0)
        out.result = WriteAviMovie(
            path, 61, 47, job.bitCount, lines, 8,
            [&reader](Surface& s, unsigned w, unsigned h, long i) { reader.DrawFrame(s, w, h, i); },
            [&reader](long i) { return reader.GetFramePosition(i); },
            [&reader](long i) { return reader.ReadNextFrameLine(i); }, {}, hooks);
    else
        out.result = WriteAviMovieFromLines(reader, path, 61, 47, job.bitCount, lines, 8, {}, hooks,
                                            threads);
    QFile movie(QFile::decodeName(output));
    if (movie.open(QIODevice::ReadOnly))
        out.movie = movie.readAll();
    return out;
}

} // namespace

class TestPipeline : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QByteArray png_, jpg_, bmp_, big_, broken_, missing_;

    QByteArray at(const char* name) const { return QFile::encodeName(dir_.filePath(name)); }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        png_ = at("odd size.png"), jpg_ = at("photo,1.jpg"), bmp_ = at("plain.bmp");
        big_ = at("big.png"), broken_ = at("broken.png"), missing_ = at("missing.png");
        QVERIFY(TestPicture(37, 23, 1).save(QFile::decodeName(png_), "PNG"));
        QVERIFY(TestPicture(40, 30, 2).save(QFile::decodeName(bmp_), "BMP"));
        QVERIFY(TestPicture(131, 97, 3).save(QFile::decodeName(big_), "PNG"));
        QVERIFY(TestPicture(80, 52, 4).save(QFile::decodeName(jpg_), "JPEG", 90));
        QFile broken(QFile::decodeName(broken_));
        QVERIFY(broken.open(QIODevice::WriteOnly) &&
                broken.write("\x89PNG\r\n\x1a\nnot really") > 0);
        QVERIFY(LoadImageFile(png_.toStdString()).has_value()); // the decoder plug-ins are there
        QVERIFY(LoadImageFile(jpg_.toStdString()).has_value());
    }

    void renderEqualsSurface_data() {
        QTest::addColumn<int>("imageWidth");
        QTest::addColumn<int>("imageHeight");
        QTest::addColumn<int>("frameWidth");
        QTest::addColumn<int>("frameHeight");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("bits");
        const int sizes[][4] = {{37, 23, 61, 47}, {131, 97, 61, 47}, {61, 47, 61, 47},
                                {1, 1, 20, 21},   {300, 5, 21, 20},  {5, 300, 33, 20}};
        for (int bits : {8, 16, 24})
            for (int mode : {0, 1, 2})
                for (const auto& s : sizes)
                    QTest::addRow("%d bits, mode %d, %dx%d on %dx%d", bits, mode, s[0], s[1], s[2],
                                  s[3])
                        << s[0] << s[1] << s[2] << s[3] << mode << bits;
    }
    void renderEqualsSurface() {
        QFETCH(int, imageWidth);
        QFETCH(int, imageHeight);
        QFETCH(int, frameWidth);
        QFETCH(int, frameHeight);
        QFETCH(int, mode);
        QFETCH(int, bits);
        const DecodedImage image = Decoded(TestPicture(imageWidth, imageHeight, 5));
        Surface surface(frameWidth, frameHeight, Surface::White);
        BlitImage(image, surface, unsigned(frameWidth), unsigned(frameHeight), mode);
        const std::unique_ptr<PackedDib> expected = BitmapToPackedDib(surface, bits);
        QVERIFY(expected);

        // A recycled DIB holding another frame's pixels (row padding as made).
        PackedDib dib = *expected;
        for (int y = 0; y < dib.height; ++y)
            std::fill_n(dib.topDownRow(y), size_t(frameWidth) * size_t(bits / 8), 0x5a);
        RenderFrameDib(&image, mode, dib);
        QVERIFY(dib.block == expected->block);

        // The same picture as a plug-in's 24-bit bottom-up rows.
        const size_t stride = (size_t(imageWidth) * 3 + 3) / 4 * 4;
        std::vector<uint8_t> bgr(stride * size_t(imageHeight), 0);
        for (int y = 0; y < imageHeight; ++y)
            for (int x = 0; x < imageWidth; ++x) {
                uint8_t* p = bgr.data() + size_t(imageHeight - 1 - y) * stride + size_t(x) * 3;
                const uint32_t v = image.pixel(x, y);
                p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
            }
        FrameSource rows;
        rows.width = imageWidth;
        rows.height = imageHeight;
        rows.bytesPerPixel = 3;
        rows.firstRow = bgr.data() + stride * size_t(imageHeight - 1);
        rows.rowStep = -ptrdiff_t(stride);
        std::fill(dib.block.begin() + ptrdiff_t(dib.formatSize()), dib.block.end(), 0);
        RenderFrameDib(rows, mode, dib);
        QVERIFY(dib.block == expected->block);

        // No image: plain white.
        const std::unique_ptr<PackedDib> blank =
            BitmapToPackedDib(Surface(frameWidth, frameHeight, Surface::White), bits);
        RenderFrameDib(nullptr, mode, dib);
        QVERIFY(dib.block == blank->block);
    }

    void sameMovie_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("bitCount");
        QTest::addColumn<int>("scale");
        QTest::addColumn<bool>("trim");
        QTest::addColumn<bool>("noBlank");
        QTest::addColumn<int>("threads"); // 0: one worker per core
        QTest::addColumn<long>("cancelAfter");
        for (int bits : {8, 16, 24})
            for (int scale : {0, 1})
                QTest::addRow("%d bits %s", bits, scale ? "stretched" : "centred")
                    << "mixed" << bits << scale << false << false << 0 << -1L;
        QTest::newRow("trimmed, no blank frame") << "mixed" << 24 << 1 << true << true << 0 << -1L;
        QTest::newRow("one worker") << "mixed" << 16 << 0 << false << false << 1 << -1L;
        QTest::newRow("five workers") << "mixed" << 8 << 1 << false << false << 5 << -1L;
        // Cancel: the same frames written and the movie closed the same way;
        // the frames drawn ahead are dropped.
        for (long n : {1L, 4L, 9L})
            QTest::addRow("Cancel after %ld frames", n)
                << "cycle" << 24 << 1 << false << false << 0 << n;
        // Reading ahead never goes past the line count.
        QTest::newRow("only blank rows") << "blank" << 24 << 0 << false << false << 0 << -1L;
        QTest::newRow("no rows") << "none" << 24 << 0 << false << true << 0 << -1L;
        QTest::newRow("unwritable output") << "unwritable" << 24 << 0 << false << false << 0 << -1L;
    }
    void sameMovie() {
        QFETCH(QString, list);
        QFETCH(int, bitCount);
        QFETCH(int, scale);
        QFETCH(bool, trim);
        QFETCH(bool, noBlank);
        QFETCH(int, threads);
        QFETCH(long, cancelAfter);
        Job run;
        if (list == "mixed" || list == "unwritable") {
            // Blank rows first, hold lines, the same image twice in a row, a
            // missing and a broken file, paths with spaces and commas, and
            // more lines than the pipeline holds in flight.
            run.rows = {"", "",       png_, "", "",      jpg_, jpg_, bmp_,
                        "", missing_, "",   "", broken_, big_, "",   png_};
            for (int i = 0; i < 6; ++i)
                run.rows << big_ << QByteArray() << png_ << jpg_ << QByteArray() << QByteArray();
        } else if (list == "cycle") {
            for (int i = 0; i < 8; ++i)
                run.rows << png_ << QByteArray() << QByteArray() << big_ << jpg_;
        } else if (list == "blank") {
            run.rows = {"", "", ""};
        }
        run.bitCount = bitCount, run.scale = scale, run.trim = trim, run.noBlank = noBlank;
        run.cancelAfter = cancelAfter;
        const QByteArray temp = at(""), folder = list == "unwritable" ? at("no such folder") : temp;
        const Outcome a = Convert(run, -1, temp, folder + "/sequential.avi");
        const Outcome b = Convert(run, threads, temp, folder + "/parallel.avi");
        QCOMPARE(a.result, list == "unwritable" ? 1 : 0);
        QCOMPARE(a.messages.isEmpty(), list != "unwritable");
        QCOMPARE(b.result, a.result);
        QCOMPARE(b.messages, a.messages);
        QCOMPARE(b.progress, a.progress);
        QCOMPARE(a.movie.isEmpty(), list == "unwritable");
        QCOMPARE(b.movie.size(), a.movie.size());
        QVERIFY2(b.movie == a.movie, "the movie files differ");
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
