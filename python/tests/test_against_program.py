"""Every figure of ksatfit.fit is the one that `ksatfit fit` computes for the
same numbers, in both precisions, and summary() and to_dict() are its tables
and its JSON."""
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
    y[9] += 0.4  # a reading to flag
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
PRECISIONS = ["double", "single"]


def _fit(case: str, precision: str):
    data, kwargs, options = CASES[case]
    dtype = np.float32 if precision == "single" else np.float64
    columns = {k: v.astype(dtype) for k, v in data.items()}
    fit = ksatfit.fit(columns["x"], columns["y"], weights=columns.get("w"),
                      frequencies=columns.get("f"), precision=precision, **kwargs)
    return fit, columns, ["--precision", precision] + options


def _reals(values, dtype):
    """JSON numbers (None for NaN) read back in the fit's precision."""
    return np.array([np.nan if v is None else v for v in values], dtype=float).astype(dtype)


@pytest.mark.parametrize("precision", PRECISIONS)
@pytest.mark.parametrize("case", CASES)
def test_figures_and_dict_equal_the_programs_json(program, case, precision):
    fit, columns, options = _fit(case, precision)
    x0 = np.array([0.6, 0.9, 1.05, 2.5], dtype=fit.coefficients.dtype)
    expected = program.json(columns, *options, "--level", "90", "--cases",
                            "--predict", ",".join(repr(float(v)) for v in x0))

    got = fit.to_dict(names=program.names(columns), level=0.9, predict=x0, cases=True)
    assert got.pop("file") is None
    expected.pop("file")
    assert got == expected

    # The attributes and methods give the same numbers.
    dtype = fit.coefficients.dtype.type
    n = fit.degree_fitted + 1
    assert (fit.degree_fitted, fit.n_used, fit.n_missing) == (
        expected["degree_fitted"], expected["n_used"], expected["n_missing"])
    for attribute, key in (("coefficients", "estimate"), ("standard_errors", "standard_error"),
                           ("t", "t"), ("p", "p")):
        np.testing.assert_array_equal(getattr(fit, attribute)[:n],
                                      _reals([c[key] for c in expected["coefficients"]], dtype))
    np.testing.assert_array_equal(list(vars(fit.anova).values()),
                                  _reals(expected["anova"].values(), dtype))
    f_tests = lambda rows: [tuple(_reals([t[k] for k in ("df", "ss", "f", "p")], dtype))  # noqa: E731
                            for t in rows]
    assert [tuple(t) for t in fit.sequential] == f_tests(expected["sequential"])
    if expected["lack_of_fit"] is not None:
        assert tuple(fit.pure_error) == tuple(_reals(expected["lack_of_fit"]["pure_error"].values(), dtype))
        assert [tuple(t) for t in fit.lack_of_fit] == f_tests(expected["lack_of_fit"]["tests"])
    assert [m._asdict() for m in fit.warnings] == expected["warnings"]
    np.testing.assert_array_equal(
        fit.covariance, _reals(np.ravel(expected["covariance"]), dtype).reshape(n, n))
    limits = fit.conf_int(level=0.9)
    for j, key in enumerate(("ci_lower", "ci_upper")):
        np.testing.assert_array_equal(limits[:, j], _reals([c[key] for c in expected["coefficients"]], dtype))

    rows = expected["predictions"]
    for interval in ("confidence", "prediction"):
        band = fit.predict(x0, interval=interval, level=0.9)
        for field, key in (("fitted", "fitted"), ("se_fit", "se_fit"),
                           ("lower", f"{interval}_lower"), ("upper", f"{interval}_upper")):
            np.testing.assert_array_equal(getattr(band, field), _reals([r[key] for r in rows], dtype))
    np.testing.assert_array_equal(fit.predict(x0), band.fitted)

    cases = fit.cases()
    assert [c["line"] for c in expected["cases"]] == list(cases["row"] + 1)
    for column in cases.columns:
        values = [c[column] for c in expected["cases"]]
        if cases[column].dtype.kind == "f":
            np.testing.assert_array_equal(cases[column].to_numpy(), _reals(values, dtype), column)
        else:
            assert cases[column].tolist() == values, column


@pytest.mark.parametrize("precision", PRECISIONS)
@pytest.mark.parametrize("case", ["temp3 cubic", "weights and frequencies", "lack-of-fit selection"])
def test_summary_is_the_programs_tables(program, case, precision, capfd):
    fit, columns, options = _fit(case, precision)
    capfd.readouterr()
    texts = [fit.summary(names=program.names(columns)),
             fit.summary(names=program.names(columns), level=0.99, predict=[1.0, 1.5], cases=True)]
    assert capfd.readouterr() == ("", "")  # nothing reaches the process's own output
    for text, extra in zip(texts, ([], ["--level", "99", "--predict", "1,1.5", "--cases"])):
        tables = program.run(columns, *options, *extra)
        file = str(program.directory / f"data{program.runs}.csv")
        assert text == tables.replace(f"ksatfit: {file}", "ksatfit: (arrays)", 1)
