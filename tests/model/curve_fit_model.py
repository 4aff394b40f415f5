#!/usr/bin/env python3
"""An independent single-precision model of the curve fit, written from the
formulas: screening, the sort with its permutation, the orthogonal recurrence
(y centred at its mean), the change to powers of x with the variances of the
coefficients, the analysis of variance and the summary statistics. Random
data sets go through both this model and the library (through the rcurv_dump
program), and every element of B, SSPOLY and STAT from the curve fit, and of
AOV, COEF and SQSS from the summary statistics, must agree to the last bit.
Further data sets carry frequencies and weights (some of them 0 or NaN)
into the orthogonal fit, which then also forms the pure error: its DFPE and
SSPE and the lack-of-fit tests' degrees of freedom and sums of squares must
agree too.
The p-values are left out: they come from the special functions, whose
elementary functions the platform's mathematical library rounds its own way.

Single precision is emulated exactly: Python computes +, -, *, / and sqrt of
two floats in double, which has more than twice the float's precision, so
rounding the double result to float gives the correctly rounded float result.
The vector sums that the library carries in double are carried in double here.

Usage: curve_fit_model.py [--cases N] [--weighted-cases M] [--seed S] COMMAND...
where COMMAND runs rcurv_dump (with an emulator in front of it, for one built
for another system).
"""
import argparse
import math
import random
import struct
import subprocess
import sys

NAN = float("nan")
INF = math.inf
TINY = 2.0**-126                # AMACH(1)
HUGE = (2.0 - 2.0**-23) * 2.0**127  # AMACH(2)
EPS = 2.0**-23                  # AMACH(4)


def f(x):
    """Rounds a double to the nearest float."""
    try:
        return struct.unpack("f", struct.pack("f", x))[0]
    except OverflowError:
        return math.copysign(INF, x)


def isnan(v):
    return v != v


def c1div(a, b):
    if isnan(a) or isnan(b):
        return NAN
    if abs(b) > 1:
        return 0.0 if abs(a) < TINY * abs(b) else f(a / b)
    if abs(a) >= HUGE * abs(b):
        if a == 0:
            return NAN
        return INF if (a > 0) == (b >= 0) else -INF
    return f(a / b)


def wide_sum(*vectors):
    """Sum of the elementwise products, carried in double, rounded once."""
    s = 0.0
    for terms in zip(*vectors):
        p = 1.0
        for t in terms:
            p *= t
        s += p
    return f(s)


def sort_with_permutation(ra):
    """Quicksort with median-of-three pivots, a stack of pending segments and
    straight insertion for short segments that do not start at 1; returns the
    sorted values and the permutation (1-based source positions)."""
    n = len(ra)
    rb = [None] + list(ra)
    ip = [None] + list(range(1, n + 1))

    def swap(p, q):
        rb[p], rb[q] = rb[q], rb[p]
        ip[p], ip[q] = ip[q], ip[p]

    stack = []
    i, j, r = 1, n, 0.375
    step = "start"
    while True:
        if step == "start":
            if i == j:
                step = "pop"
                continue
            r = r - 0.21875 if r > 0.58984375 else r + 0.0390625
            step = "split"
        if step == "split":
            k = i
            ij = i + int(f((j - i) * r))
            t = rb[ij]
            if rb[i] > t:
                swap(i, ij)
                t = rb[ij]
            l = j
            if rb[j] < t:
                swap(j, ij)
                t = rb[ij]
                if rb[i] > t:
                    swap(i, ij)
                    t = rb[ij]
            while True:
                l -= 1
                while rb[l] > t:
                    l -= 1
                k += 1
                while rb[k] < t:
                    k += 1
                if k > l:
                    break
                if rb[l] != rb[k]:
                    swap(l, k)
            if j - k < l - i:
                stack.append((i, l))
                i = k
            else:
                stack.append((k, j))
                j = l
            step = "continue"
        if step == "continue":
            if j - i > 10:
                step = "split"
                continue
            if i == 1:
                step = "start"
                continue
            for p in range(i + 1, j + 1):
                if rb[p] < rb[p - 1]:
                    value, origin, q = rb[p], ip[p], p - 1
                    while True:
                        rb[q + 1], ip[q + 1] = rb[q], ip[q]
                        q -= 1
                        if not value < rb[q]:
                            break
                    rb[q + 1], ip[q + 1] = value, origin
            step = "pop"
        if step == "pop":
            if not stack:
                return rb[1:], ip[1:]
            i, j = stack.pop()
            step = "continue"


def groups(xs):
    """The groups of equal abscissas of the sorted xs, as ranges of rows."""
    starts = [0] + [i for i in range(1, len(xs)) if xs[i] != xs[i - 1]] + [len(xs)]
    return [range(a, b) for a, b in zip(starts, starts[1:])]


def pure_error(xs, y, w):
    """Within-group weighted sum of squares about each group's weighted mean;
    a group without weight adds nothing."""
    sspe = 0.0
    for g in groups(xs):
        swyg = swg = 0.0
        for i in g:
            swyg = f(swyg + f(w[i] * y[i]))
            swg = f(swg + w[i])
        if swg != 0:
            ybarg = f(swyg / swg)
            s = 0.0
            for i in g:
                r = f(y[i] - ybarg)
                s = f(s + f(w[i] * f(r * r)))
            sspe = f(sspe + s)
    return sspe


def orthogonal_fit(xs, y, maxdeg, w=None, fr=None, lof=False):
    """Fit up to maxdeg (no criterion) with the combined weights w and the
    frequencies fr (both None: 1 for every row), with the pure error when lof."""
    n = len(xs)
    w = w or [1.0] * n
    fr = fr or [1.0] * n
    imax = max(range(n), key=lambda i: (xs[i], -i))
    imin = min(range(n), key=lambda i: (xs[i], i))
    yconst = all(y[i] == y[i + 1] for i in range(n - 1))
    # Distinct abscissas: the groups that carry weight (all of them when none does).
    ndist = sum(1 for g in groups(xs) if any(w[i] > 0 for i in g)) or len(groups(xs))
    sumf = wide_sum(fr)
    sspe = pure_error(xs, y, w) if lof else 0.0
    dfpe = f(sumf - ndist) if lof else 0.0
    cf = f(100.0 * f(0.01))
    xmid = f(f(xs[imin] + xs[imax]) * 0.5)
    xscale = f(4.0 / f(xs[imax] - xs[imin]))
    swy = wide_sum(y, w)
    sw = wide_sum(w)
    c4 = [f(math.sqrt(v)) for v in w]
    c1, c2, c3 = [0.0] * n, [1.0] * n, [0.0] * n
    z = [f(f(v - xmid) * xscale) for v in xs]
    alpha = [0.0] * (maxdeg + 1)
    beta = [0.0] * (maxdeg + 1)
    ocoef = [0.0] * (maxdeg + 2)
    d = [0.0] * (maxdeg + 2)
    d[1] = sw
    ocoef[1] = f(swy / sw)
    ybar = ocoef[1]
    ndeg, betak, ssreg, swyp, swpp = 0, 0.0, 0.0, 0.0, sw
    rss = sst = tol = 0.0
    nloop = min(maxdeg + 1, ndist)
    for k in range(1, nloop + 1):
        if k == 1:
            rss = 0.0
            for i in range(n):
                r = f(y[i] - ybar)
                rss = f(rss + f(w[i] * f(r * r)))
            sst = 0.0 if yconst else rss
            tol = f(f(1.0 - f(10.0 * EPS)) * sst)
            stop = sst <= 0
        else:
            ssk = f(f(swyp * swyp) / swpp)
            rss = max(f(rss - ssk), 0.0)
            ssreg = min(f(ssreg + ssk), sst)
            stop = ssreg >= f(cf * sst) or ssreg >= tol
        if stop or k == nloop:
            break
        ndeg = k
        alphak = f(wide_sum(z, c4, c4) / swpp)
        if k >= 2:
            betak = f(swpp / d[k - 1])
        swyp = 0.0
        for i in range(n):
            rw = f(math.sqrt(w[i]))
            c1[i] = f(f(f(z[i] - alphak) * c2[i]) - f(c1[i] * betak))
            c3[i] = f(rw * c1[i])
            swyp = f(swyp + f(f(rw * f(y[i] - ybar)) * c3[i]))
        swpp = wide_sum(c3, c3)
        alpha[k], beta[k], d[k + 1], ocoef[k + 1] = alphak, betak, swpp, f(swyp / swpp)
        c1, c2 = c2, c1
        c3, c4 = c4, c3
    sse = rss
    xshift = -f(xmid * xscale)
    dfe = f(float(-1 - ndeg) + sumf)
    if dfe == 0 or sst <= 0:
        sse = 0.0
    if sst <= 0:
        sspe = 0.0
    return dict(ndeg=ndeg, xscale=xscale, xshift=xshift, alpha=alpha, beta=beta,
                ocoef=ocoef, d=d, dfe=dfe, sse=sse, dfpe=dfpe, sspe=sspe)


def power_coefficients(ndeg, c, alpha, beta, xscale, xshift):
    """Coefficients in powers of z through the recurrence, then in powers of x."""
    n = ndeg + 1
    w = [[0.0] * 5 for _ in range(n + 1)]
    for i in range(1, n + 1):
        w[i][4] = c[i]
    for k in range(2, n + 1):
        w[k][2] = 1.0
        for j in range(2, k + 1):
            w[j][3] = f(f(w[j - 1][2] - f(w[j][2] * alpha[k - 1])) - f(w[j][1] * beta[k - 1]))
            w[j - 1][4] = f(w[j - 1][4] + f(w[j][3] * c[k]))
        if k != n:
            for j in range(1, k + 1):
                w[j][1], w[j][2] = w[j][2], w[j][3]
    out, p, t = [], 1.0, 1.0
    for i in range(1, n + 1):
        s, num, den = f(w[i][4] * p), float(i), 1.0
        for j in range(i + 1, n + 1):
            t = f(f(f(xshift / den) * num) * t)
            s = f(f(t * w[j][4]) + s)
            if i != 1:
                num, den = num + 1, den + 1
        out.append(s)
        p = f(xscale * p)
        t = p
    return out


def power_variances(ndeg, var, alpha, beta, xscale, xshift):
    """Variances of the coefficients in powers of x from those of the
    orthogonal coefficients: through the basis in powers of z, the covariances
    of the z coefficients, and the substitution z = xscale * x + xshift."""
    n = ndeg + 1
    w = [[0.0] * (n + 4) for _ in range(n + 1)]
    if ndeg > 0:
        w[1][2] = -alpha[1]
    for i in range(1, n + 1):
        w[i][i] = 1.0
        if i > 2:
            w[1][i] = -f(f(w[1][i - 1] * alpha[i - 1]) + f(beta[i - 1] * w[1][i - 2]))
    for j in range(2, ndeg + 1):
        w[j][j + 1] = f(w[j - 1][j] - alpha[j])
        for k in range(j + 2, n + 1):
            w[j][k] = f(f(w[j - 1][k - 1] - f(beta[k - 1] * w[j][k - 2]))
                        - f(alpha[k - 1] * w[j][k - 1]))
    for i in range(1, n + 1):
        row = [w[i][k] for k in range(i + 1, n + 1)]
        w[i][ndeg + 2] = f(wide_sum(var[i + 1 : n + 1], row, row) + var[i])
    for i in range(1, ndeg + 1):
        for j in range(i + 1, n + 1):
            w[j][i] = wide_sum(var[j : n + 1], [w[i][k] for k in range(j, n + 1)],
                               [w[j][k] for k in range(j, n + 1)])
    p = t = 1.0
    for i in range(1, n + 1):
        w[i][i] = p
        num, den = float(i), 1.0
        for j in range(i + 1, n + 1):
            t = f(f(f(t / den) * xshift) * num)
            w[i][j] = t
            if i != 1:
                num, den = num + 1, den + 1
        p = f(xscale * p)
        t = p
    for i in range(1, n + 1):
        g = [w[i][j] for j in range(i, n + 1)]
        w[i][ndeg + 3] = wide_sum([w[j][ndeg + 2] for j in range(i, n + 1)], g, g)
    out = [None] * (n + 1)
    for i in range(1, ndeg + 1):
        s = 0.0
        for j in range(i, ndeg + 1):
            for k in range(j + 1, n + 1):
                s = f(f(f(w[i][j] * w[k][j]) * w[i][k]) + s)
        out[i] = f(f(s * 2.0) + w[i][ndeg + 3])
    out[n] = w[n][ndeg + 3]
    return out


def kept_rows(x, y, fr=None, wt=None):
    """The rows that the fit keeps, in order: x, y, the combined weight
    (frequency times weight) and the frequency. A row with NaN in x or y, or
    in its frequency, or in its weight unless its frequency is 0 (then the
    weight is not read and taken as 1), is left out."""
    rows = []
    for i, (a, b) in enumerate(zip(x, y)):
        if isnan(a) or isnan(b):
            continue
        if fr is None:
            rows.append((a, b, 1.0, 1.0))
        elif fr[i] == 0:
            rows.append((a, b, 0.0, 0.0))
        elif not (isnan(fr[i]) or isnan(wt[i])):
            rows.append((a, b, f(fr[i] * wt[i]), fr[i]))
    return rows


def summary_statistics(x, y, maxdeg, fr=None, wt=None):
    """AOV, COEF and SQSS (columns in order) of the summary statistics of the
    orthogonal fit, with None in place of each p-value; with frequencies and
    weights the fit makes the lack-of-fit tests, and DFPE, SSPE and the
    degrees of freedom and sums of squares of those tests follow."""
    rows = kept_rows(x, y, fr, wt)
    xs, perm = sort_with_permutation([r[0] for r in rows])
    sorted_rows = [rows[p - 1] for p in perm]
    column = lambda c: [r[c] for r in sorted_rows]
    if fr is None:
        fit = orthogonal_fit(xs, column(1), maxdeg)
    else:
        fit = orthogonal_fit(xs, column(1), maxdeg, column(2), column(3), lof=True)
    k, oc, d = fit["ndeg"], fit["ocoef"], fit["d"]
    n = k + 1
    dfe, sse = fit["dfe"], fit["sse"]
    sqss2 = [f(f(oc[i + 1] * oc[i + 1]) * d[i + 1]) for i in range(1, k + 1)]
    ssr = wide_sum(sqss2)
    dfr = float(k)
    aov = [dfr, dfe, f(dfr + dfe), ssr, sse, f(ssr + sse), c1div(ssr, dfr), c1div(sse, dfe)]
    aov.append(c1div(aov[6], aov[7]))
    aov.append(None)
    aov.append(c1div(f(100.0 * ssr), aov[5]))
    ratio = c1div(aov[7], c1div(aov[5], aov[2]))
    aov.append(NAN if isnan(ratio) else 0.0 if ratio > 1 else f(f(1.0 - ratio) * 100.0))
    if isnan(aov[7]):
        aov += [NAN, oc[1], NAN]
    else:
        sd = f(math.sqrt(aov[7]))
        aov += [sd, oc[1], c1div(f(100.0 * sd), oc[1])]
    b = power_coefficients(k, oc[: k + 2], fit["alpha"], fit["beta"], fit["xscale"], fit["xshift"])
    mse = c1div(sse, dfe)
    if isnan(mse):
        se = t = [NAN] * n
    else:
        var = [None] + [f(f(1.0 / d[i]) * mse) for i in range(1, n + 1)]
        var = power_variances(k, var, fit["alpha"], fit["beta"], fit["xscale"], fit["xshift"])
        se = [f(math.sqrt(v)) if v > 0 else 0.0 for v in var[1:]]
        t = [c1div(bi, si) for bi, si in zip(b, se)]
    coef = b + se + t + [None] * n
    sqss = [1.0] * k + sqss2 + [c1div(c1div(v, 1.0), mse) for v in sqss2] + [None] * k
    if fr is None:
        return [k] + aov + coef + sqss
    # Row i tests the fit of degree i: the residual beyond pure error and the
    # sequential sums of squares of every higher power.
    dflof, sslof = [0.0] * (k + 1), [0.0] * (k + 1)
    if k > 0:
        dflof[k], sslof[k] = f(dfe - fit["dfpe"]), f(sse - fit["sspe"])
    for i in range(k - 1, 0, -1):
        dflof[i], sslof[i] = f(dflof[i + 1] + 1.0), f(sslof[i + 1] + sqss2[i])
    return [k] + aov + coef + sqss + [fit["dfpe"], fit["sspe"]] + dflof[1:] + sslof[1:]


def curve_fit(x, y, ndeg_requested):
    pairs = [(a, b) for a, b in zip(x, y) if not (isnan(a) or isnan(b))]
    nmiss = len(x) - len(pairs)
    xs, perm = sort_with_permutation([a for a, _ in pairs])
    fit = orthogonal_fit(xs, [pairs[p - 1][1] for p in perm], ndeg_requested)
    k, oc, d = fit["ndeg"], fit["ocoef"], fit["d"]
    sqss = [f(f(oc[i + 1] * oc[i + 1]) * d[i + 1]) for i in range(1, k + 1)]
    ssr = wide_sum(sqss)
    ss_total = f(ssr + fit["sse"])
    r_squared = c1div(f(100.0 * ssr), ss_total)
    b = [0.0] * (ndeg_requested + 1)
    b[: k + 1] = power_coefficients(k, oc[: k + 2], fit["alpha"], fit["beta"],
                                    fit["xscale"], fit["xshift"])
    sspoly = [0.0] * (ndeg_requested + 1)
    sspoly[0] = f(f(oc[1] * oc[1]) * d[1])
    sspoly[1 : k + 1] = sqss
    m = f(float(len(x) - nmiss - 1))
    stat = [NAN] * 10
    if k != 0:
        stat[0] = c1div(f(fit["alpha"][1] - fit["xshift"]), fit["xscale"])
    total = 0.0
    for _, b_ in pairs:
        total = f(total + b_)
    stat[1] = f(total / f(m + 1.0))
    if k != 0:
        squares = 0.0
        for a, _ in pairs:
            dev = f(a - stat[0])
            squares = f(squares + f(dev * dev))
        stat[2] = c1div(squares, m)
    stat[3] = c1div(ss_total, m)
    stat[4:] = [r_squared, float(k), ssr, fit["dfe"], fit["sse"], float(nmiss)]
    return b + sspoly + stat


def random_case(rng):
    """A data set like a laboratory's: replicated or scattered abscissas with
    two decimals, a response of any scale, now and then a NaN, a constant or
    an exact polynomial response."""
    n = rng.randint(3, 40)
    lo = rng.choice([0.1, 0.5, 1.0, 10.0, 100.0])
    hi = lo * rng.choice([1.5, 3, 10, 50])
    if rng.random() < 0.3:
        levels = [f(round(rng.uniform(lo, hi), 2)) for _ in range(rng.randint(3, 8))]
        x = [rng.choice(levels) for _ in range(n)]
    else:
        x = [f(round(rng.uniform(lo, hi), 2)) for _ in range(n)]
    c = [rng.uniform(-2, 2) for _ in range(4)]
    scale = rng.choice([1e-7, 1e-3, 1.0, 1e3, 1e4])
    y = [f(scale * (c[0] + c[1] * v / hi + c[2] * (v / hi) ** 2 + c[3] * (v / hi) ** 3
                    + rng.gauss(0, 0.05))) for v in x]
    r = rng.random()
    if r < 0.1:
        y[rng.randrange(n)] = NAN
    elif r < 0.15:
        y = [y[0]] * n
    elif r < 0.25:
        y = [f(c[0] + c[1] * v + c[2] * v * v) for v in x]
    return x, y, rng.randint(0, 5)


def random_weighted_case(rng):
    """A data set with frequencies and weights, now and then 0 or NaN: rows
    of frequency 0 or weight 0 among the others and at abscissas of their
    own, within the range of x or up to half of it beyond."""
    while True:
        x, y, k = random_case(rng)
        fr = [rng.choice([1.0, 1.0, 1.0, 2.0, 3.0, 0.0]) for _ in x]
        wt = [rng.choice([1.0, 1.0, 0.5, 2.5, f(rng.uniform(0.1, 3.0)), 0.0]) for _ in x]
        lo, hi = min(x), max(x)
        for _ in range(rng.randint(0, 4)):
            v = f(round(rng.uniform(lo - (hi - lo) / 2, hi + (hi - lo) / 2), 2))
            if v in x:
                continue
            for _ in range(rng.randint(1, 2)):
                at = rng.randint(0, len(x))
                zero_frequency = rng.random() < 0.5
                x.insert(at, v)
                y.insert(at, f(rng.uniform(-1e3, 1e3)))
                fr.insert(at, 0.0 if zero_frequency else rng.choice([1.0, 2.0]))
                wt.insert(at, rng.choice([0.0, 1.0, NAN]) if zero_frequency else 0.0)
        if rng.random() < 0.1:
            (fr if rng.random() < 0.5 else wt)[rng.randrange(len(x))] = NAN
        if fits_without_stopping(x, y) and fits_without_stopping(x, y, fr, wt):
            return x, y, k, fr, wt


def fits_without_stopping(x, y, fr=None, wt=None):
    """Two distinct abscissas among the kept rows, and some weight."""
    rows = kept_rows(x, y, fr, wt)
    return len({r[0] for r in rows}) >= 2 and any(r[2] > 0 for r in rows)


def same(a, b):
    return (isnan(a) and isnan(b)) or (a == b and math.copysign(1, a) == math.copysign(1, b))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cases", type=int, default=1000)
    parser.add_argument("--weighted-cases", type=int, default=0)
    parser.add_argument("--seed", type=int, default=20261208)
    parser.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    count = args.cases
    rng = random.Random(args.seed)
    cases = []
    while len(cases) < count:
        x, y, k = random_case(rng)
        if fits_without_stopping(x, y):
            cases.append((x, y, k, None, None))
    weighted_rng = random.Random(args.seed + 1)
    cases += [random_weighted_case(weighted_rng) for _ in range(args.weighted_cases)]
    text = "".join("%d %d %d %s\n" % (len(x), k, fr is not None, " ".join(
        " ".join(float(v).hex() for v in values)
        for values in zip(*([x, y] if fr is None else [x, y, fr, wt])))) for x, y, k, fr, wt in cases)
    run = subprocess.run(args.command, input=text, capture_output=True, text=True, check=True)
    rows = run.stdout.splitlines()
    if len(rows) != len(cases):
        print("the library answered %d of %d data sets" % (len(rows), len(cases)))
        return 1
    mismatches = 0
    for (x, y, k, fr, wt), row in zip(cases, rows):
        fitted, summary = row.split("|", 1)
        got = [float.fromhex(v) for v in fitted.split()]
        summary = summary.replace("|", " ").split()
        got.append(int(summary[0]))
        got += [float.fromhex(v) for v in summary[1:]]
        expected = curve_fit(x, y, k) + summary_statistics(x, y, k, fr, wt)
        differ = [i for i, (a, b) in enumerate(zip(got, expected))
                  if b is not None and not same(a, b)]
        if len(got) != len(expected):
            differ.append(len(expected))
        if differ:
            mismatches += 1
            if mismatches <= 5:
                print("NDEG %d, %d pairs: elements %s differ: library %s, model %s"
                      % (k, len(x), differ, [got[i] for i in differ],
                         [expected[i] for i in differ]))
    print("%d data sets, %d differ from the model" % (len(cases), mismatches))
    return 1 if mismatches else 0


if __name__ == "__main__":
    sys.exit(main())
