#!/usr/bin/env bash
# Sets up what is missing, builds and runs every test through CTest, then the fuzzers.
#   ./test.sh             Release build in build/
#   ./test.sh --sanitize  AddressSanitizer + UndefinedBehaviorSanitizer build in build-sanitize/, then the
#                         tests of the work split over two cores under ThreadSanitizer in build-thread/
# Fails when any test fails or is skipped: the set-up installs everything the tests need.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh test

dir=build
args=(-DCMAKE_BUILD_TYPE=Release -DQUORVEL_SANITIZE=OFF -DQUORVEL_TESTS=ON -DQUORVEL_BENCH=ON)
if [ "${1:-}" = "--sanitize" ]; then
  dir=build-sanitize
  args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_SANITIZE=ON -DQUORVEL_TESTS=ON -DQUORVEL_BENCH=OFF)
fi

# The tree must be formatted (found without git, so an exported tree is checked too). The tree is kept in
# the form on which the clang-format of every supported release agrees, so the verdict is the same on
# each; a file is listed by the name in its diagnostics' "file:line:column: error:" heads.
unformatted=$(find src tests bench fuzz -type f \( -name '*.h' -o -name '*.cpp' \) -print0 |
              xargs -0 -r clang-format --dry-run -Werror 2>&1 |
              sed -n 's/^\(.*\):[0-9][0-9]*:[0-9][0-9]*: error: .*/\1/p' | sort -u || true)
if [ -n "$unformatted" ]; then
  echo "Not formatted with .clang-format ($(clang-format --version)):"; echo "$unformatted"; exit 1
fi

cmake -S . -B "$dir" "${args[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
log="$dir/ctest.log"
status=0
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" --timeout 600 2>&1 | tee "$log" || status=$?
if [ "$status" -ne 0 ]; then exit "$status"; fi
if grep -q 'The following tests did not run' "$log"; then
  echo "Some tests were skipped (see above): every test must run here." >&2
  exit 1
fi

if [ -z "${1:-}" ]; then
  scripts/fuzz.sh 30
else
  # The sums, the extraction and the readings run in two halves at once in quorvel-fit: their tests,
  # which take both paths, once more under ThreadSanitizer.
  cmake -S . -B build-thread -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_THREAD_SANITIZE=ON \
    -DQUORVEL_TESTS=ON -DQUORVEL_BENCH=OFF >/dev/null
  cmake --build build-thread -j"$(nproc)" --target fitting_numeric_tests fitting_presentation_tests
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
  build-thread/tests/fitting/fitting_numeric_tests --gtest_brief=1
  build-thread/tests/fitting/fitting_presentation_tests --gtest_brief=1
fi
