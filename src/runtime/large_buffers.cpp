#include "runtime/large_buffers.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

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

void RestartWithHugePagesForLargeBlocks(char** argv) {
    constexpr const char* kTunable = "glibc.malloc.hugetlb";
    const char* const tunables = std::getenv("GLIBC_TUNABLES");
    const std::string current = tunables != nullptr ? tunables : "";
    if (current.find(kTunable) != std::string::npos) {
        return;  // asked for already: by this restart, or by the user either way
    }
    // Huge pages only on request: "[madvise]". With "[always]" every block has them, with "[never]" none.
    std::ifstream modes("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string mode;
    if (!std::getline(modes, mode) || mode.find("[madvise]") == std::string::npos) {
        return;
    }
    const std::string value = (current.empty() ? "" : current + ":") + kTunable + "=1";
    if (setenv("GLIBC_TUNABLES", value.c_str(), 1) != 0) {
        return;
    }
    execv("/proc/self/exe", argv);
    // No restart: on as before, without the hint.
    if (tunables != nullptr) {
        setenv("GLIBC_TUNABLES", current.c_str(), 1);
    } else {
        unsetenv("GLIBC_TUNABLES");
    }
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
