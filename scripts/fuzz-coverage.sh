#!/usr/bin/env bash
# Line and branch coverage that the fuzz corpora reach in the code each target
# exercises: replays build-fuzz/corpus/TARGET through the targets' bodies built
# with clang's source-based coverage, then prints llvm-cov's report.
#   scripts/fuzz-coverage.sh          (after scripts/fuzz.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/install-packages.sh "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
dir=build-coverage
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-fprofile-instr-generate -fcoverage-mapping" \
    -DSWEEP_BUILD_TOOLS=OFF -DSWEEP_BUILD_BENCHMARKS=OFF -DSWEEP_E2E_TESTS=OFF >/dev/null
cmake --build "$dir" --target dorn_reader_replay sweep_replay

report() {  # TARGET SOURCES...
    local target=$1
    shift
    LLVM_PROFILE_FILE="$dir/$target.profraw" "$dir/bin/${target}_replay" \
        "build-fuzz/corpus/$target" tests/fuzz/regressions/"$target" >/dev/null
    llvm-profdata merge -o "$dir/$target.profdata" "$dir/$target.profraw"
    echo "== $target"
    llvm-cov report "$dir/bin/${target}_replay" -instr-profile="$dir/$target.profdata" "$@"
}
report dorn_reader scene/dorn_reader.cpp scene/preorder_tree.cpp scene/collision_mesh.cpp \
    scene/volume_node.cpp collision/sweep_query.cpp render/scene_drawing.cpp
report sweep collision/*.cpp geometry/*.cpp
