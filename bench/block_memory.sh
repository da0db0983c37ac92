#!/usr/bin/env bash
# Peak memory of kelvane-cli in file mode with one huge block: a block of MEGABYTES (default 250)
# written 3 times to a file, against the target of twice the inputs plus 32 MiB.
#   bench/block_memory.sh [BUILD_DIR] [MEGABYTES]
set -euo pipefail
build=${1:-build}
megabytes=${2:-250}
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
head -c "$((megabytes * 1000000))" /dev/zero | tr '\0' 'a' >"$dir/block.txt"
peak=$(/usr/bin/time -f %M "$build/cli/kelvane-cli" --text-file "$dir/block.txt" --repeat 3 \
  --output "$dir/out.txt" 2>&1 >/dev/null | tail -n 1)
input=$((megabytes * 1000000))
limit=$((2 * input + 32 * 1048576))
echo "block ${megabytes} MB: peak ${peak} KiB = $((peak * 1024 * 100 / input))% of the input; target $((limit / 1024)) KiB"
[ "$((peak * 1024))" -le "$limit" ] && echo "within the target" || echo "OVER the target"
