#!/usr/bin/env bash
# The run script's path without a display writes a screenshot that shows the
# scene: headless_run_test.sh SWEEPVIEW SCENE.dorn
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
png=$(mktemp --suffix=.png)
trap 'rm -f "$png"' EXIT
"$here/../../scripts/lib/headless_run.sh" "$1" "$2" "$png" 1
# A blank window would be one colour; the scene is many.
colours=$(convert "$png" -format '%k' info:)
((colours > 10)) || { echo "screenshot has only $colours colours" >&2; exit 1; }
echo "screenshot with $colours colours: ok"
