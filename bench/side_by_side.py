#!/usr/bin/python3
"""Times the cubic curve fit RCURV beside numpy's Polynomial.fit on the same
data and prints a table with the ratios.

    bench/side_by_side.py [BUILD_DIR] [--repetitions R]   (default build/release)

Needs the benchmarks built in BUILD_DIR (bench/rcurv_bench) and numpy for
/usr/bin/python3 (Debian: python3-numpy). For 40, 1e3, 1e5 and 1e6 points it
draws x uniform on [0.1, 500] and y a cubic in x plus noise, as floats, and
writes them where rcurv_bench reads them (--data); numpy gets the same values
as doubles. Each time is the median of R repetitions of wall-clock time per
call, every repetition at least half a second long; the sort of the abscissas
(std::sort of a copy of x) is shown as a yardstick.
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


def rcurv_times(build, data_dir, repetitions):
    """Median wall-clock seconds per call of each benchmark, by name."""
    program = os.path.join(build, "bench", "rcurv_bench")
    if not os.access(program, os.X_OK):
        sys.exit(f"no {program}: build the benchmarks first (cmake --build {build})")
    run = subprocess.run(
        [program, f"--data={data_dir}", "--benchmark_format=json",
         f"--benchmark_repetitions={repetitions}", "--benchmark_report_aggregates_only=true",
         f"--benchmark_min_time={MIN_TIME}"],
        check=True, capture_output=True, text=True)
    times = {}
    for b in json.loads(run.stdout)["benchmarks"]:
        scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b["time_unit"]]
        if b["run_type"] == "iteration":  # the only entry with one repetition
            times.setdefault(b["run_name"], b["real_time"] * scale)
        elif b["aggregate_name"] == "median":
            times[b["run_name"]] = b["real_time"] * scale
    return times


def numpy_time(x, y, repetitions):
    """Median seconds per call of Polynomial.fit(x, y, 3)."""
    timer = timeit.Timer(lambda: Polynomial.fit(x, y, 3))
    number, elapsed = timer.autorange()
    number = max(1, int(number * MIN_TIME / elapsed + 0.5)) if elapsed < MIN_TIME else number
    return statistics.median(t / number for t in timer.repeat(repetitions, number))


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
    args = parser.parse_args()
    build = os.path.abspath(args.build)

    rng = np.random.default_rng(20240607)
    data = {n: make_data(n, rng) for n in SIZES}
    start_load = load()
    with tempfile.TemporaryDirectory() as data_dir:
        for n, (x, y) in data.items():
            x.tofile(os.path.join(data_dir, f"x_{n}.f32"))
            y.tofile(os.path.join(data_dir, f"y_{n}.f32"))
        native = rcurv_times(build, data_dir, args.repetitions)
    fits = {n: numpy_time(x.astype(np.float64), y.astype(np.float64), args.repetitions)
            for n, (x, y) in data.items()}

    print(f"{machine()}; numpy {np.__version__}; load average {start_load} before, "
          f"{load()} after; median of {args.repetitions} repetitions, wall-clock ms per call")
    print()
    print("| points | RCURV cubic | std::sort of x | numpy Polynomial.fit | RCURV / numpy |")
    print("|---:|---:|---:|---:|---:|")
    for n in SIZES:
        fit = native[f"BM_RCURV_cubic/{n}/real_time"]
        sort = native[f"BM_sort_abscissas/{n}/real_time"]
        print(f"| {n:,} | {milliseconds(fit)} | {milliseconds(sort)} | "
              f"{milliseconds(fits[n])} | {fit / fits[n]:.2f} |")


if __name__ == "__main__":
    main()
