#pragma once
// The benchmarks asked for on the command line. Each main first sets the allocator up as the programs it
// times do in theirs (KeepFreedRoomForReuse), before any thread starts.
#include <benchmark/benchmark.h>

#include "runtime/large_buffers.h"

namespace quorvel {

inline int RunBenchmarks(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

}  // namespace quorvel
