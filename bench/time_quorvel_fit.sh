#!/bin/sh
# quorvel-fit as a whole process on large files, with hyperfine (not installed by the set-up; only this
# timing needs it): the fit of 10^6 rows as the window does it and with the exact uncertainties, on the
# sorted file and on full-precision readings in random order (near 50 and near an offset of 101 325),
# beside numpy's loadtxt + polyfit in the same run where python3 has numpy (Debian: python3-numpy); and
# a calibration applied to 10^6 readings written to a file; the random rows as a CSV table beside them.
#   bench/time_quorvel_fit.sh [BUILD_DIR]      (default build)
set -eu
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fit="$build/src/cli/quorvel-fit"
numpy=
if /usr/bin/python3 -c 'import numpy' 2>/dev/null; then
  printf '%s\n' 'import sys, numpy as np' 'd = np.loadtxt(sys.argv[1])' \
    'print(np.polyfit(d[:, 1], d[:, 0], 3))' > "$work/polyfit.py"
  numpy=yes
fi
for shape in sorted random offset; do
  "$build/bench/bench_fit" --make-data "$work/$shape.txt" 1000000 "$shape"
  if [ -n "$numpy" ]; then
    hyperfine -N -w 2 -r 20 "$fit --kind cubic $work/$shape.txt" "/usr/bin/python3 $work/polyfit.py $work/$shape.txt"
  else
    hyperfine -N -w 2 -r 20 "$fit --kind cubic $work/$shape.txt"
  fi
done
hyperfine -N -w 2 -r 20 "$fit --json $work/sorted.txt"
# The same random rows as a spreadsheet's CSV (";", decimal commas, row numbers first) beside the plain file.
"$build/bench/bench_fit" --make-data "$work/random.csv" 1000000 random-csv
hyperfine -N -w 2 -r 20 "$fit --kind cubic --columns 2,3 $work/random.csv" "$fit --kind cubic $work/random.txt"
"$build/bench/bench_fit" --make-readings "$work/readings.txt" 1000000
"$build/bench/bench_fit" --make-readings "$work/offset-readings.txt" 1000000 offset
hyperfine -N -w 2 -r 20 --output="$work/corrected.tsv" \
  "$fit --kind quadratic --apply $work/readings.txt examples/pressure_gauge.txt" \
  "$fit --kind cubic --apply $work/offset-readings.txt $work/offset.txt"
