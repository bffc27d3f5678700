#pragma once

// The task allocator: memory that crosses an interface (format blocks, strings) comes from here
// and goes back here, whoever frees it.

#include <cstddef>

void* CoTaskMemAlloc(std::size_t size);
// Frees a block from CoTaskMemAlloc; null is allowed.
void CoTaskMemFree(void* block);

namespace media {
// Blocks of the task allocator not yet freed. MT safe. Tests expect zero after each test.
[[nodiscard]] long LiveTaskMemoryBlocks();
}  // namespace media
