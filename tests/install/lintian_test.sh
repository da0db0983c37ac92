#!/usr/bin/env bash
# The release packages as Debian's checker sees them: lintian without errors or warnings, and no
# path of the build machine (the source or build folder) inside anything they install.
#
# lintian_test.sh SOURCE-DIR PACKAGE.deb...
set -euo pipefail
source_dir=$(cd "$1" && pwd)
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

[ $# -gt 0 ] || fail "no packages given"
if ! command -v lintian >/dev/null; then
  fail "lintian is not installed (./scripts/setup installs it)"
fi
# Pedantic and experimental tags are hints, not faults; everything else counts.
if ! lintian --fail-on error,warning --tag-display-limit 0 "$@" >"$work/lintian.log" 2>&1; then
  cat "$work/lintian.log" >&2
  fail "lintian finds errors or warnings"
fi
cat "$work/lintian.log"

for deb in "$@"; do
  root=$work/$(basename "$deb" .deb)
  dpkg-deb --extract "$deb" "$root"
  # A build path in a program shows where it was built and may be looked up on the user's machine.
  if found=$(grep -rlaF -- "$source_dir" "$root"); then
    fail "$(basename "$deb") holds the build folder $source_dir in: ${found//$root/}"
  fi
done

echo "lintian test: $(printf '%s ' "${@##*/}")pass"
