#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviorSanitizer)
# and runs each for the given number of seconds, one after the other:
#   scripts/fuzz.sh [SECONDS [TARGET...]]     (default 60 s; targets dorn_reader sweep)
# The corpus grows in build-fuzz/corpus/TARGET, seeded from tests/fuzz/seeds and,
# for the reader, the bundled scenes. A crash, leak, sanitizer report or an input
# slower than 10 s stops the run with a non-zero status and leaves the input in
# build-fuzz/findings/TARGET/: copy it to tests/fuzz/regressions/TARGET/, where
# the ordinary test builds replay it, and mend the fault.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(dorn_reader sweep)

source scripts/packages.sh
scripts/install-packages.sh "${BUILD_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

for target in "${targets[@]}"; do
    corpus=build-fuzz/corpus/$target
    findings=build-fuzz/findings/$target
    log=build-fuzz/$target.log
    mkdir -p "$corpus" "$findings"
    cp -n tests/fuzz/seeds/"$target"/* "$corpus"/
    if [[ $target == dorn_reader ]]; then
        for scene in build/scenes/*.dorn; do
            if [[ -e $scene ]]; then cp -n "$scene" "$corpus"/; fi
        done
    fi
    echo "== fuzzing $target for $seconds s (log: $log)"
    if ! build-fuzz/bin/"$target"_fuzz "$corpus" -max_total_time="$seconds" -timeout=10 \
        -rss_limit_mb=2048 -max_len=65536 -use_value_profile=1 -print_final_stats=1 \
        -artifact_prefix="$findings"/ >"$log" 2>&1; then
        tail -n 60 "$log" >&2
        echo "fuzz.sh: $target failed; the input is in $findings/" >&2
        exit 1
    fi
    grep -E '^#[0-9]+.*DONE|^stat::' "$log"
done
