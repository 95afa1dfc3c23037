# Shared by the package tests; sourced inside the suite's Wine environment
# (WINEPREFIX, DISPLAY and a running wineserver come from tools/wine-env.sh).
set -uo pipefail
settings_key='HKCU\Software\Quorvane\Vistrel'
work=$(mktemp -d /tmp/vistrel-package.XXXXXX)
settings_saved=""

fail() { echo "$test_name: $*" >&2; exit 1; }

# Polls a command every 0.2 s for at most $1 seconds.
wait_for() { # seconds, command...
  local end=$((SECONDS + $1)); shift
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.2
  done
}

# The program writes its settings key: put it back as the suite had it.
save_settings() {
  if wine reg query "$settings_key" >"$work/query.log" 2>&1; then
    wine reg export "$settings_key" "$work/settings.reg" /y >"$work/export.log" 2>&1 \
      || fail "could not save $settings_key"
    settings_saved=yes
  else
    settings_saved=no
  fi
}
restore_settings() {
  [ -n "$settings_saved" ] || return 0
  wine reg delete "$settings_key" /f >/dev/null 2>&1
  if [ "$settings_saved" = yes ]; then
    wine reg import "$work/settings.reg" >/dev/null 2>&1 || echo "$test_name: could not restore $settings_key" >&2
  fi
}

window_named() { xdotool search --name "$1" >"$work/found" 2>/dev/null && [ -s "$work/found" ]; }
# The main window's caption is "Vistrel <version>" (the keep-alive window's is not).
main_or_error() { window_named '^Vistrel [0-9]' || window_named '^Error opening file'; }

# Ends the program behind an X window (Wine puts the Unix pid on it).
end_window_process() { # X window id
  local pid
  pid=$(xdotool getwindowpid "$1" 2>/dev/null) || return 0
  kill "$pid" 2>/dev/null
  wait_for 5 eval "! kill -0 $pid 2>/dev/null" || kill -9 "$pid" 2>/dev/null
}

# After a start command: the main window appears, no "Error opening file" box
# (a step picture not found), the optional command runs with the main
# window's X id, then the program ends.
check_started() { # what was started, [command]
  wait_for 20 main_or_error || fail "$1: no main window within 20s"
  # The pictures are read as the window first paints: give a box time to come.
  window_named '^Error opening file' || sleep 1.5
  if window_named '^Error opening file'; then
    local box; box=$(head -n1 "$work/found")
    local caption; caption=$(xdotool getwindowname "$box")
    end_window_process "$box"
    fail "$1: the program did not find its step pictures ($caption)"
  fi
  window_named '^Vistrel [0-9]' || fail "$1: the main window went away"
  local main; main=$(head -n1 "$work/found")
  echo "$1: main window '$(xdotool getwindowname "$main")' shown, no error box"
  if [ -n "${2:-}" ] && ! "$2" "$main"; then
    end_window_process "$main"
    fail "$1: $2 failed"
  fi
  end_window_process "$main"
  wait_for 5 eval '! window_named "^Vistrel [0-9]"' || fail "$1: the program did not end"
}
