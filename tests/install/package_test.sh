#!/usr/bin/env bash
# Builds the Debian package from the build as the README says (cpack -G DEB) and checks what apt
# would see: its name and file name, version, maintainer, section, the libraries dpkg-shlibdeps
# found, the same files as an install, and a kelvane-cli from it that runs.
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
deb=$work/out/kelvane_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb"); cpack made: $(ls "$work/out")"

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = kelvane ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Maintainer)" = "Orvalle Software Inc. <support@orvalle.example>" ] || fail "Maintainer: $(field Maintainer)"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
[ -n "$(field Description)" ] || fail "no Description"
# Each library the programs link must be a dependency, or apt installs a program that cannot start.
depends=$(field Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6; do
  tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep -qxF "$library" || fail "Depends lacks $library: $depends"
done

dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort >"$work/packaged"
diff -u <(sort "$here/installed_files.txt") "$work/packaged" ||
  fail "the package's files differ from tests/install/installed_files.txt (+ packaged, - expected)"

dpkg-deb --extract "$deb" "$work/root"
[ "$("$work/root/usr/bin/kelvane-cli" --version)" = "kelvane-cli $version" ] || fail "the packaged kelvane-cli does not run"

echo "package test: all checks passed"
