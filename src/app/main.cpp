#include "app/application.h"
#include "runtime/large_buffers.h"

int main(int argc, char** argv) {
    quorvel::KeepFreedRoomForReuse();
    return quorvel::RunQuorvel(argc, argv);
}
