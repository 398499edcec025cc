#!/usr/bin/env python3
"""Writes sigma_cases.txt: point tables with the root-mean-square deviation of their exact least-squares
polynomial, sigma = sqrt(S/(m − 1)), and s = sqrt(S/(m − p)), each the double nearest to the exact value.

Everything is exact: each double is a Fraction, the normal equations are solved by Gauss-Jordan
elimination over the fractions, S = Σ (y − P(x))², and the square root is rounded once from integers
(integer square root with a sticky bit, far below the smallest double's spacing).

Usage: sigma_cases.py > sigma_cases.txt"""
import math
import random
from fractions import Fraction as F


def fit(points, degree):
    p = degree + 1
    xs = [F(x) for x, _ in points]
    ys = [F(y) for _, y in points]
    a = [[sum(x ** (j + k) for x in xs) for k in range(p)] + [sum(y * x ** j for x, y in zip(xs, ys))]
         for j in range(p)]
    for c in range(p):
        pivot = next(r for r in range(c, p) if a[r][c] != 0)
        a[c], a[pivot] = a[pivot], a[c]
        for r in range(p):
            if r != c and a[r][c] != 0:
                f = a[r][c] / a[c][c]
                a[r] = [u - f * v for u, v in zip(a[r], a[c])]
    coefficients = [a[j][p] / a[j][j] for j in range(p)]
    return sum((y - sum(ck * x ** k for k, ck in enumerate(coefficients))) ** 2 for x, y in zip(xs, ys))


def nearest_root(q):
    """The double nearest to sqrt(q), q a non-negative Fraction."""
    if q == 0:
        return 0.0
    k = 1200 + max(0, 64 - q.numerator.bit_length() + q.denominator.bit_length()) // 2
    n = q.numerator * 4 ** k // q.denominator
    r = math.isqrt(n)
    if r * r == n and n * q.denominator == q.numerator * 4 ** k:
        return float(F(r, 2 ** k))
    return float(F(2 * r + 1, 2 ** (k + 1)))  # strictly between r and r + 1: rounds as the root does


def case(name, degree, points):
    s = fit(points, degree)
    m = len(points)
    print("case", name.replace(" ", "_"), degree, repr(nearest_root(s / (m - 1))),
          repr(nearest_root(s / (m - degree - 1))))
    for x, y in points:
        print(repr(x), repr(y))
    print("end")


rng = random.Random(20260912)
print("# name degree sigma s, then the points (x y), then end; written by sigma_cases.py")
for degree in (1, 2, 3):
    xs = [rng.uniform(0, 100) for _ in range(200)]
    case(f"200 random points degree {degree}", degree,
         [(x, 3 + 0.5 * x - 2e-3 * x * x + 1e-5 * x ** 3 + rng.gauss(0, 2)) for x in xs])
case("five points near 1e-158 degree 1", 1,
     [((i + 1 + rng.random()) * 1e-158, (2 * i + rng.random()) * 1e-158) for i in range(5)])
case("five readings of 1e-158 degree 3", 3,
     [(i + 1 + rng.random(), (2 * i + rng.random()) * 1e-158) for i in range(5)])
case("quadratic near 1e-302", 2,
     [((i + rng.random()) * 1e-302, (i * i * 0.5 + 3 * rng.random()) * 1e-302) for i in range(1, 9)])
case("cubic of readings of 1e-170 whose squares underflow", 3,
     [(i + rng.random(), (1 + i + rng.random()) * 1e-170) for i in range(1, 12)])
xs = ["%.6f" % (1e7 + i * 1.001) for i in range(25)]
case("25 readings around 10^7 cubic", 3,
     [(float(x), float("%.6f" % (float(x) + 0.1 * math.sin(1.7 * i + 0.3)))) for i, x in enumerate(xs)])
case("large deviations", 1, [(float(i), (-1) ** i * 1e200 * (1 + i / 7)) for i in range(6)])
