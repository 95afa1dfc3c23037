#!/usr/bin/env bash
# vsr.exe and hook.dll import only DLLs that Windows itself loads from
# System32 whatever folder the program runs from (KnownDLLs, and the common
# controls through the manifest): a DLL of another name would be searched in
# the program's folder first, where it could be planted (or be missing).
# Usage: check_imports.sh OBJDUMP FILE...
set -uo pipefail
objdump=$1; shift
allowed="advapi32.dll comctl32.dll comdlg32.dll gdi32.dll kernel32.dll msvcrt.dll ole32.dll oleaut32.dll user32.dll"
status=0
for file in "$@"; do
  names=$("$objdump" -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z') ||
    { echo "check_imports: $objdump -p $file failed" >&2; exit 1; }
  for n in $names; do
    case " $allowed " in
      *" $n "*) ;;
      *) echo "check_imports: $(basename "$file") imports $n, which Windows may load from the program's folder" >&2
         status=1 ;;
    esac
  done
done
[ $status = 0 ] && echo "check_imports: only DLLs Windows loads from System32"
exit $status
