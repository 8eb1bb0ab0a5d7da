#pragma once

// The program's icon (a strip of film frames), drawn at run time in the sizes
// a window manager asks for.

#include <QIcon>

QIcon VistromAppIcon();
