#!/usr/bin/env bash
# Times kelvane-cli on the reference workload side by side with cat writing the same number of
# bytes and with the Python baseline, checks that the outputs match, and prints the ratios.
# Usage: bench/compare.sh [BUILD_DIR] [COPIES]   (defaults: build-release, 1000000)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
copies=${2:-1000000}
if [ ! -x "$build/cli/kelvane-cli" ]; then
  ./scripts/build "$build" -DCMAKE_BUILD_TYPE=Release -DKELVANE_BUILD_UI=OFF -DKELVANE_BUILD_TESTS=OFF >/dev/null
fi
work=$(mktemp -d /tmp/kelvane-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
python3 bench/workload.py "$work" "$copies"
python3 bench/workload.py "$work/double" $((copies * 2))

# Wall seconds (to the millisecond) and peak resident MiB of a command, best of five: the machines
# are shared, and the best run is the one least disturbed. Each run writes a new file (the first
# argument, removed before the run), so no run pays for truncating the last one's output.
measure() {
  local best=999999 rss=0 output=$1
  shift
  for _ in 1 2 3 4 5; do
    rm -f "$output"
    sync
    local start=$EPOCHREALTIME
    /usr/bin/time -f "%M" -o "$work/time" "$@" >/dev/null
    local seconds
    seconds=$(awk "BEGIN {printf \"%.3f\", $EPOCHREALTIME - $start}")
    if awk "BEGIN {exit !($seconds < $best)}"; then
      best=$seconds
      rss=$(($(tail -n 1 "$work/time") / 1024))
    fi
  done
  echo "$best $rss"
}

run() {  # folder copies output
  "$build/cli/kelvane-cli" --text-file "$1/block.txt" --var-file "<NAME>=$1/names.txt" \
    --var "<ID>=%%count1%06d%%" --var "<TEAM>=blue" --repeat "$2" --output "$3"
}
export -f run
export build
read -r kelvane kelvane_rss < <(measure "$work/kelvane.out" bash -c 'run "$@"' run "$work" "$copies" "$work/kelvane.out")
read -r double double_rss < <(measure "$work/double.out" bash -c 'run "$@"' run "$work/double" $((copies * 2)) "$work/double.out")
bytes=$(stat -c %s "$work/kelvane.out")
head -c "$bytes" /dev/urandom >"$work/same-size"
read -r cat_time _ < <(measure "$work/cat.out" sh -c "cat '$work/same-size' > '$work/cat.out'")
# cat copies inside the kernel (copy_file_range); dd moves the bytes through user memory with
# read and write, as any program that makes its output must.
read -r dd_time _ < <(measure "$work/dd.out" dd if="$work/same-size" of="$work/dd.out" bs=1M status=none)
read -r python _ < <(measure "$work/python.out" python3 bench/baseline.py "$work" "$copies" "$work/python.out")
cmp "$work/kelvane.out" "$work/python.out" && same=yes || same=NO

inputs=$(( $(stat -c %s "$work/names.txt") / 1048576 ))
echo "copies:                 $copies ($((bytes / 1000000)) MB of output; inputs $inputs MiB)"
echo "kelvane-cli:            ${kelvane} s, $(awk "BEGIN {printf \"%.0f\", $bytes / 1e6 / $kelvane}") MB/s, peak ${kelvane_rss} MiB"
echo "cat, same size:         ${cat_time} s"
echo "dd bs=1M, same size:    ${dd_time} s"
echo "python baseline:        ${python} s"
echo "twice the copies:       ${double} s, peak ${double_rss} MiB"
echo "same bytes as python:   $same"
echo "time / cat:             $(awk "BEGIN {printf \"%.2f\", $kelvane / $cat_time}")   (target at most 2)"
echo "time / dd:              $(awk "BEGIN {printf \"%.2f\", $kelvane / $dd_time}")"
echo "python / time:          $(awk "BEGIN {printf \"%.1f\", $python / $kelvane}")   (target at least 5)"
echo "twice the copies ratio: $(awk "BEGIN {printf \"%.2f\", $double / $kelvane}")   (target at most 2.2)"
[ "$same" = yes ]
