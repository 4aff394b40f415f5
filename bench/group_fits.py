#!/usr/bin/python3
"""Times ksatfit.fit_groups on one process (pandas) against Dask with worker
processes on this machine, on the same table.

    bench/group_fits.py [--groups G] [--workers W] [--partitions P] [--profile]

The table holds G samples (default 100,000) of 20 to 60 readings each, the
readings of all samples interleaved, as in a laboratory's log. Every group is
fitted with a cubic and the lack-of-fit test. Timed:

  pandas     fit_groups on the frame, in this process;
  threads    fit_groups on the same rows as a Dask frame of P partitions
             (default 2 W) with Dask's threaded scheduler, W threads in this
             process (default 2);
  dask       the same on a LocalCluster of W worker processes with one thread
             each, through .compute(): the shuffle that brings each sample's
             rows together, the fits and the transfer of the result to this
             process. Loading the table into the workers is timed apart (on a
             real cluster the workers read it from shared storage);
  shuffle    the shuffle of the dask run alone (its rows counted, not fitted).

Each run's processor time is shown beside its wall-clock time (on a machine
shared with other work the two part), and the dask run is taken apart from
the workers' task stream: the wall-clock seconds each kind of task computed,
summed over the workers, and those spent moving data between them. The Dask
results are compared with the pandas result (same rows, bit for bit).
--profile adds the cProfile of the pandas run on 5,000 groups, by internal
time. Needs ksatfit importable by /usr/bin/python3 (the package installed, or
PYTHONPATH), with python3-dask and python3-distributed.
"""
import argparse
import collections
import cProfile
import os
import pstats
import sys
import time

import numpy as np
import pandas as pd

import ksatfit

OPTIONS = dict(degree=3, lack_of_fit=True)


def make_table(groups, seed=1):
    rng = np.random.default_rng(seed)
    sizes = rng.integers(20, 61, groups)
    sample = np.repeat(np.arange(groups, dtype=np.int64), sizes)
    depth = rng.integers(1, 40, len(sample)) / 4.0
    ksat = 2.0 + 0.3 * depth - 0.02 * depth**2 + rng.normal(0, 0.3, len(sample))
    frame = pd.DataFrame({"sample": sample, "depth": depth, "ksat": ksat})
    return frame.iloc[rng.permutation(len(frame))].reset_index(drop=True)


def timed(action):
    start = time.perf_counter()
    value = action()
    return value, time.perf_counter() - start


def same_rows(result, expected):
    result = result.sort_values("sample").reset_index(drop=True)
    pd.testing.assert_frame_equal(result, expected, check_exact=True)


class Cpu:
    """Processor seconds of this process (the client and, in a LocalCluster,
    the scheduler) and of the workers' processes, since the last reading."""

    def __init__(self, client=None):
        self.client = client
        self.last = self.now()

    def now(self):
        workers = sum(self.client.run(time.process_time).values()) if self.client else 0.0
        return time.process_time(), workers

    def spent(self):
        now = self.now()
        spent = tuple(b - a for a, b in zip(self.last, now))
        self.last = now
        return spent


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--groups", type=int, default=100_000)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--partitions", type=int, help="of the dask frame (default: 2 a worker)")
    parser.add_argument("--profile", action="store_true")
    args = parser.parse_args()

    import dask.dataframe as dd
    from dask.utils import key_split
    from distributed import Client, LocalCluster, get_task_stream, wait

    partitions = args.partitions or 2 * args.workers
    frame = make_table(args.groups)
    print(f"{args.groups:,} groups, {len(frame):,} rows; {os.cpu_count()} cores, "
          f"load average {os.getloadavg()[0]:.1f}")

    cpu = Cpu()
    expected, pandas_time = timed(lambda: ksatfit.fit_groups(frame, "depth", "ksat", "sample",
                                                             **OPTIONS))
    print(f"pandas   {pandas_time:8.2f} s  ({pandas_time / args.groups * 1e6:.0f} us a group; "
          f"processor {cpu.spent()[0]:.2f} s)")

    rows = dd.from_pandas(frame, npartitions=partitions)
    lazy = ksatfit.fit_groups(rows, "depth", "ksat", "sample", **OPTIONS)
    cpu = Cpu()
    threaded, threads_time = timed(lambda: lazy.compute(scheduler="threads",
                                                        num_workers=args.workers))
    print(f"threads  {threads_time:8.2f} s  ({args.workers} threads; processor "
          f"{cpu.spent()[0]:.2f} s)")
    same_rows(threaded, expected)

    with LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                      host="127.0.0.1", dashboard_address=None) as cluster, \
            Client(cluster) as client:
        rows, load_time = timed(lambda: client.persist(rows))
        _, wait_time = timed(lambda: wait(rows))
        print(f"load     {load_time + wait_time:8.2f} s  (the table into {args.workers} workers)")

        cpu = Cpu(client)
        shuffled = rows.shuffle(on="sample", ignore_index=True)
        _, shuffle_time = timed(lambda: shuffled.map_partitions(len).compute())
        shuffle_cpu = cpu.spent()
        lazy = ksatfit.fit_groups(rows, "depth", "ksat", "sample", **OPTIONS)
        with get_task_stream(client) as stream:
            result, dask_time = timed(lambda: lazy.compute())
        dask_cpu = cpu.spent()
    print(f"shuffle  {shuffle_time:8.2f} s  (processor: workers {shuffle_cpu[1]:.2f} s, "
          f"client and scheduler {shuffle_cpu[0]:.2f} s)")
    print(f"dask     {dask_time:8.2f} s  ({args.workers} worker processes; processor: workers "
          f"{dask_cpu[1]:.2f} s, client and scheduler {dask_cpu[0]:.2f} s)")
    print(f"speed-up {pandas_time / dask_time:8.2f}")

    seconds = collections.Counter()
    for task in stream.data:
        for step in task["startstops"]:
            what = key_split(task["key"]) if step["action"] == "compute" else step["action"]
            seconds[what] += step["stop"] - step["start"]
    busy = sum(seconds.values())
    print(f"the dask run's tasks: {busy:.2f} s on {args.workers} workers in {dask_time:.2f} s "
          f"({busy / (args.workers * dask_time):.0%} of their time)")
    for what, spent in seconds.most_common(8):
        print(f"  {spent:8.2f} s  {what}")

    same_rows(result, expected)
    print("both dask results equal the pandas result")

    if args.profile:
        part = frame[frame["sample"] < 5_000]
        profile = cProfile.Profile()
        profile.runcall(ksatfit.fit_groups, part, "depth", "ksat", "sample", **OPTIONS)
        pstats.Stats(profile, stream=sys.stdout).sort_stats("tottime").print_stats(15)


if __name__ == "__main__":
    main()
