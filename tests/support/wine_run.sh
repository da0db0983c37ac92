#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine: wine_run.sh BUILD_DIR PROGRAM [ARGS...].
# Every build has its own prefix (BUILD_DIR/wine), set up once, so tests never touch a user's Wine;
# exits 77 (a skipped test) with the reason where this machine cannot run the program.
set -uo pipefail
build=$(realpath -m "$1")  # Wine takes only an absolute prefix
shift
if ! command -v wine >/dev/null; then
  echo "skipped: Wine is not installed (scripts/setup installs it)" >&2
  exit 77
fi
# A 32-bit program needs Wine's 32-bit loader, itself 32-bit code, which some kernels cannot run
# (exec format error); Wine's 64-bit side then quietly runs nothing and reports success.
if [[ $(head -c 4096 "$1" | od -An -tx1 -v | tr -d ' \n') =~ 50450000(4c01) ]]; then
  if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo "skipped: this machine cannot run 32-bit Windows code (no 32-bit Wine, or a kernel without 32-bit support)" >&2
    exit 77
  fi
fi
export WINEPREFIX=$build/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$build"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    wineboot --init >/dev/null 2>&1
    wineserver --wait
  fi
) 9>"$build/wine.lock"
exec wine "$@"
