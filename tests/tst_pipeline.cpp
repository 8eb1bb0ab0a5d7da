// The frame pipeline against the writer's own one-frame-at-a-time path: the
// movie files must be the same byte for byte, whatever the depth, draw mode,
// hold lines, blank frames, missing or broken images, number of workers, or a
// Cancel part way; and a frame drawn straight into a DIB must equal the one
// drawn on a surface and converted.

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

#include <functional>

namespace {

// A picture with detail in every pixel, so a wrong row or column shows.
QImage TestPicture(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y,
                qRgb((x * 7 + seed * 31) & 255, (y * 11 + seed * 17) & 255, (x * y + seed) & 255));
    // Some greys, which the 8-bit palette maps apart from the colour cube.
    QPainter p(&image);
    p.fillRect(0, 0, width / 3 + 1, height / 3 + 1, QColor(128, 128, 128));
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
    long written = 0;
};

struct Run {
    QList<QByteArray> rows;
    unsigned width = 61, height = 47;
    int bitCount = 24;
    int scale = 0;
    bool trim = false;
    bool noBlank = false;
    long cancelAfter = -1; // progress answers false after this many frames
    QByteArray output;
};

// threads < 0: the writer's own callbacks; otherwise the pipeline.
Outcome Convert(const Run& run, int threads, const QByteArray& tempDir) {
    Outcome out;
    IntermediateFrameFile file;
    if (!file.create(tempDir))
        return out;
    const long lines = file.writeLines(run.rows, run.trim, run.noBlank);
    if (lines < 0 || !file.rewindForReading())
        return out;
    FrameLineReader reader(file.file(), run.scale);
    AviWriterHooks hooks;
    hooks.message = [&out](const char* text, const char* caption) {
        out.messages << QString::fromUtf8(caption) + ": " + QString::fromUtf8(text);
    };
    hooks.progress = [&out, &run](long written, long) {
        out.written = written;
        return run.cancelAfter < 0 || written < run.cancelAfter;
    };
    const std::string path = run.output.toStdString();
    if (threads < 0) {
        out.result = WriteAviMovie(
            path, run.width, run.height, run.bitCount, lines, 8,
            [&reader](Surface& s, unsigned w, unsigned h, long i) { reader.DrawFrame(s, w, h, i); },
            [&reader](long i) { return reader.GetFramePosition(i); },
            [&reader](long i) { return reader.ReadNextFrameLine(i); }, {}, hooks);
    } else {
        out.result = WriteAviMovieFromLines(reader, path, run.width, run.height, run.bitCount,
                                            lines, 8, {}, hooks, threads);
    }
    QFile movie(QString::fromLocal8Bit(run.output));
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

    void compare(const Run& run, int threads) {
        Run sequential = run;
        sequential.output = at("sequential.avi");
        Run parallel = run;
        parallel.output = at("parallel.avi");
        const Outcome a = Convert(sequential, -1, QFile::encodeName(dir_.path()));
        const Outcome b = Convert(parallel, threads, QFile::encodeName(dir_.path()));
        QCOMPARE(b.result, a.result);
        QCOMPARE(b.messages, a.messages);
        QCOMPARE(b.written, a.written);
        QVERIFY(a.movie.size() > 0);
        QCOMPARE(b.movie.size(), a.movie.size());
        QVERIFY2(b.movie == a.movie, "the movie files differ");
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        png_ = at("odd size.png");
        jpg_ = at("photo,1.jpg");
        bmp_ = at("plain.bmp");
        big_ = at("big.png");
        broken_ = at("broken.png");
        missing_ = at("missing.png");
        QVERIFY(TestPicture(37, 23, 1).save(QFile::decodeName(png_), "PNG"));
        QVERIFY(TestPicture(40, 30, 2).save(QFile::decodeName(bmp_), "BMP"));
        QVERIFY(TestPicture(131, 97, 3).save(QFile::decodeName(big_), "PNG"));
        if (!TestPicture(80, 52, 4).save(QFile::decodeName(jpg_), "JPEG", 90))
            jpg_ = at("photo,1.png"), TestPicture(80, 52, 4).save(QFile::decodeName(jpg_), "PNG");
        QFile broken(QFile::decodeName(broken_));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("\x89PNG\r\n\x1a\nnot really");
        broken.close();
        QVERIFY(LoadImageFile(png_.toStdString()).has_value());
        QVERIFY(LoadImageFile(jpg_.toStdString()).has_value());
    }

    // Drawn straight into a DIB = drawn on a white surface and converted.
    void renderEqualsSurface_data() {
        QTest::addColumn<int>("imageWidth");
        QTest::addColumn<int>("imageHeight");
        QTest::addColumn<int>("frameWidth");
        QTest::addColumn<int>("frameHeight");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("bits");
        const int sizes[][4] = {{37, 23, 61, 47}, {131, 97, 61, 47}, {61, 47, 61, 47},
                                {1, 1, 20, 21},   {300, 5, 21, 20},  {5, 300, 33, 20}};
        for (int bits : {8, 16, 24}) {
            for (int mode : {0, 1, 2}) {
                for (const auto& s : sizes) {
                    const QByteArray name =
                        QByteArray::number(bits) + " bits, mode " + QByteArray::number(mode) +
                        ", " + QByteArray::number(s[0]) + "x" + QByteArray::number(s[1]) + " on " +
                        QByteArray::number(s[2]) + "x" + QByteArray::number(s[3]);
                    QTest::newRow(name.constData()) << s[0] << s[1] << s[2] << s[3] << mode << bits;
                }
            }
        }
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

        // A recycled DIB holding another frame's pixels.
        PackedDib dib = *expected;
        std::fill(dib.block.begin() + ptrdiff_t(dib.formatSize()), dib.block.end(), 0x5a);
        for (int y = 0; y < dib.height; ++y) { // keep the row padding as made
            uint8_t* row = dib.topDownRow(y);
            const size_t used = size_t(frameWidth) * size_t(bits / 8);
            std::memcpy(row + used, expected->topDownRow(y) + used, dib.stride() - used);
        }
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
        Surface white(frameWidth, frameHeight, Surface::White);
        const std::unique_ptr<PackedDib> blank = BitmapToPackedDib(white, bits);
        RenderFrameDib(nullptr, mode, dib);
        QVERIFY(dib.block == blank->block);
    }

    // The whole movie, pipeline against the writer's own callbacks.
    void sameMovie_data() {
        QTest::addColumn<int>("bitCount");
        QTest::addColumn<int>("scale");
        QTest::addColumn<bool>("trim");
        QTest::addColumn<bool>("noBlank");
        QTest::addColumn<int>("threads");
        for (int bits : {8, 16, 24})
            for (int scale : {0, 1}) {
                const QByteArray name =
                    QByteArray::number(bits) + (scale ? " bits stretched" : " bits centred");
                QTest::newRow(name.constData()) << bits << scale << false << false << 0;
            }
        QTest::newRow("trimmed, no blank frame") << 24 << 1 << true << true << 0;
        QTest::newRow("one worker") << 16 << 0 << false << false << 1;
        QTest::newRow("five workers") << 8 << 1 << false << false << 5;
    }
    void sameMovie() {
        QFETCH(int, bitCount);
        QFETCH(int, scale);
        QFETCH(bool, trim);
        QFETCH(bool, noBlank);
        QFETCH(int, threads);
        Run run;
        // Blank rows first, hold lines, the same image twice in a row, a
        // missing and a broken file, paths with spaces and commas, and more
        // lines than the pipeline holds in flight.
        run.rows = {"", "",       png_, "", "",      jpg_, jpg_, bmp_,
                    "", missing_, "",   "", broken_, big_, "",   png_};
        for (int i = 0; i < 6; ++i)
            run.rows << big_ << "" << png_ << jpg_ << ""
                     << "";
        run.bitCount = bitCount;
        run.scale = scale;
        run.trim = trim;
        run.noBlank = noBlank;
        compare(run, threads);
    }

    // Cancel after some frames: the same frames written, the movie closed
    // the same way, the frames drawn ahead dropped.
    void sameMovieAfterCancel_data() {
        QTest::addColumn<long>("cancelAfter");
        QTest::newRow("after the first frame") << 1L;
        QTest::newRow("after a held frame") << 4L;
        QTest::newRow("after nine frames") << 9L;
    }
    void sameMovieAfterCancel() {
        QFETCH(long, cancelAfter);
        Run run;
        for (int i = 0; i < 8; ++i)
            run.rows << png_ << ""
                     << "" << big_ << jpg_;
        run.scale = 1;
        run.cancelAfter = cancelAfter;
        compare(run, 0);
    }

    // Hold lines and repeated paths reuse the frame before: only the other
    // lines are decoded and drawn; positions come through unchanged.
    void holdLinesReuseTheFrameBefore() {
        IntermediateFrameFile file;
        QVERIFY(file.create(QFile::encodeName(dir_.path())));
        const QList<QByteArray> rows = {png_, "", "", jpg_, jpg_, "", big_, ""};
        const long lines = file.writeLines(rows, false, false);
        QCOMPARE(lines, 8L); // png 0, hold 2, jpg 3, 4, hold 5, big 6, hold 7, blank 8
        QVERIFY(file.rewindForReading());
        FrameLineReader reader(file.file(), 1);
        FramePipeline pipeline(reader, 32, 24, 24, lines, 2);
        QList<long> positions;
        const PackedDib* previous = nullptr;
        QList<bool> reused;
        for (long i = 0; pipeline.next(i); ++i) {
            const PackedDib* dib = pipeline.frame(i);
            QVERIFY(dib);
            reused << (dib == previous);
            previous = dib;
            positions << pipeline.position(i);
        }
        QCOMPARE(positions, (QList<long>{0, 2, 3, 4, 5, 6, 7, 8}));
        QCOMPARE(reused, (QList<bool>{false, true, false, true, true, false, true, false}));
        QCOMPARE(pipeline.framesDrawn(), 4L);
        QCOMPARE(pipeline.framesReused(), 4L);
    }

    // A movie that cannot be written gives the same messages and result.
    void sameFailure() {
        Run run;
        run.rows = {png_, jpg_};
        Run bad = run;
        bad.output = at("no such folder/movie.avi");
        const Outcome a = Convert(bad, -1, QFile::encodeName(dir_.path()));
        const Outcome b = Convert(bad, 0, QFile::encodeName(dir_.path()));
        QCOMPARE(a.result, 1);
        QCOMPARE(b.result, a.result);
        QCOMPARE(b.messages, a.messages);
        QVERIFY(!a.messages.isEmpty());
    }

    // Lines the pipeline reads ahead never go past the line count, and a
    // list of nothing but blank rows still makes the same (white) movie.
    void lineCountBoundsTheFrames() {
        Run run;
        run.rows = {"", "", ""};
        compare(run, 0);
        run.rows = {};
        run.noBlank = true;
        Run sequential = run;
        sequential.output = at("empty.avi");
        const Outcome a = Convert(sequential, 0, QFile::encodeName(dir_.path()));
        QCOMPARE(a.result, 0);
        QCOMPARE(a.written, 0L);
    }
};

QTEST_GUILESS_MAIN(TestPipeline)
#include "tst_pipeline.moc"
