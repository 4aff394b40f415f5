"""What ksatfit.fit takes: array-likes of every kind, missing values, and the
arguments it refuses."""
import numpy as np
import pandas as pd
import pytest

import ksatfit

X = [1, 2, 3, 4, 5, 6, 7, 8]
Y = [3, 5, 4, 9, 12, 11, 18, 21]


@pytest.mark.parametrize("kind", [
    list, tuple,
    lambda v: np.array(v, dtype=np.float32),
    lambda v: np.array(v, dtype=np.float64),
    lambda v: np.array(v, dtype=np.int64),
    lambda v: np.repeat(np.array(v, dtype=np.float64), 3)[::3],  # not contiguous
    lambda v: pd.Series(v, dtype="float64"),
    lambda v: pd.Series(v, dtype="Int64"),
], ids=["list", "tuple", "float32", "float64", "int64", "strided", "Series", "Series Int64"])
@pytest.mark.parametrize("precision", ["double", "single"])
def test_every_kind_of_input_gives_the_same_fit(kind, precision):
    reference = ksatfit.fit(np.array(X, float), np.array(Y, float), precision=precision)
    fit = ksatfit.fit(kind(X), kind(Y), precision=precision)
    assert fit.coefficients.dtype == (np.float32 if precision == "single" else np.float64)
    np.testing.assert_array_equal(fit.coefficients, reference.coefficients)
    assert fit.to_dict() == reference.to_dict()


@pytest.mark.parametrize("missing", [np.nan, None, pd.NA])
def test_missing_values_leave_their_rows_out(missing):
    x = pd.Series(X + [9, 10], dtype=object)
    y = pd.Series(Y + [missing, 30], dtype=object)
    w = [1.0] * 9 + [missing]
    fit = ksatfit.fit(x, y, weights=w)
    assert (fit.n_used, fit.n_missing) == (8, 2)
    np.testing.assert_array_equal(fit.coefficients, ksatfit.fit(X, Y, weights=[1.0] * 8).coefficients)
    nullable = ksatfit.fit(pd.Series(X + [9], dtype="Float64"), pd.array(Y + [pd.NA], dtype="Float64"))
    assert nullable.n_missing == 1


def test_the_curve_evaluates_numbers_and_arrays_of_any_shape():
    fit = ksatfit.fit(X, Y, degree=2)
    b = fit.coefficients
    grid = np.array([[0.5, 2.0], [4.5, 9.0]])
    values = fit(grid)
    assert values.shape == (2, 2)
    np.testing.assert_allclose(values, b[0] + b[1] * grid + b[2] * grid**2, rtol=1e-12)
    assert np.ndim(fit(2.0)) == 0 and fit(2.0) == values[0, 1]
    assert fit([1, 2]).tolist() == fit(np.array([1.0, 2.0])).tolist()


@pytest.mark.parametrize("call, error, words", [
    (lambda: ksatfit.fit(X, Y[:-1]), ValueError, "x has 8 values and y 7"),
    (lambda: ksatfit.fit(X, Y, weights=[1, 2]), ValueError, "weights 2"),
    (lambda: ksatfit.fit(np.ones((4, 2)), Y), ValueError, "one-dimensional"),
    (lambda: ksatfit.fit(3.0, 4.0), ValueError, "one-dimensional"),
    (lambda: ksatfit.fit(X, Y, max_degree=3, select="aic"), ValueError, "select"),
    (lambda: ksatfit.fit(X, Y, select="r2"), ValueError, "max_degree"),
    (lambda: ksatfit.fit(X, Y, degree=2, max_degree=3), ValueError, "not both"),
    (lambda: ksatfit.fit(X, Y, degree=-1), ValueError, "between 0 and 100"),
    (lambda: ksatfit.fit(X, Y, max_degree=3, select="r2", crit=101), ValueError, "percentage"),
    (lambda: ksatfit.fit(X, Y, precision="half"), ValueError, "precision"),
    (lambda: ksatfit.fit(X, Y, degree=2.5), TypeError, ""),
    (lambda: ksatfit.fit(["1", "2", "3"], [1, 2, 3]), TypeError, "not real numbers"),
    (lambda: ksatfit.fit([1, "2", 3], [1, 2, 3]), TypeError, "not real numbers"),
    (lambda: ksatfit.fit(pd.Series([1, 2, "three"]), [1, 2, 3]), TypeError, "'three' is not a number"),
    (lambda: ksatfit.fit("123", [1, 2, 3]), TypeError, "text"),
    (lambda: ksatfit.fit([1j, 2, 3], [1, 2, 3]), TypeError, "complex"),
    (lambda: ksatfit.fit(X, Y).summary(names=("x",)), ValueError, "names"),
])
def test_bad_arguments_are_refused(call, error, words):
    with pytest.raises(error, match=words):
        call()
