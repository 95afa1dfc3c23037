#!/usr/bin/env bash
# The portable zip: exactly the program's files, and unpacked into a fresh
# folder it starts and finds its step pictures. Runs in the Wine environment.
# Usage: zip.sh <Vistrel-x.y.z-win64.zip>
test_name=package_zip
source "$(dirname "$0")/common.sh"
vsr_pid=""
# A program that never showed its window is ended too (wine execs into it).
trap '[ -n "$vsr_pid" ] && kill "$vsr_pid" 2>/dev/null; restore_settings; rm -rf "$work"' EXIT
zip=$1
[ -f "$zip" ] || fail "no $zip (cmake --build build/win --target package makes it)"

listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort | tr '\n' ' ')
expected="README.txt hook.dll img/STEP1.GIF img/STEP2.GIF img/STEP3.GIF vsr.exe "
[ "$listed" = "$expected" ] || fail "zip holds '$listed', expected '$expected'"

mkdir "$work/unpacked"
unzip -q "$zip" -d "$work/unpacked" || fail "could not unpack $zip"
grep -q 'HKEY_CURRENT_USER\\Software\\Quorvane\\Vistrel' "$work/unpacked/README.txt" \
  || fail "README.txt does not say where the settings live"
grep -q 'MIT' "$work/unpacked/README.txt" || fail "README.txt does not name the licence"

save_settings
(cd "$work/unpacked" && exec wine vsr.exe >"$work/vsr.log" 2>&1) &
vsr_pid=$!
check_started "vsr.exe from the unpacked zip"
