#!/usr/bin/env bash
# Drives the real kelvane.exe under Wine on a virtual X display as a user would: a job put in the
# registry is shown; D&uplicate writes the file, and the clipboard when no file is named; variables
# are added, edited and deleted through the Variable Setup dialog; a bad repeat count is refused;
# Escape saves the six values; the link's menu copies its address and puts a shortcut on the
# Desktop. Pictures of each dialog at 100 % and 150 % go to BUILD_DIR/e2e-screenshots.
#   tests/e2e/wine_e2e_test.sh BUILD_DIR KELVANE_EXE WINDOWS_PROBE_EXE
# The test has a Wine prefix of its own, BUILD_DIR/e2e/wine (tests/support/wine_run.sh makes it), so
# the desktop this test opens on its display and ends is never one that another test is using.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 BUILD_DIR KELVANE_EXE WINDOWS_PROBE_EXE" >&2
  exit 2
fi
skip() {
  echo "skipped: $*" >&2
  exit 77
}
for tool in Xvfb xdotool import wine; do
  command -v "$tool" >/dev/null || skip "$tool is missing (scripts/setup installs it)"
done
build=$(realpath -m "$1")
app=$(realpath -m "$2")
probe=$(realpath -m "$3")
[ -f "$app" ] || skip "kelvane.exe is not built yet ($app)"
here=$(cd "$(dirname "$0")" && pwd)
run=$here/../support/wine_run.sh
shots=$build/e2e-screenshots
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-wine-e2e-XXXXXX")
source "$here/x_display.sh"

cleanup() {
  stop_process "$pid"
  # The prefix is this test's own: its server, and the desktop it keeps on our display, end with it.
  if [ -n "${WINEPREFIX:-}" ]; then
    timeout 60 wineserver --wait 2>/dev/null || wineserver -k 2>/dev/null || true
  fi
  stop_process "$xvfb"
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

start_display
mkdir -p "$shots"

key='HKCU\Software\Orvalle Software Inc.\Kelvane\Settings'

# Makes the test's prefix and works in it from here on.
use_prefix() {
  local status=0
  export WINEPREFIX=$build/e2e/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  "$run" "$build/e2e" "$probe" desktop-folder >"$work/desktop" 2>"$work/prefix.err" || status=$?
  [ "$status" -ne 77 ] || skip "$(cat "$work/prefix.err")"
  [ "$status" -eq 0 ] || fail "the Wine prefix could not be made: $(cat "$work/prefix.err")"
  # Wine's own Tahoma, MS Sans Serif and Marlett (the caption buttons), which Debian keeps outside
  # the prefix's font folder, where Wine does not look for them.
  local font
  for font in /usr/share/wine/fonts/*.ttf; do
    [ -e "$font" ] && ln -sf "$font" "$WINEPREFIX/drive_c/windows/Fonts/"
  done
  # With no window manager on the display, Wine draws the title bars and frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
  wine reg delete 'HKCU\Software\Orvalle Software Inc.' /f >/dev/null 2>&1 || true
}
# The screen scale in per cent, which programs started from here on take (96 dots per inch is 100 %).
set_scale() {
  scale=$1
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d $((96 * scale / 100)) /f >/dev/null
}

# A text as windows_probe writes it: backslashes doubled (the texts compared here hold no line break).
escaped() {
  printf '%s' "${1//\\/\\\\}"
}
# What windows_probe reads of the windows named $1 (the top one first).
controls() {
  wine "$probe" controls "$1" | tr -d '\r' || true
}
# The text of control $2 of the top window named $1, with \r and \n for line breaks.
control_text() {
  controls "$1" | awk -F'\t' -v id="$2" '$1 == "window" && seen++ { exit } $1 == id && $2 != "" && $2 !~ /^row / { print $3; exit }'
}
list_rows() {
  controls Kelvane | awk -F'\t' '$1 == "1004" && $2 ~ /^row / { print $3 }' | paste -sd '|'
}
focused_control() {
  controls "$1" | awk -F'\t' '$1 == "focus" { print $2; exit }'
}
clipboard_is() {
  [ "$(wine "$probe" clipboard)" = "$1" ]
}
fail_details() {
  echo "the windows named Kelvane:"
  controls Kelvane
}

# Waits for the message box over the main window, checks its text, answers it with key $2.
answer_message() {
  local text=$1 answer=$2
  wait_for 60 window_count_is Kelvane 2 || fail "no message box saying \"$text\""
  local box
  box=$(kelvane_windows | grep -vx "$main")
  controls Kelvane | grep -qF "$(escaped "$text")" || fail "the message box does not say \"$text\""
  [ -z "${shoot_message:-}" ] || shoot "$box" "message"
  focus_window "$box"
  xdotool key --clearmodifiers "$answer"
  wait_for 30 window_count_is Kelvane 1 || fail "$answer did not answer \"$text\""
  focus_window "$main"
}

# Opens the Variable Setup dialog with key $1 and waits for it.
open_variable_setup() {
  focus_window "$main"
  xdotool key --clearmodifiers "$1"
  wait_for 60 window_count_is 'Variable Setup' 1 || fail "$1 did not open Variable Setup"
  setup=$(windows_named 'Variable Setup')
  focus_window "$setup"
}
closed_variable_setup() {
  wait_for 30 window_count_is 'Variable Setup' 0 || fail "Variable Setup did not close"
  focus_window "$main"
}

# Whether window $1 looks the same in three pictures in a row: painting has ended.
still_picture() {
  local last= same=0 now
  for _ in 1 2 3; do
    now=$(import -window "$1" ppm:- 2>/dev/null | md5sum)
    [ "$now" = "$last" ] && same=$((same + 1))
    last=$now
    sleep 0.1
  done
  [ "$same" -eq 2 ]
}
# shoot WINDOW NAME: a picture of one window, at the present scale, once it is fully painted.
shoot() {
  wait_for 10 still_picture "$1" || fail "$2 kept changing"
  import -window "$1" "$shots/windows-$2-$scale.png" || fail "no picture of $2"
}
# The link's menu is a window of its own, below and beside the dialog: a picture of both.
shoot_menu() {
  local menu=$1 x y w h left top right bottom
  eval "$(xdotool getwindowgeometry --shell "$main" | sed -n 's/^\([XY]\)=/\1=/p; s/^WIDTH=/w=/p; s/^HEIGHT=/h=/p')"
  left=$X top=$Y right=$((X + w)) bottom=$((Y + h))
  eval "$(xdotool getwindowgeometry --shell "$menu" | sed -n 's/^\([XY]\)=/\1=/p; s/^WIDTH=/w=/p; s/^HEIGHT=/h=/p')"
  ((X + w > right)) && right=$((X + w))
  ((Y + h > bottom)) && bottom=$((Y + h))
  wait_for 10 still_picture root || fail "the link's menu kept changing"
  import -window root -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$shots/windows-link-menu-$scale.png" ||
    fail "no picture of the link's menu"
}
# The popup menu: a visible window of the program's with no name, larger than Wine's 1 x 1 helpers.
popup_menu() {
  local window
  for window in $(xdotool search --onlyvisible --class kelvane.exe 2>/dev/null); do
    [ -z "$(xdotool getwindowname "$window" 2>/dev/null)" ] || continue
    xdotool getwindowgeometry "$window" | grep -qE 'Geometry: ([0-9]{2,})x([0-9]{2,})' && echo "$window" && return 0
  done
  return 1
}
open_link_menu() {
  focus_window "$main"
  # Alt+R is the repeat count; the link is the next tab stop. Shift+F10 asks for its menu.
  xdotool key --clearmodifiers alt+r Tab
  [ "$(focused_control Kelvane)" = 154 ] || fail "Tab after the repeat count did not reach the link"
  xdotool key --clearmodifiers shift+F10
  wait_for 30 popup_menu >/dev/null || fail "Shift+F10 on the link showed no menu"
  menu=$(popup_menu)
}
no_popup_menu() {
  ! popup_menu >/dev/null
}

# --- 100 %: every case -------------------------------------------------------------------------
use_prefix
set_scale 100
# On the prefix's drive C:, as a Windows user's file would be (and as the pictures show it).
out_windows='C:\jobs\greetings.txt'
out_unix=$WINEPREFIX/drive_c/jobs/greetings.txt
mkdir -p "${out_unix%/*}"
rm -f "$out_unix"

# A job as a user's earlier run left it: the block ends in a line break, one variable has a single
# value for every copy, the other a counter.
wine reg add "$key" /v Text /t REG_SZ /d $'Welcome, NAME: you are guest #N.\r\n' /f >/dev/null
wine reg add "$key" /v 'Output File' /t REG_SZ /d "$out_windows" /f >/dev/null
wine reg add "$key" /v Append /t REG_DWORD /d 0 /f >/dev/null
wine reg add "$key" /v 'Repeat Count' /t REG_DWORD /d 2 /f >/dev/null
wine reg add "$key" /v 'Value Names' /t REG_MULTI_SZ /d 'name\0#n' /f >/dev/null
wine reg add "$key" /v Values /t REG_MULTI_SZ /d 'Ada\0%%count1%03d%%' /f >/dev/null

start_app wine "$app"
shoot "$main" main
[ "$(control_text Kelvane 1000)" = 'Welcome, NAME: you are guest #N.\r\n' ] || fail "the block text is not the saved one"
[ "$(control_text Kelvane 1001)" = "$(escaped "$out_windows")" ] || fail "the output file is not the saved one"
[ "$(control_text Kelvane 1003)" = 2 ] || fail "the repeat count is not the saved 2"
controls Kelvane | grep -qP '^1008\tButton\tA&ppend data\tunchecked$' || fail "A&ppend data is not shown unticked"
[ "$(list_rows)" = 'name|#n' ] || fail "the list shows $(list_rows), not the saved tags"
[ "$(focused_control Kelvane)" = 1000 ] || fail "the focus is not in the block text at start"
echo "wine e2e: the saved job is shown"

# Alt+R selects the repeat count's text; 3 replaces it. Alt+U is D&uplicate.
xdotool key --clearmodifiers alt+r 3 alt+u
expected=$'Welcome, Ada: you are guest 001.\r\nWelcome, Ada: you are guest 002.\r\nWelcome, Ada: you are guest 003.\r\n'
shoot_message=1 answer_message "Results were written to file $out_windows" Return
[ "$(cat "$out_unix"; echo .)" = "$expected." ] || fail "the output file holds $(od -c "$out_unix" | head -5)"
echo "wine e2e: D&uplicate wrote the file"

# No output file: the copies go to the clipboard, in place of what it held.
wine "$probe" put-clipboard 'held before' || fail "could not put a text on the clipboard"
xdotool key --clearmodifiers alt+o BackSpace alt+u
answer_message "Results were written to the clipboard" Return
[ "$(wine "$probe" clipboard; echo .)" = "$expected." ] || fail "the clipboard holds $(wine "$probe" clipboard | od -c | head -5)"
echo "wine e2e: D&uplicate with no output file filled the clipboard"

# Add: the tag field has the focus; Tab to the values, Tab to OK.
open_variable_setup alt+a
shoot "$setup" variable-setup
[ "$(focused_control 'Variable Setup')" = 1009 ] || fail "Variable Setup did not open with the focus on the tag"
xdotool type --delay 30 who
xdotool key --clearmodifiers Tab
xdotool type --delay 30 'x'
xdotool key --clearmodifiers Return
xdotool type --delay 30 'y'
xdotool key --clearmodifiers Tab Return
closed_variable_setup
[ "$(list_rows)" = 'name|#n|who' ] || fail "Add left the list as $(list_rows)"
# Edit the new last row: Alt+O is the output file; three tab stops on is the list, where End
# selects the last row.
xdotool key --clearmodifiers alt+o Tab Tab Tab
[ "$(focused_control Kelvane)" = 1004 ] || fail "three tab stops after the output file is not the list"
xdotool key --clearmodifiers End
open_variable_setup alt+e
[ "$(control_text 'Variable Setup' 1009)" = who ] || fail "Edit did not show the tag who"
[ "$(control_text 'Variable Setup' 1010)" = 'x\r\ny' ] || fail "Edit did not show the values x and y on two lines"
# The tag's text is selected: typing replaces it.
xdotool type --delay 30 whom
xdotool key --clearmodifiers Return
closed_variable_setup
[ "$(list_rows)" = 'name|#n|whom' ] || fail "Edit left the list as $(list_rows)"
# Delete, answered Yes: the last row is still the selected one.
xdotool key --clearmodifiers alt+d
answer_message "Are you sure you want to delete variable whom?" y
[ "$(list_rows)" = 'name|#n' ] || fail "Delete left the list as $(list_rows)"
echo "wine e2e: Add, Edit and Delete through Variable Setup"

# A repeat count that is no integer: the message, and the dialog stays with the field in focus.
xdotool key --clearmodifiers alt+r 1 2 a alt+u
answer_message "Please enter an integer." Return
has_exited && fail "the refused repeat count closed the program"
[ "$(focused_control Kelvane)" = 1003 ] || fail "the focus is not on the refused repeat count"
[ "$(control_text Kelvane 1003)" = 12a ] || fail "the refused repeat count was changed"
xdotool key --clearmodifiers alt+r 3 alt+p
echo "wine e2e: the repeat count 12a is refused"

# The link's menu: Copy Shor&tcut replaces the text only; Add to &Desktop writes the shortcut.
wine "$probe" put-clipboard 'held before' || fail "could not put a text on the clipboard"
open_link_menu
shoot_menu "$menu"
xdotool key --clearmodifiers t
wait_for 30 clipboard_is 'https://www.orvalle.example/' ||
  fail "Copy Shortcut left the clipboard holding $(wine "$probe" clipboard)"
[ "$(wine "$probe" private-format)" = 'kept beside the text' ] || fail "Copy Shortcut lost the clipboard's other formats"
desktop=$(winepath -u "$(tr -d '\r\n' <"$work/desktop")")
rm -f "$desktop/www.orvalle.example.URL"
open_link_menu
xdotool key --clearmodifiers d
wait_for 30 test -s "$desktop/www.orvalle.example.URL" || fail "Add to Desktop wrote no www.orvalle.example.URL"
grep -q '^URL=https://www.orvalle.example/' "$desktop/www.orvalle.example.URL" ||
  fail "the shortcut holds $(cat "$desktop/www.orvalle.example.URL")"
echo "wine e2e: the link's menu copied the address and put a shortcut on the Desktop"

close_app
shown=$(wine reg query "$key" | tr -d '\r')
expect() {  # name, type, data as an extended regular expression
  grep -Eq "^ +$1 +$2 *$3\$" <<<"$shown" || fail "no value \"$1\" of type $2 holding /$3/ in: $shown"
}
expect 'Text' REG_SZ 'Welcome, NAME: you are guest #N\.'
expect 'Output File' REG_SZ ''
expect 'Append' REG_DWORD '0x1'
expect 'Repeat Count' REG_DWORD '0x3'
expect 'Value Names' REG_MULTI_SZ 'name\\0#n'
expect 'Values' REG_MULTI_SZ 'Ada\\0%%count1%03d%%'
# Nothing beside the job: the window size that Linux's resizable window keeps has no place here.
[ "$(grep -Ec '^ +[^ ].* +REG_[A-Z_]+( |$)' <<<"$shown")" -eq 6 ] ||
  fail "other values than the six were saved: $shown"
echo "wine e2e: Escape saved the six values with their types"

# --- 150 %: the pictures ------------------------------------------------------------------------
set_scale 150
wine reg delete 'HKCU\Software\Orvalle Software Inc.' /f >/dev/null
start_app wine "$app"
shoot "$main" main
open_variable_setup alt+a
shoot "$setup" variable-setup
xdotool key --clearmodifiers Escape
closed_variable_setup
xdotool key --clearmodifiers alt+u
shoot_message=1 answer_message "Results were written to the clipboard" Return
open_link_menu
shoot_menu "$menu"
xdotool key --clearmodifiers Escape
wait_for 30 no_popup_menu || fail "Escape did not close the link's menu"
close_app
echo "wine e2e: pictures at 100 % and 150 % in $shots"
