"""The library's messages as Python sees them: FitError, FitWarning, FitMessage."""
from typing import NamedTuple


class FitMessage(NamedTuple):
    """A message of the library: its type (1 note, 2 alert, 3 or 6 warning,
    4 or 7 fatal, 5 terminal), code, the routine that raised it and its text."""

    type: int
    code: int
    routine: str
    text: str


class FitError(Exception):
    """A fatal or terminal condition of the fit (types 4, 5 and 7).

    ``str(error)`` is the library's text; ``type``, ``code`` and ``routine``
    say which condition it was. The library is left as it was: the next fit
    runs normally.
    """

    def __init__(self, text: str, type: int, code: int, routine: str) -> None:
        super().__init__(text)
        self.type = type
        self.code = code
        self.routine = routine

    def __reduce__(self):  # picklable, e.g. across processes
        return (FitError, (str(self), self.type, self.code, self.routine))


class FitWarning(UserWarning):
    """A note, alert or warning of the library (types 1, 2, 3 and 6); the fit
    keeps them in ``Fit.warnings`` as FitMessage values."""
