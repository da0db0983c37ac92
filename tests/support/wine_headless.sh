#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine with windows that show nowhere (Wine's null graphics
# driver): dialogs and message boxes are created and take messages without any X server.
# wine_headless.sh BUILD_DIR PROGRAM [ARGS...]. The prefix, BUILD_DIR/headless/wine, is apart from
# the build's own, so what its tests register there (URL handlers) reaches no other test.
set -uo pipefail
here=$(dirname "$(realpath "$0")")
dir=$(realpath -m "$1")/headless
shift
mkdir -p "$dir"
(
  flock 9
  if [ ! -f "$dir/graphics-null" ]; then
    "$here/wine_run.sh" "$dir" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || exit $?
    WINEPREFIX=$dir/wine wineserver --wait
    touch "$dir/graphics-null"
  fi
) 9>"$dir/headless.lock" || exit $?
exec "$here/wine_run.sh" "$dir" "$@"
