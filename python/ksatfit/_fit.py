"""ksatfit.fit and the Fit it returns."""
from __future__ import annotations

import json
import numbers
import operator
import sys
import threading
import warnings
from contextlib import contextmanager
from dataclasses import dataclass
from typing import Any, Dict, List, NamedTuple, Optional, Sequence, Tuple, Union

import numpy as np

from . import _ksatfit
from ._messages import FitMessage, FitWarning

ArrayLike = Any  # a list, tuple, numpy array or pandas Series of real numbers

# select -> the library's degree selection and the tool's default criterion (percent).
_SELECTIONS = {None: (0, 0.0), "r2": (1, 99.0), "lack-of-fit": (2, 5.0)}
_PRECISIONS = {
    "double": (np.float64, _ksatfit.fit_double),
    "single": (np.float32, _ksatfit.fit_single),
}
_HIGHEST_DEGREE = 100  # as the command-line tool allows


class FTest(NamedTuple):
    """One row of an F test: degrees of freedom, sum of squares, F statistic
    and the probability of a larger F."""

    df: float
    ss: float
    f: float
    p: float


class PureError(NamedTuple):
    """The pure error of replicated x: degrees of freedom and sum of squares."""

    df: float
    ss: float


@dataclass(frozen=True)
class Anova:
    """The analysis of variance. R-squared, its adjusted form and the
    coefficient of variation are in percent; NaN where a figure cannot be
    formed."""

    df_regression: float
    df_error: float
    df_total: float
    ss_regression: float
    ss_error: float
    ss_total: float
    ms_regression: float
    ms_error: float
    f: float
    p: float
    r_squared: float
    adjusted_r_squared: float
    sd_error: float
    mean_y: float
    cv: float


def _missing(value: Any) -> bool:
    """None and pandas.NA (pandas need not be imported for the test)."""
    if value is None:
        return True
    pandas = sys.modules.get("pandas")
    return pandas is not None and value is pandas.NA


def _number(value: Any, name: str) -> float:
    if _missing(value):
        return float("nan")
    if isinstance(value, numbers.Real):
        return float(value)
    raise TypeError(f"{name}: {value!r} is not a number")


def _values(data: ArrayLike, name: str, dtype: type, one_dimensional: bool = True) -> np.ndarray:
    """A fresh array of `dtype` from an array-like of numbers, with None and
    pandas.NA as NaN."""
    if isinstance(data, (str, bytes)):
        raise TypeError(f"{name}: text where numbers belong")
    array = np.asarray(data)
    if one_dimensional and array.ndim != 1:
        raise ValueError(f"{name} must be one-dimensional, not {array.ndim}-dimensional")
    kind = array.dtype.kind
    if kind in "fiub":
        return np.array(array, dtype=dtype)
    if kind == "O":
        flat = [_number(v, name) for v in array.ravel()]
        return np.array(flat, dtype=dtype).reshape(array.shape)
    raise TypeError(f"{name}: values of type {array.dtype} are not real numbers")


def _percent(level: float) -> float:
    """A level as the tool's percentage: the shortest that gives the level back."""
    level = _level(level)
    percent = float(f"{level * 100:.12g}")
    return percent if percent / 100 == level else level * 100


def _series_name(data: ArrayLike) -> Optional[str]:
    name = getattr(data, "name", None)
    return name if isinstance(name, str) else None


def _level(level: float) -> float:
    if not 0 < level < 1:
        raise ValueError(f"level must lie between 0 and 1 (0.95 for 95 %), not {level!r}")
    return float(level)


class Prediction(NamedTuple):
    """Fitted values at new x, their standard errors and the interval's limits."""

    fitted: np.ndarray
    se_fit: np.ndarray
    lower: np.ndarray
    upper: np.ndarray


class Fit:
    """A least-squares polynomial fitted by :func:`ksatfit.fit`.

    Arrays are in the fit's precision (float64, or float32 for
    ``precision="single"``), intercept first, with ``degree + 1`` values: the
    powers above ``degree_fitted`` have coefficient 0 and NaN statistics.
    Call the fit to evaluate the curve: ``fit(0.5)``, ``fit(array)``.
    """

    degree: int
    degree_fitted: int
    coefficients: np.ndarray
    standard_errors: np.ndarray
    t: np.ndarray
    p: np.ndarray
    r_squared: float
    n_used: int
    n_missing: int
    anova: Anova
    sequential: List[FTest]
    lack_of_fit: List[FTest]
    pure_error: Optional[PureError]
    covariance: np.ndarray
    warnings: List[FitMessage]
    precision: str

    def __init__(self, core: Any, precision: str, data: Dict[str, Any],
                 names: Tuple[Optional[str], ...], with_cases: bool = False) -> None:
        dtype = _PRECISIONS[precision][0]
        figures = core.figures()
        self._core = core
        self._dtype = dtype
        self._data = data
        self._names = names
        self.precision = precision
        self.degree = figures["degree"]
        self.degree_fitted = figures["degree_fitted"]
        for array in ("coefficients", "standard_errors", "t", "p"):
            setattr(self, array, figures[array])
        self.r_squared = dtype(figures["r_squared"])
        self.n_used = figures["n_used"]
        self.n_missing = figures["n_missing"]
        self.anova = Anova(*(dtype(v) for v in figures["anova"]))
        self.sequential = [FTest(*(dtype(v) for v in row)) for row in figures["sequential"]]
        self.lack_of_fit = [FTest(*(dtype(v) for v in row)) for row in figures["lack_of_fit"]]
        pure = figures["pure_error"]
        self.pure_error = None if pure is None else PureError(*(dtype(v) for v in pure))
        self.covariance = figures["covariance"]
        self.warnings = [FitMessage(*w) for w in figures["warnings"]]
        self._fit_with_cases: Any = core if with_cases else None

    def __call__(self, x0: ArrayLike) -> Any:
        """The fitted curve at x0 (a number or an array of any shape)."""
        x = _values(x0, "x0", self._dtype, one_dimensional=False)
        values = self._core.evaluate(x.ravel()).reshape(x.shape)
        return values[()] if values.ndim == 0 else values

    def predict(self, x0: ArrayLike, interval: Optional[str] = None, level: float = 0.95,
                weight: float = 1.0) -> Any:
        """The fitted values at x0 (a number or an array of any shape), or
        with ``interval="confidence"`` (of the fitted mean) or
        ``"prediction"`` (of one new reading of the given weight) a
        Prediction ``(fitted, se_fit, lower, upper)`` of arrays of x0's
        shape. ``level`` is a fraction (0.95). The limits are NaN where the
        fit has no error degrees of freedom. The fitted values are formed in
        extended precision and rounded once, so they may differ from
        ``fit(x0)`` in the last bit.
        """
        if interval not in (None, "confidence", "prediction"):
            raise ValueError(f'interval must be None, "confidence" or "prediction", not {interval!r}')
        x = _values(x0, "x0", self._dtype, one_dimensional=False)
        if not weight > 0:
            raise ValueError(f"the weight of a predicted reading must be above 0, not {weight!r}")
        columns = self._core.predict(x.ravel(), _level(level), float(weight))
        lower, upper = columns[4:6] if interval == "prediction" else columns[2:4]
        shaped = [c.reshape(x.shape) for c in (columns[0], columns[1], lower, upper)]
        values = [c[()] if c.ndim == 0 else c for c in shaped]
        return values[0] if interval is None else Prediction(*values)

    def conf_int(self, level: float = 0.95) -> np.ndarray:
        """The confidence intervals of the fitted coefficients: one row
        (lower, upper) for each power 0..degree_fitted."""
        return self._core.confidence_intervals(_level(level))

    def cases(self) -> Any:
        """The statistics of every input row, in input order: row (0-based),
        used, x, y, weight, frequency, fitted, residual, leverage,
        standardized_residual, studentized_residual, cooks_distance, outlier,
        influential. A row left out for a missing value has used False and
        NaN figures. A pandas DataFrame when pandas can be imported, else a
        dict of arrays.
        """
        cases = self._with_cases().cases()
        try:
            import pandas
        except ImportError:
            return cases
        return pandas.DataFrame(cases)

    def summary(self, names: Optional[Sequence[Optional[str]]] = None, *, level: float = 0.95,
                predict: Optional[ArrayLike] = None, cases: bool = False) -> str:
        """The tables that ``ksatfit fit`` prints for the same data and options.

        ``names`` = ``(x, y)`` or ``(x, y, weight, frequency)`` names the
        columns in the heading; by default the names of pandas Series given
        to the fit, else ``x`` and ``y``. ``level`` (a fraction), ``predict``
        (x values) and ``cases`` are the tool's ``--level``, ``--predict``
        and ``--cases``. Rows are numbered from 1, as the lines of a file
        without a header.
        """
        given = self._given_names(names)
        shown = [given[0] or "x", given[1] or "y"]
        for name, column, default in ((given[2], "weights", "weight"),
                                      (given[3], "frequencies", "frequency")):
            shown.append("" if self._data[column] is None else name or default)
        return self._report("tables", "(arrays)", shown, level, predict, cases)

    def to_dict(self, names: Optional[Sequence[Optional[str]]] = None, *, level: float = 0.95,
                predict: Optional[ArrayLike] = None, cases: bool = False) -> Dict[str, Any]:
        """The object that ``ksatfit fit --json`` writes for the same data and
        options, with the same numbers: its file and column names are None
        unless given as ``names`` = ``(x, y)`` or ``(x, y, weight, frequency)``.
        ``level``, ``predict`` and ``cases`` as for summary(). NaN is None.
        """
        given = self._given_names(names) if names is not None else (None,) * 4
        shown = [given[0] or "x", given[1] or "y", given[2] or "", given[3] or ""]
        result = json.loads(self._report("json", "", shown, level, predict, cases))
        result["file"] = None
        for key, name in zip(("x", "y", "weight", "frequency"), given):
            result[key] = name
        return result

    def _with_cases(self) -> Any:
        """The same fit made again from the data kept, with the statistics of
        the rows, which the report and cases() need."""
        if self._fit_with_cases is None:
            d = self._data
            self._fit_with_cases = _PRECISIONS[self.precision][1](
                d["x"], d["y"], d["weights"], d["frequencies"], d["max_degree"], d["selection"],
                d["crit"], d["lack_of_fit"], case_statistics=True)
        return self._fit_with_cases

    def _report(self, kind: str, file: str, names: List[str], level: float,
                predict: Optional[ArrayLike], cases: bool) -> str:
        at = None if predict is None else _values(predict, "predict", self._dtype,
                                                  one_dimensional=False).ravel()
        return getattr(self._with_cases(), kind)(file, names, self._data["select"] or "",
                                                  self._data["crit"], _percent(level), at,
                                                  bool(cases))

    def __repr__(self) -> str:
        return (f"<ksatfit.Fit degree {self.degree_fitted}"
                + ("" if self.degree_fitted == self.degree else f" (asked {self.degree})")
                + f", {self.n_used} rows, R-squared {float(self.r_squared):.6g} %,"
                f" {self.precision} precision>")

    def _given_names(self, names: Optional[Sequence[Optional[str]]]) -> Tuple[Optional[str], ...]:
        if names is None:
            return self._names
        names = tuple(names)
        if len(names) not in (2, 4) or not all(n is None or isinstance(n, str) for n in names):
            raise ValueError("names must be (x, y) or (x, y, weight, frequency), strings or None")
        return names + (None,) * (4 - len(names))


def fit(x: ArrayLike, y: ArrayLike, degree: Optional[int] = None, *,
        max_degree: Optional[int] = None, select: Optional[str] = None,
        crit: Optional[float] = None, weights: Optional[ArrayLike] = None,
        frequencies: Optional[ArrayLike] = None, lack_of_fit: bool = True,
        precision: str = "double") -> Fit:
    """Fits a least-squares polynomial of y on x through the library's
    orthogonal-polynomial regression.

    x, y, weights, frequencies: one-dimensional array-likes of equal length
        (lists, tuples, numpy arrays of any real or integer dtype, pandas
        Series). A row with NaN, None or pandas.NA in any of them is left out
        and counted in ``n_missing``.
    degree: the degree to fit (default 2). The fit stops lower after a
        perfect fit or for lack of distinct x, with a FitWarning.
    max_degree, select, crit: choose the degree up to max_degree: with
        ``select="r2"`` the lowest whose R-squared reaches crit percent
        (default 99); with ``select="lack-of-fit"`` the lowest whose lack of
        fit is not significant at crit percent (default 5).
    lack_of_fit: compute the pure error of replicated x and the lack-of-fit
        tests (default True, as ``ksatfit fit`` does).
    precision: "double" (default) or "single", the library's
        single-precision arithmetic to the last bit.

    Raises FitError for a fatal or terminal condition of the fit (constant x,
    too few rows, ...); ValueError for arrays of different lengths or more
    than one dimension, or an unknown option; TypeError for text where
    numbers belong. Notes and warnings of the library are issued as
    FitWarning and kept in ``Fit.warnings``. The fit releases the GIL while
    it runs; several threads may fit at once (the library runs one fit at a
    time).
    """
    if precision not in _PRECISIONS:
        raise ValueError(f'precision must be "double" or "single", not {precision!r}')
    if select not in _SELECTIONS:
        raise ValueError(f'select must be None, "r2" or "lack-of-fit", not {select!r}')
    if degree is not None and max_degree is not None:
        raise ValueError("give degree or max_degree, not both")
    if select is not None and max_degree is None:
        raise ValueError("select chooses a degree up to max_degree: give max_degree")
    highest = operator.index(2 if max_degree is None and degree is None
                             else max_degree if degree is None else degree)
    if not 0 <= highest <= _HIGHEST_DEGREE:
        raise ValueError(f"the degree must lie between 0 and {_HIGHEST_DEGREE}, not {highest}")
    selection, default_crit = _SELECTIONS[select]
    if select is None:
        crit = 0.0
    elif crit is None:
        crit = default_crit
    elif not 0 <= crit <= 100:
        raise ValueError(f"crit is a percentage between 0 and 100, not {crit!r}")

    dtype, run = _PRECISIONS[precision]
    columns = {"x": _values(x, "x", dtype), "y": _values(y, "y", dtype)}
    for name, given in (("weights", weights), ("frequencies", frequencies)):
        columns[name] = None if given is None else _values(given, name, dtype)
    for name, values in columns.items():
        if values is not None and len(values) != len(columns["x"]):
            raise ValueError(f"x has {len(columns['x'])} values and {name} {len(values)}")
    data = dict(columns, max_degree=highest, selection=selection, select=select,
                crit=float(crit), lack_of_fit=bool(lack_of_fit))
    quiet = getattr(_quiet, "active", False)
    core = run(columns["x"], columns["y"], columns["weights"], columns["frequencies"],
               highest, selection, float(crit), bool(lack_of_fit), case_statistics=quiet)
    names = (_series_name(x), _series_name(y), _series_name(weights), _series_name(frequencies))
    result = Fit(core, precision, data, names, with_cases=quiet)
    if not quiet:
        for message in result.warnings:
            warnings.warn(message.text, FitWarning, stacklevel=2)
    return result


# Set by quiet_fits() for one thread (warnings.catch_warnings is process-wide).
_quiet = threading.local()


@contextmanager
def quiet_fits():
    """Fits of this thread keep their warnings in Fit.warnings without issuing
    them, and form the rows' statistics with the fit rather than on demand:
    group fits report the warnings and the flagged rows in their table, one
    group at a time."""
    outer = getattr(_quiet, "active", False)
    _quiet.active = True
    try:
        yield
    finally:
        _quiet.active = outer
