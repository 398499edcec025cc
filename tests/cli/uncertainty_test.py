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


# --- Given uncertainties (--uncertainties): lines "Y X u(Y) [u(X)]".


def run_given(lines, args, locale="C", readings=None):
    with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as f:
        f.write("".join(" ".join(words) + "\n" for words in lines))
    extra = []
    if readings is not None:
        with tempfile.NamedTemporaryFile("w", suffix=".txt", delete=False) as g:
            g.write(readings)
        extra = ["--apply", g.name]
    r = subprocess.run([FIT] + args + extra + [f.name], capture_output=True, text=True,
                       env=dict(os.environ, LC_ALL=locale))
    os.unlink(f.name)
    if extra:
        os.unlink(extra[1])
    return r.returncode, r.stdout, r.stderr.replace(f.name, "DATA")


def exact_weighted(points, p):
    """Coefficients, (AᵀWA)⁻¹ and Σw·r² of the weighted fit, w = 1/u(Y)², in rationals."""
    xs = [Fraction(x) for x, _, _ in points]
    ys = [Fraction(y) for _, y, _ in points]
    ws = [1 / Fraction(u) ** 2 for _, _, u in points]
    inv = inverse([[sum(w * x ** (j + k) for x, w in zip(xs, ws)) for k in range(p)] for j in range(p)])
    b = [sum(w * x ** j * y for x, y, w in zip(xs, ys, ws)) for j in range(p)]
    a = [sum(inv[j][k] * b[k] for k in range(p)) for j in range(p)]
    chi2 = sum(w * (y - sum(a[k] * x ** k for k in range(p))) ** 2 for x, y, w in zip(xs, ys, ws))
    return a, inv, chi2


PUBLISHED = [1, 2, 3, 4, 5, 6], [3.3, 5.6, 7.1, 9.3, 10.7, 12.1]
lines = [(repr(y), repr(x), "0.5") for x, y in zip(*PUBLISHED)]
status, out, err = run_given(lines, ["--uncertainties", "--kind", "linear", "--json", "--at", "3.5", "--at-u", "0.2",
                                     "--inverse", "10.5", "--inverse-u", "0.5"])
if status != 0:
    fail(f"published example: status {status}, {err}")
else:
    o = json.loads(out)
    got = [o["coefficients"][0], o["standard_uncertainties"][0], o["coefficients"][1], o["standard_uncertainties"][1],
           o["covariance"][0][1], o["chi2"], o["chi2_critical"], o["y"], o["y_uncertainty"], o["inverse"]["x"],
           o["inverse"]["x_uncertainty"]]
    want = [1.867, 0.465, 1.757, 0.120, -0.050, 1.665, 9.488, 8.017, 0.406, 4.913, 0.322]
    if [round(g, 3) for g in got] != want or o["method"] != "weighted" or not o["consistent"] or o["dof"] != 4:
        fail(f"published example: {got} against {want}, {o['method']}")
    if o["coverage_factor"] != 1.959963984540054 or o["residual_sd"] is not None:
        fail(f"published example: k {o['coverage_factor']}, residual_sd {o['residual_sd']}")

# Weighted fits against rationals, with several u(Y) values and near an offset: each figure the nearest
# double to the exact one.
rng = random.Random(6143)
for name, kind, offset, us in [("quadratic, three u", "quadratic", 0.0, [0.02, 0.05, 0.1]),
                               ("cubic near 101 325", "cubic", 101325.0, [0.01, 0.015]),
                               ("line, one u", "linear", 50.0, [0.3])]:
    p = KINDS[kind]
    points = []
    for i in range(14):
        x = offset + i * 1.7 + rng.uniform(-0.2, 0.2)
        u = rng.choice(us)
        points.append((x, 2 + 0.9 * (x - offset) + 0.01 * (x - offset) ** 2 + rng.gauss(0, u), u))
    at = offset + 5.5
    status, out, err = run_given([(repr(y), repr(x), repr(u)) for x, y, u in points],
                                 ["--uncertainties", "--kind", kind, "--json", "--at", repr(at)])
    if status != 0:
        fail(f"{name}: status {status}, {err}")
        continue
    o = json.loads(out)
    a, inv, chi2 = exact_weighted(points, p)
    for j in range(p):
        if not is_nearest(a[j], o["coefficients"][j]):
            fail(f"{name}: a{j} {o['coefficients'][j]!r} != {float(a[j])!r}")
        if not is_nearest_sqrt(inv[j][j], o["standard_uncertainties"][j]):
            fail(f"{name}: u{j} {o['standard_uncertainties'][j]!r}")
        for k in range(p):
            if not is_nearest(inv[j][k], o["covariance"][j][k]):
                fail(f"{name}: covariance[{j}][{k}]")
    if not is_nearest(chi2, o["chi2"]):
        fail(f"{name}: chi2 {o['chi2']!r} != {float(chi2)!r}")
    g = [Fraction(at) ** k for k in range(p)]
    if not is_nearest_sqrt(sum(g[j] * inv[j][k] * g[k] for j in range(p) for k in range(p)), o["y_uncertainty"]):
        fail(f"{name}: y_uncertainty {o['y_uncertainty']!r}")

# A rule fills a missing column exactly as the same values written out would.
rows = [(repr(3 * x + 0.1 * (-1) ** x), repr(float(x))) for x in range(1, 9)]
by_rule = run_given(rows, ["--u-y", "0.05+0.02%", "--u-x", "0.1%", "--json"])
written = run_given([(y, x, repr(0.05 + 0.02 / 100 * abs(float(y))), repr(0 + 0.1 / 100 * abs(float(x))))
                     for y, x in rows], ["--uncertainties", "--json"])
if by_rule[0] != 0 or by_rule[1] != written[1] or json.loads(by_rule[1])["method"] != "generalized":
    fail(f"rules: {by_rule} against {written}")

# Without --uncertainties the further words change nothing.
plain = run_given([(y, x) for y, x in rows], ["--json", "--kind", "quadratic"])
ignored = run_given([(y, x, "0.5", "junk") for y, x in rows], ["--json", "--kind", "quadratic"])
if plain != ignored:
    fail(f"further words: {ignored} against {plain}")

# Wrong uncertainties are errors that name the line, never defaults: status 2, nothing on standard output.
good = [("1", "1", "0.1"), ("2", "2", "0.1"), ("3", "3", "0.1")]
for name, bad, message in [
        ("missing u(Y)", ("4", "4"), "DATA:4: no u(Y) (the third word), and no --u-y rule\n"),
        ("zero u(Y)", ("4", "4", "0"), "DATA:4: 0: u(Y) must be greater than 0\n"),
        ("negative u(Y)", ("4", "4", "-0.1"), "DATA:4: -0.1: u(Y) must be greater than 0\n"),
        ("negative u(X)", ("4", "4", "0.1", "-1"), "DATA:4: -1: u(X) must not be negative\n"),
        ("no number", ("4", "4", "abc"), "DATA:4: abc: 'abc' is not a valid floating point value\n")]:
    status, out, err = run_given(good + [bad] + good, ["--uncertainties", "--kind", "linear"])
    if status != 2 or out != "" or err != message:
        fail(f"{name}: status {status}, {out!r}, {err!r}")
# A line that is no row (one word, or empty) needs nothing.
status, out, err = run_given(good + [("5",), ()] + good, ["--uncertainties", "--kind", "linear"])
if status != 0:
    fail(f"rows without X: status {status}, {err}")

# Uncertainties in both variables: the published straight line.
xs, ys = [1.2, 1.9, 2.9, 4.0, 4.7, 5.9], [3.4, 4.4, 7.2, 8.5, 10.8, 13.5]
uys = [0.2, 0.2, 0.2, 0.4, 0.4, 0.4]
status, out, err = run_given([(repr(y), repr(x), repr(u), "0.2") for x, y, u in zip(xs, ys, uys)],
                             ["--uncertainties", "--kind", "linear", "--json"])
o = json.loads(out) if status == 0 else None
if o is None or o["method"] != "generalized" or \
        [round(v, 4) for v in (o["coefficients"][0], o["standard_uncertainties"][0], o["coefficients"][1],
                               o["standard_uncertainties"][1], o["covariance"][0][1])] != \
        [0.5788, 0.4764, 2.1597, 0.1355, -0.0577] or round(o["chi2"], 3) != 2.743:
    fail(f"both variables: status {status}, {out}, {err}")

# The inverse with no X, or two, in the data's range: status 1, the rest still written.
status, out, err = run_given(lines, ["--uncertainties", "--kind", "linear", "--inverse", "50"])
if status != 1 or "X=" in out or "--inverse" not in err:
    fail(f"inverse outside: status {status}, {out!r}, {err!r}")

# Readings with their u(X): X, Y and u(Y), the same figures as --at with --at-u.
status, out, err = run_given(lines, ["--uncertainties", "--kind", "linear"], readings="3.5 0.2\n4\n\nabc\n")
at = json.loads(run_given(lines, ["--uncertainties", "--kind", "linear", "--json", "--at", "3.5", "--at-u",
                                  "0.2"])[1])
first = out.split("\n")[0].split("\t")
if status != 2 or len(first) != 3 or float(first[1]) != at["y"] or float(first[2]) != at["y_uncertainty"] or \
        out.split("\n")[2:4] != ["", "abc\t"]:
    fail(f"readings: status {status}, {out!r}, {err!r}")

sys.exit(1 if failures else 0)
