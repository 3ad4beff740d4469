#include "equilibrium/critical.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>

#include "equilibrium/stability.h"

namespace zpk::equilibrium {

namespace {

constexpr double kNaNd = std::numeric_limits<double>::quiet_NaN();

// Brent's method for a root of f in [a, b], f(a) and f(b) of opposite sign.
// Returns NaN when f fails (non-finite) on the way.
template <class F> double brent(F&& f, double a, double b, double fa, double fb, double tol) {
    double c = a, fc = fa, d = b - a, e = d;
    for (int it = 0; it < 100; ++it) {
        if ((fb > 0) == (fc > 0)) {
            c = a;
            fc = fa;
            d = e = b - a;
        }
        if (std::fabs(fc) < std::fabs(fb)) {
            a = b;
            b = c;
            c = a;
            fa = fb;
            fb = fc;
            fc = fa;
        }
        const double tol1 = 2.0 * std::numeric_limits<double>::epsilon() * std::fabs(b) + 0.5 * tol;
        const double xm = 0.5 * (c - b);
        if (std::fabs(xm) <= tol1 || fb == 0.0) return b;
        if (std::fabs(e) >= tol1 && std::fabs(fa) > std::fabs(fb)) {
            // inverse quadratic interpolation or secant
            double p, q;
            const double s = fb / fa;
            if (a == c) {
                p = 2.0 * xm * s;
                q = 1.0 - s;
            } else {
                const double qq = fa / fc, r = fb / fc;
                p = s * (2.0 * xm * qq * (qq - r) - (b - a) * (r - 1.0));
                q = (qq - 1.0) * (r - 1.0) * (s - 1.0);
            }
            if (p > 0) q = -q;
            p = std::fabs(p);
            if (2.0 * p < std::min(3.0 * xm * q - std::fabs(tol1 * q), std::fabs(e * q))) {
                e = d;
                d = p / q;
            } else {
                d = e = xm;
            }
        } else {
            d = e = xm;
        }
        a = b;
        fa = fb;
        b += (std::fabs(d) > tol1) ? d : std::copysign(tol1, xm);
        fb = f(b);
        if (!std::isfinite(fb)) return kNaNd;
    }
    return b;
}

// One mole of the composition restricted to its nonzero components, and the
// stability analysis on it.  Not shared between threads.
class Analysis {
  public:
    Analysis(const models::PhaseModel& m, const double* zin, int n) : m_(m), n_(n) {
        double sum = 0;
        for (int i = 0; i < n_; ++i)
            if (zin[i] > 0 && std::isfinite(zin[i])) sum += zin[i];
        z_.assign(n_, 0.0);
        if (!(sum > 0) || !std::isfinite(sum)) return;
        for (int i = 0; i < n_; ++i)
            if (zin[i] > 0 && std::isfinite(zin[i])) {
                z_[i] = zin[i] / sum;
                idx_.push_back(i);
                sq_.push_back(std::sqrt(z_[i]));
            }
        k_ = static_cast<int>(idx_.size());
        work_.resize(n_);
        dn_.resize(n_);
    }

    bool empty() const { return k_ == 0; }
    double volumeScale() const { return m_.volumeScale(z_.data()); }

    double F_ij(int a, int b) const { return d_.F_ij[static_cast<std::size_t>(idx_[a]) * n_ + idx_[b]]; }

    // Smallest eigenvalue of M at (T, V) and, when u is given, its unit
    // eigenvector.  NaN when the model cannot be evaluated there.
    double eigen(double T, double V, Eigen::VectorXd* u) {
        if (!m_.residualDerivatives(T, V, z_.data(), 1, d_)) return kNaNd;
        if (k_ == 1) {
            if (u) *u = Eigen::VectorXd::Ones(1);
            const double l = 1.0 + z_[idx_[0]] * F_ij(0, 0);
            return std::isfinite(l) ? l : kNaNd;
        }
        Eigen::MatrixXd M(k_, k_);
        for (int a = 0; a < k_; ++a)
            for (int b = 0; b < k_; ++b)
                M(a, b) = (a == b ? 1.0 : 0.0) + sq_[a] * sq_[b] * F_ij(a, b);
        if (!M.allFinite()) return kNaNd;
        Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(M, u ? Eigen::ComputeEigenvectors
                                                               : Eigen::EigenvaluesOnly);
        if (es.info() != Eigen::Success) return kNaNd;
        if (u) *u = es.eigenvectors().col(0);
        return es.eigenvalues()(0);
    }

    // The highest temperature at which the smallest eigenvalue is zero at
    // volume V: scanned downwards from a temperature where the fluid is
    // stable, then refined by Brent's method to relative tolerance tol.  The
    // unstable region at fixed volume reaches down from the limit, so the
    // first negative eigenvalue brackets it.  Without a hint the scan starts
    // at twice tScale in steps of 15 %; with the limit expected from nearby
    // volumes as hint it starts 3 % above it in steps of 1.5 %, and a start
    // that is already unstable steps up by 10 % until the fluid is stable
    // (that step and the one before bracket the limit).  NaN when the fluid
    // stays stable down to 2 % of tScale.
    double limitTemperature(double V, double tScale, double hint = kNaNd, double tol = 1e-13) {
        const bool warm = hint > 0 && std::isfinite(hint);
        double Thi = warm ? 1.03 * hint : 2.0 * tScale;
        const double factor = warm ? 0.985 : 0.85;
        double lhi = eigen(Thi, V, nullptr);
        double Tlo = kNaNd, llo = kNaNd; // unstable, just below Thi
        for (int up = 0; warm && up < 8 && std::isfinite(lhi) && !(lhi > 0); ++up) {
            Tlo = Thi;
            llo = lhi;
            Thi *= 1.1;
            lhi = eigen(Thi, V, nullptr);
        }
        if (!(lhi > 0)) Tlo = kNaNd;
        for (int up = 0; up < 8 && !(lhi > 0); ++up) {
            Thi *= 2.0;
            lhi = eigen(Thi, V, nullptr);
        }
        if (!(lhi > 0)) return kNaNd;
        if (std::isfinite(Tlo)) {
            if (llo == 0) return Tlo;
            return brent([&](double t) { return eigen(t, V, nullptr); }, Tlo, Thi, llo, lhi, tol * Thi);
        }
        const double floorT = 0.02 * tScale;
        for (double T = Thi * factor; T > floorT; T *= factor) {
            const double l = eigen(T, V, nullptr);
            if (!std::isfinite(l)) return kNaNd;
            if (l <= 0) {
                if (l == 0) return T;
                return brent([&](double t) { return eigen(t, V, nullptr); }, T, Thi, l, lhi, tol * Thi);
            }
            Thi = T;
            lhi = l;
        }
        return kNaNd;
    }

    // Cubic form of A/RT along the critical direction dn_i = sqrt(z_i) u_i
    // at (T, V).  The eigenvector is oriented to a non-negative product with
    // ref, or without ref to a non-negative change of the total moles.  The
    // ideal part is exact (-sum dn^3 / n^2); the residual part is a central
    // difference of dn^T F'' dn along dn.
    double cubicForm(double T, double V, const Eigen::VectorXd* ref, Eigen::VectorXd& u) {
        if (!std::isfinite(eigen(T, V, &u))) return kNaNd;
        if (ref) {
            if (u.dot(*ref) < 0) u = -u;
        } else {
            double s = 0;
            for (int a = 0; a < k_; ++a)
                s += sq_[a] * u(a);
            if (s < 0) u = -u;
        }
        std::fill(dn_.begin(), dn_.end(), 0.0);
        double ideal = 0;
        for (int a = 0; a < k_; ++a) {
            const int i = idx_[a];
            dn_[i] = sq_[a] * u(a);
            ideal -= dn_[i] * dn_[i] * dn_[i] / (z_[i] * z_[i]);
        }
        constexpr double eps = 1e-4;
        auto quad = [&](double s) {
            for (int i = 0; i < n_; ++i)
                work_[i] = z_[i] + s * dn_[i];
            if (!m_.residualDerivatives(T, V, work_.data(), 1, d_)) return kNaNd;
            double q = 0;
            for (int a = 0; a < k_; ++a)
                for (int b = 0; b < k_; ++b)
                    q += dn_[idx_[a]] * dn_[idx_[b]] * F_ij(a, b);
            return q;
        };
        return ideal + (quad(eps) - quad(-eps)) / (2.0 * eps);
    }

    // P = R T (N / V - dF/dV) for one mole.
    double pressure(double T, double V) {
        if (!m_.residualDerivatives(T, V, z_.data(), 0, d_)) return kNaNd;
        return models::kR * T * (1.0 / V - d_.F_V);
    }

    // A temperature scale when the caller gives none: the lowest power of two
    // (from 100 K) at which the fluid at three times the volume scale is stable.
    double guessScale() {
        const double V = 3.0 * volumeScale();
        double T = 100;
        for (int k = 0; k < 8; ++k, T *= 2.0)
            if (eigen(T, V, nullptr) > 0) break;
        return T;
    }

  private:
    const models::PhaseModel& m_;
    int n_, k_ = 0;
    std::vector<double> z_, sq_, work_, dn_;
    std::vector<int> idx_;
    models::ResidualDerivs d_;
};

// Largest |smallest eigenvalue| of the scaled Hessian (whose ideal part is
// the identity) at an accepted critical point.
constexpr double kEigenTolerance = 1e-8;

struct GridPoint {
    double V = 0, T = kNaNd, c = kNaNd;
    Eigen::VectorXd u;
};

// The stability limit expected at grid point k from the two before it
// (extrapolated in ln T over the even steps of ln V), from the one before
// when there is only one; NaN at the first point.
double expectedLimit(const std::vector<GridPoint>& grid, int k) {
    if (k == 0) return kNaNd;
    const double t1 = grid[k - 1].T;
    if (k == 1 || !std::isfinite(t1)) return t1;
    const double t0 = grid[k - 2].T;
    return std::isfinite(t0) && t0 > 0 ? t1 * (t1 / t0) : t1;
}

} // namespace

std::vector<CriticalPoint> criticalPoints(const models::PhaseModel& model, const double* z, int n,
                                          const CriticalSearch& search) {
    std::vector<CriticalPoint> out;
    Analysis a(model, z, n);
    if (a.empty()) return out;
    const double vscale = a.volumeScale();
    if (!(vscale > 0) || !std::isfinite(vscale)) return out;
    const double tScale = search.temperatureScale > 0 ? search.temperatureScale : a.guessScale();

    // Stability limit and cubic form on a logarithmic volume grid; the
    // eigenvector keeps its orientation from one grid point to the next.
    const int steps = std::max(search.volumeSteps, 4);
    const double r0 = std::log(search.minVolumeRatio), r1 = std::log(search.maxVolumeRatio);
    std::vector<GridPoint> grid(steps);
    const Eigen::VectorXd* ref = nullptr;
    for (int k = 0; k < steps; ++k) {
        GridPoint& g = grid[k];
        g.V = vscale * std::exp(r0 + (r1 - r0) * k / (steps - 1));
        g.T = a.limitTemperature(g.V, tScale, expectedLimit(grid, k), 1e-10);
        if (std::isfinite(g.T)) g.c = a.cubicForm(g.T, g.V, ref, g.u);
        ref = std::isfinite(g.c) ? &g.u : nullptr;
    }

    // Every sign change of the cubic form between neighbours, refined in ln V.
    for (int k = 0; k + 1 < steps; ++k) {
        const GridPoint &lo = grid[k], &hi = grid[k + 1];
        if (!std::isfinite(lo.c) || !std::isfinite(hi.c)) continue;
        if ((lo.c > 0) == (hi.c > 0) && lo.c != 0) continue;
        double T = lo.T, lnV = std::log(lo.V);
        if (lo.c == 0) T = a.limitTemperature(lo.V, tScale, lo.T);
        if (lo.c != 0) {
            Eigen::VectorXd u;
            auto f = [&](double x) {
                const double V = std::exp(x);
                T = a.limitTemperature(V, tScale, std::isfinite(T) ? T : lo.T);
                return std::isfinite(T) ? a.cubicForm(T, V, &lo.u, u) : kNaNd;
            };
            lnV = brent(f, std::log(lo.V), std::log(hi.V), lo.c, hi.c, 1e-12);
            if (!std::isfinite(lnV)) continue;
            const double c = f(lnV);
            // A sign change through a jump of the stability limit from one
            // branch to another is no critical point.
            if (!std::isfinite(c) || std::fabs(c) > 1e-4 * std::max(std::fabs(lo.c), std::fabs(hi.c)))
                continue;
        }
        const double V = std::exp(lnV);
        const double P = a.pressure(T, V);
        if (!(P > 0) || !std::isfinite(P)) continue;
        // Verified before it is kept: on the stability limit (smallest
        // eigenvalue zero) and, also for a grid point that hit it exactly,
        // with a vanishing cubic form.
        Eigen::VectorXd u;
        const double lambda = a.eigen(T, V, nullptr);
        const double c = a.cubicForm(T, V, &lo.u, u);
        if (!(std::fabs(lambda) <= kEigenTolerance) ||
            !(std::fabs(c) <= 1e-4 * std::max(std::fabs(lo.c), std::fabs(hi.c))))
            continue;
        out.push_back({T, P, V, true});
    }
    std::sort(out.begin(), out.end(),
              [](const CriticalPoint& x, const CriticalPoint& y) { return x.T < y.T; });
    return out;
}

void orderByStability(const FluidSystem& sys, const double* zin, std::vector<CriticalPoint>& points) {
    const int n = sys.size();
    std::vector<double> z(n), d(n), w;
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += std::max(zin[i], 0.0);
    if (!(sum > 0)) return;
    for (int i = 0; i < n; ++i)
        z[i] = std::max(zin[i], 0.0) / sum;
    models::PhaseProps props;
    for (auto& p : points) {
        if (!evalPhase(sys, p.T, p.P, z.data(), models::Root::Stable, 0, props)) continue;
        for (int i = 0; i < n; ++i)
            d[i] = z[i] > 0 ? std::log(z[i]) + props.lnphi[i] : 0.0;
        // At a critical point the trial phases collapse onto the feed
        // (tm = 0); only a clearly negative distance marks it unstable.
        p.stable = !(stabilityTest(sys, p.T, p.P, z.data(), d.data(), w) < -1e-7);
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const CriticalPoint& x, const CriticalPoint& y) { return x.stable && !y.stable; });
}

double smallestEigenvalue(const models::PhaseModel& model, const double* z, int n, double T, double V) {
    Analysis a(model, z, n);
    return a.empty() ? kNaNd : a.eigen(T, V, nullptr);
}

double stabilityLimitTemperature(const models::PhaseModel& model, const double* z, int n, double V,
                                 double hint) {
    Analysis a(model, z, n);
    return a.empty() ? kNaNd : a.limitTemperature(V, a.guessScale(), hint);
}

} // namespace zpk::equilibrium
