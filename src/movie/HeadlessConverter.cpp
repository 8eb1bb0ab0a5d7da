#include "movie/HeadlessConverter.h"

#include <cstring>

bool IsHeadlessCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (!std::strcmp(argv[i], "--convert") || !std::strcmp(argv[i], "--list-codecs"))
            return true;
    return false;
}

int RunHeadless(int, char**) { return 2; }
