#pragma once

// Start-up: `vistrom [PROJECT.fsq]` opens the window; `vistrom --convert ...`
// and `vistrom --list-codecs` run without a window or display.

#include <QByteArray>

class MainWindow;

// Runs the program; the process exit status.
int RunVistrom(int argc, char** argv);

// Names the running application for its per-user profile
// ("Tessaril"/"Vistrom") and gives it the program's icon.
void SetUpApplication();

// Opens the project named on the command line (a relative path is taken from
// the working folder); the new project stays when there is none or it could
// not be loaded.
void OpenStartProject(MainWindow& window, const QByteArray& path);
