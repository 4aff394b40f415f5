#!/usr/bin/env bash
# Times ksatfit fit --by on a million rows in 10,000 groups of 100 against one
# fit of the same million rows, in both precisions (median of RUNS runs,
# output to /dev/null), and prints the ratios. The groups stand in blocks, as
# a laboratory's table of samples does.
#
#   bench/group_fits.sh [BUILD_DIR] [RUNS]     (defaults: build/release, 5)
set -euo pipefail

source "$(dirname "$0")/program_run.sh"

awk 'BEGIN { srand(7); print "sample,depth,stress";
             for (i = 0; i < 1000000; i++) { g = int(i / 100); x = 0.5 + 0.6 * (i % 100) / 100;
               a = 7.7 + (g % 13) * 0.1;
               printf "S%05d,%.6f,%.6e\n", g, x, a - 24.4 * x + 19.7 * x * x + rand() * 0.1 } }' \
  > "$work/million.csv"
echo "file: $(wc -l < "$work/million.csv") lines, $(wc -c < "$work/million.csv") bytes," \
     "$(cut -d, -f1 "$work/million.csv" | sort -u | wc -l | awk '{print $1 - 1}') groups"

# Median wall-clock and median processor time (user + system) in ms: on a
# machine shared with other work the processor time is the steadier figure.
median_ms() {
  local walls=() cpus=()
  for _ in $(seq 1 "$runs"); do
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" > /dev/null
    read -r wall user system < "$work/time"
    walls+=($(awk -v t="$wall" 'BEGIN { printf "%d", t * 1000 }'))
    cpus+=($(awk -v u="$user" -v s="$system" 'BEGIN { printf "%d", (u + s) * 1000 }'))
  done
  local middle=$(( (runs + 1) / 2 ))
  echo "$(printf '%s\n' "${walls[@]}" | sort -n | sed -n "${middle}p")" \
       "$(printf '%s\n' "${cpus[@]}" | sort -n | sed -n "${middle}p")"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

fit=(fit --x depth --y stress "$work/million.csv")
for precision in double single; do
  read -r one_wall one_cpu <<< "$(median_ms "$program" "${fit[@]}" --precision $precision)"
  read -r table_wall table_cpu <<< "$(median_ms "$program" "${fit[@]}" --precision $precision --by sample)"
  read -r json_wall json_cpu <<< "$(median_ms "$program" "${fit[@]}" --precision $precision --by sample --json)"
  echo "$precision precision                    wall ms  cpu ms   ratio (wall, cpu)"
  printf '  one fit of the million rows     %7d %7d\n' "$one_wall" "$one_cpu"
  printf '  10,000 group fits, table        %7d %7d   %s  %s\n' "$table_wall" "$table_cpu" \
         "$(ratio "$table_wall" "$one_wall")" "$(ratio "$table_cpu" "$one_cpu")"
  printf '  10,000 group fits, JSON Lines   %7d %7d   %s  %s\n' "$json_wall" "$json_cpu" \
         "$(ratio "$json_wall" "$one_wall")" "$(ratio "$json_cpu" "$one_cpu")"
done
