#pragma once

// The main job without a window:
//   vistrom --convert PROJECT.fsq --output MOVIE.avi [--codec NAME] [--quality Q]
//           [--audio FILE | --no-audio]
//   vistrom --list-codecs
// Needs no display and links no widget code.

// True when the command line asks for a headless command.
bool IsHeadlessCommand(int argc, char** argv);
// Runs it; the process exit status (0 on success).
int RunHeadless(int argc, char** argv);
