#!/usr/bin/env python3
"""Writes critical_values.txt: the two-sided 95 % quantile of Student's t distribution, t(0.975; ν), and
the upper 5 % point of the chi-squared distribution, χ²(0.95; ν), for ν = 1 … 100 and a few large ν, to
45 significant digits, by root finding on the distribution functions in mpmath at 80 digits.

Each quantile is bracketed and then polished by Newton's method on the regularized incomplete beta or
gamma function, and the root is checked to solve its equation to far below the digits written:
   t:  ½·I_{ν/(ν + t²)}(ν/2, ½) = 0.025     (the upper tail of t)
   χ²: Q(ν/2, x/2) = 0.05                   (the upper tail of χ², Q the regularized upper gamma)

Usage: critical_values.py > critical_values.txt"""
import mpmath as mp

mp.mp.dps = 80
DIGITS = 45


def t_tail(nu, t):
    return mp.betainc(mp.mpf(nu) / 2, mp.mpf(1) / 2, 0, nu / (nu + t * t), regularized=True) / 2


def chi_tail(nu, x):
    return mp.gammainc(mp.mpf(nu) / 2, x / 2, mp.inf, regularized=True)


def solve(f, target, lo, hi):
    """The root of f(x) = target on [lo, hi], f decreasing there."""
    lo, hi = mp.mpf(lo), mp.mpf(hi)
    assert f(lo) > target > f(hi)
    for _ in range(60):  # bisection to a few digits, then the secant method to the end
        mid = (lo + hi) / 2
        if f(mid) > target:
            lo = mid
        else:
            hi = mid
    root = mp.findroot(lambda x: f(x) - target, (lo, hi), solver="secant", tol=mp.mpf(10) ** -75)
    residual = abs(f(root) - target)
    assert residual < mp.mpf(10) ** -70, (root, residual)
    return root


NUS = list(range(1, 101)) + [150, 200, 500, 1000, 10000, 100000, 1000000]
print("# nu  t(0.975; nu)  chi-squared(0.95; nu), each to %d significant digits (mpmath %s)"
      % (DIGITS, mp.__version__))
for nu in NUS:
    t = solve(lambda v: t_tail(nu, v), mp.mpf("0.025"), 1.9, 13)
    chi = solve(lambda v: chi_tail(nu, v), mp.mpf("0.05"), max(0.0, nu - 10 * nu ** 0.5 - 10),
                nu + 10 * nu ** 0.5 + 20)
    print(nu, mp.nstr(t, DIGITS, strip_zeros=False), mp.nstr(chi, DIGITS, strip_zeros=False))
