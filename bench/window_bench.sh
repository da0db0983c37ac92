#!/usr/bin/env bash
# Times the real Kelvane window with a huge saved job (a 10 MB block with CR LF line breaks and a
# 1,000,000-line value list): from start until the window shows, and from Escape until the program
# has saved the job and ended, with and without an edit to save. Runs on a virtual X display of its own.
#   bench/window_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${2:-5}
app="$build/app/kelvane"
cli="$build/cli/kelvane-cli"
for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || {
    echo "$tool is missing" >&2
    exit 1
  }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvane-window-bench-XXXXXX")
pid=
xvfb=
cleanup() {
  for process in "$pid" "$xvfb"; do
    if [ -n "$process" ] && kill -0 "$process" 2>/dev/null; then
      kill "$process" 2>/dev/null || true
      wait "$process" 2>/dev/null || true
    fi
  done
  rm -rf "$work"
}
trap cleanup EXIT

now() { date +%s.%N; }
# The CPU time a process has used so far, in seconds: on a busy machine, what the run itself cost.
cpu_of() { awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($14 + $15) / hz }' "/proc/$1/stat"; }
elapsed() { python3 -c "print(f'{$2 - $1:.2f}')"; }

Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(cat "$work/display")"
export XDG_CONFIG_HOME="$work/config"

python3 - "$work" <<'PY'
import sys
work = sys.argv[1]
line = "The quick brown fox jumps over the lazy dog, and <NAME> watches it go by.\r\n"
with open(f"{work}/block.txt", "w", newline="") as f:
    f.write(line * (10_000_000 // len(line) + 1))
with open(f"{work}/names.txt", "w", newline="") as f:
    f.writelines(f"Firstname Lastname {i:07d}\r\n" for i in range(1_000_000))
PY
# Saved, then not run: /dev/full refuses the first copy.
"$cli" --save --text-file "$work/block.txt" --var-file "<NAME>=$work/names.txt" --repeat 1000000 \
  --output /dev/full >/dev/null 2>&1 || true
ls -l "$XDG_CONFIG_HOME/Orvalle Software Inc./Kelvane.reg" | awk '{printf "settings file: %.1f MB\n", $5 / 1e6}'

for run in $(seq "$runs"); do
  start=$(now)
  QT_QPA_PLATFORM=xcb "$app" >/dev/null 2>&1 &
  pid=$!
  window=
  until window=$(xdotool search --onlyvisible --name '^Kelvane$' 2>/dev/null | head -1) && [ -n "$window" ]; do
    kill -0 "$pid" 2>/dev/null || { echo "kelvane ended at start-up" >&2; exit 1; }
    sleep 0.01
  done
  shown=$(now)
  shown_cpu=$(cpu_of "$pid")
  xdotool windowfocus --sync "$window"
  # Every other run types a letter into the block first, so that the close has a job to write.
  edited=no
  if ((run % 2 == 0)); then
    xdotool key --clearmodifiers alt+t x
    edited=yes
  fi
  closing=$(now)
  closing_cpu=$(cpu_of "$pid")
  xdotool key --clearmodifiers Escape
  # The CPU time it ends with, read while it is a zombie, before wait reaps it.
  ended_cpu=$closing_cpu
  while kill -0 "$pid" 2>/dev/null && [ "$(awk '{ print $3 }' "/proc/$pid/stat" 2>/dev/null)" != Z ]; do
    ended_cpu=$(cpu_of "$pid" 2>/dev/null || echo "$ended_cpu")
    sleep 0.01
  done
  ended_cpu=$(cpu_of "$pid" 2>/dev/null || echo "$ended_cpu")
  wait "$pid"
  pid=
  ended=$(now)
  echo "run $run: appeared in $(elapsed "$start" "$shown") s (CPU $shown_cpu s)," \
    "closed in $(elapsed "$closing" "$ended") s (CPU $(elapsed "$closing_cpu" "$ended_cpu") s), edited: $edited"
done
