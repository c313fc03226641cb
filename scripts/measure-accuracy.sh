#!/usr/bin/env bash
# Both edge rules against the double-precision reference of the accuracy test,
# 2000 sweeps per scene, on two random meshes, the bundled scenes and the real
# meshes of the benchmark set; prints one line per scene and rule.
#   scripts/measure-accuracy.sh        (after a release build)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/bench_scenes.sh
scenes="build/scenes/default.dorn build/scenes/wuson.dorn $(make_real_scenes build/bench-scenes | tr '\n' ' ')"
SWEEP_ACCURACY_SCENES=$scenes build/bin/sweep_accuracy_test | grep -E ' (design|exact) '
