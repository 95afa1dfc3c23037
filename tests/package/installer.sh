#!/usr/bin/env bash
# The installer run silently: files in Program Files, a Start-menu shortcut
# that starts the program in the user's Pictures folder, an uninstall entry; the silent
# uninstaller removes them all and keeps the user's settings. Runs in the
# Wine environment. Usage: installer.sh <Vistrel-x.y.z-win64-setup.exe>
test_name=package_installer
source "$(dirname "$0")/common.sh"
setup=$1
dir="$WINEPREFIX/drive_c/Program Files/Vistrel"
lnk="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Vistrel.lnk"
uninst_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vistrel'
cleanup() {
  rm -rf "$dir" "$lnk"
  wine reg delete "$uninst_key" /f >/dev/null 2>&1
  restore_settings
  rm -rf "$work"
}
trap cleanup EXIT
[ -f "$setup" ] || fail "no $setup (cmake --build build/win --target package makes it)"
[ ! -e "$dir" ] || fail "$dir exists before the installer ran"

save_settings
wine reg add "$settings_key" /v PackageTestKept /d kept /f >"$work/reg.log" 2>&1 \
  || fail "could not write a setting"

# Outside Program Files the folder's inherited rules may let any user replace
# hook.dll: refused, nothing installed.
elsewhere="$WINEPREFIX/drive_c/VistrelElsewhere"
# What is on disk tells whether it was refused.
# /D= reaches the installer whole only through cmd's command line.
timeout -k 5 60 wine cmd /c "$(winepath -w "$setup") /S /D=C:\\VistrelElsewhere" >"$work/setup-elsewhere.log" 2>&1
[ ! -e "$elsewhere/hook.dll" ] && [ ! -e "$elsewhere/vsr.exe" ] ||
  { rm -rf "$elsewhere"; fail "a silent install into C:\VistrelElsewhere was not refused"; }
rm -rf "$elsewhere"

timeout -k 5 60 wine "$setup" /S >"$work/setup.log" 2>&1 || fail "silent install failed (exit $?)"
for f in vsr.exe hook.dll README.txt uninstall.exe img/STEP1.GIF img/STEP2.GIF img/STEP3.GIF; do
  [ -f "$dir/$f" ] || fail "not installed: Program Files/Vistrel/$f"
done
[ -f "$lnk" ] || fail "no Start-menu shortcut $lnk"
wine reg query "$uninst_key" /v UninstallString >"$work/uninst.log" 2>&1 || fail "no uninstall entry $uninst_key"
grep -q 'Program Files\\Vistrel\\uninstall.exe' "$work/uninst.log" || fail "uninstall entry names $(cat "$work/uninst.log")"

# Started through the shortcut from an unrelated folder, it starts in the
# user's Pictures folder, finds img\ beside vsr.exe, and a capture named
# without a folder is stored in Pictures, where the user can write.
wine cmd /c 'echo %USERPROFILE%' >"$work/profile.txt" 2>&1
pictures=$(winepath -u "$(tr -d '\r' <"$work/profile.txt")\Pictures" 2>/dev/null)
[ -d "$pictures" ] || fail "no Pictures folder ($pictures)"
rm -f "$pictures/shot.png"
for value in "lastWhatSelection=Capture the whole screen" "lastHowSelection=Capture immediately" \
             "lastToSelection=Save result as PNG" "fileName=shot.png"; do
  wine reg add "$settings_key" /v "${value%%=*}" /d "${value#*=}" /f >>"$work/reg.log" 2>&1 || fail "could not store $value"
done
for option in hide mouse preview sound; do
  wine reg add "$settings_key" /v $option /t REG_DWORD /d 0 /f >>"$work/reg.log" 2>&1 || fail "could not store $option"
done
capture_plain_name() { # main window
  # A click on the empty page under the first list, then Enter: Capture.
  xdotool mousemove --window "$1" 300 200 click 1 sleep 0.5 key Return
  wait_for 15 test -s "$pictures/shot.png" || { echo "no $pictures/shot.png after Capture" >&2; return 1; }
  [ "$(identify -format %m "$pictures/shot.png" 2>&1)" = PNG ] || { echo "shot.png is no PNG" >&2; return 1; }
}
mkdir "$work/elsewhere"
(cd "$work/elsewhere" && exec wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Vistrel.lnk' \
  >"$work/start.log" 2>&1) &
check_started "vsr.exe through the Start-menu shortcut" capture_plain_name
rm -f "$pictures/shot.png"

# Installing again while the installed Vistrel runs: refused before anything
# changes, not a copy that fails half-way.
snapshot() { (cd "$dir" && find . -type f -exec md5sum {} + | sort); }
# A file unlike the package's own: a copy over it would show.
printf 'x' >>"$dir/img/STEP1.GIF"
snapshot >"$work/before.txt"
(exec wine "$dir/vsr.exe" >"$work/running.log" 2>&1) &
wait_for 20 window_named '^Vistrel [0-9]' || fail "the installed vsr.exe showed no main window"
running=$(head -n1 "$work/found")
timeout -k 5 60 wine "$setup" /S >"$work/setup-running.log" 2>&1
code=$?
end_window_process "$running"
[ $code -eq 2 ] || fail "the installer ran on while vsr.exe ran (exit $code)"
snapshot >"$work/after.txt"
diff "$work/before.txt" "$work/after.txt" >"$work/changed.txt" ||
  fail "the refused installer changed files: $(tr '\n' ' ' <"$work/changed.txt")"

# The uninstaller copies itself away and returns at once: wait for its work.
timeout -k 5 30 wine "$dir/uninstall.exe" /S >"$work/uninstall.log" 2>&1 || fail "silent uninstall failed (exit $?)"
uninstalled() { [ ! -e "$dir" ] && [ ! -e "$lnk" ] && ! wine reg query "$uninst_key" >/dev/null 2>&1; }
wait_for 30 uninstalled || fail "after the uninstaller: $(ls -R "$dir" 2>&1 | tr '\n' ' ') shortcut $( [ -e "$lnk" ] && echo left || echo removed)"
wine reg query "$settings_key" /v PackageTestKept >"$work/kept.log" 2>&1 || fail "the uninstaller removed the user's settings"
grep -q kept "$work/kept.log" || fail "the kept setting reads $(cat "$work/kept.log")"
echo "installed, started from the shortcut, refused while running, uninstalled; settings kept"
