#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR the way the package does (prefix /usr) and checks what
# a user gets: every file in its place and nothing else, the installed kelvane-cli running a job,
# the desktop entry and AppStream metadata passing their validators, the program starting from the
# desktop entry, the icon at every size, the manual page, and Help finding the installed page.
#
# install_test.sh BUILD-DIR SOURCE-DIR VERSION HELP-LOOKUP-PROGRAM
set -euo pipefail
build=$1 source=$2 version=$3 help_lookup=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
export XDG_CONFIG_HOME=$work/config

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if ! DESTDIR=$root cmake --install "$build" --prefix /usr >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  fail "cmake --install failed"
fi

# Exactly the listed files: a missing one breaks the desktop, an extra one is shipped by mistake.
(cd "$root" && find . -type f -o -type l) | sed 's|^\.||' | sort >"$work/installed"
diff -u <(sort "$here/installed_files.txt") "$work/installed" ||
  fail "the installed files differ from tests/install/installed_files.txt (+ installed, - expected)"
for program in kelvane kelvane-cli; do
  [ -x "$root/usr/bin/$program" ] || fail "/usr/bin/$program is not executable"
done

# The installed kelvane-cli, on its own: version, a job's bytes, and the status of a refused job.
cli=$root/usr/bin/kelvane-cli
[ "$("$cli" --version)" = "kelvane-cli $version" ] || fail "kelvane-cli --version says: $("$cli" --version)"
"$cli" --text $'Dear NAME, number %N%.\n' --repeat 3 --var NAME=$'Ada\nBrian\nChloe' --var '%N%=%%count1%03d%%' \
  --output "$work/out.txt" || fail "the installed kelvane-cli failed a job"
printf 'Dear Ada, number 001.\nDear Brian, number 002.\nDear Chloe, number 003.\n' >"$work/expected.txt"
cmp "$work/expected.txt" "$work/out.txt" || fail "the installed kelvane-cli wrote other bytes"
[ "$("$cli" --text x --repeat 0x10 2>&1 >/dev/null)" = "kelvane-cli: Please enter an integer." ] ||
  fail "a refused repeat count does not say so"
status=0
"$cli" --text x --repeat 0x10 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a refused repeat count exits with $status, not 2"

# The validators: any remark from desktop-file-validate counts, appstreamcli fails on warnings.
desktop=$root/usr/share/applications/kelvane.desktop
remarks=$(desktop-file-validate "$desktop" 2>&1) || fail "desktop-file-validate: $remarks"
[ -z "$remarks" ] || fail "desktop-file-validate: $remarks"
appstreamcli validate --no-net "$root/usr/share/metainfo/example.orvalle.Kelvane.metainfo.xml" >"$work/as.log" 2>&1 ||
  fail "appstreamcli validate: $(cat "$work/as.log")"
# The installed tree as a whole: the metadata's launchable must be the installed desktop entry.
appstreamcli validate-tree --no-net "$root" >"$work/tree.log" 2>&1 || fail "appstreamcli validate-tree: $(cat "$work/tree.log")"

# The desktop entry starts the installed program and names the installed icon.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
program=${exec_line%% *}
[ "$program" = kelvane ] || fail "the desktop entry runs '$exec_line', not kelvane"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 16 32 48 64 128 256; do
  png=$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png
  file "$png" | grep -q "PNG image data, $size x $size," || fail "$png is not a $size x $size picture: $(file -b "$png")"
done
file "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" | grep -q SVG || fail "the scalable icon is not an SVG"
# Still running after three seconds means the window came up; a missing library or plugin ends it.
status=0
QT_QPA_PLATFORM=offscreen timeout 3 "$root/usr/bin/$program" >"$work/gui.log" 2>&1 || status=$?
[ "$status" -eq 124 ] || fail "the installed $program ended with status $status: $(cat "$work/gui.log")"

# Help, looked up from the installed program's folder, opens the installed page, which holds both
# dialogs' sections.
page=$root/usr/share/kelvane/kelvane.html
found=$("$help_lookup" "$root/usr/bin") || fail "Help finds no page for a program in /usr/bin"
[ "$found" = "$page" ] || fail "Help opens $found instead of the installed $page"
cmp "$source/res/kelvane.html" "$page" || fail "the installed help page is not res/kelvane.html"
for anchor in 0x20066 0x20081; do
  grep -q "id=\"$anchor\"" "$page" || fail "the help page has no section #$anchor"
done

# The manual page: this version, and every option that --help lists.
man_page=$work/kelvane-cli.1
zcat "$root/usr/share/man/man1/kelvane-cli.1.gz" >"$man_page" || fail "the manual page is not gzip data"
grep -q "^\.TH KELVANE-CLI 1 .*\"Kelvane $version\"" "$man_page" || fail "the manual page is not for version $version"
for option in $("$cli" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
  # As roff writes it (\-\-save), and not merely the start of a longer one (\-\-saved).
  grep -qP -- "\\Q${option//-/\\-}\\E(?![a-z]|\\\\-)" "$man_page" || fail "the manual page does not describe $option"
done
# The window program's manual page, for this version too; both read cleanly.
zcat "$root/usr/share/man/man1/kelvane.1.gz" >"$work/kelvane.1" || fail "kelvane's manual page is not gzip data"
grep -q "^\.TH KELVANE 1 .*\"Kelvane $version\"" "$work/kelvane.1" || fail "kelvane(1) is not for version $version"
if command -v groff >/dev/null; then
  for page in "$man_page" "$work/kelvane.1"; do
    remarks=$(groff -man -ww -z "$page" 2>&1)
    [ -z "$remarks" ] || fail "groff on $(basename "$page"): $remarks"
  done
fi

echo "install test: all checks passed"
