#include "app/CVistromApp.h"

int main(int argc, char** argv) {
    return CVistromApp::Main(argc, argv);
}
