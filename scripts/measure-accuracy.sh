#!/usr/bin/env bash
# Both edge rules, and the exact one with two-sided faces, against the
# double-precision reference of the accuracy test, 2000 sweeps per scene, on two random meshes, the bundled scenes and the real
# meshes of the benchmark set; prints a Markdown table, a row per scene and
# rule: hit or miss as the reference, then the common hits whose time lies
# within the stop-short distance (plus 1e-4) of the reference's, for face
# contacts and for edge and corner contacts.
#   scripts/measure-accuracy.sh        (after a release build)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/bench_scenes.sh
scenes="build/scenes/default.dorn build/scenes/wuson.dorn $(make_real_scenes build/bench-scenes | tr '\n' ' ')"
echo "| scene | edge rule | hit/miss as the reference | time close: faces | time close: edges and corners |"
echo "|---|---|---|---|---|"
SWEEP_ACCURACY_SCENES=$scenes build/bin/sweep_accuracy_test | grep '^| '
