#!/usr/bin/env bash
# Installs what building and running need (Debian 13 or 12), builds a Release build in build/ and starts
# Quorvel; arguments are passed on to the program.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUORVEL_SANITIZE=OFF -DQUORVEL_TESTS=OFF \
  -DQUORVEL_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target quorvel quorvel-fit
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ]; then
  echo "No display (DISPLAY and WAYLAND_DISPLAY are unset): starting without a window on screen." >&2
  export QT_QPA_PLATFORM=offscreen
fi
exec build/src/app/quorvel "$@"
