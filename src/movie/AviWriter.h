#pragma once

// WriteAviMovie: one AVI file with one video stream ("vids", rate = fps, scale
// 1, every frame a key frame) and, when the description names a sound file,
// the first audio stream of that file copied unchanged (AudioTrack.h).
//
// The messages, in the order they can happen:
//   ("MAKEDIB ERROR!", "AVI ERR")    the frames cannot be made at this size
//                                    and depth (nothing is written), or the
//                                    source had no pixels for a frame;
//   ("CannotOpenAviFile", "Error")   the file cannot be created;
//   ("WritingERR", "AVI ERR")        a step on the file failed (positions
//                                    that do not increase, or a negative one,
//                                    count as a failed frame write; the frames
//                                    before stay in the file).
// Whatever happened, a file that was opened is closed with its header, the
// frames written so far and the sound. The sound never causes a message or a
// failure.

#include "movie/MovieWriter.h"

// What WriteAviMovie says when the file cannot be created, for a caller that
// finds so before it runs: "CannotOpenAviFile" and "WritingERR".
std::vector<MovieMessage> AviCannotOpenMessages();

MovieResult WriteAviMovie(const MovieDescription& movie, MovieFrameSource& frames,
                          const MovieProgress& progress = {});
