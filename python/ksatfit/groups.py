"""Group fits: one curve for every sample of a table, on pandas or on Dask.

``fit_groups(frame, x, y, by, **options)`` fits ``ksatfit.fit`` to the rows of
each group of ``frame`` and returns one row of figures per group. A group's row
holds exactly what ``ksatfit.fit`` returns for that group's rows, taken in the
order they have in the frame: the fit sums in row order, so the order decides
the last bits.

On a Dask DataFrame the groups are moved to the partitions by Dask's hash
shuffle on the group keys and each partition is fitted where it lies, by the
same code as a pandas frame; the result is a lazy Dask DataFrame.
"""
from __future__ import annotations

import inspect
import sys
from collections.abc import Hashable, Sequence
from typing import Any

import numpy as np

from ._fit import fit, quiet_fits
from ._messages import FitError

# The column that carries each row's place in a Dask frame through the
# shuffle, which does not keep the order of rows within a partition: the
# partition's number in the high 32 bits, the row's in the low.
_PLACE = "__ksatfit_place"

_STATISTICS = ("r_squared", "adjusted_r_squared", "sd_error", "f", "p", "lack_of_fit_p")


def fit_groups(frame, x: Hashable, y: Hashable, by: Hashable | Sequence[Hashable], *,
               weights: Hashable | None = None, frequencies: Hashable | None = None,
               **options: Any):
    """Fit ``ksatfit.fit`` to the rows of every group of a table.

    ``frame`` is a pandas DataFrame or a Dask DataFrame; ``x`` and ``y`` name its
    columns of abscissas and responses; ``by`` names the column (or a list of
    columns) whose values make the groups. ``weights`` and ``frequencies`` name
    columns too; every other keyword (``degree``, ``max_degree``, ``select``,
    ``crit``, ``lack_of_fit``, ``precision``) is passed to ``ksatfit.fit`` as
    given. A row with a missing value in a ``by`` column belongs to no group and
    is left out.

    Returns a DataFrame with one row per group, sorted by the group keys:
    the keys, ``n_used``, ``n_missing``, ``degree_fitted``, the coefficients
    ``b0`` .. ``bN`` (intercept first, N the degree asked for), their standard
    errors ``se0`` .. ``seN``, ``r_squared`` and ``adjusted_r_squared``
    (percent), ``sd_error``, the regression's ``f`` and ``p``,
    ``lack_of_fit_p`` (the lack-of-fit test of the fitted degree; NaN with
    ``lack_of_fit=False`` or without replicated x), ``n_flagged`` (rows flagged as
    outlier or influential), ``warnings`` (None or the warning texts, joined by
    "; ") and ``error`` (None, or the text of the FitError the group's fit
    raised; its figures are then missing). Figures are float64, or float32 with
    ``precision="single"``, equal to the fit's to the last bit.

    A Dask DataFrame gives a lazy Dask DataFrame of the same columns; its
    ``.compute()`` holds the same rows as the pandas call on the same data, each
    partition sorted by the keys but the partitions in no key order. Options
    that ``ksatfit.fit`` does not know raise TypeError at once.
    """
    keys = [by] if isinstance(by, str) or not isinstance(by, Sequence) else list(by)
    if not keys:
        raise ValueError("by names no column")
    values = {"x": x, "y": y, "weights": weights, "frequencies": frequencies}
    values = {role: column for role, column in values.items() if column is not None}
    _check_options(options)
    dask = _is_dask_frame(frame)
    pd = sys.modules.get("pandas")  # imported by whoever made the frame
    if not dask and not (pd and isinstance(frame, pd.DataFrame)):
        raise TypeError(f"fit_groups needs a pandas or Dask DataFrame, not {type(frame).__name__}")
    missing = [c for c in [*keys, *values.values()] if c not in frame.columns]
    if missing:
        raise KeyError(f"no column {missing[0]!r} in the frame")
    if dask:
        return _fit_dask(frame, keys, values, options)
    return _fit_frame(frame, keys, values, options)


def _check_options(options: dict) -> None:
    """Refuses keywords ksatfit.fit does not take before any group is fitted."""
    try:
        inspect.signature(fit).bind(None, None, **options)
    except TypeError as error:
        raise TypeError(f"fit_groups: {error}") from None


def _is_dask_frame(frame) -> bool:
    # A Dask frame exists only once dask.dataframe has been imported, so pandas
    # users never pay for importing Dask.
    dd = sys.modules.get("dask.dataframe")
    return dd is not None and isinstance(frame, dd.DataFrame)


def _coefficient_count(options: dict) -> int:
    degree = options.get("max_degree")
    if degree is None:
        degree = options.get("degree")
    return (2 if degree is None else int(degree)) + 1


def _real_dtype(options: dict) -> np.dtype:
    return np.dtype(np.float32 if options.get("precision") == "single" else np.float64)


def _fit_frame(frame: pd.DataFrame, keys: list, values: dict, options: dict,
               order: Hashable | None = None) -> pd.DataFrame:
    """The pandas fit: the rows of each group in frame order, or in the order
    of the `order` column where the frame's own order was lost."""
    import pandas as pd

    grouped = frame.groupby(keys, sort=True, dropna=True, observed=True)
    codes = grouped.ngroup().fillna(-1).to_numpy(np.int64)  # NaN or -1: no group
    ranked = np.lexsort([codes] if order is None else [frame[order].to_numpy(), codes])
    ranked = ranked[codes[ranked] >= 0]
    bounds = np.concatenate(([0], np.cumsum(np.bincount(codes[ranked]))))
    columns = {role: frame[c].to_numpy()[ranked] for role, c in values.items()}

    table = _Table(len(bounds) - 1, _coefficient_count(options), _real_dtype(options))
    with quiet_fits():  # each group's warnings go into its row
        for group in range(table.size):
            rows = slice(bounds[group], bounds[group + 1])
            table.fill(group, {role: column[rows] for role, column in columns.items()}, options)

    group_keys = grouped.size().index.to_frame(index=False)
    group_keys = group_keys.astype(frame[keys].dtypes.to_dict())
    return pd.concat([group_keys, table.frame()], axis=1)


class _Table:
    """The result's columns, filled one group at a time."""

    def __init__(self, size: int, ncoef: int, real: np.dtype):
        self.size = size
        self.counts = {name: np.zeros(size, np.int64)
                       for name in ("n_used", "n_missing", "degree_fitted", "n_flagged")}
        self.failed = np.zeros(size, bool)
        self.b = np.full((size, ncoef), np.nan, real)
        self.se = np.full((size, ncoef), np.nan, real)
        self.statistics = {name: np.full(size, np.nan, real) for name in _STATISTICS}
        self.warnings = np.full(size, None, object)
        self.error = np.full(size, None, object)

    def fill(self, group: int, data: dict, options: dict) -> None:
        try:
            result = fit(data["x"], data["y"], weights=data.get("weights"),
                         frequencies=data.get("frequencies"), **options)
        except FitError as error:
            self.failed[group] = True
            self.error[group] = str(error)
            return
        counts = self.counts
        counts["n_used"][group] = result.n_used
        counts["n_missing"][group] = result.n_missing
        counts["degree_fitted"][group] = result.degree_fitted
        counts["n_flagged"][group] = _flagged(result)
        self.b[group] = result.coefficients
        self.se[group] = result.standard_errors
        figures = {"r_squared": result.r_squared,
                   "adjusted_r_squared": result.anova.adjusted_r_squared,
                   "sd_error": result.anova.sd_error, "f": result.anova.f, "p": result.anova.p,
                   "lack_of_fit_p": result.lack_of_fit[-1].p if result.lack_of_fit else np.nan}
        for name, value in figures.items():
            self.statistics[name][group] = value
        if result.warnings:
            self.warnings[group] = "; ".join(message.text for message in result.warnings)

    def frame(self) -> pd.DataFrame:
        import pandas as pd

        def counted(name):
            return pd.arrays.IntegerArray(self.counts[name], self.failed.copy())

        columns = {name: counted(name) for name in ("n_used", "n_missing", "degree_fitted")}
        columns.update({f"b{k}": self.b[:, k] for k in range(self.b.shape[1])})
        columns.update({f"se{k}": self.se[:, k] for k in range(self.se.shape[1])})
        columns.update(self.statistics)
        columns["n_flagged"] = counted("n_flagged")
        columns["warnings"] = self.warnings
        columns["error"] = self.error
        return pd.DataFrame(columns)


def _flagged(result) -> int:
    cases = result._with_cases().cases()  # cases() without a DataFrame for each group
    return int(np.count_nonzero(cases["outlier"] | cases["influential"]))


def _fit_dask(frame, keys: list, values: dict, options: dict):
    """Shuffles the groups' rows to the partitions by the keys and fits each
    partition where it lies. Each row first gets its place in the frame, so
    that every group is fitted in frame order.

    The shuffle is the one Dask's groupby().apply makes; but where that would
    go on to call pandas' groupby().apply on each partition, at a cost per
    group (about 0.3 ms) above that of the fit itself, a partition is fitted
    here in one pass over its groups."""
    needed = list(dict.fromkeys([*keys, *values.values()]))
    numbered = frame[needed].map_partitions(_number_rows, meta=_number_rows(frame._meta[needed]))
    shuffled = numbered.shuffle(on=keys, ignore_index=True)
    meta = _fit_frame(numbered._meta, keys, values, options, order=_PLACE)
    return shuffled.map_partitions(_fit_frame, keys, values, options, order=_PLACE,
                                   meta=meta, align_dataframes=False, enforce_metadata=False)


def _number_rows(part: pd.DataFrame, partition_info: dict | None = None) -> pd.DataFrame:
    number = partition_info["number"] if partition_info else 0
    return part.assign(**{_PLACE: (number << 32) + np.arange(len(part), dtype=np.int64)})
