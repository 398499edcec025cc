#!/usr/bin/env python3
"""Writes distance_cases.txt: generalized distance regression problems and their solutions worked out
in 60-digit arithmetic, for the fitting tests to hold the program's double-double solution against.

The solution here is found independently of the program: Gauss-Newton on all unknowns at once (the
coefficients of the polynomial in X itself and every foot point), with the full Jacobian of the 2n
weighted residuals, in mpmath at 60 digits, until the step is below 1e-45 of the unknowns. The covariance
is the coefficient block of (JᵀJ)⁻¹ at the solution. Needs mpmath; run it from this folder:
    python3 distance_cases.py > distance_cases.txt
"""
import random
from mpmath import mp, mpf, matrix, lu_solve, inverse, sqrt, fabs

mp.dps = 60


def solve(points, degree):
    n = len(points)
    p = degree + 1
    xs = [mpf(x) for x, _, _, _ in points]
    ys = [mpf(y) for _, y, _, _ in points]
    uxs = [mpf(ux) for _, _, ux, _ in points]
    uys = [mpf(uy) for _, _, _, uy in points]
    free = [i for i in range(n) if uxs[i] > 0]  # foot points that move
    # Start: ordinary weighted fit in Y.
    a = matrix(p, 1)
    m = matrix(p, p)
    r = matrix(p, 1)
    for i in range(n):
        w = 1 / uys[i] ** 2
        for j in range(p):
            r[j] += w * xs[i] ** j * ys[i]
            for k in range(p):
                m[j, k] += w * xs[i] ** (j + k)
    a = lu_solve(m, r)
    xi = list(xs)
    unknowns = p + len(free)

    def residuals(a, xi):
        res = []
        for i in range(n):
            f = sum(a[j] * xi[i] ** j for j in range(p))
            res.append((ys[i] - f) / uys[i])
            if uxs[i] > 0:
                res.append((xs[i] - xi[i]) / uxs[i])
        return res

    def jacobian(a, xi):
        rows = []
        col = {idx: p + c for c, idx in enumerate(free)}
        for i in range(n):
            row = [mpf(0)] * unknowns
            for j in range(p):
                row[j] = -xi[i] ** j / uys[i]
            if uxs[i] > 0:
                slope = sum(j * a[j] * xi[i] ** (j - 1) for j in range(1, p))
                row[col[i]] = -slope / uys[i]
            rows.append(row)
            if uxs[i] > 0:
                row = [mpf(0)] * unknowns
                row[col[i]] = -1 / uxs[i]
                rows.append(row)
        return matrix(rows)

    for _ in range(500):
        res = matrix(residuals(a, xi))
        J = jacobian(a, xi)
        JtJ = J.T * J
        step = lu_solve(JtJ, -(J.T * res))
        for j in range(p):
            a[j] += step[j]
        for c, idx in enumerate(free):
            xi[idx] += step[p + c]
        # Every unknown must have settled: the first step may leave the coefficients where they are.
        size = max(max(fabs(step[j]) / (fabs(a[j]) + 1) for j in range(p)),
                   max((fabs(step[p + c]) / (fabs(xi[idx]) + 1) for c, idx in enumerate(free)), default=0))
        if size < mpf(10) ** -45:
            break
    else:
        raise RuntimeError("no convergence")
    J = jacobian(a, xi)
    cov = inverse(J.T * J)
    res = residuals(a, xi)
    chi2 = sum(v * v for v in res)
    gamma = max(fabs(v) for v in res)
    return a, cov, chi2, gamma


def case(name, degree, points):
    a, cov, chi2, gamma = solve(points, degree)
    p = degree + 1
    print(f"case {name} {degree} {len(points)}")
    for x, y, ux, uy in points:
        print(f"point {float.hex(x)} {float.hex(y)} {float.hex(ux)} {float.hex(uy)}")
    print("a " + " ".join(mp.nstr(a[j], 40) for j in range(p)))
    print("u " + " ".join(mp.nstr(sqrt(cov[j, j]), 40) for j in range(p)))
    print("cov " + " ".join(mp.nstr(cov[j, k], 40) for j in range(p) for k in range(p)))
    print(f"chi2 {mp.nstr(chi2, 40)}")
    print(f"gamma {mp.nstr(gamma, 40)}")


def noisy(rng, true, xs, ux, uy, offset=0.0):
    points = []
    for x in xs:
        xt = x + offset
        y = sum(c * xt ** j for j, c in enumerate(true))
        points.append((xt + rng.gauss(0, ux), y + rng.gauss(0, uy), ux, uy))
    return points


def main():
    rng = random.Random(28037)
    print("# generalized distance regression cases: written by distance_cases.py (mpmath, 60 digits)")
    # The published example of a straight line with uncertainties in both variables.
    xs = [1.2, 1.9, 2.9, 4.0, 4.7, 5.9]
    ys = [3.4, 4.4, 7.2, 8.5, 10.8, 13.5]
    uys = [0.2, 0.2, 0.2, 0.4, 0.4, 0.4]
    case("published_line", 1, [(x, y, 0.2, u) for x, y, u in zip(xs, ys, uys)])
    case("quadratic", 2, noisy(rng, [0.5, 1.2, 0.08], [i * 0.8 for i in range(12)], 0.02, 0.05))
    case("cubic", 3, noisy(rng, [-2.0, 0.9, 0.15, -0.011], [i * 0.7 for i in range(15)], 0.03, 0.04))
    case("offset_line", 1, noisy(rng, [12.5, 0.98], [i * 10.0 for i in range(10)], 0.05, 0.1, offset=101325.0))
    case("offset_quadratic", 2,
         noisy(rng, [3.0, 1.001, 2e-7], [i * 25.0 for i in range(11)], 0.1, 0.2, offset=100000.0))
    case("large_ux", 2, noisy(rng, [1.0, 2.0, 0.3], [i * 1.0 for i in range(9)], 0.6, 0.1))
    case("tiny_ux", 3, noisy(rng, [0.2, 1.0, -0.05, 0.004], [i * 1.5 for i in range(10)], 1e-9, 0.03))
    far = noisy(rng, [1.0, 2.0], [i * 1.0 for i in range(8)], 0.05, 0.05)
    far[5] = (far[5][0], far[5][1] + 3.0, far[5][2], far[5][3])
    case("far_point", 1, far)
    mixed = noisy(rng, [0.0, 1.5, 0.02], [i * 0.5 for i in range(10)], 0.04, 0.06)
    mixed = [(x, y, ux if i % 3 else 0.0, uy * (1 + 0.1 * i)) for i, (x, y, ux, uy) in enumerate(mixed)]
    case("mixed_ux", 2, mixed)
    case("offset_cubic", 3,
         noisy(rng, [1.5, 0.999, 3e-6, 2e-8], [i * 12.5 for i in range(16)], 0.02, 0.05, offset=20000.0))
    case("negative_cubic", 3, noisy(rng, [5.0, -3.0, 0.5, 0.02], [-6 + i * 0.9 for i in range(14)], 0.05, 0.08))


if __name__ == "__main__":
    main()
