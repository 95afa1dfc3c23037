# Sourced by the test and run scripts: a virtual display, a fresh Wine prefix
# in the build tree, a persistent wineserver and a keep-alive window, and a
# teardown that ends exactly what was started here.
#   VISTREL_WINE_DIR  where prefix, home and logs go (default build/wine)
#   VISTREL_SCREEN    Xvfb screen geometry (default 1024x768x24)

vistrel_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
vistrel_build=${VISTREL_BUILD:-$vistrel_root/build}
wine_dir=${VISTREL_WINE_DIR:-$vistrel_build/wine}
xvfb_pid=""
keepalive_pid=""

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=;winealsa.drv,winepulse.drv,wineoss.drv=d"
export WINEPREFIX=$wine_dir/prefix
export HOME=$wine_dir/home XDG_CONFIG_HOME=$wine_dir/home/.config XDG_DATA_HOME=$wine_dir/home/.local/share
export XDG_RUNTIME_DIR=$wine_dir/run
export WINEARCH=win64

# Runs a command with a time limit; on time-out says what hung.
vistrel_timeout() { # seconds, what, command...
  local s=$1 what=$2; shift 2
  if ! timeout -k 5 "$s" "$@"; then
    echo "wine-env: $what failed or did not finish within ${s}s" >&2
    return 1
  fi
}

# Starts Xvfb on a free display unless one is given in VISTREL_DISPLAY.
vistrel_start_display() {
  if [ -n "${VISTREL_DISPLAY:-}" ]; then export DISPLAY=$VISTREL_DISPLAY; return 0; fi
  mkdir -p "$wine_dir"
  local fifo=$wine_dir/displayfd
  rm -f "$fifo"; mkfifo "$fifo"
  # -noreset: the server would otherwise reset (and centre the pointer)
  # whenever its last client disconnects between two tests.
  Xvfb -displayfd 3 -screen 0 "${VISTREL_SCREEN:-1024x768x24}" -nolisten tcp -ac -noreset 3>"$fifo" \
    >"$wine_dir/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local n=""
  read -r -t 20 n <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$n" ]; then echo "wine-env: Xvfb did not start within 20s" >&2; return 1; fi
  export DISPLAY=:$n
}

# A fresh prefix, a persistent server and the keep-alive window.
vistrel_start_wine() {
  wineserver -k >/dev/null 2>&1 || true
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX" "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  vistrel_timeout 120 "wineboot -i" wine wineboot -i >"$wine_dir/wineboot.log" 2>&1 || return 1
  vistrel_timeout 60 "wineserver -w" wineserver -w || return 1
  wineserver -p
  # Title bars drawn by Wine itself: there is no window manager on Xvfb.
  vistrel_timeout 60 "reg add Decorated" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
    >/dev/null 2>&1 || return 1
  # A crashing test program must end, not wait in Wine's debugger until the
  # test's time-out. Without a Debugger value Wine falls back to winedbg, so
  # name one that does not exist: the crashed process then terminates.
  vistrel_timeout 60 "reg add AeDebug" wine reg add \
    'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d vistrel-no-debugger.exe /f \
    >/dev/null 2>&1 || return 1
  local ka=$vistrel_build/win/bin/keepalive.exe
  if [ -f "$ka" ]; then
    wine "$ka" >/dev/null 2>&1 &
    keepalive_pid=$!
  fi
}

vistrel_teardown() {
  [ -n "$keepalive_pid" ] && kill "$keepalive_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null || true
  keepalive_pid=""; xvfb_pid=""
}
