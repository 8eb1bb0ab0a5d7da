#pragma once

// Start-up: `vistrom [PROJECT.fsq]` opens the window; `vistrom --convert ...`
// and `vistrom --list-codecs` run without a window or display.

#include <QByteArray>

class CMainFrame;
class CVistromDoc;

class CVistromApp {
public:
    static int Main(int argc, char** argv);

    // Names the running application for its per-user profile
    // ("Tessaril"/"Vistrom") and gives it the program's icon.
    static void SetUpApplication();
    // Opens the project named on the command line through the document (a
    // relative path is taken from the working folder), or starts a new
    // project when there is none or it could not be loaded.
    static void OpenStartProject(CVistromDoc& document, CMainFrame& frame, const QByteArray& path);
};
