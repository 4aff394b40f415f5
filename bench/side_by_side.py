#!/usr/bin/python3
"""Times the cubic curve fit RCURV beside numpy's Polynomial.fit on the same
data and prints a table with the ratios.

    bench/side_by_side.py [BUILD_DIR] [--repetitions R] [--best]

BUILD_DIR (default build/release) must hold the benchmarks (bench/rcurv_bench);
numpy must be installed for /usr/bin/python3 (Debian: python3-numpy). For 40,
1e3, 1e5 and 1e6 points it draws x uniform on [0.1, 500] and y a cubic in x
plus noise, as floats, and writes them where rcurv_bench reads them (--data);
numpy gets the same values as doubles. Size by size, RCURV is timed and then
numpy, so that both meet the same conditions. Each time is the median (with
--best the least) of R repetitions of the wall-clock time per call, every
repetition at least half a second long. The sort of the abscissas (std::sort
of a copy of x) is shown as a yardstick.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys
import tempfile
import timeit

try:
    import numpy as np
    from numpy.polynomial import Polynomial
except ImportError:
    sys.exit("numpy is missing: run this with /usr/bin/python3 and install python3-numpy")

SIZES = (40, 1_000, 100_000, 1_000_000)
MIN_TIME = 0.5  # seconds per repetition


def make_data(n, rng):
    x = rng.uniform(0.1, 500.0, n).astype(np.float32)
    t = x / np.float32(500.0)
    trend = ((np.float32(30.0) * t - np.float32(45.0)) * t + np.float32(20.0)) * t
    noise = rng.normal(0.0, 5.0, n).astype(np.float32)
    y = (trend + np.float32(100.0) + noise).astype(np.float32)
    return x, y


def native_times(program, data_dir, n, repetitions):
    """Wall-clock seconds per call of each repetition of the benchmarks at n
    points, by benchmark name."""
    run = subprocess.run(
        [program, f"--data={data_dir}", f"--benchmark_filter=/{n}/", "--benchmark_format=json",
         f"--benchmark_repetitions={repetitions}", f"--benchmark_min_time={MIN_TIME}"],
        check=True, capture_output=True, text=True)
    times = {}
    for b in json.loads(run.stdout)["benchmarks"]:
        if b["run_type"] == "iteration":
            scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
            times.setdefault(b["run_name"].split("/")[0], []).append(b["real_time"] * scale)
    return times


def numpy_times(x, y, repetitions):
    """Seconds per call of Polynomial.fit(x, y, 3), one per repetition."""
    timer = timeit.Timer(lambda: Polynomial.fit(x, y, 3))
    number, elapsed = timer.autorange()
    if elapsed < MIN_TIME:
        number = max(1, int(number * MIN_TIME / elapsed + 0.5))
    return [t / number for t in timer.repeat(repetitions, number)]


def machine():
    model = "unknown CPU"
    with open("/proc/cpuinfo") as cpuinfo:
        for line in cpuinfo:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return f"{model}, {os.cpu_count()} cores"


def load():
    return " ".join(f"{v:.2f}" for v in os.getloadavg())


def milliseconds(seconds):
    """Three significant digits, never in exponent form."""
    return np.format_float_positional(seconds * 1e3, precision=3, unique=False,
                                      fractional=False, trim="-")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default=os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "build", "release"))
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--best", action="store_true",
                        help="report the least time of the repetitions, not the median")
    args = parser.parse_args()
    program = os.path.join(os.path.abspath(args.build), "bench", "rcurv_bench")
    if not os.access(program, os.X_OK):
        sys.exit(f"no {program}: build the benchmarks first (cmake --build {args.build})")
    statistic = min if args.best else statistics.median

    rng = np.random.default_rng(20240607)
    data = {n: make_data(n, rng) for n in SIZES}
    start_load = load()
    rows = []
    with tempfile.TemporaryDirectory() as data_dir:
        for n, (x, y) in data.items():
            x.tofile(os.path.join(data_dir, f"x_{n}.f32"))
            y.tofile(os.path.join(data_dir, f"y_{n}.f32"))
        for n, (x, y) in data.items():
            native = native_times(program, data_dir, n, args.repetitions)
            fit = statistic(native["BM_RCURV_cubic"])
            sort = statistic(native["BM_sort_abscissas"])
            numpy = statistic(numpy_times(x.astype(np.float64), y.astype(np.float64),
                                          args.repetitions))
            rows.append((n, fit, sort, numpy))

    print(f"{machine()}; numpy {np.__version__}; load average {start_load} before, "
          f"{load()} after; {'least' if args.best else 'median'} of {args.repetitions} "
          f"repetitions, wall-clock ms per call")
    print()
    print("| points | RCURV cubic | std::sort of x | numpy Polynomial.fit | RCURV / numpy |")
    print("|---:|---:|---:|---:|---:|")
    for n, fit, sort, numpy in rows:
        print(f"| {n:,} | {milliseconds(fit)} | {milliseconds(sort)} | {milliseconds(numpy)} | "
              f"{fit / numpy:.2f} |")


if __name__ == "__main__":
    main()
