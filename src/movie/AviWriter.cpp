#include "movie/AviWriter.h"

#include "movie/AviOutput.h"

namespace {

const MovieMessage MakeDibError{"MAKEDIB ERROR!", "AVI ERR"};
const MovieMessage CannotOpenFile{"CannotOpenAviFile", "Error"};
const MovieMessage WritingError{"WritingERR", "AVI ERR"};

// Whether frames of the movie's size and depth can be made at all: one is
// made and dropped, before anything touches the file.
bool CanMakeFrames(const MovieDescription& movie) {
    const std::optional<PixelFormat> format = MovieFrameFormat(movie.depth);
    if (!format || movie.width == 0 || movie.height == 0 || movie.width > 0x7fffffffu ||
        movie.height > 0x7fffffffu)
        return false;
    if (PixelBuffer::strideFor(int(movie.width), *format) * movie.height > 0xffffffffu - 2048)
        return false; // a DIB's image size is a 32-bit field
    return PixelBuffer::allocate(int(movie.width), int(movie.height), *format, RowOrder::BottomUp)
        .has_value();
}

// The video stream, its compressor and the file header; false when a step
// failed, or when the compression was cancelled (no failure of the file).
bool OpenStreams(AviOutput& output, const MovieDescription& movie, AvStatus& last) {
    last = output.createVideoStream();
    if (!last.ok() || !movie.compression)
        return false;
    last = output.openCompressor(*movie.compression);
    if (last.ok()) {
        output.addAudio(movie.audioPath);
        last = output.writeHeader();
    }
    return last.ok();
}

// Every frame of the source, until progress asks to stop; false when a frame
// could not be made or written.
bool WriteFrames(AviOutput& output, MovieFrameSource& frames, const MovieProgress& progress,
                 AvStatus& last, MovieResult& result) {
    while (const std::optional<MovieFrame> frame = frames.next()) {
        if (!frame->pixels) {
            result.messages.push_back(MakeDibError);
            return false;
        }
        last = output.writeFrame(frame->position, *frame->pixels);
        if (!last.ok())
            return false;
        ++result.framesWritten;
        if (progress && !progress(result.framesWritten))
            break;
    }
    return true;
}

// Finishes an open file, whatever happened before; false when that failed.
bool Close(AviOutput& output, const std::string& audioPath, AvStatus& last) {
    bool closed = true;
    auto step = [&](AvStatus status) {
        if (!status.ok() && last.ok()) {
            last = status; // an unfinished file is no success
            closed = false;
        }
    };
    step(output.finishVideo());
    if (!output.headerWritten()) {
        // Cancelled or failed before the header: the file still gets its
        // (empty) video stream, and the sound.
        output.addAudio(audioPath);
        (void)output.writeHeader();
    }
    if (!audioPath.empty() && output.hasAudio())
        (void)output.mergeAudio(); // its outcome is no failure of the movie
    step(output.close());
    return closed;
}

} // namespace

std::vector<MovieMessage> AviCannotOpenMessages() {
    return {CannotOpenFile, WritingError};
}

MovieResult WriteAviMovie(const MovieDescription& movie, MovieFrameSource& frames,
                          const MovieProgress& progress) {
    QuietLibav();
    MovieResult result;
    if (!CanMakeFrames(movie)) {
        result.messages.push_back(MakeDibError);
        return result;
    }
    AviOutput output(movie.width, movie.height, *MovieFrameFormat(movie.depth), movie.fps);
    AvStatus last = output.openFile(movie.outputPath); // the most recent step on the file
    bool failed = !last.ok();
    if (failed)
        result.messages.push_back(CannotOpenFile);
    else
        failed = !OpenStreams(output, movie, last) ||
                 !WriteFrames(output, frames, progress, last, result);
    if (output.isOpen() && !Close(output, movie.audioPath, last))
        failed = true;
    if (!last.ok())
        result.messages.push_back(WritingError);
    result.written = !failed;
    return result;
}
