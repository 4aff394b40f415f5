"""The library's conditions as Python sees them: FitError leaves the library
as it was, warnings are FitWarning, and nothing is printed."""
import pickle
import warnings

import numpy as np
import pytest

import ksatfit


def test_constant_x_raises_fit_error_and_the_next_fit_is_normal(capfd):
    with pytest.raises(ksatfit.FitError) as raised:
        ksatfit.fit([2, 2, 2, 2], [1, 2, 3, 4])
    error = raised.value
    assert (error.type, error.code, error.routine) == (4, 7, "R2ORP")
    assert "cannot be constant" in str(error)
    assert isinstance(error, Exception)
    copy = pickle.loads(pickle.dumps(error))
    assert (copy.type, copy.code, copy.routine, str(copy)) == (4, 7, "R2ORP", str(error))

    with warnings.catch_warnings():
        warnings.simplefilter("error")
        fit = ksatfit.fit([1, 2, 3, 4], [1, 4, 9, 16.5])
    assert fit.warnings == [] and fit.degree_fitted == 2
    assert capfd.readouterr() == ("", "")


@pytest.mark.parametrize("precision", ["double", "single"])
def test_a_lower_degree_perfect_fit_warns(precision, capfd):
    with pytest.warns(ksatfit.FitWarning) as issued:
        fit = ksatfit.fit([1, 2, 3, 4, 5], [3, 5, 7, 9, 11], degree=3, precision=precision)
    assert fit.degree_fitted == 1 and fit.degree == 3
    assert [str(w.message) for w in issued] == [m.text for m in fit.warnings]
    assert [(m.type, m.code, m.routine) for m in fit.warnings] == [(6, 11, "R3ORP"), (3, 6, "R2ORP")]
    assert "a degree 1 polynomial is fitted" in fit.warnings[1].text
    assert np.isnan(fit.standard_errors[2:]).all()
    assert capfd.readouterr() == ("", "")


def test_help_and_repr_describe_the_fit():
    assert "FitError" in ksatfit.fit.__doc__ and "select" in ksatfit.fit.__doc__
    fit = ksatfit.fit([1, 2, 3, 4], [1, 4, 9, 16.5])
    assert repr(fit) == "<ksatfit.Fit degree 2, 4 rows, R-squared 99.9909 %, double precision>"
