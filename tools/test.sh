#!/usr/bin/env bash
# Builds everything and runs the whole suite (native, fuzz, Windows under Wine
# on a virtual display) in one ctest run. Exits non-zero on any failure.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# VISTREL_TEST_TARGETS (for example "win") limits what is built first.
# shellcheck disable=SC2086
"$root/tools/build.sh" ${VISTREL_TEST_TARGETS:-} || { echo "test: build failed" >&2; exit 1; }

source "$root/tools/wine-env.sh"
trap 'vistrel_teardown' EXIT
trap 'exit 130' INT TERM
vistrel_start_display || exit 1
vistrel_start_wine || exit 1

cd "$vistrel_build"
ctest --output-on-failure --timeout 300 "$@"
