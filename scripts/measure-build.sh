#!/usr/bin/env bash
# Measures `dorn build` on a generated terrain of 2 million triangles: time,
# peak memory, and the peak against the size of the file written. Then runs
# the build benchmark (tree build and writing, beside plain file writes).
#   scripts/measure-build.sh        (after a release build)
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
build/bin/scenegen terrain 1000 "$work/terrain.ply"
/usr/bin/time -f "%e %M" -o "$work/time" build/bin/dorn build "$work/terrain.ply" -o "$work/terrain.dorn"
read -r seconds peak_kb <"$work/time"
size=$(stat -c %s "$work/terrain.dorn")
awk -v s="$seconds" -v p="$peak_kb" -v f="$size" 'BEGIN {
    printf "dorn build, 2,000,000 triangles: %.2f s, peak memory %.0f MB, output %.0f MB, ratio %.2f\n",
        s, p / 1024, f / 1048576, p * 1024 / f }'
build/bin/build_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true |
    grep -E "median|Benchmark"
