#include "display/heapArray.h"

#include <cstdlib>
#include <sys/mman.h>

namespace {

// Blocks from this size on are mapped directly and may use transparent huge pages.
constexpr std::size_t mappedBlockBytes = std::size_t(1) << 21;

// AddressSanitizer only guards the heap's own blocks, so its builds never map.
#ifdef __SANITIZE_ADDRESS__
constexpr bool mapLargeBlocks = false;
#else
constexpr bool mapLargeBlocks = true;
#endif

} // namespace

void* allocateBytes(std::size_t bytes)
{
    if (bytes == 0) {
        return nullptr;
    }
    if (!mapLargeBlocks || bytes < mappedBlockBytes) {
        return std::malloc(bytes);
    }
    void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
        return nullptr;
    }
    madvise(block, bytes, MADV_HUGEPAGE);
    return block;
}

void freeBytes(void* block, std::size_t bytes)
{
    if (block == nullptr) {
        return;
    }
    if (!mapLargeBlocks || bytes < mappedBlockBytes) {
        std::free(block);
    } else {
        munmap(block, bytes);
    }
}
