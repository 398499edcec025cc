#include "app/application.h"
#include "runtime/large_buffers.h"

int main(int argc, char** argv) {
    // A table of millions of rows fills its buffers without a page fault every 4 KiB.
    quorvel::RestartWithHugePagesForLargeBlocks(argv);
    quorvel::KeepFreedRoomForReuse();
    return quorvel::RunQuorvel(argc, argv);
}
