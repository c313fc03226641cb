#!/usr/bin/env bash
# Runs the query, frame step and reader benchmarks beside Bullet and Embree (and Jolt,
# in a build that has it) on the bundled
# scenes, on real meshes of Debian's assimp-testmodels and on generated terrains
# of 1 thousand to 4 million triangles, all made with `dorn build`; writes the
# results to docs/performance/sweep_bench.csv and plots query cost against
# triangle count to docs/performance/query-scaling.png; the tables of medians go
# to docs/performance/tables.md, one per pairing (sweep_bench.cpp says which
# call of ours runs beside which of each peer's).
#   scripts/bench.sh [benchmark flags]       (after a release build)
#   JOLT_SOURCE=/path/to/jolt scripts/bench.sh   (configures the release build with Jolt first)
# The all-contacts query runs with one-sided and two-sided faces (--two-sided).
# The Character rows time moveAndSlide beside Jolt's CharacterVirtual (with a
# build that has Jolt; ours alone without) on the default room, the terrains
# the walk's ring fits on, and a level sweep_bench makes itself; only them:
#   scripts/bench.sh --benchmark_filter='^Character/'
set -euo pipefail
cd "$(dirname "$0")/.."
# Jolt's library is built once, in build/bench/jolt: about 4 minutes on 2 cores.
if [[ -n ${JOLT_SOURCE:-} ]]; then
    cmake --preset release -DSWEEP_JOLT_SOURCE="$JOLT_SOURCE" >/dev/null
    cmake --build --preset release --target sweep_bench
fi
scenes=build/bench-scenes
mkdir -p "$scenes" docs/performance
source scripts/lib/bench_scenes.sh
make_real_scenes "$scenes" >/dev/null
# Terrains whose triangles keep their size (2 units a side) as they grow, so
# that the cost of a short sweep shows the tree's share, not finer triangles.
for n in 22 32 100 316 1000 1414; do
    [[ -e $scenes/terrain-$n.dorn ]] || {
        build/bin/scenegen terrain "$n" "$scenes/terrain.ply" $((2 * n))
        build/bin/dorn build "$scenes/terrain.ply" --no-normals -o "$scenes/terrain-$n.dorn" >/dev/null
    }
done
rm -f "$scenes/terrain.ply"
build/bin/sweep_bench --two-sided build/scenes/*.dorn "$scenes"/*.dorn --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_out_format=csv \
    --benchmark_out=docs/performance/sweep_bench.csv "$@"

awk -F, -f scripts/lib/bench_tables.awk docs/performance/sweep_bench.csv >docs/performance/tables.md

# Microseconds per short one-sided sweep (median) against triangles: ours, Bullet's, an
# Embree ray and, when measured, Jolt's all-contacts cast (NaN where it refused the mesh).
awk -F, '/^"Sweep\/terrain-[0-9]+\/r=2.5\/len=sqrt3\/viewer\/min_time[^"]*_median"/ {
    jolt = ""
    for (i = 1; i <= NF; ++i) if (header[i] == "ours_per_s") ours = $i; else if (header[i] == "bullet_per_s") bullet = $i; else if (header[i] == "embree_per_s") embree = $i; else if (header[i] == "triangles") t = $i; else if (header[i] == "jolt_per_s") jolt = $i;
    if (withJolt) print t, 1e6 / ours, 1e6 / bullet, 1e6 / embree, jolt == "" || jolt ~ /nan/ ? "NaN" : 1e6 / jolt
    else print t, 1e6 / ours, 1e6 / bullet, 1e6 / embree }
    /^name,/ { for (i = 1; i <= NF; ++i) { header[i] = $i; gsub(/"/, "", header[i]); if (header[i] == "jolt_per_s") withJolt = 1 } }' docs/performance/sweep_bench.csv |
    sort -g >"$scenes/scaling.dat"
jolt_line=
if awk 'NF >= 5 && $5 != "NaN" { found = 1 } END { exit !found }' "$scenes/scaling.dat"; then
    jolt_line=", '$scenes/scaling.dat' using 1:5 with linespoints title 'Jolt ShapeCast, hits within 1e-4 of the nearest'"
fi
if command -v gnuplot >/dev/null; then
    gnuplot <<PLOT
set terminal pngcairo size 720,480
set output 'docs/performance/query-scaling.png'
set logscale xy
set xlabel 'triangles'
set ylabel 'microseconds per sweep (radius 2.5, length sqrt 3)'
set key top left
plot '$scenes/scaling.dat' using 1:2 with linespoints title 'sweepQuery', \
     '$scenes/scaling.dat' using 1:3 with linespoints title 'Bullet convexSweepTest', \
     '$scenes/scaling.dat' using 1:4 with linespoints title 'Embree ray (radius 0)'$jolt_line
PLOT
fi
