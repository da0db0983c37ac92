# Sourced by the end-to-end tests: a virtual X display of the test's own, waiting for what a test
# needs with a limit, and what is shown when a test fails. The test sets `work` (its temporary
# folder) and may define `fail_details` to say more; start_app and close_app keep the program's
# process in `pid` and its main window in `main`.

pid=
xvfb=

# Ends a process of the test's own and collects it.
stop_process() {
  if [ -n "$1" ] && kill -0 "$1" 2>/dev/null; then
    kill "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
  fi
}

fail() {
  echo "FAIL: $*" >&2
  # A picture of the screen shows what the window was doing.
  if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null && import -window root "$work/screen.png" 2>/dev/null; then
    cp "$work/screen.png" "${KELVANE_E2E_SHOT:-$PWD/e2e-failure.png}" 2>/dev/null &&
      echo "screen: ${KELVANE_E2E_SHOT:-$PWD/e2e-failure.png}" >&2
  fi
  if [ -s "$work/app.err" ]; then
    echo "the program's standard error:" >&2
    cat "$work/app.err" >&2
  fi
  if declare -F fail_details >/dev/null; then
    fail_details >&2 || true
  fi
  exit 1
}

has_exited() {
  ! kill -0 "$pid" 2>/dev/null
}

# Polls a condition every 50 ms for up to $1 seconds.
wait_for() {
  local seconds=$1
  shift
  local tries=$((seconds * 20))
  while ((tries-- > 0)); do
    if "$@"; then
      return 0
    fi
    sleep 0.05
  done
  return 1
}

# A display of our own, never the user's desktop. The server picks a free display number itself and
# tells it on a descriptor, so runs started at the same moment cannot take the same one (as
# xvfb-run -a can). -noreset: the server would otherwise reset when the program, its last client,
# exits, and the next start could meet it resetting and fail.
start_display() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" 2>"$work/xvfb.err" &
  xvfb=$!
  wait_for 20 test -s "$work/display" || {
    cat "$work/xvfb.err" >&2
    echo "FAIL: Xvfb did not start" >&2
    exit 1
  }
  export DISPLAY=":$(cat "$work/display")"
}

# The visible windows whose name is exactly $1, and whether there are $2 of them.
windows_named() {
  xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true
}
window_count_is() {
  [ "$(windows_named "$1" | grep -c .)" -eq "$2" ]
}

# Gives a window the keyboard; there is no window manager to do it.
focus_window() {
  timeout 30 xdotool windowfocus --sync "$1" || fail "window $1 did not take the keyboard"
}

# The program's main window and its message boxes, all named Kelvane.
kelvane_windows() {
  windows_named Kelvane
}
shown_or_exited() {
  window_count_is Kelvane 1 || has_exited
}

# start_app COMMAND...: starts the program and gives its main window, $main, the keyboard.
start_app() {
  "$@" >"$work/app.out" 2>"$work/app.err" &
  pid=$!
  wait_for 60 shown_or_exited || fail "the main window did not appear"
  has_exited && fail "the program ended at start-up"
  main=$(kelvane_windows)
  focus_window "$main"
}

# Escape closes the program; a message shown on the way out would keep it open.
close_app() {
  focus_window "$main"
  xdotool key --clearmodifiers Escape
  wait_for 60 has_exited || fail "Escape did not close the program"
  local status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" -eq 0 ] || fail "the program exited with status $status"
}
