#!/usr/bin/env python3
"""quorvel-fit --json's standard uncertainties against an independent exact computation in rational
arithmetic (every double is an exact fraction) and against certified values of public reference data.

Usage: uncertainty_test.py QUORVEL_FIT"""
import json
import math
import os
import random
import struct
import subprocess
import sys
import statistics
import tempfile
from decimal import Decimal, getcontext
from fractions import Fraction

FIT = sys.argv[1]
failures = []

# NIST Statistical Reference Datasets, linear least squares (public domain), with their certified values
# (15 significant digits):
#   Norris:  https://www.itl.nist.gov/div898/strd/lls/data/Norris.shtml   (linear, 36 observations)
#   Pontius: https://www.itl.nist.gov/div898/strd/lls/data/Pontius.shtml  (quadratic, 40 observations)
NORRIS = [  # y, x
    ("0.1", "0.2"), ("338.8", "337.4"), ("118.1", "118.2"), ("888.0", "884.6"), ("9.2", "10.1"),
    ("228.1", "226.5"), ("668.5", "666.3"), ("998.5", "996.3"), ("449.1", "448.6"), ("778.9", "777.0"),
    ("559.2", "558.2"), ("0.3", "0.4"), ("0.1", "0.6"), ("778.1", "775.5"), ("668.8", "666.9"),
    ("339.3", "338.0"), ("448.9", "447.5"), ("10.8", "11.6"), ("557.7", "556.0"), ("228.3", "228.1"),
    ("998.0", "995.8"), ("888.8", "887.6"), ("119.6", "120.2"), ("0.3", "0.3"), ("0.6", "0.3"),
    ("557.6", "556.8"), ("339.3", "339.1"), ("888.0", "887.2"), ("998.5", "999.0"), ("778.9", "779.0"),
    ("10.2", "11.1"), ("117.6", "118.3"), ("228.9", "229.2"), ("668.4", "669.1"), ("449.2", "448.9"),
    ("0.2", "0.5"),
]
NORRIS_CERTIFIED = {"residual_sd": 0.884796396144373,
                    "standard_uncertainties": [0.232818234301152, 0.429796848199937E-03]}
PONTIUS_Y = [".11019", ".21956", ".32949", ".43899", ".54803", ".65694", ".76562", ".87487", ".98292",
             "1.09146", "1.20001", "1.30822", "1.41599", "1.52399", "1.63194", "1.73947", "1.84646",
             "1.95392", "2.06128", "2.16844", ".11052", ".22018", ".32939", ".43886", ".54798", ".65739",
             ".76596", ".87474", ".98300", "1.09150", "1.20004", "1.30818", "1.41613", "1.52408",
             "1.63159", "1.73965", "1.84696", "1.95445", "2.06177", "2.16829"]
PONTIUS = [(y, str(150000 * (i % 20 + 1))) for i, y in enumerate(PONTIUS_Y)]
PONTIUS_CERTIFIED = {"residual_sd": 0.205177424076185E-03,
                     "standard_uncertainties": [0.107938612033077E-03, 0.157817399981659E-09,
                                                0.486652849992036E-16]}
# The certified values belong to the decimal data; the fit is of the doubles nearest to them, which
# differ by up to half an ulp and so move these figures by up to about 2e-14 relative.
CERTIFIED_TOLERANCE = 1e-13


def fail(message):
    failures.append(message)
    print("FAIL: " + message)


def run(rows, kind, at=None, locale="C"):
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write("".join(f"{y} {x}\n" for y, x in rows))
    args = [FIT, "--json", "--kind", kind] + (["--at", at] if at is not None else []) + [f.name]
    r = subprocess.run(args, capture_output=True, text=True, env=dict(os.environ, LC_ALL=locale))
    os.unlink(f.name)
    return r.returncode, (json.loads(r.stdout) if r.stdout else None), r.stderr


def inverse(a):
    n = len(a)
    m = [row[:] + [Fraction(int(i == j)) for j in range(n)] for i, row in enumerate(a)]
    for i in range(n):
        pivot = next(r for r in range(i, n) if m[r][i] != 0)
        m[i], m[pivot] = m[pivot], m[i]
        m[i] = [v / m[i][i] for v in m[i]]
        for r in range(n):
            if r != i and m[r][i] != 0:
                f = m[r][i]
                m[r] = [v - f * w for v, w in zip(m[r], m[i])]
    return [row[n:] for row in m]


def exact_analysis(rows, p, at=None):
    """S, C and gᵀCg of the exact least-squares polynomial of the doubles the texts read as."""
    xs = [Fraction(float(x)) for _, x in rows]
    ys = [Fraction(float(y)) for y, _ in rows]
    inv = inverse([[sum(x ** (j + k) for x in xs) for k in range(p)] for j in range(p)])
    b = [sum(x ** j * y for x, y in zip(xs, ys)) for j in range(p)]
    a = [sum(inv[j][k] * b[k] for k in range(p)) for j in range(p)]
    s2 = sum((y - sum(a[k] * x ** k for k in range(p))) ** 2 for x, y in zip(xs, ys)) / (len(rows) - p)
    cov = [[s2 * inv[j][k] for k in range(p)] for j in range(p)]
    var_at = None
    if at is not None:
        g = [Fraction(float(at)) ** k for k in range(p)]
        var_at = sum(g[j] * cov[j][k] * g[k] for j in range(p) for k in range(p))
    return s2, cov, var_at


def odd(d):
    return struct.unpack("<Q", struct.pack("<d", d))[0] & 1 == 1


def is_nearest(exact, d):
    """d is the double nearest to the rational `exact`, ties to even."""
    if not math.isfinite(d):
        return False
    error = abs(exact - Fraction(d))
    for neighbour in (math.nextafter(d, math.inf), math.nextafter(d, -math.inf)):
        other = abs(exact - Fraction(neighbour))
        if other < error or (other == error and error != 0 and odd(d)):
            return False
    return True


def is_nearest_sqrt(square, d):
    """d is the double nearest to √square, ties to even: √square lies between the midpoints to d's
    neighbours, compared squared."""
    if not math.isfinite(d) or d < 0:
        return False
    low = (Fraction(d) + Fraction(math.nextafter(d, 0))) / 2 if d > 0 else None
    high = (Fraction(d) + Fraction(math.nextafter(d, math.inf))) / 2
    if low is not None and (square < low * low or (square == low * low and odd(d))):
        return False
    return square < high * high or (square == high * high and not odd(d))


def check_exact(name, rows, kind, p, at=None):
    status, out, err = run(rows, kind, at)
    if status != 0 or out is None:
        fail(f"{name}: status {status}, {err}")
        return None
    s2, cov, var_at = exact_analysis(rows, p, at)
    if out["dof"] != len(rows) - p:
        fail(f"{name}: dof {out['dof']}")
    if not is_nearest_sqrt(s2, out["residual_sd"]):
        fail(f"{name}: residual_sd {out['residual_sd']!r} is not the nearest double to the exact one")
    for j in range(p):
        for k in range(p):
            if not is_nearest(cov[j][k], out["covariance"][j][k]):
                fail(f"{name}: covariance[{j}][{k}] {out['covariance'][j][k]!r} != {float(cov[j][k])!r}")
        if not is_nearest_sqrt(cov[j][j], out["standard_uncertainties"][j]):
            fail(f"{name}: standard_uncertainties[{j}] {out['standard_uncertainties'][j]!r}")
    if at is not None and not is_nearest_sqrt(var_at, out["y_uncertainty"]):
        fail(f"{name}: y_uncertainty {out['y_uncertainty']!r} != {math.sqrt(var_at)!r}")
    return out


def check_certified(name, rows, kind, p, certified):
    out = check_exact(name, rows, kind, p, at=rows[0][1])
    if out is None:
        return
    pairs = [("residual_sd", out["residual_sd"], certified["residual_sd"])]
    pairs += [(f"standard_uncertainties[{j}]", out["standard_uncertainties"][j], c)
              for j, c in enumerate(certified["standard_uncertainties"])]
    for what, got, want in pairs:
        if abs(got - want) > CERTIFIED_TOLERANCE * want:
            fail(f"{name}: {what} {got!r}, certified {want!r}")


check_certified("Norris", NORRIS, "linear", 2, NORRIS_CERTIFIED)
check_certified("Pontius", PONTIUS, "quadratic", 3, PONTIUS_CERTIFIED)

# Tables where a floating-point solve loses digits or the range: readings around an offset, and X and Y
# of very different magnitudes.
rng = random.Random(20261208)
KINDS = {"linear": 2, "quadratic": 3, "cubic": 4}
cases = [
    ("X around 1000, cubic", "cubic", lambda: 1000 + rng.uniform(0, 10), lambda x: 0.5 * x ** 3 + rng.gauss(0, 1)),
    ("X around 1e5, quadratic", "quadratic", lambda: 1e5 + rng.uniform(0, 100),
     lambda x: 1e-6 * x * x + rng.gauss(0, 1e-3)),
    # C(0, 0) near 1e-600 rounds to zero, C(1, 1) stays near 1e-300.
    ("tiny X and Y, linear", "linear", lambda: rng.uniform(1, 2) * 1e-150, lambda x: rng.uniform(-1, 1) * 1e-300),
    ("huge X and Y, linear", "linear", lambda: rng.uniform(1, 2) * 1e30, lambda x: rng.uniform(-1, 1) * 1e150),
    ("signs and zeros, cubic", "cubic", lambda: rng.choice([0.0, rng.uniform(-5, 5)]),
     lambda x: rng.choice([0.0, rng.uniform(-1e3, 1e3)])),
]
for name, kind, x_of, y_of in cases:
    for n in (KINDS[kind] + 1, 25):
        xs = [x_of() for _ in range(n)]
        rows = [(repr(y_of(x)), repr(x)) for x in xs]
        check_exact(f"{name}, {n} points", rows, kind, KINDS[kind], at=repr(xs[0] * 1.5))


# The coverage factor k for 95 %: Student's t quantile t(0.975; n − p). Published two-sided 95 % table
# values (3 decimals); for ν = 1 and 2 the closed forms cot(π/40) and 0.95/√0.04875, and for large ν the
# Cornish-Fisher expansion about the normal quantile (Abramowitz and Stegun 26.7.5, exact to far below an
# ulp at ν = 10^5), all worked out to 50 digits. (Python's own NormalDist is 3 ulps off here.)
getcontext().prec = 50
TINY = Decimal(10) ** -55


def series(term, step):
    """Σ term_k with term_(k+1) = step(term_k, k), until the terms vanish at this precision."""
    total, k = Decimal(0), 0
    while abs(term) > TINY:
        total += term
        k += 1
        term = step(term, k)
    return total


def arctan_inverse(n):  # arctan(1/n) = Σ (−1)^k/((2k + 1)·n^(2k + 1))
    return series(Decimal(1) / n, lambda t, k: -t * (2 * k - 1) / ((2 * k + 1) * n * n))


PI = 16 * arctan_inverse(5) - 4 * arctan_inverse(239)


def cot_decimal(x):
    return series(Decimal(1), lambda t, k: -t * x * x / ((2 * k - 1) * 2 * k)) / \
        series(x, lambda t, k: -t * x * x / (2 * k * (2 * k + 1)))


def normal_quantile_975():
    def cdf(z):  # ½(1 + erf(z/√2)), erf(y) = 2/√π · Σ (−1)^k y^(2k+1)/(k!(2k + 1))
        y = z / Decimal(2).sqrt()
        erf = series(y, lambda t, k: -t * y * y * (2 * k - 1) / (k * (2 * k + 1)))
        return (1 + 2 / PI.sqrt() * erf) / 2
    z = Decimal("1.96")
    for _ in range(6):  # Newton's steps on the density
        z -= (cdf(z) - Decimal("0.975")) / ((-z * z / 2).exp() / (2 * PI).sqrt())
    return z


def cornish_fisher(nu):
    x = normal_quantile_975()
    g = [(x ** 3 + x) / 4, (5 * x ** 5 + 16 * x ** 3 + 3 * x) / 96,
         (3 * x ** 7 + 19 * x ** 5 + 17 * x ** 3 - 15 * x) / 384,
         (79 * x ** 9 + 776 * x ** 7 + 1482 * x ** 5 - 1920 * x ** 3 - 945 * x) / 92160]
    return x + sum(gi / Decimal(nu) ** (i + 1) for i, gi in enumerate(g))


T_TABLE = {1: 12.706, 2: 4.303, 3: 3.182, 4: 2.776, 5: 2.571, 10: 2.228, 20: 2.086, 30: 2.042, 60: 2.000,
           120: 1.980, 100000: 1.960}
T_EXACT = {1: float(cot_decimal(PI / 40)), 2: float(Decimal("0.95") / Decimal("0.04875").sqrt()),
           100000: float(cornish_fisher(100000))}


def ulps(a, b):
    return abs(a - b) / math.ulp(b)


for nu, published in T_TABLE.items():
    line = [(repr(3 * x + (-1) ** x * 0.25), repr(float(x))) for x in range(nu + 2)]
    status, out, err = run(line, "linear", at="1.5")
    if status != 0:
        fail(f"k for ν = {nu}: status {status}, {err}")
        continue
    k = out["coverage_factor"]
    if out["dof"] != nu or round(k, 3) != published:
        fail(f"k for ν = {nu}: {k!r}, the table gives {published}")
    if nu in T_EXACT and ulps(k, T_EXACT[nu]) > 1:
        fail(f"k for ν = {nu}: {k!r}, exactly {T_EXACT[nu]!r}")
    # U = k·u, each rounded once from the two doubles shown.
    pairs = list(zip(out["expanded_uncertainties"], out["standard_uncertainties"]))
    pairs.append((out["y_expanded_uncertainty"], out["y_uncertainty"]))
    if any(big != k * u for big, u in pairs):
        fail(f"ν = {nu}: the expanded uncertainties are not k·u: {pairs}")

FIGURES = ("dof", "residual_sd", "covariance", "standard_uncertainties", "y_uncertainty", "coverage_factor",
           "expanded_uncertainties", "y_expanded_uncertainty")

# As many points as coefficients: nothing to estimate the scatter from.
status, out, _ = run([("1", "0"), ("3", "1"), ("2", "2")], "quadratic", at="1")
if status != 0 or any(out[k] is not None for k in FIGURES):
    fail(f"n = p: status {status}, {out}")

# A covariance beyond the double range is null, the rest still printed, the error named: status 4.
status, out, err = run([("0", "0"), ("1e200", "1"), ("-1e200", "2"), ("3e200", "3")], "linear")
if status != 4 or out["covariance"][1][1] is not None or out["error"] != "Floating point overflow" or \
        out["standard_uncertainties"][1] is None or err != "Floating point overflow\n":
    fail(f"overflow: status {status}, {out}, {err!r}")

# The uncertainties do not depend on the locale's decimal character.
comma, point = run(NORRIS, "linear", "0.5", "ru_RU.UTF-8")[1], run(NORRIS, "linear", "0.5")[1]
if any(comma[k] != point[k] for k in FIGURES):
    fail(f"a comma-decimal locale changes the figures: {comma}")

sys.exit(1 if failures else 0)
