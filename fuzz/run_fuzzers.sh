#!/usr/bin/env bash
# Bounded fuzzing: each target first replays its seed corpus (the regression
# inputs among them), then fuzzes for a fixed time. Any crash, sanitizer
# report, unexpected stop of the library (a process exit), timeout or
# out-of-memory fails the run; the input that did it is kept under
# BUILD_DIR/fuzz/findings and shown as hex.
# Usage: run_fuzzers.sh BUILD_DIR [SECONDS_PER_TARGET]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
findings="$build/fuzz/findings"

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

# Whole scratch files need room for lines longer than the 4096 characters a
# read keeps; single fields and data sets are small.
max_len() {
  case $1 in
    record_reader_fuzz | column_file_fuzz) echo 16384 ;;
    *) echo 4096 ;;
  esac
}

passed=0
failed=0
for target in field_parser_fuzz record_reader_fuzz curve_fit_fuzz column_file_fuzz; do
  binary="$build/fuzz/$target"
  [ -x "$binary" ] || { echo "missing fuzz target $binary"; exit 1; }
  corpus="$work/$target"
  mkdir -p "$corpus"
  cp "$here/corpus/$target"/* "$corpus"/
  log="$work/$target.log"
  echo "== $target: ${seconds}s from $(ls "$corpus" | wc -l) seeds"
  # The outer timeout only guards against the fuzzer itself hanging.
  if (cd "$work" && timeout $((seconds + 120)) "$binary" "$corpus" \
        -max_total_time="$seconds" -max_len="$(max_len "$target")" -timeout=10 \
        -rss_limit_mb=2048 -artifact_prefix="$work/$target-" -print_final_stats=1 \
        >"$log" 2>&1); then
    grep -E '^(Done|stat::number_of_executed_units|stat::peak_rss_mb)' "$log" || true
    passed=$((passed + 1))
  else
    echo "FAILED: $target"
    tail -n 60 "$log"
    mkdir -p "$findings"
    for artifact in "$work/$target"-*; do
      [ -e "$artifact" ] || continue
      cp "$artifact" "$findings/"
      echo "input kept as $findings/$(basename "$artifact"):"
      od -An -tx1 "$artifact" | head -n 40
    done
    failed=$((failed + 1))
  fi
done
echo "fuzz targets without findings: $passed of $((passed + failed))"
[ "$failed" -eq 0 ]
