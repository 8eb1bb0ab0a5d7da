#pragma once

// The movie containers the writer makes, chosen by the output name's
// extension, and the video codecs each one is offered with. AVI keeps its own
// list (OfferedCodecs, uncompressed frames first); every other container lists
// its default codec first, and an empty encoder name in a CompressionChoice
// stands for that default there.

#include "movie/Codecs.h"

#include <string>
#include <vector>

enum class MovieContainer { Avi, Mp4, Mov, Mkv, WebM, Gif };

// Every container, AVI first.
const std::vector<MovieContainer>& MovieContainers();

// The container for an output name: by its extension, case aside; a name
// with any other extension, or none, is an AVI file.
MovieContainer ContainerForPath(const std::string& path);

// "avi", "mp4", "mov", "mkv", "webm", "gif".
const char* ContainerExtension(MovieContainer container);
// What messages call a file of it: "AVI", "MP4", "MOV", "MKV", "WebM", "GIF".
const char* ContainerName(MovieContainer container);
// What the save dialog and `--list-codecs` call it, e.g. "MP4 video".
const char* ContainerDescription(MovieContainer container);
// libavformat's muxer name.
const char* ContainerMuxer(MovieContainer container);

// The codecs offered in the container, its default first (for AVI:
// OfferedCodecs()). Each encoder is tried once per process and cached; safe
// from any thread.
std::vector<CodecInfo> ContainerCodecs(MovieContainer container);

// The entry for an encoder name in the container's list, or nullptr when the
// container does not offer it. An empty name is the container's default (for
// AVI, uncompressed frames).
const CodecInfo* FindContainerCodec(MovieContainer container, const std::string& name);

// Whether the container can carry a sound track at all (GIF cannot).
bool ContainerHoldsSound(MovieContainer container);
// The encoder for a sound the container cannot hold as it is ("aac",
// "libopus"), or "" when such a sound is copied or left out.
const char* ContainerSoundEncoder(MovieContainer container);
