#!/usr/bin/env bash
# Installs the given Debian packages that are not installed yet. Needs root
# (or sudo) only when something is missing.
set -euo pipefail
missing=()
for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done
((${#missing[@]} == 0)) && exit 0

if [[ $(id -u) -eq 0 ]]; then
    run=()
elif command -v sudo >/dev/null; then
    run=(sudo)
else
    echo "Missing Debian packages: ${missing[*]}; install them as root." >&2
    exit 1
fi
echo "Installing ${missing[*]}" >&2
"${run[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${run[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
