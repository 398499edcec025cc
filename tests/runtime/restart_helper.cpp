// Restarts as the programs do, then prints what the restarted process sees: its allocator settings and
// its arguments.
#include <cstdio>
#include <cstdlib>

#include "runtime/large_buffers.h"

int main(int argc, char** argv) {
    quorvel::RestartWithHugePagesForLargeBlocks(argv);
    const char* const tunables = std::getenv("GLIBC_TUNABLES");
    std::printf("tunables=%s\n", tunables != nullptr ? tunables : "(none)");
    for (int i = 1; i < argc; ++i) {
        std::printf("arg=%s\n", argv[i]);
    }
    return 0;
}
