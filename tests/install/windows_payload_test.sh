#!/usr/bin/env bash
# Lists what the Windows downloads of one architecture hold, without running them (a 32-bit installer
# cannot run on every machine): the installer's payload as 7-Zip reads it, and the portable zip.
# Both must hold the two programs, built for that architecture, the help page and the licence; the
# zip its read-me too, all in one folder named after the version and architecture.
#   tests/install/windows_payload_test.sh INSTALLER ZIP x64|x86
set -euo pipefail

source "$(dirname "$0")/../support/checks.sh"
expect_arguments 3 "INSTALLER ZIP x64|x86" "$@"
installer=$1 zip=$2 arch=$3
command -v 7z >/dev/null || skip "7-Zip is missing (scripts/setup installs p7zip-full)"
[ -f "$zip" ] || fail "the portable zip $zip is not built"
[ -f "$installer" ] || skip "the installer is not built: makensis is missing (scripts/setup installs nsis)"
case $arch in
  x64) machine=6486 ;;  # IMAGE_FILE_MACHINE_AMD64, little-endian
  x86) machine=4c01 ;;  # IMAGE_FILE_MACHINE_I386
  *) fail "unknown architecture $arch" ;;
esac
# The file names of an archive's listing, sorted, one a line.
names() {
  7z l -ba -slt "$1" | sed -n 's/^Path = //p' | LC_ALL=C sort
}
# Whether the PE program on standard input is built for $machine. All of it is read, so that the
# program writing it never fails on a closed pipe.
built_for_arch() {
  local header
  header=$(head -c 4096 | od -An -tx1 -v | tr -d ' \n')
  cat >/dev/null
  [[ $header =~ 50450000$machine ]]
}

expected=$(printf '%s\n' kelvane-cli.exe kelvane.exe kelvane.html license.txt uninstall.exe)
listed=$(names "$installer" | grep -v '^\$PLUGINSDIR/') || fail "7-Zip cannot read $installer"
[ "$listed" = "$expected" ] || fail "the installer holds:"$'\n'"$listed"$'\n'"not:"$'\n'"$expected"
for program in kelvane.exe kelvane-cli.exe; do
  7z e -so "$installer" "$program" 2>/dev/null | built_for_arch || fail "the installer's $program is not an $arch program"
done
# The installer itself: the x64 one is a 64-bit program, so it installs without WOW64.
if [ "$arch" = x64 ]; then
  built_for_arch <"$installer" || fail "the x64 installer is not a 64-bit program"
else
  built_for_arch <"$installer" || fail "the x86 installer is not a 32-bit program"
fi

folder=$(basename "$zip" .zip)
[[ $folder == Kelvane-*-"$arch" ]] || fail "the zip $zip is not named Kelvane-VERSION-$arch.zip"
expected=$(printf "$folder%s\n" "" /kelvane-cli.exe /kelvane.exe /kelvane.html /license.txt /readme.txt)
listed=$(names "$zip") || fail "7-Zip cannot read $zip"
[ "$listed" = "$expected" ] || fail "the zip holds:"$'\n'"$listed"$'\n'"not:"$'\n'"$expected"
for program in kelvane.exe kelvane-cli.exe; do
  7z e -so "$zip" "$folder/$program" 2>/dev/null | built_for_arch || fail "the zip's $program is not an $arch program"
done
7z e -so "$zip" "$folder/readme.txt" | grep -q $'kelvane.exe .*\r$' || fail "the zip's readme.txt has no Windows line ends"
echo "the $arch installer and zip hold what they should"
