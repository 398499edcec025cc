#!/bin/sh
# quorvel-fit as a whole process on large files, with hyperfine (not installed by the set-up; only this
# timing needs it): the fit of 10^6 rows as the window does it and with the exact uncertainties, and
# a calibration applied to 10^6 readings written to a file.
#   bench/time_quorvel_fit.sh [BUILD_DIR]      (default build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/bench_fit" --make-data "$work/big.txt" 1000000
"$build/bench/bench_fit" --make-readings "$work/readings.txt" 1000000
fit="$build/src/cli/quorvel-fit"
hyperfine -N -w 2 -r 20 \
  "$fit $work/big.txt" \
  "$fit --json $work/big.txt"
hyperfine -N -w 2 -r 20 --output="$work/corrected.tsv" \
  "$fit --kind quadratic --apply $work/readings.txt examples/pressure_gauge.txt"
