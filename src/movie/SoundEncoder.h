#pragma once

// A movie's sound track encoded anew: the first audio stream of a sound file
// decoded, resampled to what the encoder takes (at most two channels) and
// encoded (AAC, Opus) at a standard bit rate, for a container that cannot
// hold the sound as it is. The same steps as AudioTrack, which copies a sound
// the container can hold: open before the header, then copyUntil alongside
// the video and copyRest at the end. Nothing here shows a message.

#include "movie/LibavHandles.h"

#include <string>

struct SwrContext;
struct AVAudioFifo;

class SoundEncoder {
public:
    SoundEncoder();
    ~SoundEncoder();
    SoundEncoder(const SoundEncoder&) = delete;
    SoundEncoder& operator=(const SoundEncoder&) = delete;

    // Opens the sound file and the encoder and adds the encoded stream to
    // `movie`, whose header is not written yet. False (and no stream) when
    // the file holds no decodable audio or the encoder refuses it.
    bool open(const std::string& path, const std::string& encoder, AVFormatContext* movie);
    bool isOpen() const { return output_ != nullptr; }

    // Writes the encoded sound that starts before `limit` (in `base` units).
    AvStatus copyUntil(int64_t limit, AVRational base);
    // Encodes and writes everything still left.
    AvStatus copyRest();

private:
    bool openDecoder(const std::string& path);
    bool openEncoder(const std::string& encoder, AVFormatContext* movie);
    // Decodes the next source packet into the FIFO; false at the end.
    bool decodeMore();
    AvStatus encodeFifo(bool all);
    AvStatus writePackets();

    AvInputContextPtr source_;
    int sourceIndex_ = -1;
    AvCodecContextPtr decoder_;
    AvCodecContextPtr encoder_;
    SwrContext* resampler_ = nullptr;
    AVAudioFifo* fifo_ = nullptr;
    AvPacketPtr packet_;
    AvFramePtr decoded_;
    AvFramePtr frame_;
    AVStream* output_ = nullptr;
    AVFormatContext* movie_ = nullptr;
    int64_t nextPts_ = 0;     // in samples, of the next frame to encode
    int64_t writtenPts_ = -1; // of the last packet written, in the stream's time base
    bool sourceDone_ = false;
    bool flushed_ = false;
    AvStatus failure_;
};
