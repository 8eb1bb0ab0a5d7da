#pragma once

// The video compressors the movie writer offers: uncompressed full frames
// first, then the libavcodec encoders of this installation that the AVI muxer
// accepts and that were found to write a readable file. Owned by the movie
// writer; the compression dialog and `vistrom --list-codecs` only list them.

#include <string>
#include <vector>

// The compressor a user picked. An empty encoder is "Full Frames (Uncompressed)".
struct CompressionChoice {
    std::string encoder; // libavcodec encoder name, e.g. "mjpeg", "ffv1", "libx264"
    int quality = -1;    // 1..100 for encoders with a quality setting; -1: the encoder's default
};

struct CodecInfo {
    std::string name;        // encoder name for CompressionChoice::encoder; "" = uncompressed
    std::string description; // text shown to the user
    bool hasQuality = false; // CompressionChoice::quality (1..100) applies
    int sizeMultiple = 1;    // width and height must be multiples of this
};

// The first entry is always {"", "Full Frames (Uncompressed)", false}.
// The list is computed once per process (each candidate encoder is tried on a
// tiny frame) and then cached; it is safe to call from any thread.
std::vector<CodecInfo> OfferedCodecs();

// True when the codec can write frames of width x height.
bool CodecAcceptsSize(const CodecInfo& codec, unsigned width, unsigned height);

// The entry for an encoder name, or nullptr when it is not offered.
// FindOfferedCodec("") is the uncompressed entry.
const CodecInfo* FindOfferedCodec(const std::string& name);
