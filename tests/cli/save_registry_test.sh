#!/usr/bin/env bash
# kelvane-cli.exe --save, then the key as `reg query` shows it to a user: the six values, each with
# its type and data. save_registry_test.sh BUILD_DIR KELVANE_CLI_EXE. Runs in the build's own Wine
# prefix (as tests/support/wine_run.sh sets it up), whose Kelvane key it removes before and after.
set -uo pipefail
build=$(cd "$1" && pwd)
cli=$2
run=$(cd "$(dirname "$0")/../support" && pwd)/wine_run.sh
"$run" "$build" "$cli" --version >/dev/null
status=$?
if [ "$status" -ne 0 ]; then
  exit "$status"  # 77: this machine cannot run it, with the reason already printed
fi
export WINEPREFIX=$build/wine WINEDEBUG=-all
key='HKCU\Software\Orvalle Software Inc.\Kelvane'
work=$(mktemp -d)
cleanup() {
  wine reg delete "$key" /f >/dev/null 2>&1
  rm -rf "$work"
}
trap cleanup EXIT
wine reg delete "$key" /f >/dev/null 2>&1

cd "$work" || exit 1
if ! "$run" "$build" "$cli" --save --text 'Dear <n> <m>' --repeat 2 --var '<n>=%%count1%03d%%' \
  --var '<m>=Ada' --output out.txt; then
  echo "FAIL: kelvane-cli --save failed" >&2
  exit 1
fi
if [ "$(cat out.txt)" != "Dear 001 AdaDear 002 Ada" ]; then
  echo "FAIL: the job did not run as saved: $(cat out.txt)" >&2
  exit 1
fi

shown=$(wine reg query "$key\\Settings" | tr -d '\r')
echo "$shown"
fail=0
expect() {  # name, type, data as an extended regular expression
  if ! grep -Eq "^ +$1 +$2 +$3\$" <<<"$shown"; then
    echo "FAIL: no value \"$1\" of type $2 holding /$3/" >&2
    fail=1
  fi
}
expect 'Text' REG_SZ 'Dear <n> <m>'
expect 'Output File' REG_SZ '[A-Z]:\\.*\\out\.txt'
expect 'Append' REG_DWORD '0x0'
expect 'Repeat Count' REG_DWORD '0x2'
# reg shows the elements of a REG_MULTI_SZ joined by \0.
expect 'Value Names' REG_MULTI_SZ '<n>\\0<m>'
expect 'Values' REG_MULTI_SZ '%%count1%03d%%\\0Ada'
if [ "$(grep -Ec '^ +[^ ].* +REG_[A-Z_]+ +' <<<"$shown")" -ne 6 ]; then
  echo "FAIL: kelvane-cli --save wrote other values than the six" >&2
  fail=1
fi
exit "$fail"
