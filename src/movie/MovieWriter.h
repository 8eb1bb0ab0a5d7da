#pragma once

// What a movie writer takes and gives back, whatever the container: a
// description of the movie, a source of frames in position order, and a
// result that carries the messages to show. WriteAviMovie (AviWriter.h)
// writes AVI files.
//
// Positions: a frame's place in the movie, counted in frames of 1/fps
// seconds. They increase and may skip; a skipped position holds the frame
// before (AVI repeats it, through empty index entries; a container with frame
// durations may lengthen the frame instead). A frame that repeats the picture
// before it says so (sameAsBefore), so such a container may lengthen the
// frame before rather than store the picture twice.

#include "imaging/PixelBuffer.h"
#include "movie/Codecs.h"
#include "settings/ProjectSettings.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct AVFrame;

struct MovieDescription {
    std::string outputPath; // created, or replaced
    unsigned width = 0;
    unsigned height = 0;
    ColourDepth depth = ColourDepth::Bits24;
    unsigned fps = 0;
    // The compressor; std::nullopt when the user cancelled the compression
    // dialog: the movie then gets an empty video stream and the sound, and
    // counts as not written.
    std::optional<CompressionChoice> compression = CompressionChoice{};
    std::string audioPath; // the sound to copy in; empty for none
};

// The pixel format of a movie's frames at a depth: packed-DIB rows,
// bottom-up, padded to 4 bytes (Indexed8, Rgb555, Bgr24); nullopt for a depth
// outside the three.
std::optional<PixelFormat> MovieFrameFormat(ColourDepth depth);

struct MovieFrame {
    long position = 0;
    // width x height pixels of MovieFrameFormat, bottom-up; null when the
    // frame could not be made. Valid until the source's next call.
    const PixelBuffer* pixels = nullptr;
    bool sameAsBefore = false; // the picture of the frame before, again
    // Instead of pixels, from a source asked for them (a container movie):
    // the frame already made in its encoder's pixel format. Valid as pixels.
    const AVFrame* encoded = nullptr;
};

class MovieFrameSource {
public:
    virtual ~MovieFrameSource() = default;
    // The next frame, or std::nullopt when there is none.
    virtual std::optional<MovieFrame> next() = 0;
};

// A message for the user: a plain box with its own caption, e.g.
// ("WritingERR", "AVI ERR").
struct MovieMessage {
    std::string text;
    std::string caption;
    bool operator==(const MovieMessage&) const = default;
};

struct MovieResult {
    bool written = false; // every step succeeded (a stop asked for is no failure)
    long framesWritten = 0;
    std::vector<MovieMessage> messages; // in the order they happened
};

// After each frame written, with the count so far; answering false stops
// after that frame, and the movie (with its sound) is closed properly.
using MovieProgress = std::function<bool(long framesWritten)>;
