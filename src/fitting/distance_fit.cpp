#include "fitting/distance_fit.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "fitting/messages.h"
#include "runtime/message_catalog.h"

namespace quorvel {

namespace {

// The points around the middle of the data: τ = (X − x0)/h and Y − y0 exact as double-doubles, the
// uncertainties in units of τ and Y.
struct TCentred {
    std::vector<TDoubleDouble> t;
    std::vector<TDoubleDouble> y;
    std::vector<double> ux;
    std::vector<double> uy;
};

TDoubleDouble ExactDifference(double a, double b) {
    return dd::TwoSum(a, -b);
}

TCentred Centre(const TPointTable& points, const TUncertaintyColumns& u, double& x0, double& y0, double& h) {
    const std::size_t n = points.size();
    long double sx = 0;
    long double sy = 0;
    for (const TDataPoint& p : points) {
        sx += p.X;
        sy += p.Y;
    }
    x0 = static_cast<double>(sx / static_cast<long double>(n));
    y0 = static_cast<double>(sy / static_cast<long double>(n));
    double spread = 0;
    for (const TDataPoint& p : points) {
        spread = std::max(spread, std::fabs(p.X - x0));
    }
    // A power of two, so that dividing by it is exact.
    int exponent = 0;
    std::frexp(spread, &exponent);
    h = spread > 0 ? std::ldexp(1.0, exponent) : 1.0;
    TCentred c;
    c.t.reserve(n);
    c.y.reserve(n);
    c.ux.reserve(n);
    c.uy.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const TDoubleDouble d = ExactDifference(points[i].X, x0);
        c.t.push_back({d.hi / h, d.lo / h});
        c.y.push_back(ExactDifference(points[i].Y, y0));
        c.ux.push_back(u.Ux(i) / h);
        c.uy.push_back(u.Uy(i));
    }
    return c;
}

inline double Value(double v) {
    return v;
}
inline double Value(TDoubleDouble v) {
    return v.hi;
}
template <class T>
T From(TDoubleDouble v);
template <>
inline double From<double>(TDoubleDouble v) {
    return v.hi;
}
template <>
inline TDoubleDouble From<TDoubleDouble>(TDoubleDouble v) {
    return v;
}

// g(τ), g'(τ) and g''(τ) of g = Σ b_j·τ^j.
template <class T>
void Polynomial(const std::array<T, 4>& b, int degree, T tau, T& g, T& g1, T& g2) {
    g = b[static_cast<std::size_t>(degree)];
    g1 = T(0.0);
    g2 = T(0.0);
    for (int j = degree - 1; j >= 0; --j) {
        g2 = g2 * tau + g1 * T(2.0);
        g1 = g1 * tau + g;
        g = g * tau + b[static_cast<std::size_t>(j)];
    }
}

template <class T>
struct TPass {
    T chiSquared = T(0.0);
    double gamma = 0;
    std::array<std::array<T, 4>, 4> n{};  // Σ τ^j·τ^k/D²
    std::array<T, 4> rhs{};               // Σ τ^j·(Y − g + g'·δ)/D²
};

// The foot point of one point for the coefficients b: δ, from the one before, by Newton's method on the
// point's own term (δ/u(X)² − g'(τ)·(Y − g(τ))/u(Y)² = 0).
template <class T>
T FootPoint(const std::array<T, 4>& b, int degree, T t, T y, double ux, double uy, T delta,
            double tolerance) {
    const T wx = T(1.0 / (ux * ux));
    const T wy = T(1.0 / (uy * uy));
    double previous = 0;
    for (int i = 0; i < 30; ++i) {
        T g, g1, g2;
        Polynomial(b, degree, t + delta, g, g1, g2);
        const T r = y - g;
        const T phi = delta * wx - g1 * r * wy;
        T slope = wx + (g1 * g1 - g2 * r) * wy;
        if (!(Value(slope) > 0)) {
            slope = wx + g1 * g1 * wy;  // where the term is not convex, the Gauss-Newton slope
        }
        const T step = phi / slope;
        delta -= step;
        // Settled, or the steps stop shrinking: they are then the arithmetic's own noise.
        const double size = std::fabs(Value(step));
        if (size <= tolerance * (std::fabs(Value(delta)) + ux) || (i > 0 && size >= previous / 2)) {
            break;
        }
        previous = size;
    }
    return delta;
}

// How far the passes have come, told to the steps every kPointsPerStep points: a point's foot point in
// double-double costs some ten times a point of a sum, so they come that much more often.
class TPassSteps {
public:
    static constexpr std::size_t kPointsPerStep = kItemsPerStep / 8;
    explicit TPassSteps(const TWorkSteps& steps) : steps_(steps) {}
    void PassBegins() { ++passes_; }
    void At(std::size_t i) const {
        if (steps_ && i % kPointsPerStep == kPointsPerStep - 1) {
            // The passes are counted as they come; a fit takes some ten, so the share nears 1 on the way.
            steps_(1 - 4.0 / (4.0 + passes_));
        }
    }

private:
    const TWorkSteps& steps_;
    int passes_ = 0;
};

// Finds every foot point for b and sums the reduced normal equations there.
template <class T>
TPass<T> Pass(const TCentred& c, int degree, const std::array<T, 4>& b, std::vector<T>& delta,
              double tolerance, TPassSteps& told) {
    TPass<T> pass;
    const std::size_t count = c.t.size();
    told.PassBegins();
    for (std::size_t i = 0; i < count; ++i) {
        told.At(i);
        const T t = From<T>(c.t[i]);
        const T y = From<T>(c.y[i]);
        const double ux = c.ux[i];
        const double uy = c.uy[i];
        T d = T(0.0);
        if (ux > 0) {
            d = FootPoint(b, degree, t, y, ux, uy, delta[i], tolerance);
            delta[i] = d;
        }
        const T tau = t + d;
        T g, g1, g2;
        Polynomial(b, degree, tau, g, g1, g2);
        const T r = y - g;
        const T ry = r / T(uy);
        T chi = ry * ry;
        double gamma = std::fabs(Value(ry));
        if (ux > 0) {
            const T rx = d / T(ux);
            chi += rx * rx;
            gamma = std::max(gamma, std::fabs(Value(rx)));
        }
        pass.chiSquared += chi;
        pass.gamma = std::max(pass.gamma, gamma);
        // D² = u(Y)² + g'²·u(X)²: the point's variance across the curve at its foot point.
        const T variance = T(uy * uy) + g1 * g1 * T(ux * ux);
        const T residual = (r + g1 * d) / variance;
        T power = T(1.0);
        std::array<T, 4> row{};
        for (int j = 0; j <= degree; ++j) {
            row[static_cast<std::size_t>(j)] = power;
            power *= tau;
        }
        for (int j = 0; j <= degree; ++j) {
            const auto jj = static_cast<std::size_t>(j);
            const T scaled = row[jj] / variance;
            pass.rhs[jj] += row[jj] * residual;
            for (int k = 0; k <= j; ++k) {
                pass.n[jj][static_cast<std::size_t>(k)] += scaled * row[static_cast<std::size_t>(k)];
            }
        }
    }
    for (int j = 0; j <= degree; ++j) {
        for (int k = j + 1; k <= degree; ++k) {
            pass.n[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)] =
                pass.n[static_cast<std::size_t>(k)][static_cast<std::size_t>(j)];
        }
    }
    return pass;
}

// The inverse of a symmetric positive definite matrix by Gauss-Jordan elimination; false when a pivot
// vanishes against the matrix's own scale (no unique solution).
template <class T>
bool Invert(std::array<std::array<T, 4>, 4> a, int size, std::array<std::array<T, 4>, 4>& inverse) {
    for (int i = 0; i < size; ++i) {
        for (int j = 0; j < size; ++j) {
            inverse[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = T(i == j ? 1.0 : 0.0);
        }
    }
    std::array<double, 4> scale{};
    for (int i = 0; i < size; ++i) {
        scale[static_cast<std::size_t>(i)] =
            std::fabs(Value(a[static_cast<std::size_t>(i)][static_cast<std::size_t>(i)]));
    }
    for (int col = 0; col < size; ++col) {
        const auto c = static_cast<std::size_t>(col);
        const T pivot = a[c][c];
        if (!(Value(pivot) > 1e-28 * scale[c])) {
            return false;
        }
        for (int j = 0; j < size; ++j) {
            a[c][static_cast<std::size_t>(j)] /= pivot;
            inverse[c][static_cast<std::size_t>(j)] /= pivot;
        }
        for (int row = 0; row < size; ++row) {
            const auto r = static_cast<std::size_t>(row);
            if (row == col) {
                continue;
            }
            const T f = a[r][c];
            for (int j = 0; j < size; ++j) {
                const auto k = static_cast<std::size_t>(j);
                a[r][k] -= f * a[c][k];
                inverse[r][k] -= f * inverse[c][k];
            }
        }
    }
    return true;
}

template <class T>
struct TIteration {
    std::array<T, 4> b{};
    std::vector<T> delta;
    TPass<T> pass;
    int iterations = 0;
};

// Gauss-Newton steps until each coefficient's step is below `tolerance` of its magnitude plus its
// standard uncertainty; false when that does not happen within `most` steps.
template <class T>
bool Iterate(const TCentred& c, int degree, TIteration<T>& it, double tolerance, int most,
             double footTolerance, TPassSteps& told) {
    const int size = degree + 1;
    it.pass = Pass(c, degree, it.b, it.delta, footTolerance, told);
    for (int step = 0; step < most; ++step) {
        std::array<std::array<T, 4>, 4> inverse{};
        if (!Invert(it.pass.n, size, inverse)) {
            throw EFitNotFound(Tr(kSolveFailedText));
        }
        std::array<T, 4> db{};
        bool small = true;
        for (int j = 0; j < size; ++j) {
            const auto jj = static_cast<std::size_t>(j);
            for (int k = 0; k < size; ++k) {
                db[jj] += inverse[jj][static_cast<std::size_t>(k)] * it.pass.rhs[static_cast<std::size_t>(k)];
            }
            const double sigma = std::sqrt(std::fabs(Value(inverse[jj][jj])));
            small = small && std::fabs(Value(db[jj])) <= tolerance * (std::fabs(Value(it.b[jj])) + sigma);
        }
        // Halve the step while it raises χ²; the last trial's pass is the next step's.
        double lambda = 1;
        for (int halving = 0;; ++halving) {
            std::array<T, 4> trial = it.b;
            for (int j = 0; j < size; ++j) {
                trial[static_cast<std::size_t>(j)] += db[static_cast<std::size_t>(j)] * T(lambda);
            }
            std::vector<T> delta = it.delta;
            TPass<T> pass = Pass(c, degree, trial, delta, footTolerance, told);
            const double before = Value(it.pass.chiSquared);
            if (Value(pass.chiSquared) <= before * (1 + 1e-13) + 1e-300 || halving == 40) {
                it.b = trial;
                it.delta = std::move(delta);
                it.pass = std::move(pass);
                break;
            }
            lambda /= 2;
        }
        ++it.iterations;
        if (small) {
            return true;
        }
    }
    return false;
}

}  // namespace

TDistanceSolution FitDistance(const TPointTable& points, const TUncertaintyColumns& u, int degree,
                              const TWorkSteps& steps) {
    TPassSteps told(steps);
    TDistanceSolution fit;
    fit.degree = degree;
    const TCentred c = Centre(points, u, fit.x0, fit.y0, fit.h);
    const int size = degree + 1;

    TIteration<double> coarse;
    coarse.delta.assign(points.size(), 0.0);
    if (!Iterate(c, degree, coarse, 1e-11, 1000, 1e-16, told)) {
        throw EFitNotFound(Tr(kNoConvergenceText));
    }
    TIteration<TDoubleDouble> fine;
    for (int j = 0; j < size; ++j) {
        fine.b[static_cast<std::size_t>(j)] = coarse.b[static_cast<std::size_t>(j)];
    }
    fine.delta.assign(coarse.delta.begin(), coarse.delta.end());
    if (!Iterate(c, degree, fine, 1e-26, 60, 1e-32, told)) {
        throw EFitNotFound(Tr(kNoConvergenceText));
    }
    fit.iterations = coarse.iterations + fine.iterations;
    fit.b = fine.b;
    if (!Invert(fine.pass.n, size, fit.covariance)) {
        throw EFitNotFound(Tr(kSolveFailedText));
    }
    fit.chiSquared = ToDouble(fine.pass.chiSquared);
    fit.gamma = fine.pass.gamma;
    return fit;
}

namespace {

TDoubleDouble Tau(const TDistanceSolution& fit, double x) {
    const TDoubleDouble d = ExactDifference(x, fit.x0);
    return {d.hi / fit.h, d.lo / fit.h};
}

}  // namespace

TDoubleDouble DistanceVarianceAt(const TDistanceSolution& fit, double x) {
    const TDoubleDouble tau = Tau(fit, x);
    std::array<TDoubleDouble, 4> g{};
    TDoubleDouble power = 1.0;
    for (int j = 0; j <= fit.degree; ++j) {
        g[static_cast<std::size_t>(j)] = power;
        power *= tau;
    }
    TDoubleDouble sum = 0.0;
    for (int j = 0; j <= fit.degree; ++j) {
        for (int k = 0; k <= fit.degree; ++k) {
            sum += g[static_cast<std::size_t>(j)] *
                   fit.covariance[static_cast<std::size_t>(j)][static_cast<std::size_t>(k)] *
                   g[static_cast<std::size_t>(k)];
        }
    }
    return sum;
}

}  // namespace quorvel
