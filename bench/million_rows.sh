#!/usr/bin/env bash
# Times the ksatfit program on a million-row CSV file (tables to /dev/null,
# and again with the plot), median of RUNS runs.
#
#   bench/million_rows.sh [BUILD_DIR] [RUNS]     (defaults: build/release, 5)
set -euo pipefail

source "$(dirname "$0")/program_run.sh"

awk 'BEGIN { srand(7); print "depth,stress";
             for (i = 0; i < 1000000; i++) { x = 0.5 + 0.6 * i / 1e6;
               printf "%.6f,%.6e\n", x, 7.7 - 24.4 * x + 19.7 * x * x + rand() * 0.1 } }' \
  > "$work/million.csv"
echo "file: $(wc -l < "$work/million.csv") lines, $(wc -c < "$work/million.csv") bytes"

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

echo "ksatfit fit (tables):        $(median_ms "$program" fit "$work/million.csv") ms"
echo "ksatfit fit --json:          $(median_ms "$program" fit --json "$work/million.csv") ms"
echo "ksatfit fit --plot out.svg:  $(median_ms "$program" fit --plot "$work/out.svg" "$work/million.csv") ms"
