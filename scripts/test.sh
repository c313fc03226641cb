#!/usr/bin/env bash
# Builds the project and runs every test, twice: an optimised build, then a
# build under AddressSanitizer, UndefinedBehaviorSanitizer and the standard
# library's assertions. The viewer's end-to-end tests run in a private Xvfb
# server. Then the tests of concurrent use run under ThreadSanitizer, the
# query's tests on the scalar path (as without SSE), and each
# fuzz target runs for a minute (FUZZ_SECONDS). Installs the Debian packages it
# needs first.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
scripts/install-packages.sh "${BUILD_PACKAGES[@]}" "${TOOL_PACKAGES[@]}" "${BENCH_PACKAGES[@]}" "${X11_PACKAGES[@]}" \
    "${FUZZ_PACKAGES[@]}"

for preset in release sanitize; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done

echo "== tsan build: concurrent queries, batches and the audit"
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target concurrent_query_test sweep_batch_test sweep_first_test dorn_audit_test
ctest --preset tsan -R 'ConcurrentQueries|SweepBatch|SweepFirst.Batch|DornAudit'

echo "== scalar build: the query's tests and the pinned trajectories without the SSE lanes"
cmake --preset scalar >/dev/null
cmake --build --preset scalar --target sweep_triangle_lanes_test sweep_query_test sweep_triangle_test \
    sweep_first_test closest_point_test determinism_test
ctest --preset scalar -R 'SweepTriangleLanes|SweepQuery|SweepHitsTriangle|SweepFirst|ClosestPoint|Determinism'

echo "== fuzzing"
scripts/fuzz.sh "${FUZZ_SECONDS:-60}"
