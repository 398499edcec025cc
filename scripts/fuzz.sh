#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ and runs each for about SECONDS seconds (default 30),
# both at once. Exits non-zero when a target finds a crash; its input is left in build-fuzz/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
seconds="${1:-30}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
targets=(fuzz_text_to_number fuzz_format_number)

mkdir -p "$build"
CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON \
  -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF >"$build/build.log" 2>&1 || { cat "$build/build.log"; exit 1; }
cmake --build "$build" --target "${targets[@]}" -j"$(nproc)" >>"$build/build.log" 2>&1 || { tail -50 "$build/build.log"; exit 1; }

pids=()
for target in "${targets[@]}"; do
  corpus="$build/corpus/${target#fuzz_}"   # new inputs go here, the seeds in fuzz/corpus stay as they are
  mkdir -p "$corpus"
  "$build/fuzz/$target" "$corpus" "$root/fuzz/corpus/${target#fuzz_}" -max_total_time="$seconds" \
    -max_len=512 -timeout=10 -artifact_prefix="$build/$target-" -print_final_stats=0 \
    >"$build/$target.log" 2>&1 &
  pids+=($!)
done

status=0
for i in "${!targets[@]}"; do
  if wait "${pids[$i]}"; then
    echo "fuzz: ${targets[$i]}: $(grep -o 'Done [0-9]* runs' "$build/${targets[$i]}.log" | tail -1)"
  else
    status=1
    echo "fuzz: ${targets[$i]} FAILED; see $build/${targets[$i]}.log"
    tail -30 "$build/${targets[$i]}.log"
  fi
done
exit "$status"
