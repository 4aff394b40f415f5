# Sourced by the benchmarks of the ksatfit program: reads their arguments
# [BUILD_DIR] [RUNS] (defaults: build/release, 5) and sets `program`, `runs`
# and `work`, a directory for their files that is removed when they end.
bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build=$(cd "${1:-$bench_dir/../build/release}" && pwd)
runs=${2:-5}
program=$build/ksatfit
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
[[ -x $program ]] || { echo "no $program: build the release preset first" >&2; exit 1; }
