#include "equilibrium/critical.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

namespace zpk::equilibrium {

namespace {

struct Ctx {
    const models::PhaseModel& m;
    std::vector<double> z;
    std::vector<int> act;
    int n;
};

// Smallest eigenvalue and its eigenvector of the reduced stability matrix at (T, V).
bool smallest(const Ctx& c, double T, double V, const std::vector<double>& nvec, double& lambda,
              Eigen::VectorXd* u = nullptr) {
    models::ResidualDerivs d;
    if (!c.m.residualDerivatives(T, V, nvec.data(), 1, d)) return false;
    const int m = static_cast<int>(c.act.size());
    Eigen::MatrixXd B(m, m);
    for (int a = 0; a < m; ++a)
        for (int b = 0; b < m; ++b) {
            const int i = c.act[a], j = c.act[b];
            B(a, b) = std::sqrt(c.z[i] * c.z[j]) * d.F_ij[i * c.n + j] + (a == b ? 1.0 : 0.0);
        }
    if (!B.allFinite()) return false;
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> es(B);
    lambda = es.eigenvalues()(0);
    if (u) *u = es.eigenvectors().col(0);
    return true;
}

// Spinodal temperature at volume V: the highest T below Tstart where the
// smallest eigenvalue vanishes.  Returns 0 when none.
double spinodalT(const Ctx& c, double V, double Tstart) {
    double Ta = Tstart, la;
    if (!smallest(c, Ta, V, c.z, la)) return 0;
    for (int it = 0; it < 40 && la <= 0; ++it) {
        Ta *= 1.3;
        if (Ta > 5000 || !smallest(c, Ta, V, c.z, la)) return 0;
    }
    if (la <= 0) return 0;
    double Tb = Ta, lb = la;
    for (int it = 0; it < 80; ++it) {
        Tb = Ta * 0.95;
        if (!smallest(c, Tb, V, c.z, lb)) return 0;
        if (lb <= 0) break;
        Ta = Tb;
        la = lb;
    }
    if (lb > 0) return 0;
    for (int it = 0; it < 100 && std::fabs(Ta - Tb) > 1e-12 * Ta; ++it) {
        double Tm = Ta - la * (Ta - Tb) / (la - lb);
        if (!(Tm < Ta && Tm > Tb)) Tm = 0.5 * (Ta + Tb);
        double lm;
        if (!smallest(c, Tm, V, c.z, lm)) return 0;
        if (lm > 0) {
            Ta = Tm;
            la = lm;
        } else {
            Tb = Tm;
            lb = lm;
        }
        if (std::fabs(lm) < 1e-13) return Tm;
    }
    return 0.5 * (Ta + Tb);
}

// Cubic form along the critical eigenvector at the spinodal of volume V.
bool cubicForm(const Ctx& c, double V, double Tstart, double& T, double& C) {
    T = spinodalT(c, V, Tstart);
    if (!(T > 0)) return false;
    double lambda;
    Eigen::VectorXd u;
    if (!smallest(c, T, V, c.z, lambda, &u)) return false;
    const int m = static_cast<int>(c.act.size());
    std::vector<double> dn(c.n, 0.0);
    // Sign convention of the direction: total moles increase along it.
    double tot = 0;
    for (int a = 0; a < m; ++a) tot += std::sqrt(c.z[c.act[a]]) * u(a);
    if (tot < 0) u = -u;
    for (int a = 0; a < m; ++a) dn[c.act[a]] = std::sqrt(c.z[c.act[a]]) * u(a);
    // d/ds of dn^T Q(n + s dn) dn by central differences.
    const double eps = 1e-4;
    double q[2];
    for (int k = 0; k < 2; ++k) {
        std::vector<double> nn(c.z);
        for (int i = 0; i < c.n; ++i) nn[i] += (k ? eps : -eps) * dn[i];
        models::ResidualDerivs d;
        if (!c.m.residualDerivatives(T, V, nn.data(), 1, d)) return false;
        double s = 0;
        for (int a = 0; a < m; ++a)
            for (int b = 0; b < m; ++b) {
                const int i = c.act[a], j = c.act[b];
                double Qij = d.F_ij[i * c.n + j] + (a == b ? 1.0 / nn[i] : 0.0);
                s += dn[i] * dn[j] * Qij;
            }
        q[k] = s;
    }
    C = (q[1] - q[0]) / (2 * eps);
    return std::isfinite(C);
}

}  // namespace

std::vector<CriticalPoint> criticalPoints(const models::PhaseModel& model, const double* zin, int n) {
    std::vector<CriticalPoint> out;
    Ctx c{model, std::vector<double>(zin, zin + n), {}, n};
    double s = 0;
    for (double& v : c.z) s += (v = std::max(v, 0.0));
    if (!(s > 0)) return out;
    for (double& v : c.z) v /= s;
    for (int i = 0; i < n; ++i)
        if (c.z[i] > 0) c.act.push_back(i);
    const double b = model.volumeScale(c.z.data());
    if (!(b > 0)) return out;
    // Temperature to start the spinodal search from: above the spinodal,
    // taken from the previous volume of the scan.
    double Tstart = 0;
    Tstart = 1500.0;
    // Scan the volume for sign changes of the cubic form.
    double vPrev = 0, cPrev = 0, tPrev = 0;
    bool have = false;
    for (double r = 1.6; r <= 12.0; r *= 1.04) {
        const double V = r * b;
        double T, C;
        if (!cubicForm(c, V, Tstart, T, C)) {
            have = false;
            continue;
        }
        Tstart = 1.25 * T;
        if (have && (C > 0) != (cPrev > 0)) {
            // Refine by secant with bisection safeguard.
            double va = vPrev, ca = cPrev, vb = V, cb = C, Tc = T;
            for (int it = 0; it < 60 && std::fabs(vb - va) > 1e-12 * vb; ++it) {
                double vm = va - ca * (va - vb) / (ca - cb);
                if (!(vm > std::min(va, vb) && vm < std::max(va, vb))) vm = 0.5 * (va + vb);
                double cm, Tm;
                if (!cubicForm(c, vm, Tstart, Tm, cm)) break;
                Tc = Tm;
                if ((cm > 0) == (ca > 0)) {
                    va = vm;
                    ca = cm;
                } else {
                    vb = vm;
                    cb = cm;
                }
                if (std::fabs(cm) < 1e-12) break;
            }
            const double Vc = 0.5 * (va + vb);
            double Tcrit, Cc;
            if (cubicForm(c, Vc, Tstart, Tcrit, Cc)) Tc = Tcrit;
            // Pressure from the residual derivative: P = RT (1/V - F_V).
            models::ResidualDerivs d;
            model.residualDerivatives(Tc, Vc, c.z.data(), 0, d);
            const double P = models::kR * Tc * (1.0 / Vc - d.F_V);
            if (P > 0 && std::isfinite(P)) out.push_back({Tc, P, Vc});
        }
        vPrev = V;
        cPrev = C;
        tPrev = T;
        have = true;
    }
    (void)tPrev;
    std::sort(out.begin(), out.end(), [](const CriticalPoint& a, const CriticalPoint& b) { return a.T < b.T; });
    return out;
}

}  // namespace zpk::equilibrium
