#include "display/heapArray.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// Blocks from this size on are mapped directly and may use transparent huge pages.
constexpr std::size_t mappedBlockBytes = std::size_t(1) << 21;

// AddressSanitizer only guards the heap's own blocks, so its builds never map.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool mapLargeBlocks = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool mapLargeBlocks = false;
#else
constexpr bool mapLargeBlocks = true;
#endif
#else
constexpr bool mapLargeBlocks = true;
#endif

// The last mapped block given back while a reuse was allowed (see keepSpareBlock): a picture that
// replaces another is decoded into the pages the old one had touched, instead of into fresh pages
// that the kernel must first clear. Its size is a whole number of pages.
void* spareBlock = nullptr;
std::size_t spareBytes = 0;
bool keepingSpare = false;

std::size_t wholePages(std::size_t bytes)
{
    const auto page = std::size_t(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

void dropSpareBlock()
{
    if (spareBlock != nullptr) {
        munmap(spareBlock, spareBytes);
    }
    spareBlock = nullptr;
    spareBytes = 0;
}

} // namespace

void* allocateBytes(std::size_t bytes)
{
    if (bytes == 0) {
        return nullptr;
    }
    if (!mapLargeBlocks || bytes < mappedBlockBytes) {
        return std::malloc(bytes);
    }
    const std::size_t pages = wholePages(bytes);
    if (spareBlock != nullptr && spareBytes >= pages && pages > spareBytes / 2) {
        // Reuse the spare block, its pages beyond the request given back. A much smaller request
        // (the file's bytes, say) leaves it for the picture that comes next.
        void* block = spareBlock;
        if (spareBytes > pages) {
            munmap(static_cast<std::uint8_t*>(block) + pages, spareBytes - pages);
        }
        spareBlock = nullptr;
        spareBytes = 0;
        return block;
    }
    if (spareBlock != nullptr && spareBytes < pages) {
        // Too small to reuse: it goes first, so that it never adds to the peak.
        dropSpareBlock();
    }
    void* block = mmap(nullptr, pages, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) {
        return nullptr;
    }
    madvise(block, pages, MADV_HUGEPAGE);
    return block;
}

void freeBytes(void* block, std::size_t bytes)
{
    if (block == nullptr) {
        return;
    }
    if (!mapLargeBlocks || bytes < mappedBlockBytes) {
        std::free(block);
        return;
    }
    if (keepingSpare) {
        dropSpareBlock();
        spareBlock = block;
        spareBytes = wholePages(bytes);
        return;
    }
    munmap(block, wholePages(bytes));
}

void keepSpareBlock(bool keep)
{
    keepingSpare = keep;
    if (!keep) {
        dropSpareBlock();
    }
}
