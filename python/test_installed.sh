#!/usr/bin/env bash
# Builds the Python package's wheel, installs it into a fresh virtual
# environment (which sees Debian's numpy, pandas and pytest) and runs the
# package's tests there, from outside the source tree, against the ksatfit
# program of the release build.
#   python/test_installed.sh [WORK_DIR]     (default: build/python)
set -euo pipefail
source="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mkdir -p "${1:-$source/build/python}" && cd "${1:-$source/build/python}" && pwd)"
rm -rf "$work/dist" "$work/venv"
/usr/bin/python3 -m build --no-isolation --wheel --outdir "$work/dist" "$source"
/usr/bin/python3 -m venv --system-site-packages "$work/venv"
"$work/venv/bin/pip" install --no-index --no-deps --quiet "$work"/dist/ksatfit-*.whl
ls -l "$work"/dist/ksatfit-*.whl
cd "$work"
KSATFIT_PROGRAM="${KSATFIT_PROGRAM:-$source/build/release/ksatfit}" KSATFIT_INSTALLED=1 \
  "$work/venv/bin/python" -m pytest -q -p no:cacheprovider "$source/python/tests"
