"""Every figure of ksatfit.fit is the one that `ksatfit fit` computes for the
same numbers, in both precisions, and summary() is its tables."""
import numpy as np
import pytest

import ksatfit
from conftest import temp3_pairs


def _replicated(seed: int) -> dict:
    """Replicated x, positive weights, whole frequencies and one missing y."""
    rng = np.random.default_rng(seed)
    x = np.repeat(np.linspace(0.2, 3.0, 8), 3)
    y = 1.5 - 0.8 * x + 0.6 * x**2 - 0.05 * x**3 + rng.normal(0, 0.05, x.size)
    y[5] = np.nan
    return {"x": x, "y": y, "w": rng.uniform(0.5, 2.0, x.size),
            "f": rng.integers(1, 4, x.size).astype(float)}


# (data, keyword arguments of ksatfit.fit, the same options of `ksatfit fit`)
CASES = {
    "temp3 cubic": (dict(zip("xy", temp3_pairs())), {"degree": 3}, ["--degree", "3"]),
    "weights and frequencies": (_replicated(1), {"degree": 2}, ["--degree", "2"]),
    "lack-of-fit selection": (_replicated(2), {"max_degree": 4, "select": "lack-of-fit"},
                              ["--max-degree", "4", "--select", "lack-of-fit"]),
    "r2 selection": (dict(zip("xy", temp3_pairs())),
                     {"max_degree": 5, "select": "r2", "crit": 99.5},
                     ["--max-degree", "5", "--select", "r2", "--crit", "99.5"]),
}


def _columns(data: dict, precision: str) -> dict:
    dtype = np.float32 if precision == "single" else np.float64
    return {k: v.astype(dtype) for k, v in data.items()}


def _fit(columns: dict, kwargs: dict, precision: str) -> ksatfit.Fit:
    return ksatfit.fit(columns["x"], columns["y"], weights=columns.get("w"),
                       frequencies=columns.get("f"), precision=precision, **kwargs)


def _names(columns: dict):
    return ("x", "y", "w" if "w" in columns else None, "f" if "f" in columns else None)


@pytest.mark.parametrize("precision", ["double", "single"])
@pytest.mark.parametrize("case", CASES)
def test_figures_and_dict_equal_the_programs_json(program, case, precision):
    data, kwargs, options = CASES[case]
    columns = _columns(data, precision)
    fit = _fit(columns, kwargs, precision)
    expected = program.json(columns, "--precision", precision, *options)

    got = fit.to_dict(names=_names(columns))
    assert got.pop("file") is None
    expected.pop("file")
    assert got == expected

    # The attributes hold the same numbers (the JSON's, read back in the fit's precision).
    dtype = np.float32 if precision == "single" else np.float64
    as_real = lambda v: dtype(np.nan if v is None else v)  # noqa: E731
    n = fit.degree_fitted + 1
    assert fit.degree_fitted == expected["degree_fitted"] and fit.n_used == expected["n_used"]
    assert fit.n_missing == expected["n_missing"]
    for attribute, key in (("coefficients", "estimate"), ("standard_errors", "standard_error"),
                           ("t", "t"), ("p", "p")):
        values = getattr(fit, attribute)
        assert values.dtype == dtype
        np.testing.assert_array_equal(values[:n], [as_real(c[key]) for c in expected["coefficients"]])
    assert {k: v for k, v in vars(fit.anova).items()} == pytest.approx(
        {k: as_real(v) for k, v in expected["anova"].items()}, rel=0, abs=0, nan_ok=True)
    assert [tuple(t) for t in fit.sequential] == [
        tuple(as_real(t[k]) for k in ("df", "ss", "f", "p")) for t in expected["sequential"]]
    if expected["lack_of_fit"] is not None:
        assert tuple(fit.pure_error) == tuple(
            as_real(v) for v in expected["lack_of_fit"]["pure_error"].values())
        assert [tuple(t) for t in fit.lack_of_fit] == [
            tuple(as_real(t[k]) for k in ("df", "ss", "f", "p"))
            for t in expected["lack_of_fit"]["tests"]]
    assert [m._asdict() for m in fit.warnings] == expected["warnings"]


@pytest.mark.parametrize("precision", ["double", "single"])
@pytest.mark.parametrize("case", ["temp3 cubic", "weights and frequencies", "lack-of-fit selection"])
def test_summary_is_the_programs_tables(program, case, precision, capfd):
    data, kwargs, options = CASES[case]
    columns = _columns(data, precision)
    fit = _fit(columns, kwargs, precision)
    capfd.readouterr()
    text = fit.summary(names=_names(columns))
    assert capfd.readouterr() == ("", "")  # nothing reaches the process's own output
    tables = program.run(columns, "--precision", precision, *options)
    file = str(program.directory / f"data{program.runs}.csv")
    assert text == tables.replace(f"ksatfit: {file}", "ksatfit: (arrays)", 1)
