#include "heap_observer.h"

#include <mutex>

#include "host.h"

namespace heap {
namespace {

constexpr int kCapacity = 4096;
std::mutex g_mutex;
void *g_live[kCapacity];
long g_liveCount;
long g_badFrees;
int g_failCountdown; // 0: never fail

} // namespace

bool ShouldFail() {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_failCountdown == 0) return false;
    return --g_failCountdown == 0;
}

void Allocated(void *block) {
    if (block == nullptr) return;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (void *&slot : g_live) {
        if (slot == nullptr) {
            slot = block;
            ++g_liveCount;
            return;
        }
    }
}

bool Freed(void *block) {
    if (block == nullptr) return true;
    std::lock_guard<std::mutex> lock(g_mutex);
    for (void *&slot : g_live) {
        if (slot == block) {
            slot = nullptr;
            --g_liveCount;
            return true;
        }
    }
    ++g_badFrees;
    return false;
}

} // namespace heap

namespace host {

void FailAllocation(int n) {
    std::lock_guard<std::mutex> lock(heap::g_mutex);
    heap::g_failCountdown = n;
}

long LiveBlocks() {
    std::lock_guard<std::mutex> lock(heap::g_mutex);
    return heap::g_liveCount;
}

long BadFrees() {
    std::lock_guard<std::mutex> lock(heap::g_mutex);
    return heap::g_badFrees;
}

void ResetHeap() {
    std::lock_guard<std::mutex> lock(heap::g_mutex);
    for (void *&slot : heap::g_live)
        slot = nullptr;
    heap::g_liveCount = 0;
    heap::g_badFrees = 0;
    heap::g_failCountdown = 0;
}

} // namespace host
