#include "movie/AviWriter.h"

#include "movie/AviMovieWriter.h"
#include "movie/PackedDib.h"

#include <cstdio>

namespace {

void QuietLibav() {
    // libav's informational lines (x264's statistics and the like) are noise
    // here; errors still reach standard error.
    static const bool once = [] {
        if (av_log_get_level() > AV_LOG_ERROR)
            av_log_set_level(AV_LOG_ERROR);
        return true;
    }();
    (void)once;
}

} // namespace

int WriteAviMovie(const std::string& outputPath, unsigned width, unsigned height, int bitCount,
                  long lineCount, unsigned fps, const DrawFrameCallback& draw,
                  const FramePositionCallback& position, const NextFrameCallback& next,
                  const std::string& audioPath, const AviWriterHooks& hooks) {
    auto message = [&hooks](const char* text, const char* caption) {
        if (hooks.message)
            hooks.message(text, caption);
        else
            std::fprintf(stderr, "%s: %s\n", caption, text);
    };
    QuietLibav();

    // 1. The format DIB: its header and colour table describe the stream.
    DibSlot dib;
    if (!MakeFrameDib(dib, bitCount, width, height, -1, {})) {
        message("MAKEDIB ERROR!", "AVI ERR");
        return 1;
    }

    AviMovieWriter movie(width, height, bitCount, fps);
    int failures = 0;
    int lastResult = 0; // the most recent file, stream, format or frame step

    // 3. The output file.
    lastResult = movie.openFile(outputPath);
    if (lastResult < 0) {
        failures = 1;
        message("CannotOpenAviFile", "Error");
    } else {
        // 4. The video stream.
        lastResult = movie.createVideoStream(*dib);
        std::optional<CompressionChoice> choice;
        if (lastResult < 0) {
            failures = 1;
        } else {
            // 5. The compressor; cancelling is no error of the file.
            choice = hooks.chooseCompression
                         ? hooks.chooseCompression()
                         : std::optional<CompressionChoice>(CompressionChoice{});
            if (!choice)
                failures = 1;
        }
        if (!failures) {
            // 6. The compressed stream, 7. its format (the file header).
            lastResult = movie.openCompressor(*choice);
            if (lastResult >= 0) {
                movie.addAudio(audioPath);
                lastResult = movie.writeHeader();
            }
            if (lastResult < 0)
                failures = 1;
        }
        // 8. The frames.
        for (long i = 0; !failures && i < lineCount; ++i) {
            if (!next || !next(i))
                break;
            const PackedDib* frame = nullptr;
            if (hooks.renderedFrame)
                frame = hooks.renderedFrame(i);
            else if (MakeFrameDib(dib, bitCount, width, height, i, draw))
                frame = dib.get();
            if (!frame) {
                message("MAKEDIB ERROR!", "AVI ERR");
                failures = 1;
                break;
            }
            const long at = position ? position(i) : i;
            lastResult = movie.writeFrame(at, *frame);
            if (lastResult < 0) {
                failures = 1;
                break;
            }
            if (hooks.progress && !hooks.progress(i + 1, lineCount))
                break;
        }
    }

    // 9. Clean-up, whatever happened before.
    if (movie.isOpen()) {
        int ret = movie.finishVideo();
        if (ret < 0 && lastResult >= 0) {
            lastResult = ret;
            failures = 1;
        }
        if (!movie.headerWritten()) {
            // Cancelled or failed before the header: the file still gets its
            // (empty) video stream, and the sound.
            movie.addAudio(audioPath);
            movie.writeHeader();
        }
        if (!audioPath.empty() && movie.hasAudio())
            movie.mergeAudio(); // its outcome is no failure of the movie
        ret = movie.close();
        if (ret < 0 && lastResult >= 0) {
            lastResult = ret; // an unfinished file is no success
            failures = 1;
        }
    }
    FreeFrameDib(dib);
    if (lastResult < 0)
        message("WritingERR", "AVI ERR");
    return failures ? 1 : 0;
}
