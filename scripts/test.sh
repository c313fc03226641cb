#!/usr/bin/env bash
# Builds the project and runs every test, twice: an optimised build, then a
# build under AddressSanitizer and UndefinedBehaviorSanitizer. Installs the
# Debian packages it needs first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-packages.sh g++ cmake ninja-build libgtest-dev

for preset in release sanitize; do
    echo "== $preset build"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
    ctest --preset "$preset"
done
