#!/usr/bin/env bash
# Times whole runs of ksatcubic on a 40-line scratch file beside a trivial
# program that only reads and rewrites the same file, and prints the median
# wall time of each and their ratio.
#
#   bench/whole_run.sh [BUILD_DIR] [RUNS]     (defaults: build/release, 200)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/release}" && pwd)
runs=${2:-200}
program=$build/ksatcubic
trivial=$build/bench/trivial_rewrite
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

[[ -x $program ]] || { echo "no $program: build the release preset first" >&2; exit 1; }
if [[ ! -x $trivial ]]; then
  trivial=$work/trivial_rewrite
  c++ -std=c++20 -O2 -o "$trivial" "$here/trivial_rewrite.cpp"
fi

# 40 pair records: the 30 of the bundled sample and 10 more beyond them.
cp "$here/../examples/temp3" "$work/original"
for i in $(seq 1 10); do
  printf ' %8.2f %12.5E\r\n' "1.1$i" "5.$i" >> "$work/original"
done

# Median wall time in microseconds of RUNS runs of $1, each on a fresh copy.
median_us() {
  local times=() start end
  for ((i = 0; i < runs; i++)); do
    cp "$work/original" "$work/temp3"
    start=$EPOCHREALTIME
    (cd "$work" && "$1" > /dev/null)
    end=$EPOCHREALTIME
    times+=($(( (${end/./} - ${start/./}) )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

cubic=$(median_us "$program")
base=$(median_us "$trivial")
echo "ksatcubic on 40 lines:  median ${cubic} us over $runs runs"
echo "trivial read+rewrite:   median ${base} us over $runs runs"
awk -v a="$cubic" -v b="$base" 'BEGIN { printf "ratio: %.2f\n", a / b }'
