#!/usr/bin/env bash
# Sets up what is missing, builds and runs every test through CTest.
#   ./test.sh             Release build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh

dir=build
args=(-DCMAKE_BUILD_TYPE=Release)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE=ON -DQUORVEL_BENCH=OFF)
fi

# The tree must be formatted.
if command -v clang-format >/dev/null; then
  unformatted=$(git ls-files -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' 'bench/*.cpp' 'fuzz/*.cpp' 2>/dev/null |
                xargs -r clang-format --dry-run 2>&1 | grep -o '^[^:]*:' | sort -u || true)
  if [ -n "$unformatted" ]; then
    echo "Not formatted with .clang-format:"; echo "$unformatted"; exit 1
  fi
fi

cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 600

if [ -z "${1:-}" ] && command -v clang++ >/dev/null && [ -x scripts/fuzz.sh ]; then
  scripts/fuzz.sh 30
fi
