#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++ and runs each for about SECONDS seconds (default 30), as
# many at once as there are cores. Exits non-zero when a target finds a crash; its input is left in
# build-fuzz/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
seconds="${1:-30}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
# target:max_len — long enough for a data line past 126 characters and a paste token past 255.
targets=(fuzz_text_to_number:512 fuzz_format_number:512 fuzz_data_file_reader:1024 fuzz_paste_tokens:2048
  fuzz_csv_import:1024)
names=("${targets[@]%%:*}")

mkdir -p "$build"
CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_FUZZ=ON \
  -DQUORVEL_TESTS=OFF -DQUORVEL_BENCH=OFF >"$build/build.log" 2>&1 || { cat "$build/build.log"; exit 1; }
cmake --build "$build" --target "${names[@]}" -j"$(nproc)" >>"$build/build.log" 2>&1 || { tail -50 "$build/build.log"; exit 1; }

run() {
  local target="${1%%:*}" maxlen="${1##*:}"
  local corpus="$build/corpus/${target#fuzz_}"   # new inputs go here, the seeds in fuzz/corpus stay as they are
  mkdir -p "$corpus"
  "$build/fuzz/$target" "$corpus" "$root/fuzz/corpus/${target#fuzz_}" -max_total_time="$seconds" \
    -max_len="$maxlen" -timeout=10 -artifact_prefix="$build/$target-" -print_final_stats=0 \
    >"$build/$target.log" 2>&1
}

status=0
report() {
  local target="$1" ok="$2"
  if [ "$ok" = 0 ]; then
    echo "fuzz: $target: $(grep -o 'Done [0-9]* runs' "$build/$target.log" | tail -1)"
  else
    status=1
    echo "fuzz: $target FAILED; see $build/$target.log"
    tail -30 "$build/$target.log"
  fi
}

# One batch per core count, so that each target has a core to itself for its time.
batch=$(nproc)
for ((i = 0; i < ${#targets[@]}; i += batch)); do
  pids=()
  for entry in "${targets[@]:i:batch}"; do
    run "$entry" &
    pids+=($!)
  done
  for j in "${!pids[@]}"; do
    if wait "${pids[$j]}"; then report "${names[$((i + j))]}" 0; else report "${names[$((i + j))]}" 1; fi
  done
done
exit "$status"
