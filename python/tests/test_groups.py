"""fit_groups on pandas and on Dask against ksatfit.fit on each group's rows."""
import os
import pickle
import signal
import subprocess
import sys
import warnings

import numpy as np
import pandas as pd
import pytest

import ksatfit

KEYS = ["lot", "hole"]


def samples(groups, seed=7):
    """Readings of `groups` samples (lot, hole), their rows interleaved as in a
    laboratory's log: depths on a 0.5 grid (replicates for the lack-of-fit
    test), a few missing responses, positive weights and frequencies, some rows
    without a lot, one sample read at two depths (its curve falls to a
    line, with a warning) and one read at a single depth, whose fit fails."""
    rng = np.random.default_rng(seed)
    lots = np.array([f"L{i:03d}" for i in range(max(groups // 10, 1))])
    sizes = rng.integers(8, 30, groups)
    lot = np.repeat(lots[np.arange(groups) % len(lots)], sizes)
    hole = np.repeat(np.arange(groups) // len(lots), sizes)
    depth = rng.integers(1, 20, len(lot)) / 2.0
    ksat = 3.0 + 0.4 * depth - 0.05 * depth**2 + rng.normal(0, 0.2, len(lot))
    ksat[rng.random(len(lot)) < 0.03] = np.nan
    frame = pd.DataFrame({"lot": lot, "hole": hole, "depth": depth, "ksat": ksat,
                          "w": rng.uniform(0.5, 2.0, len(lot)),
                          "n": rng.integers(1, 4, len(lot)).astype(float)})
    frame.loc[(frame.lot == lots[0]) & (frame.hole == 0), "depth"] = 2.5
    two_depths = (frame.lot == lots[1]) & (frame.hole == 0)
    frame.loc[two_depths, "depth"] = np.floor(frame.loc[two_depths, "depth"]) % 2 + 1
    frame.loc[rng.random(len(lot)) < 0.01, "lot"] = None
    return frame.sample(frac=1.0, random_state=seed).reset_index(drop=True)


OPTIONS = [
    dict(degree=3, lack_of_fit=False),
    dict(degree=2, weights="w", frequencies="n", precision="single"),
    dict(max_degree=3, select="lack-of-fit", crit=5, weights="w"),
]


def bits(values, dtype):
    return np.asarray(values, dtype=dtype).view(np.int32 if dtype == np.float32 else np.int64)


def assert_same(result, expected):
    """Equal frames, every float to the last bit."""
    pd.testing.assert_frame_equal(result, expected, check_exact=True)
    for name, column in expected.items():
        if column.dtype.kind == "f":
            np.testing.assert_array_equal(bits(result[name], column.dtype),
                                          bits(column, column.dtype), err_msg=name)


@pytest.mark.parametrize("options", OPTIONS)
def test_each_row_is_the_fit_of_its_groups_rows(options):
    frame = samples(40)
    with warnings.catch_warnings(record=True) as issued:
        warnings.simplefilter("always")
        result = ksatfit.fit_groups(frame, "depth", "ksat", KEYS, **options)
    assert not issued  # the groups' warnings are in the result, not on the console
    real = np.float32 if options.get("precision") == "single" else np.float64
    fit_options = dict(options)
    columns = {k: fit_options.pop(k) for k in ("weights", "frequencies") if k in options}

    assert list(result[KEYS].itertuples(index=False)) == sorted(
        frame.dropna(subset=["lot"]).groupby(KEYS).groups)
    ncoef = options.get("max_degree", options.get("degree")) + 1
    for row in result.itertuples(index=False):
        rows = frame[(frame.lot == row.lot) & (frame.hole == row.hole)]
        args = {k: rows[c] for k, c in columns.items()}
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", ksatfit.FitWarning)
                fit = ksatfit.fit(rows.depth, rows.ksat, **args, **fit_options)
        except ksatfit.FitError as error:
            assert row.error == str(error) and pd.isna(row.n_used) and np.isnan(row.b0)
            continue
        assert row.error is None
        assert (row.n_used, row.n_missing, row.degree_fitted) == (
            fit.n_used, fit.n_missing, fit.degree_fitted)
        got = [getattr(row, f"b{k}") for k in range(ncoef)] + [
            getattr(row, f"se{k}") for k in range(ncoef)] + [
            row.r_squared, row.adjusted_r_squared, row.sd_error, row.f, row.p,
            row.lack_of_fit_p]
        want = [*fit.coefficients, *fit.standard_errors, fit.r_squared,
                fit.anova.adjusted_r_squared, fit.anova.sd_error, fit.anova.f, fit.anova.p,
                fit.lack_of_fit[-1].p if fit.lack_of_fit else np.nan]
        np.testing.assert_array_equal(bits(got, real), bits(want, real))
        cases = fit.cases()
        assert row.n_flagged == (cases.outlier | cases.influential).sum()
        texts = [m.text for m in fit.warnings]
        assert row.warnings == ("; ".join(texts) if texts else None)
    assert result.error.notna().sum() == 1
    assert result.warnings.notna().any()


@pytest.fixture
def dd():
    return pytest.importorskip("dask.dataframe")


def test_dask_gives_a_lazy_frame_whose_rows_are_the_pandas_rows(dd):
    frame = samples(300)
    options = OPTIONS[1]
    expected = ksatfit.fit_groups(frame, "depth", "ksat", KEYS, **options)
    lazy = ksatfit.fit_groups(dd.from_pandas(frame, npartitions=7), "depth", "ksat", KEYS,
                              **options)
    assert isinstance(lazy, dd.DataFrame)
    pd.testing.assert_series_equal(lazy.dtypes, expected.dtypes)
    got = lazy.compute(scheduler="threads")
    assert_same(got.sort_values(KEYS).reset_index(drop=True), expected)


def test_wrong_arguments_are_refused_before_any_fit(dd):
    frame = samples(20)
    with pytest.raises(KeyError, match="'depth2'"):
        ksatfit.fit_groups(frame, "depth2", "ksat", "lot")
    with pytest.raises(TypeError, match="degre"):
        ksatfit.fit_groups(dd.from_pandas(frame, npartitions=2), "depth", "ksat", "lot", degre=2)
    with pytest.raises(TypeError, match="DataFrame"):
        ksatfit.fit_groups(frame.to_dict(), "depth", "ksat", "lot")


# Run in a process of its own, so that a hung worker cannot hold up the tests:
# the test ends the whole process group after CLUSTER_LIMIT seconds.
CLUSTER_SCRIPT = """
import pickle, sys
import dask.dataframe as dd
from distributed import Client, LocalCluster
import ksatfit

if __name__ == "__main__":
    frame, options, npartitions = pickle.load(open(sys.argv[1], "rb"))
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                      dashboard_address=None) as cluster, Client(cluster) as client:
        lazy = ksatfit.fit_groups(dd.from_pandas(frame, npartitions=npartitions),
                                  "depth", "ksat", ["lot", "hole"], **options)
        result = client.compute(lazy).result(timeout=float(sys.argv[3]))
        workers = {w["id"] for w in client.scheduler_info()["workers"].values()}
    pickle.dump((result, len(workers)), open(sys.argv[2], "wb"))
"""
CLUSTER_LIMIT = 45


def test_two_worker_processes_give_the_pandas_rows(tmp_path):
    pytest.importorskip("distributed")
    frame = samples(2000)
    options = OPTIONS[2]
    (tmp_path / "run.py").write_text(CLUSTER_SCRIPT)
    with open(tmp_path / "in.pickle", "wb") as out:
        pickle.dump((frame, options, 6), out)
    package_root = os.path.dirname(os.path.dirname(ksatfit.__file__))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([package_root, *sys.path]))
    child = subprocess.Popen(
        [sys.executable, str(tmp_path / "run.py"), str(tmp_path / "in.pickle"),
         str(tmp_path / "out.pickle"), str(CLUSTER_LIMIT - 15)],
        env=env, cwd=tmp_path, start_new_session=True,
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        log, _ = child.communicate(timeout=CLUSTER_LIMIT)
    except subprocess.TimeoutExpired:
        os.killpg(child.pid, signal.SIGKILL)
        log, _ = child.communicate()
        pytest.fail(f"the cluster did not finish within {CLUSTER_LIMIT} s:\n{log}")
    finally:
        try:
            os.killpg(child.pid, signal.SIGKILL)  # workers the cluster failed to end
        except ProcessLookupError:
            pass
    assert child.returncode == 0, log
    with open(tmp_path / "out.pickle", "rb") as result_file:
        result, workers = pickle.load(result_file)
    assert workers == 2
    expected = ksatfit.fit_groups(frame, "depth", "ksat", KEYS, **options)
    assert len(expected) == 2000
    assert_same(result.sort_values(KEYS).reset_index(drop=True), expected)
