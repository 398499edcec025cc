#include "runtime/large_buffers.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>

namespace quorvel {

void AdviseHugePages(const void* data, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (bytes >= 2 * kHugePage && end > begin) {
        // A refusal only loses the hint.
        (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    }
#else
    (void)data;
    (void)bytes;
#endif
}

void PopulateForWriting(const void* data, std::size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    constexpr std::uintptr_t kPage = 4096;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = start & ~(kPage - 1);
    const std::uintptr_t end = start + bytes;
    if (end > begin) {
        // Older systems refuse the advice: the pages are then faulted in when written.
        (void)madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
    }
#else
    (void)data;
    (void)bytes;
#endif
}

void KeepFreedRoomForReuse() {
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
    // 32 MiB is the largest block the allocator takes from its heap; larger ones keep their own
    // mappings, which go back to the system when freed. Only a hint: a refusal changes nothing.
    (void)mallopt(M_MMAP_THRESHOLD, 32 << 20);
    (void)mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
#ifdef M_ARENA_MAX
    // One arena for every thread, set before any thread starts: a worker's blocks then come from the
    // room the others freed, not from an arena of its own (or of a library's thread) with fresh pages.
    (void)mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace quorvel
