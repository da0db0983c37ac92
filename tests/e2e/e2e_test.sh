#!/usr/bin/env bash
# Drives the real Kelvane window on a virtual X display as a user would: starts it on a saved job,
# changes the repeat count, presses D&uplicate with Alt+U, dismisses the message with Return, closes
# with Escape, then checks the output file's bytes and what was saved.
#   tests/e2e/e2e_test.sh path/to/kelvane path/to/kelvane-cli
set -euo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 KELVANE KELVANE_CLI" >&2
  exit 2
fi
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || {
    echo "$tool is missing: run ./scripts/setup" >&2
    exit 1
  }
done

app=$(realpath "$1")
cli=$(realpath "$2")
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-e2e-XXXXXX")
source "$(dirname "$0")/x_display.sh"
cleanup() {
  stop_process "$pid"
  stop_process "$xvfb"
  rm -rf "$work"
}
trap cleanup EXIT
# A test runner's timeout ends the script with a signal; the program and the server go with it.
trap 'exit 143' TERM INT

start_display

export XDG_CONFIG_HOME="$work/config"
out="$work/out.txt"
settings="$XDG_CONFIG_HOME/Orvalle Software Inc./Kelvane.reg"

# The saved job: two copies. The window is then told three, which only its own save can store.
"$cli" --save --text $'Hi NAME #N\n' --repeat 2 --var 'name=World' --var '#n=%%count1%03d%%' \
  --output "$out" >/dev/null || fail "kelvane-cli could not save the job"
grep -q '^"Repeat Count"=dword:00000002' "$settings" || fail "the saved job has no repeat count 2"
rm -f "$out"

start_app env QT_QPA_PLATFORM=xcb "$app"

# Alt+R is the repeat count's label; select whatever the field holds and type over it.
xdotool key --clearmodifiers alt+r ctrl+a 3
xdotool key --clearmodifiers alt+u

wait_for 30 window_count_is Kelvane 2 || fail "no message box after D&uplicate"
box=$(kelvane_windows | grep -vx "$main")
# The message is shown only once every byte is written and the file closed.
expected=$'Hi World 001\nHi World 002\nHi World 003\n'
[ "$(cat "$out"; echo .)" = "$expected." ] || fail "the output file holds $(od -c "$out" | head -5)"

focus_window "$box"
xdotool key --clearmodifiers Return
wait_for 10 window_count_is Kelvane 1 || fail "Return did not dismiss the message box"

close_app

grep -q '^"Repeat Count"=dword:00000003' "$settings" || fail "the repeat count 3 was not saved: $(cat "$settings")"
for line in '"Text"=hex(1):48,69,20,4e,41,4d,45,20,23,4e,0a,00' '"Output File"="'"$out"'"' '"Append"=dword:00000000' \
  '"Value Names"=hex(7):6e,61,6d,65,00,23,6e,00,00'; do
  grep -qF "$line" "$settings" || fail "the settings lost $line: $(cat "$settings")"
done
[ "$(cat "$out"; echo .)" = "$expected." ] || fail "the output file changed after the run"
echo "e2e: duplicated 3 copies through the window and saved the job"

# The captions are the windows' own, with nothing appended: a desktop shows _NET_WM_NAME, which Qt
# may extend beyond the plain WM_NAME that xdotool searches.
window_named() {
  local window
  for window in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    if [ "$(xprop -id "$window" _NET_WM_NAME 2>/dev/null)" = "_NET_WM_NAME(UTF8_STRING) = \"$1\"" ]; then
      echo "$window"
      return 0
    fi
  done
  return 1
}
captions() {
  local window
  for window in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    xprop -id "$window" _NET_WM_NAME 2>/dev/null
  done
}
no_window_named() {
  ! window_named "$1" >/dev/null
}
start_app env QT_QPA_PLATFORM=xcb "$app"
window_named Kelvane >/dev/null || fail "the main window's caption is not exactly \"Kelvane\": $(captions)"
for caption in 'Variable Setup' 'Save As'; do
  focus_window "$main"
  if [ "$caption" = 'Variable Setup' ]; then
    xdotool key --clearmodifiers alt+a
  else
    # Alt+O is the output file's label; "..." is the next tab stop.
    xdotool key --clearmodifiers alt+o Tab space
  fi
  wait_for 30 window_named "$caption" >/dev/null || fail "no window captioned exactly \"$caption\": $(captions)"
  focus_window "$(window_named "$caption")"
  xdotool key --clearmodifiers Escape
  wait_for 10 no_window_named "$caption" || fail "Escape did not close $caption"
done
close_app
echo "e2e: the captions read Kelvane, Variable Setup and Save As"

# A folder where the settings file belongs: the program starts on the defaults without a word,
# and closes the same way, leaving the folder as it was.
export XDG_CONFIG_HOME="$work/config-unusable"
mkdir -p "$XDG_CONFIG_HOME/Orvalle Software Inc./Kelvane.reg/inside"
start_app env QT_QPA_PLATFORM=xcb "$app"
window_count_is Kelvane 1 || fail "a message appeared at start-up"
close_app
[ -d "$XDG_CONFIG_HOME/Orvalle Software Inc./Kelvane.reg/inside" ] || fail "the folder in the way was touched"
echo "e2e: started and closed quietly with an unusable settings file"
