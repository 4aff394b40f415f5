"""Least-squares polynomial fits with full summary statistics.

    >>> import ksatfit
    >>> fit = ksatfit.fit([1, 2, 3, 4], [1, 4, 9, 16.5], degree=2)
    >>> fit.coefficients, fit.r_squared, fit(2.5)
    >>> print(fit.summary())

The fit is the library's orthogonal-polynomial regression, in double
precision or (``precision="single"``) in its single-precision arithmetic to
the last bit; every figure of the fit is an attribute of the Fit, and
``summary()`` and ``to_dict()`` give what ``ksatfit fit`` prints.
"""
from ._fit import Anova, Fit, FTest, Prediction, PureError, fit
from ._messages import FitError, FitMessage, FitWarning
from .groups import fit_groups

__all__ = ["fit", "Fit", "Anova", "FTest", "PureError", "Prediction", "FitError",
           "FitMessage", "FitWarning", "fit_groups"]
__version__ = "1.0"

# Shown as ksatfit.FitError (not ksatfit._messages.FitError) in tracebacks and reprs.
for _name in __all__:
    if isinstance(globals()[_name], type):
        globals()[_name].__module__ = __name__
del _name
