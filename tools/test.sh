#!/usr/bin/env bash
# Builds everything and runs the whole suite (native, fuzz, Windows under Wine
# on a virtual display) in one ctest run. Exits non-zero on any failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/build.sh" || { echo "test: build failed" >&2; exit 1; }

source "$root/tools/wine-env.sh"
trap 'vistrel_teardown' EXIT
trap 'exit 130' INT TERM
vistrel_start_display || exit 1
vistrel_start_wine || exit 1

cd "$vistrel_build"
ctest --output-on-failure --timeout 300 "$@"
