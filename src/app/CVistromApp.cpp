#include "app/CVistromApp.h"

#include "movie/HeadlessConverter.h"

#include <QApplication>

#include <cstring>

int CVistromApp::Main(int argc, char** argv) {
    if (IsHeadlessCommand(argc, argv))
        return RunHeadless(argc, argv);
    QApplication app(argc, argv);
    return 0;
}
