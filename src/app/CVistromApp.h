#pragma once

// Start-up: `vistrom [PROJECT.fsq]` opens the window; `vistrom --convert ...`
// and `vistrom --list-codecs` run without a window or display.

class CVistromApp {
public:
    static int Main(int argc, char** argv);
};
