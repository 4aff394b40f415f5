"""Fits from several threads at once give the results of one thread."""
from concurrent.futures import ThreadPoolExecutor

import numpy as np

import ksatfit
from conftest import temp3_pairs


def test_eight_threads_fit_as_one_does():
    x, y = temp3_pairs()
    rng = np.random.default_rng(7)
    jobs = [(x, y + rng.normal(0, 0.01, y.size), precision, degree)
            for precision in ("double", "single") for degree in (1, 2, 3, 4)] * 4
    jobs.append(([5, 5, 5], [1, 2, 3], "double", 2))  # one fails among them

    def run(job):
        xs, ys, precision, degree = job
        try:
            fit = ksatfit.fit(xs, ys, degree=degree, precision=precision)
            return fit.to_dict(), fit.summary()
        except ksatfit.FitError as e:
            return (e.type, e.code)

    alone = [run(job) for job in jobs]
    with ThreadPoolExecutor(max_workers=8) as pool:
        together = list(pool.map(run, jobs))
    assert together == alone
    assert alone[-1] == (4, 7)
