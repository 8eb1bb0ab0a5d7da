#pragma once

// WriteContainerMovie: one MP4, MOV, Matroska, WebM or animated GIF file (the
// container is given: the conversion takes it from the output name's
// extension, Containers.h, while it writes to a file beside it) with one video
// stream and, where the container carries sound, the description's sound.
//
// Timing: each picture starts at its position / fps and lasts until the next
// picture, the last one until the movie's end (one frame after the last
// position). A frame that repeats the picture before (sameAsBefore), or a
// skipped position, lengthens the picture before instead of storing it again.
// Positions before the first frame show white.
//
// Frames are 24-bit (MovieFrameFormat(ColourDepth::Bits24)) whatever the
// description's depth, which applies to AVI only. An empty encoder name picks
// the container's default codec. The sound is copied when the container holds
// its codec, else encoded (ContainerSoundEncoder); a sound that cannot be
// carried is left out with a warning, and is never a failure of the movie.
//
// Messages: the codec is not one the container offers; the frames cannot be
// made; the file cannot be created; a step on the file failed; the sound was
// left out (a warning: the movie still counts as written).

#include "movie/Containers.h"
#include "movie/MovieWriter.h"

MovieResult WriteContainerMovie(const MovieDescription& movie, MovieContainer container,
                                MovieFrameSource& frames, const MovieProgress& progress = {});
