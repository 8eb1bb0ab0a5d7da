#pragma once

// The movie's audio track: the first audio stream of a sound file (a WAV file,
// an AVI file with sound, anything libavformat opens) copied into the movie
// packet for packet, codec parameters, bytes and sample positions unchanged.
// The writer opens the track before the movie header is written, copies it
// alongside the video frames (so players stream the file and memory stays
// flat) and copies the rest at the end. Nothing here shows a message: a sound
// that cannot be copied leaves the movie without (or with part of) its audio.

#include "movie/LibavHandles.h"

#include <string>

class AudioTrack {
public:
    // Opens the sound file and adds its audio stream to `movie`, whose header
    // is not written yet. False when the file is missing, is not a regular
    // file (a pipe is never opened: that would wait for a writer), holds no
    // audio or cannot be read; the movie then gets no audio stream.
    bool open(const std::string& path, AVFormatContext* movie);
    bool isOpen() const { return output_ != nullptr; }
    // Forgets the source (the movie's stream, if any, is the caller's).
    void close();

    // Writes the packets that start before `limit` (in `base` units). Fails
    // once a read or write failed (the copy then stays stopped).
    AvStatus copyUntil(int64_t limit, AVRational base);
    // Writes everything still left. Fails as copyUntil does, or when the
    // source delivered no samples at all.
    AvStatus copyRest();

private:
    // Reads the next packet of the source stream into pending_; false at the
    // end of the stream (atEnd_) or on failure (failure_).
    bool readPending();
    AvStatus writePending();

    AvInputContextPtr source_;
    int sourceIndex_ = -1;
    AVStream* output_ = nullptr;
    AVFormatContext* movie_ = nullptr;
    AvPacketPtr pending_;
    bool havePending_ = false;
    bool atEnd_ = false;
    AvStatus failure_;
    long long bytesCopied_ = 0;
};
