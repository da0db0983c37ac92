#!/usr/bin/env bash
# Times kelvane-cli on the reference workload side by side with dd writing zeros and cat copying a
# file of the same size into the same folder, and with the Python baseline; checks that
# kelvane-cli and the baseline wrote the same bytes; prints best and median times and the ratios.
# Usage: bench/compare.sh [BUILD_DIR] [COPIES] [RUNS]   (defaults: build-release, 1000000, 9)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
copies=${2:-1000000}
runs=${3:-9}
if [ ! -x "$build/cli/kelvane-cli" ]; then
  # Release builds warn in places where the checked builds do not; a benchmark need not stop there.
  ./scripts/build "$build" -DCMAKE_BUILD_TYPE=Release -DKELVANE_BUILD_UI=OFF -DKELVANE_BUILD_TESTS=OFF \
    -DKELVANE_WERROR=OFF >/dev/null
fi
cli=$(realpath "$build/cli/kelvane-cli")
work=$(mktemp -d "${BENCH_DIR:-/tmp}/kelvane-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 bench/workload.py "$work" "$copies"
python3 bench/workload.py "$work/double" $((copies * 2))

kelvane() {  # folder copies output
  "$cli" --text-file "$1/block.txt" --var-file "<NAME>=$1/names.txt" --var "<ID>=%%count1%06d%%" \
    --var "<TEAM>=blue" --repeat "$2" --output "$3"
}
"$cli" --version >/dev/null
kelvane "$work" "$copies" "$work/kelvane.out"
bytes=$(stat -c %s "$work/kelvane.out")
# cat's source is written a megabyte at a time, as dd and kelvane-cli write theirs.
dd if=/dev/urandom of="$work/same-size" bs=1M count="$bytes" iflag=count_bytes,fullblock status=none

# One timed run: bash's own clock around the command alone, no timing program in between. Each run
# writes a new file (the last one removed and the disk synced first).
TIMEFORMAT=%R
timed() {  # output command...
  local output=$1
  shift
  rm -f "$output"
  sync
  { time "$@" >/dev/null; } 2>&1
}
declare -A times
names=(empty kelvane double cat dd)
for ((run = 0; run < runs; run++)); do
  # Interleaved, so that every command meets the same load.
  times[empty]+="$(timed "$work/none" /bin/true) "
  times[kelvane]+="$(timed "$work/kelvane.out" kelvane "$work" "$copies" "$work/kelvane.out") "
  times[double]+="$(timed "$work/double.out" kelvane "$work/double" $((copies * 2)) "$work/double.out") "
  times[cat]+="$(timed "$work/cat.out" sh -c 'exec cat "$0" >"$1"' "$work/same-size" "$work/cat.out") "
  times[dd]+="$(timed "$work/dd.out" dd if=/dev/zero of="$work/dd.out" bs=1M count="$bytes" iflag=count_bytes \
    status=none) "
done
# The shell's own cost of starting a program, measured with /bin/true, is taken off every time.
best() { tr ' ' '\n' <<<"$1" | grep . | sort -n | head -n 1; }
median() { tr ' ' '\n' <<<"$1" | grep . | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }
overhead=$(median "${times[empty]}")
declare -A b m
for name in "${names[@]}"; do
  b[$name]=$(awk "BEGIN {printf \"%.3f\", $(best "${times[$name]}") - $overhead}")
  m[$name]=$(awk "BEGIN {printf \"%.3f\", $(median "${times[$name]}") - $overhead}")
done
/usr/bin/time -f %M -o "$work/peak" "$cli" --text-file "$work/block.txt" --var-file "<NAME>=$work/names.txt" \
  --var "<ID>=%%count1%06d%%" --var "<TEAM>=blue" --repeat "$copies" --output "$work/kelvane.out"
peak=$(tail -n 1 "$work/peak")
python=$( { time python3 bench/baseline.py "$work" "$copies" "$work/python.out"; } 2>&1)
cmp -s "$work/kelvane.out" "$work/python.out" && same=yes || same=NO

ratio() { awk "BEGIN {printf \"%.2f\", $1 / $2}"; }
echo "load:                   $(uptime | sed 's/.*load average: //') (1, 5, 15 min)"
echo "copies:                 $copies ($((bytes / 1000000)) MB of output; list $(($(stat -c %s "$work/names.txt") / 1000000)) MB)"
echo "runs:                   $runs interleaved; best / median, less ${overhead} s (the shell starting /bin/true)"
echo "kelvane-cli:            ${b[kelvane]} / ${m[kelvane]} s ($(awk "BEGIN {printf \"%.0f\", $bytes / 1e6 / ${b[kelvane]}}") MB/s at best), peak $((peak / 1024)) MiB"
echo "dd if=/dev/zero bs=1M:  ${b[dd]} / ${m[dd]} s"
echo "cat, same size:         ${b[cat]} / ${m[cat]} s"
echo "twice the copies:       ${b[double]} / ${m[double]} s"
echo "python baseline:        ${python} s (one run)"
echo "same bytes as python:   $same"
echo "kelvane / dd:           $(ratio "${b[kelvane]}" "${b[dd]}") / $(ratio "${m[kelvane]}" "${m[dd]}")   (target at most 1.5)"
echo "kelvane / cat:          $(ratio "${b[kelvane]}" "${b[cat]}") / $(ratio "${m[kelvane]}" "${m[cat]}")"
echo "twice / once:           $(ratio "${b[double]}" "${b[kelvane]}") / $(ratio "${m[double]}" "${m[kelvane]}")"
echo "python / kelvane:       $(ratio "$python" "${m[kelvane]}")   (median)"
[ "$same" = yes ]
