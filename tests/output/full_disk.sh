#!/usr/bin/env bash
# Stores captures on a drive with no room left: a 64 KiB tmpfs mapped into the
# test's Wine prefix as drive T:. Mounting needs root (as in CI); elsewhere the
# test reports itself skipped (exit 77).
set -u
test_exe=$1
if [ "$(id -u)" != 0 ]; then echo "full_disk: needs root to mount a tmpfs"; exit 77; fi
mnt=$(mktemp -d)
if ! mount -t tmpfs -o size=64k vistrel-full "$mnt"; then
  rmdir "$mnt"; echo "full_disk: cannot mount a tmpfs here"; exit 77
fi
link="$WINEPREFIX/dosdevices/t:"
cleanup() { rm -f "$link"; umount "$mnt"; rmdir "$mnt"; }
trap cleanup EXIT
ln -sfn "$mnt" "$link"
VISTREL_FULL_DISK='T:' timeout -k 5 120 wine "$test_exe" --gtest_filter='FullDisk.*' --gtest_color=no
rc=$?
[ $rc = 124 ] && echo "full_disk: the test program did not finish within 120 s"
exit $rc
