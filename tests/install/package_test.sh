#!/usr/bin/env bash
# Builds the Debian packages from the build as the README says (cpack -G DEB) and checks what apt
# would see: kelvane-cli on its own, without Qt, and kelvane depending on it; their names and file
# names, version, maintainer, section, the libraries dpkg-shlibdeps found, between them the same
# files as an install, and a kelvane-cli from its package that runs.
#
# package_test.sh BUILD-DIR VERSION
set -euo pipefail
build=$1 version=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB failed"
fi
arch=$(dpkg --print-architecture)
gui=$work/out/kelvane_${version}_$arch.deb
cli=$work/out/kelvane-cli_${version}_$arch.deb
for deb in "$gui" "$cli"; do
  [ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$work/out")"
done
[ "$(find "$work/out" -maxdepth 1 -name '*.deb' | wc -l)" -eq 2 ] || fail "more packages than two: $(ls "$work/out")"

field() { dpkg-deb --field "$1" "$2"; }
depends_on() { tr ',' '\n' <<<"$(field "$1" Depends)" | sed 's/^ *//' | grep -qx -- "$2"; }
for deb in "$gui" "$cli"; do
  name=$(basename "$deb" "_${version}_$arch.deb")
  [ "$(field "$deb" Package)" = "$name" ] || fail "Package: $(field "$deb" Package)"
  [ "$(field "$deb" Version)" = "$version" ] || fail "$name Version: $(field "$deb" Version)"
  [ "$(field "$deb" Maintainer)" = "Orvalle Software Inc. <support@orvalle.example>" ] ||
    fail "$name Maintainer: $(field "$deb" Maintainer)"
  [ "$(field "$deb" Section)" = utils ] || fail "$name Section: $(field "$deb" Section)"
  [ -n "$(field "$deb" Description)" ] || fail "$name has no Description"
  # Each library the program links must be a dependency, or apt installs a program that cannot start.
  for library in libc6 libstdc++6; do
    depends_on "$deb" "$library.*" || fail "$name Depends lacks $library: $(field "$deb" Depends)"
  done
done
for library in libqt6core6 libqt6gui6 libqt6widgets6; do
  depends_on "$gui" "$library.*" || fail "kelvane Depends lacks $library: $(field "$gui" Depends)"
done
depends_on "$gui" "kelvane-cli (= $version)" || fail "kelvane does not depend on this kelvane-cli: $(field "$gui" Depends)"
# The command-line program must install on a server without a desktop.
if field "$cli" Depends | grep -qi qt; then
  fail "kelvane-cli pulls in Qt: $(field "$cli" Depends)"
fi

contents() { dpkg-deb --contents "$1" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort; }
contents "$cli" >"$work/cli-files"
diff -u <(sort "$here/cli_package_files.txt") "$work/cli-files" ||
  fail "kelvane-cli's files differ from tests/install/cli_package_files.txt (+ packaged, - expected)"
{
  contents "$gui"
  cat "$work/cli-files"
} | sort >"$work/packaged"
diff -u <(sort "$here/installed_files.txt") "$work/packaged" ||
  fail "the packages' files differ from tests/install/installed_files.txt (+ packaged, - expected)"

dpkg-deb --extract "$cli" "$work/root"
[ "$("$work/root/usr/bin/kelvane-cli" --version)" = "kelvane-cli $version" ] || fail "the packaged kelvane-cli does not run"

echo "package test: all checks passed"
