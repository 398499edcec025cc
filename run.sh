#!/usr/bin/env bash
# Sets up what is missing, builds a Release build in build/ and starts Quorvel.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
if [ -x build/src/app/quorvel ]; then
  exec build/src/app/quorvel "$@"
fi
# Until the window exists the command-line companion does the main job on the examples.
for f in examples/*.txt; do
  echo "== $f"
  build/src/cli/quorvel-fit "$f"
done
