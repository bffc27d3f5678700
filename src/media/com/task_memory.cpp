#include "media/api/task_memory.h"

#include <atomic>
#include <cstdlib>

namespace {
std::atomic<long> g_liveBlocks{0};
}

void* CoTaskMemAlloc(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block) g_liveBlocks.fetch_add(1);
    return block;
}

void CoTaskMemFree(void* block) {
    if (block == nullptr) return;
    g_liveBlocks.fetch_sub(1);
    std::free(block);
}

namespace media {
long LiveTaskMemoryBlocks() { return g_liveBlocks.load(); }
}  // namespace media
