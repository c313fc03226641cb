#!/usr/bin/env bash
# Runs the query, frame step and reader benchmarks beside Bullet and Embree on the bundled
# scenes, on real meshes of Debian's assimp-testmodels and on generated terrains
# of 1 thousand to 4 million triangles, all made with `dorn build`; writes the
# results to docs/performance/sweep_bench.csv and plots query cost against
# triangle count to docs/performance/query-scaling.png; the tables of medians go
# to docs/performance/tables.md.
#   scripts/bench.sh        (after a release build)
set -euo pipefail
cd "$(dirname "$0")/.."
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
build/bin/sweep_bench build/scenes/*.dorn "$scenes"/*.dorn --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=true --benchmark_out_format=csv \
    --benchmark_out=docs/performance/sweep_bench.csv "$@"

awk -F, -f scripts/lib/bench_tables.awk docs/performance/sweep_bench.csv >docs/performance/tables.md

# Microseconds per short sweep (median) against triangles: ours, Bullet's and an Embree ray.
awk -F, '/^"Sweep\/terrain-[0-9]+\/r=2.5\/len=sqrt3\/viewer.*_median"/ {
    for (i = 1; i <= NF; ++i) if (header[i] == "ours_per_s") ours = $i; else if (header[i] == "bullet_per_s") bullet = $i; else if (header[i] == "embree_per_s") embree = $i; else if (header[i] == "triangles") t = $i;
    print t, 1e6 / ours, 1e6 / bullet, 1e6 / embree }
    /^name,/ { for (i = 1; i <= NF; ++i) { header[i] = $i; gsub(/"/, "", header[i]) } }' docs/performance/sweep_bench.csv |
    sort -g >"$scenes/scaling.dat"
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
     '$scenes/scaling.dat' using 1:4 with linespoints title 'Embree ray (radius 0)'
PLOT
fi
