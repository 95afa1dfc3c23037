#!/usr/bin/env bash
# hook.dll exports exactly its eight functions under plain, undecorated names.
# Usage: check_exports.sh OBJDUMP DLL
set -uo pipefail
objdump=$1 dll=$2
table=$("$objdump" -p "$dll") || { echo "check_exports: $objdump -p $dll failed" >&2; exit 1; }
names=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
        sed -n 's/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' | sort)
expected=$(printf '%s\n' attachDll attachEdit attachKeyCapture attachWnd detachEdit detachKeyCapture detachWnd freeDll | sort)
if [ "$names" != "$expected" ]; then
  echo "check_exports: $dll exports" >&2
  printf '  %s\n' $names >&2
  echo "but should export exactly" >&2
  printf '  %s\n' $expected >&2
  exit 1
fi
echo "check_exports: the eight exports, undecorated"
