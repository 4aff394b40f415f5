"""predict, conf_int and cases() at their edges (their figures are compared
with the program's in test_against_program.py)."""
import sys

import numpy as np
import pytest

import ksatfit

X = [1, 2, 3, 4, 5, 6, 7, 8]
Y = [3, 5, 4, 9, 12, 11, 18, 21]


def test_intervals_widen_with_the_level_and_keep_x0s_shape():
    fit = ksatfit.fit(X, Y)
    grid = np.array([[1.5, 2.5], [6.0, 9.0]])
    narrow = fit.predict(grid, interval="confidence", level=0.5)
    wide = fit.predict(grid, interval="prediction", level=0.999)
    assert all(a.shape == (2, 2) for a in narrow + wide)
    assert (wide.lower < narrow.lower).all() and (narrow.upper < wide.upper).all()
    np.testing.assert_array_equal(narrow.se_fit, wide.se_fit)
    one = fit.predict(6.0, interval="confidence", level=0.5)
    assert np.ndim(one.lower) == 0 and one.lower == narrow.lower[1, 0]
    limits = fit.conf_int(0.95)
    assert limits.shape == (3, 2) and (limits[:, 0] < fit.coefficients).all()
    assert np.allclose(np.sqrt(np.diag(fit.covariance)), fit.standard_errors, rtol=1e-12)


def test_without_error_degrees_of_freedom_every_limit_is_nan():
    with pytest.warns(ksatfit.FitWarning, match="perfect fit"):
        fit = ksatfit.fit([1, 2, 4], [1, 3, 2])
    band = fit.predict([1.5, 3.0], interval="prediction")
    assert np.isfinite(band.fitted).all() and np.isnan(band.lower).all()
    assert np.isnan(fit.conf_int()).all() and np.isnan(fit.covariance).all()
    cases = fit.cases()
    assert np.isfinite(cases["fitted"]).all() and cases["leverage"].isna().all()


def test_cases_cover_every_input_row_and_need_no_pandas(monkeypatch):
    fit = ksatfit.fit(X + [9], Y + [np.nan], precision="single")
    cases = fit.cases()
    assert list(cases["row"]) == list(range(9)) and cases["used"].tolist() == [True] * 8 + [False]
    assert cases["x"].dtype == np.float32 and np.isnan(cases["fitted"].iloc[8])
    monkeypatch.setitem(sys.modules, "pandas", None)  # import pandas fails
    plain = fit.cases()
    assert isinstance(plain, dict) and list(plain) == list(cases.columns)
    np.testing.assert_array_equal(plain["residual"], cases["residual"].to_numpy())


@pytest.mark.parametrize("call, words", [
    (lambda f: f.conf_int(level=1.0), "level"),
    (lambda f: f.conf_int(level=0), "level"),
    (lambda f: f.predict([1.0], interval="confidence", level=95), "level"),
    (lambda f: f.predict([1.0], interval="band"), "interval"),
    (lambda f: f.predict([1.0], interval="prediction", weight=0), "weight"),
])
def test_bad_levels_intervals_and_weights_are_refused(call, words):
    with pytest.raises(ValueError, match=words):
        call(ksatfit.fit(X, Y))
