#pragma once

// WriteAviMovie: one AVI file with one video stream ("vids", rate = fps,
// scale 1, every frame a key frame) and, when an audio path is given, the first
// audio stream of that file copied unchanged. Frames come from three callbacks,
// called in the order next-frame, draw, position for each frame.
// Result: 0 when every step succeeded, 1 when a step failed or the compression
// dialog was cancelled. The writer shows its own messages through hooks.message.

#include "imaging/Surface.h"

#include <functional>
#include <optional>
#include <string>

struct PackedDib;

// The compressor a user picked. An empty encoder is "Full Frames (Uncompressed)".
struct CompressionChoice {
    std::string encoder; // libavcodec encoder name, e.g. "mjpeg", "ffv1", "libx264"
    int quality = -1;    // 1..100 for encoders with a quality setting; -1: the encoder's default
};

struct AviWriterHooks {
    // The compression options dialog; std::nullopt when the user cancelled.
    // When unset, uncompressed full frames are written.
    std::function<std::optional<CompressionChoice>()> chooseCompression;
    // The writer's plain message boxes, e.g. ("CannotOpenAviFile", "Error").
    // When unset they go to standard error as "caption: text".
    std::function<void(const char* text, const char* caption)> message;
    // After each frame written: frames written so far and the line count.
    // Answering false stops after that frame; the movie (with its sound) is
    // closed properly and the result is 0, since nothing failed.
    std::function<bool(long written, long total)> progress;
    // Frames drawn elsewhere (FramePipeline): when set, frame i's DIB comes
    // from here instead of the draw callback; nullptr is a DIB that cannot be
    // made. The DIB stays valid until the next call.
    std::function<const PackedDib*(long frame)> renderedFrame;
};

// Paints frame `frame` on a surface of width x height.
using DrawFrameCallback =
    std::function<void(Surface& surface, unsigned width, unsigned height, long frame)>;
// The movie position of frame `frame`; positions increase strictly and may skip.
using FramePositionCallback = std::function<long(long frame)>;
// Non-zero when a further frame exists.
using NextFrameCallback = std::function<int(long frame)>;

// Positions that do not increase, or a negative one, count as a failed frame
// write ("WritingERR"); the frames before stay in the file. The audio step
// (MergeAudioTrack) never causes a message or a failure result.
int WriteAviMovie(const std::string& outputPath, unsigned width, unsigned height, int bitCount,
                  long lineCount, unsigned fps, const DrawFrameCallback& draw,
                  const FramePositionCallback& position, const NextFrameCallback& next,
                  const std::string& audioPath, const AviWriterHooks& hooks = {});
