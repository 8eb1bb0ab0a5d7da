#pragma once

// A check of row transfer through the desktop's clipboard between two running
// copies of the program, used by scripts/clipboard-two-copies.sh:
//
//   vistrom --selftest-clipboard copy PATH...   puts the rows PATH... (an empty
//       argument is a blank row) on the clipboard with the copy command, prints
//       "copied" and keeps serving the clipboard until another program takes it
//       over (or 60 seconds pass);
//   vistrom --selftest-clipboard paste          pastes into an empty list with
//       the inserting paste and writes each row's path bytes and LF to standard
//       output. Exit status 0, or 2 when the clipboard held no row data.
//
// Only the driving is special: the rows go through the list view's own copy
// and paste commands and the platform's clipboard.

bool IsClipboardSelfTest(int argc, char** argv);
int RunClipboardSelfTest(int argc, char** argv);
