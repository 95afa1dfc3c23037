#!/usr/bin/env bash
# Runs the given Windows test programs on 8- and 16-bit displays, each in a
# Wine prefix and on an Xvfb of its own (the suite's display is 24-bit).
# Usage: other_depths.sh <build dir> <program.exe>[@gtest filter] | +<command>...
# An argument starting with + is a command line run as it is.
set -uo pipefail
build=$1; shift
root=$(cd "$(dirname "$0")/../.." && pwd)
status=0
for depth in 8 16; do
  (
    export VISTREL_WINE_DIR=$build/wine-depth$depth VISTREL_SCREEN=1024x768x$depth
    unset VISTREL_DISPLAY
    source "$root/tools/wine-env.sh"
    trap 'vistrel_teardown' EXIT
    vistrel_start_display || exit 1
    vistrel_start_wine || exit 1
    for step in "$@"; do
      if [ "${step:0:1}" = + ]; then
        echo "== ${step:1} on a $depth-bit display"
        eval "${step:1}" || { echo "other_depths: '${step:1}' failed at $depth bits" >&2; exit 1; }
        continue
      fi
      program=${step%@*}
      filter='*'
      [ "$step" != "$program" ] && filter=${step#*@}
      echo "== $(basename "$program") ($filter) on a $depth-bit display"
      timeout -k 5 120 wine "$program" --gtest_color=no --gtest_filter="$filter" \
        || { echo "other_depths: $(basename "$program") failed at $depth bits" >&2; exit 1; }
    done
  ) || status=1
done
exit $status
