#!/usr/bin/env bash
# Installs Kelvane as a Windows user would, with the x64 installer's /S, into a fresh Wine prefix,
# then checks what the user gets: the files in their programs folder, the Start menu entry, the
# Uninstall key Settings, Apps reads, the installed kelvane-cli.exe, and Help finding its page.
# The silent uninstall must remove all of that and keep the user's settings; with /REMOVESETTINGS
# (the uninstaller's box ticked) the settings go too.
#   tests/install/windows_installer_test.sh BUILD_DIR INSTALLER HELP_LOOKUP_EXE VERSION
# The prefix, BUILD_DIR/installer-test/wine, is made anew each run and is this test's alone.
set -euo pipefail

source "$(dirname "$0")/../support/checks.sh"
expect_arguments 4 "BUILD_DIR INSTALLER HELP_LOOKUP_EXE VERSION" "$@"
build=$(realpath -m "$1")
installer=$(realpath -m "$2")
lookup=$(realpath -m "$3")
version=$4
command -v wine >/dev/null || skip "Wine is not installed (scripts/setup installs it)"
[ -f "$installer" ] || skip "the installer is not built: makensis is missing (scripts/setup installs nsis)"
here=$(cd "$(dirname "$0")" && pwd)

dir=$build/installer-test
rm -rf "$dir"
mkdir -p "$dir"
# No window of the installer's may need a display: Wine's null graphics driver.
status=0
"$here/../support/wine_run.sh" "$dir" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
  >/dev/null 2>"$dir/prefix.err" || status=$?
[ "$status" -ne 77 ] || skip "$(cat "$dir/prefix.err")"
[ "$status" -eq 0 ] || fail "the Wine prefix could not be made: $(cat "$dir/prefix.err")"
export WINEPREFIX=$dir/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
trap 'timeout 60 wineserver --wait 2>/dev/null || wineserver -k 2>/dev/null || true' EXIT

uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kelvane'
settings_key='HKCU\Software\Orvalle Software Inc.\Kelvane'

# A value as `reg query` shows it (REG_DWORD as 0x...); fails when the key or value is missing.
reg_value() {
  local out
  out=$(wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r') || return 1
  sed -n "s/^    $2    REG_[A-Z_]*    //p" <<<"$out"
}
windows_path() {
  wine cmd /c echo "$1" | tr -d '\r'
}
# Waits up to a minute for every process of the prefix to end: the uninstaller runs from a copy of
# itself in the temporary folder, after the one started has returned.
settle() {
  timeout 60 wineserver --wait || fail "the prefix's programs did not end within a minute"
}

install_folder=$(windows_path '%LOCALAPPDATA%')'\Programs\Kelvane'
folder=$(winepath -u "$install_folder")
start_menu_entry=$(winepath -u "$(windows_path '%APPDATA%')\\Microsoft\\Windows\\Start Menu\\Programs\\Kelvane.lnk")
installed=(kelvane.exe kelvane-cli.exe kelvane.html license.txt uninstall.exe)

install() {
  wine "$installer" /S || fail "the silent install failed with status $?"
  settle
}
install

for file in "${installed[@]}"; do
  [ -f "$folder/$file" ] || fail "$file is not in $install_folder"
done
[ -f "$start_menu_entry" ] || fail "no Start menu entry at $start_menu_entry"
# The shortcut's link information holds its target's path as text.
grep -qaF "$install_folder\\kelvane.exe" "$start_menu_entry" || fail "the Start menu entry does not start the installed kelvane.exe"
cmp -s "$folder/kelvane.html" "$here/../../res/kelvane.html" || fail "the installed kelvane.html is not the help page"

declare -A expected=(
  [DisplayName]="Kelvane"
  [DisplayVersion]="$version"
  [Publisher]="Orvalle Software Inc."
  [DisplayIcon]="$install_folder\\kelvane.exe,0"
  [InstallLocation]="$install_folder"
  [UninstallString]="\"$install_folder\\uninstall.exe\""
  [QuietUninstallString]="\"$install_folder\\uninstall.exe\" /S"
  [NoModify]="0x1"
  [NoRepair]="0x1"
)
for name in "${!expected[@]}"; do
  value=$(reg_value "$uninstall_key" "$name") || fail "the Uninstall key has no $name"
  [ "$value" = "${expected[$name]}" ] || fail "$name is \"$value\", not \"${expected[$name]}\""
done
# The size Settings, Apps shows, in KiB: the installed files' own.
size=$(reg_value "$uninstall_key" EstimatedSize) || fail "the Uninstall key has no EstimatedSize"
bytes=$(cat "${installed[@]/#/$folder/}" | wc -c)
((size >= bytes / 1024 && size <= bytes / 1024 + ${#installed[@]})) ||
  fail "EstimatedSize is $((size)) KiB; the files hold $bytes bytes"

output=$(wine "$install_folder\\kelvane-cli.exe" --version | tr -d '\r') || fail "the installed kelvane-cli.exe --version failed"
grep -qF "$version" <<<"$output" || fail "kelvane-cli.exe --version says \"$output\", not $version"

# Help of the installed kelvane.exe: its page beside it, opened at the main dialog's anchor.
mapfile -t help < <(wine "$lookup" "$install_folder" | tr -d '\r')
[ "${help[0]:-}" = "$install_folder\\kelvane.html" ] || fail "Help finds \"${help[0]:-}\", not $install_folder\\kelvane.html"
url="file:///${install_folder//\\//}/kelvane.html#0x20066"
[ "${help[1]:-}" = "$url" ] || fail "Help opens \"${help[1]:-}\", not $url"

# The user's job, saved by the installed program: the uninstaller must keep it.
wine "$install_folder\\kelvane-cli.exe" --text 'kept <n>' --repeat 2 --var '<n>=%%count1%d%%' --save >/dev/null ||
  fail "the installed kelvane-cli.exe --save failed"
[ "$(reg_value "$settings_key\\Settings" Text)" = 'kept <n>' ] || fail "--save wrote no Text under $settings_key"

# While the installed kelvane-cli.exe runs (blocked writing to a pipe nobody reads past its first
# byte), the uninstall removes nothing and fails. _?= runs the uninstaller in place, so its status is
# the uninstall's.
mkfifo "$dir/output"
wine "$install_folder\\kelvane-cli.exe" --text x --repeat 100000000 >"$dir/output" 2>/dev/null &
exec 3<"$dir/output"
head -c 1 <&3 >/dev/null
status=0
wine "$install_folder\\uninstall.exe" /S "_?=$install_folder" || status=$?
exec 3<&-
wait
[ "$status" -ne 0 ] || fail "the uninstall said it succeeded while kelvane-cli.exe was running"
for file in "${installed[@]}"; do
  [ -f "$folder/$file" ] || fail "the uninstall refused while kelvane-cli.exe ran, yet removed $file"
done
reg_value "$uninstall_key" DisplayName >/dev/null || fail "the refused uninstall removed the Uninstall key"
settle

uninstall() {
  wine "$install_folder\\uninstall.exe" /S "$@" || fail "the silent uninstall failed with status $?"
  settle
}
uninstall
[ ! -e "$folder" ] || fail "the uninstall left $install_folder: $(ls -A "$folder")"
[ ! -e "$start_menu_entry" ] || fail "the uninstall left the Start menu entry"
! wine reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstall left the Uninstall key"
[ "$(reg_value "$settings_key\\Settings" Text)" = 'kept <n>' ] || fail "the uninstall did not keep the user's settings"

# Ticking "My Kelvane settings" removes them, and the publisher's key when nothing else is in it.
install
uninstall /REMOVESETTINGS
[ ! -e "$folder" ] || fail "the uninstall with /REMOVESETTINGS left $install_folder"
! wine reg query "$settings_key" >/dev/null 2>&1 || fail "/REMOVESETTINGS left $settings_key"
! wine reg query 'HKCU\Software\Orvalle Software Inc.' >/dev/null 2>&1 || fail "/REMOVESETTINGS left the empty publisher's key"
echo "installed, checked and uninstalled from $install_folder"
