#!/usr/bin/env python3
"""Writes tests/probability/data/reference.inc: reference values of the
probability functions, computed with mpmath at 40 significant digits.

Every argument is first rounded to single precision, and the reference is the
exact function value at that single-precision number, so a test compares what
the float routines return against the true value at the very input they got.

Usage: python3 tests/probability/make_reference.py > tests/probability/data/reference.inc
"""
import struct
import sys

import mpmath
from mpmath import mp, mpf

mp.dps = 40

# A reference below this is not representable as a normal float (and the
# incomplete beta flushes results below 100 times the smallest normal to 0),
# so such rows measure nothing but the underflow.
SMALLEST_KEPT = 1e-30


def f32(x):
    """The single-precision number nearest to x, as a Python float."""
    return struct.unpack("f", struct.pack("f", float(x)))[0]


def literal(x):
    text = "%.9g" % x
    if "." not in text and "e" not in text:
        text += ".0"
    return text + "f"


def gamma(x):
    return mpmath.gamma(x)


def alngam(x):
    return mpmath.log(abs(mpmath.gamma(x)))


def r9lgmc(x):
    # The correction is about 1 / (12 x), far below ln Gamma(x) itself: work
    # with enough digits to keep it through the cancellation.
    with mp.workdps(mp.dps + 2 * int(mpmath.log10(x)) + 10):
        stirling = (x - mpf("0.5")) * mpmath.log(x) - x + mpmath.log(mpmath.sqrt(2 * mpmath.pi))
        return mpmath.loggamma(x) - stirling


def alnrel(x):
    return mpmath.log1p(x)


def erfc(x):
    return mpmath.erfc(x)


def albeta(a, b):
    return mpmath.log(mpmath.beta(a, b))


def betai(x, p, q):
    return mpmath.betainc(p, q, 0, x, regularized=True)


def fdf(f, dfn, dfd):
    # P(F' <= f) = 1 - I_w(dfd/2, dfn/2) with w = dfd / (dfd + dfn f), taken
    # here as the regularized beta from 0 to dfn f / (dfn f + dfd).
    u = dfn * f / (dfn * f + dfd)
    return mpmath.betainc(dfn / 2, dfd / 2, 0, u, regularized=True)


def tdf(t, df):
    if t == 0:
        return mpf("0.5")
    half_tail = mpmath.betainc(df / 2, mpf("0.5"), 0, df / (df + t * t), regularized=True) / 2
    return 1 - half_tail if t > 0 else half_tail


def rows():
    out = []

    def add(name, fn, *args):
        exact = [mpf(f32(a)) for a in args]
        value = fn(*exact)
        if value != 0 and abs(value) < SMALLEST_KEPT:
            return
        padded = [f32(a) for a in args] + [0.0] * (3 - len(args))
        out.append((name, padded, float(value)))

    gamma_args = [1e-3, 0.01, 0.1, 0.25, 0.5, 0.75, 0.999, 1, 1.001, 1.25, 1.5, 1.75, 1.999, 2,
                  2.5, 3, 3.3, 4.5, 5, 6.7, 7.5, 9.9, 10, 10.5, 12, 15.3, 19.5, 20, 25.5, 30, 34.9, 35,
                  -0.5, -1.5, -2.5, -3.3, -9.7, -10.5, -15.3, -20.5, -33.5]
    gamma_args += [k / 8 for k in range(1, 160)]
    for x in gamma_args:
        add("GAMMA", gamma, x)

    alngam_args = [1e-3, 0.1, 0.5, 0.9, 1.1, 1.5, 1.9, 2.1, 2.5, 3, 5, 7.5, 9.9, 10, 10.5, 12, 15,
                   19.5, 20, 50, 100, 1000, 1e5, 1e10, 1e20, 1e30, -0.5, -2.5, -9.7, -10.5, -20.5, -50.5]
    alngam_args += [k / 4 for k in range(1, 80) if k not in (4, 8)]
    for x in alngam_args:
        add("ALNGAM", alngam, x)

    for x in [10, 10.25, 10.5, 11, 12, 15, 19.5, 20, 25, 30, 40, 50, 75, 100, 250, 500, 1000, 2000,
              4095, 4096, 5000, 1e4, 1e5, 1e6, 1e10, 1e20, 1e30]:
        add("R9LGMC", r9lgmc, x)

    alnrel_args = [-0.5, -0.4375, -0.375, -0.3751, -0.3, -0.25, -0.2, -0.1, -0.05, -0.01, -1e-3,
                   -1e-4, -1e-5, -1e-6, -1e-7, -1e-10, -1e-20, 1e-6, 1e-3, 0.1, 0.25, 0.375, 0.3751,
                   0.5, 1, 2, 10, 1e3, 1e10, -0.6, -0.75, -0.9, -0.99]
    alnrel_args += [-k / 64 for k in range(1, 33)]
    for x in alnrel_args:
        add("ALNREL", alnrel, x)

    erfc_args = [0, 1e-5, 3e-4, 3.5e-4, 1e-3, 0.01, 0.1, 0.25, 0.5, 0.75, 0.99, 1, 1.01, 1.25, 1.5,
                 1.75, 1.99, 2, 2.01, 2.5, 3, 3.5, 4, 5, 6, 7, 8, 9, 9.18, -0.5, -1, -1.5, -2.5, -4]
    erfc_args += [k / 16 for k in range(1, 147)]
    for x in erfc_args:
        add("ERFC", erfc, x)

    shapes = [0.25, 0.5, 0.75, 1, 1.5, 2, 2.5, 3.5, 5, 7.5, 9.5, 10, 10.5, 15, 20, 50, 100, 250, 500]
    for a in shapes:
        for b in shapes:
            add("ALBETA", albeta, a, b)

    betai_x = [1e-7, 1e-6, 1e-4, 1e-3, 0.01, 0.05, 0.1, 0.2, 0.3, 0.5, 0.7, 0.8, 0.9, 0.95, 0.99,
               0.999, 0.9999, 0.999999, 0, 1]
    betai_shapes = [0.5, 1, 1.5, 2, 3.5, 5, 10.5, 20, 50, 100, 250, 500]
    for x in betai_x:
        for p in betai_shapes:
            for q in betai_shapes:
                add("BETAI", betai, x, p, q)

    fdf_f = [1e-3, 0.01, 0.1, 0.5, 1, 1.5, 2, 3, 5, 10, 30, 100, 1e3, 1e4, 1e5, 1e6]
    fdf_dof = [1, 2, 3, 5, 7.5, 10, 25, 36, 100, 500, 1000]
    for f in fdf_f:
        for dfn in fdf_dof:
            for dfd in fdf_dof:
                add("FDF", fdf, f, dfn, dfd)

    tdf_t = [-50, -20, -10, -5, -3, -2.5, -2, -1.5, -1, -0.5, -0.1, 0, 0.1, 0.5, 1, 1.5, 1.9, 2,
             2.5, 3, 4, 5, 10, 20, 50]
    tdf_df = [1, 2, 3, 4, 5, 6, 7, 10, 15, 19, 20, 21, 25, 30, 36, 50, 100, 200, 500, 1000,
              1.5, 2.5, 7.5, 19.5, 33.3, 150.7, 999.5]
    for df in tdf_df:
        for t in tdf_t:
            add("TDF", tdf, t, df)
    return out


def main():
    table = rows()
    print("// Generated by tests/probability/make_reference.py (mpmath %s, %d digits):"
          % (mpmath.__version__, mp.dps))
    print("// function, arguments (exact single-precision values), reference value.")
    for name, args, value in table:
        print("{Fn::%s, %s, %s, %s, %.17g}," % (name, literal(args[0]), literal(args[1]),
                                                 literal(args[2]), value))
    print("generated %d rows" % len(table), file=sys.stderr)


if __name__ == "__main__":
    main()
