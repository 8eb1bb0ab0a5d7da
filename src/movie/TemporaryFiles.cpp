#include "movie/TemporaryFiles.h"

#include <atomic>
#include <cstring>

#include <unistd.h>

namespace {

// A few conversions' files; a slot is written only while it is claimed, and
// read by the handler only once it is marked ready.
constexpr int kSlots = 8;
constexpr size_t kPathBytes = 4096;

struct Slot {
    std::atomic<int> state{0}; // 0 free, 1 being written, 2 ready
    char path[kPathBytes] = {};
};

Slot remembered[kSlots];

} // namespace

bool RememberTemporaryFile(const QByteArray& path) {
    if (path.isEmpty() || size_t(path.size()) >= kPathBytes)
        return false;
    for (Slot& slot : remembered) {
        int free = 0;
        if (!slot.state.compare_exchange_strong(free, 1))
            continue;
        std::memcpy(slot.path, path.constData(), size_t(path.size()) + 1);
        slot.state = 2;
        return true;
    }
    return false;
}

void ForgetTemporaryFile(const QByteArray& path) {
    for (Slot& slot : remembered) {
        int ready = 2;
        if (slot.state.load() == 2 && std::strcmp(slot.path, path.constData()) == 0 &&
            slot.state.compare_exchange_strong(ready, 1)) {
            slot.path[0] = '\0';
            slot.state = 0;
            return;
        }
    }
}

void RemoveTemporaryFiles() {
    for (Slot& slot : remembered)
        if (slot.state.load() == 2)
            ::unlink(slot.path);
}
