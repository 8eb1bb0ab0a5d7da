#include "app/Application.h"

#include <malloc.h>

int main(int argc, char** argv) {
    // A conversion decodes and draws a few large blocks per frame; glibc would
    // hand them back to the kernel after every frame and page-fault them in
    // again for the next (more time in the kernel than in the JPEG decoder).
    // Keeping freed memory for the next frame avoids that; the peak is the
    // same, since the memory is needed again at once.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 128 << 20);
    return RunVistrom(argc, argv);
}
