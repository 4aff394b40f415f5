#!/usr/bin/env bash
# Times ksatfit fit --by on a million rows in 10,000 groups of 100 against one
# fit of the same million rows (median of RUNS runs, output to /dev/null),
# and prints the ratio. The groups stand in blocks, as a laboratory's table of
# samples does.
#
#   bench/group_fits.sh [BUILD_DIR] [RUNS]     (defaults: build/release, 5)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-$here/../build/release}" && pwd)
runs=${2:-5}
program=$build/ksatfit
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[[ -x $program ]] || { echo "no $program: build the release preset first" >&2; exit 1; }

awk 'BEGIN { srand(7); print "sample,depth,stress";
             for (i = 0; i < 1000000; i++) { g = int(i / 100); x = 0.5 + 0.6 * (i % 100) / 100;
               a = 7.7 + (g % 13) * 0.1;
               printf "S%05d,%.6f,%.6e\n", g, x, a - 24.4 * x + 19.7 * x * x + rand() * 0.1 } }' \
  > "$work/million.csv"
echo "file: $(wc -l < "$work/million.csv") lines, $(wc -c < "$work/million.csv") bytes," \
     "$(cut -d, -f1 "$work/million.csv" | sort -u | wc -l | awk '{print $1 - 1}') groups"

median_ms() {
  local times=()
  for _ in $(seq 1 "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000000 )))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

fit=(fit --x depth --y stress "$work/million.csv")
one=$(median_ms "$program" "${fit[@]}")
tables=$(median_ms "$program" "${fit[@]}" --by sample)
json=$(median_ms "$program" "${fit[@]}" --by sample --json)
echo "one fit of the million rows (tables):  $one ms"
echo "10,000 group fits (summary table):     $tables ms   ratio $(awk -v a="$tables" -v b="$one" 'BEGIN { printf "%.2f", a / b }')"
echo "10,000 group fits (JSON Lines):        $json ms   ratio $(awk -v a="$json" -v b="$one" 'BEGIN { printf "%.2f", a / b }')"
