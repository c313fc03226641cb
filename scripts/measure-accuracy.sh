#!/usr/bin/env bash
# Both edge rules, and the exact one with two-sided faces, against the
# double-precision reference of the accuracy test, 2000 sweeps per scene, on two random meshes, the bundled scenes and the real
# meshes of the benchmark set, each also moved away from the origin by the
# offsets in SWEEP_ACCURACY_OFFSETS (default 0, 1e2, 1e3, 1e4, 1e5 on every
# axis, vertices and sweeps rounded to float there); prints a Markdown table,
# a row per scene, offset and rule: hit or miss as the reference, then the
# common hits whose time lies within the stop-short distance (plus 1e-4) of
# the reference's, for face contacts and for edge and corner contacts, then
# the deepest overlap of the sphere placed at a hit's time with the mesh, and
# how many hits overlap by more than the tolerance 0.001.
#   scripts/measure-accuracy.sh        (after a release build)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/bench_scenes.sh
scenes="build/scenes/default.dorn build/scenes/wuson.dorn $(make_real_scenes build/bench-scenes | tr '\n' ' ')"
echo "| scene | offset | edge rule | hit/miss as the reference | time close: faces | time close: edges and corners | deepest overlap |"
echo "|---|---|---|---|---|---|---|"
SWEEP_ACCURACY_OFFSETS=${SWEEP_ACCURACY_OFFSETS:-0 100 1000 10000 100000} SWEEP_ACCURACY_SCENES=$scenes \
    build/bin/sweep_accuracy_test | grep '^| '
