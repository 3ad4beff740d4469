#include "equilibrium/hydrate_phase.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/error.h"
#include "models/solid.h"

namespace zpk::hydrate {

using models::kNoSolid;
using models::kR;
using models::PhaseProps;
using models::Root;

namespace {

constexpr double kBar = 1e5; // Pa; Langmuir constants are per bar
constexpr int kCavities = 2; // small, large

// Solves the symmetric positive definite system A y = b (n x n, row-major)
// by Gaussian elimination with partial pivoting; false when singular.
bool solveLinear(std::vector<double> a, std::vector<double>& b, int n) {
    for (int c = 0; c < n; ++c) {
        int p = c;
        for (int r = c + 1; r < n; ++r)
            if (std::fabs(a[r * n + c]) > std::fabs(a[p * n + c])) p = r;
        if (!(std::fabs(a[p * n + c]) > 0)) return false;
        if (p != c) {
            for (int k = 0; k < n; ++k)
                std::swap(a[p * n + k], a[c * n + k]);
            std::swap(b[p], b[c]);
        }
        for (int r = c + 1; r < n; ++r) {
            const double f = a[r * n + c] / a[c * n + c];
            if (f == 0) continue;
            for (int k = c; k < n; ++k)
                a[r * n + k] -= f * a[c * n + k];
            b[r] -= f * b[c];
        }
    }
    for (int c = n - 1; c >= 0; --c) {
        double s = b[c];
        for (int k = c + 1; k < n; ++k)
            s -= a[c * n + k] * b[k];
        b[c] = s / a[c * n + c];
    }
    return true;
}

// Empty lattice minus liquid water: enthalpy dh_beta(T) + P dv (J/mol), so
// that d(dmu_beta/RT)/dT = -latticeEnthalpy / (R T^2).
double latticeEnthalpy(const LatticeConstants& l, double T, double P) {
    return l.dh0 + l.dcp * (T - Tables::kT0) + l.dv * P;
}

} // namespace

HydratePhaseModel::HydratePhaseModel(const std::vector<std::int64_t>& cas,
                                     std::shared_ptr<const models::PhaseModel> liquid, int structure)
    : liquid_(std::move(liquid)), structure_(structure) {
    const Tables& t = tables();
    for (int s = 0; s < 2; ++s)
        fits_[s].assign(cas.size(), false);
    for (std::size_t i = 0; i < cas.size(); ++i) {
        const GuestConstants* g = t.guest(cas[i]);
        guests_.push_back(g);
        if (cas[i] == 7732185 && water_ < 0) water_ = static_cast<int>(i);
        for (int s = 0; s < 2 && g; ++s)
            fits_[s][i] = g->c[s][0].a > 0 || g->c[s][1].a > 0;
    }
}

double HydratePhaseModel::lnPureWaterFugacity(double T, double P) const {
    if (water_ < 0) return kNaN;
    thread_local std::vector<double> unit;
    thread_local PhaseProps lp;
    unit.assign(size(), 0.0);
    unit[water_] = 1.0;
    if (!liquid_->evaluate(T, P, unit.data(), Root::Liquid, 0, lp)) return kNaN;
    return lp.lnfx.empty() ? lp.lnphi[water_] + std::log(P) : lp.lnfx[water_];
}

double HydratePhaseModel::equilibriumHydrate(double T, double P, double lnfw0, const std::vector<double>& lnf,
                                             std::vector<double>& x, std::vector<double>& lnphi) const {
    const int n = size(), s = structure_ < 0 ? 0 : structure_;
    const LatticeConstants& l = tables().lattice[s];
    const double nu[kCavities] = {l.nuSmall, l.nuLarge};
    double S[kCavities] = {0, 0};
    for (int i = 0; i < n; ++i) {
        if (!fits_[s][i] || !std::isfinite(lnf[i])) continue;
        const double f = std::exp(lnf[i]) / kBar;
        for (int m = 0; m < kCavities; ++m)
            S[m] += guests_[i]->c[s][m].at(T) * f;
    }
    x.assign(n, 0.0);
    lnphi.assign(n, kNoSolid);
    double sum = 1.0;
    for (int i = 0; i < n; ++i) {
        if (!fits_[s][i] || !std::isfinite(lnf[i])) continue;
        const double f = std::exp(lnf[i]) / kBar;
        double r = 0;
        for (int m = 0; m < kCavities; ++m)
            r += nu[m] * guests_[i]->c[s][m].at(T) * f / (1 + S[m]);
        x[i] = r;
        sum += r;
    }
    x[water_] = 1.0;
    for (double& v : x)
        v /= sum;
    const double lnP = std::log(P);
    for (int i = 0; i < n; ++i) {
        if (!fits_[s][i]) continue;
        if (x[i] > 0) {
            lnphi[i] = lnf[i] - std::log(x[i]) - lnP;
        } else {
            double d = 0; // infinite dilution: f_i / x_i = 1 / (x_w sum_m nu_m C_mi / (1 + S_m))
            for (int m = 0; m < kCavities; ++m)
                d += nu[m] * guests_[i]->c[s][m].at(T) / (1 + S[m]);
            if (d > 0) lnphi[i] = -std::log(x[water_] * d) + std::log(kBar) - lnP;
        }
    }
    const double lnfw =
        lnfw0 + emptyLatticePotential(l, T, P) - nu[0] * std::log1p(S[0]) - nu[1] * std::log1p(S[1]);
    lnphi[water_] = lnfw - std::log(x[water_]) - lnP;
    return lnfw;
}

bool HydratePhaseModel::evaluate(double T, double P, const double* x, Root root, int order,
                                 PhaseProps& out) const {
    (void)root;
    if (structure_ >= 0) return evaluateStructure(structure_, T, P, x, order, out);
    // The structure of lower Gibbs energy at this composition.
    thread_local PhaseProps other;
    const bool ok0 = evaluateStructure(0, T, P, x, order, out);
    const bool ok1 = evaluateStructure(1, T, P, x, order, other);
    if (!ok1) return ok0;
    if (!ok0 || other.gres(x, size()) < out.gres(x, size())) std::swap(out, other);
    return true;
}

bool HydratePhaseModel::evaluateStructure(int s, double T, double P, const double* x, int order,
                                          PhaseProps& out) const {
    const int n = size(), w = water_;
    if (w < 0) return false;
    const LatticeConstants& l = tables().lattice[s];
    const double nu[kCavities] = {l.nuSmall, l.nuLarge};
    std::vector<double> xn(n);
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += std::max(x[i], 0.0);
    if (!(sum > 0)) return false;
    for (int i = 0; i < n; ++i)
        xn[i] = std::max(x[i], 0.0) / sum;
    if (!(xn[w] > 0)) return false;

    // Guests present (list index k -> position pos[k]) and their loadings.
    std::vector<int> pos;
    for (int i = 0; i < n; ++i)
        if (i != w && fits_[s][i] && xn[i] > 0) pos.push_back(i);
    const int g = static_cast<int>(pos.size());
    std::vector<double> r(g), u(g), c(kCavities * g), a(kCavities * g), bb(kCavities * g);
    for (int k = 0; k < g; ++k) {
        r[k] = xn[pos[k]] / xn[w];
        double henry = 0;
        for (int m = 0; m < kCavities; ++m) {
            const LangmuirAB& ab = guests_[pos[k]]->c[s][m];
            c[m * g + k] = ab.at(T);
            bb[m * g + k] = ab.b;
            a[m * g + k] = -1 / T - ab.b / (T * T); // d ln C / dT
            henry += nu[m] * c[m * g + k];
        }
        u[k] = std::log(r[k] / henry);
    }
    // Occupancies at u = ln f (bar).
    std::vector<double> theta(kCavities * g);
    double L[kCavities];
    auto occupy = [&](const std::vector<double>& uu) {
        for (int m = 0; m < kCavities; ++m) {
            double S = 0;
            for (int k = 0; k < g; ++k)
                S += c[m * g + k] * std::exp(uu[k]);
            L[m] = std::log1p(S);
            for (int k = 0; k < g; ++k)
                theta[m * g + k] = c[m * g + k] * std::exp(uu[k]) / (1 + S);
        }
    };
    auto objective = [&](const std::vector<double>& uu) {
        occupy(uu);
        double phi = nu[0] * L[0] + nu[1] * L[1];
        for (int k = 0; k < g; ++k)
            phi -= r[k] * uu[k];
        return phi;
    };
    std::vector<double> hess(static_cast<std::size_t>(g) * g), grad(g), step(g), trial(g);
    auto hessian = [&] {
        for (int k = 0; k < g; ++k)
            for (int j = 0; j < g; ++j) {
                double h = 0;
                for (int m = 0; m < kCavities; ++m)
                    h += nu[m] * theta[m * g + k] * ((k == j ? 1.0 : 0.0) - theta[m * g + j]);
                hess[k * g + j] = h;
            }
    };
    // Newton's method with backtracking on the convex function
    // Phi(u) = sum_m nu_m ln(1 + sum_k C_mk e^u_k) - sum_k r_k u_k.
    if (g > 0) {
        double phi = objective(u);
        bool converged = false;
        for (int it = 0; it < 200 && !converged; ++it) {
            for (int k = 0; k < g; ++k) {
                grad[k] = -r[k];
                for (int m = 0; m < kCavities; ++m)
                    grad[k] += nu[m] * theta[m * g + k];
            }
            hessian();
            step = grad;
            if (!solveLinear(hess, step, g)) return false;
            double slope = 0, size = 0;
            for (int k = 0; k < g; ++k) {
                step[k] = -step[k];
                slope += grad[k] * step[k];
                size = std::max(size, std::fabs(step[k]));
            }
            if (size < 1e-13) converged = true;
            double t = 1;
            for (int ls = 0;; ++ls) {
                for (int k = 0; k < g; ++k)
                    trial[k] = u[k] + t * step[k];
                const double pt = objective(trial);
                // (the last term: Phi's rounding once the step is tiny)
                if (pt <= phi + 1e-4 * t * slope + 1e-14 * std::fabs(phi) || converged || ls >= 50) {
                    phi = pt;
                    break;
                }
                t *= 0.5;
            }
            u = trial;
            for (double v : u)
                if (!(v < 300)) return false; // more guests than the cavities hold
        }
        occupy(u);
        for (int k = 0; k < g; ++k) {
            double rk = 0;
            for (int m = 0; m < kCavities; ++m)
                rk += nu[m] * theta[m * g + k];
            if (!(std::fabs(rk - r[k]) <= 1e-9 * r[k])) return false;
        }
    } else {
        L[0] = L[1] = 0;
    }

    // Pure liquid water reference.
    thread_local std::vector<double> unit;
    thread_local PhaseProps lp;
    unit.assign(n, 0.0);
    unit[w] = 1.0;
    if (!liquid_->evaluate(T, P, unit.data(), Root::Liquid, order >= 1 ? 1 : 0, lp)) return false;
    const double lnP = std::log(P), RT = kR * T;
    const double lnphiW0 = lp.lnfx.empty() ? lp.lnphi[w] : lp.lnfx[w] - lnP;

    out.kind = kHydratePhase;
    out.lnfx.clear();
    out.lnphi.assign(n, kNoSolid);
    for (int k = 0; k < g; ++k)
        out.lnphi[pos[k]] = u[k] + std::log(kBar) - std::log(xn[pos[k]]) - lnP;
    // Guests of the structure absent from the composition: infinite dilution.
    std::vector<double> dil(n, 0.0);
    for (int i = 0; i < n; ++i) {
        if (i == w || !fits_[s][i] || xn[i] > 0) continue;
        for (int m = 0; m < kCavities; ++m)
            dil[i] += nu[m] * guests_[i]->c[s][m].at(T) * std::exp(-L[m]);
        if (dil[i] > 0) out.lnphi[i] = -std::log(xn[w] * dil[i]) + std::log(kBar) - lnP;
    }
    out.lnphi[w] = lnphiW0 + emptyLatticePotential(l, T, P) - nu[0] * L[0] - nu[1] * L[1] - std::log(xn[w]);

    // Heat of adsorption term Q = sum_m nu_m sum_k theta_mk (T + B_mk).
    double Q = 0;
    for (int m = 0; m < kCavities; ++m)
        for (int k = 0; k < g; ++k)
            Q += nu[m] * theta[m * g + k] * (T + bb[m * g + k]);
    const double K = lp.hres + latticeEnthalpy(l, T, P) - kR * Q;
    const double vK = lp.v + l.dv;
    out.v = xn[w] * vK;
    out.z = P * out.v / RT;
    out.hres = xn[w] * K;
    double gsum = 0;
    for (int i = 0; i < n; ++i)
        if (xn[i] > 0) gsum += xn[i] * out.lnphi[i];
    out.sres = (out.hres - RT * gsum) / T;
    out.cpres = out.cvres = 0;
    // Incompressible like the solids: no equation of state, cv = cp.
    out.dP_dV = -std::numeric_limits<double>::infinity();
    out.dP_dT = std::numeric_limits<double>::infinity();
    if (order < 1) return true;

    // du/dT at constant loading: H du = -b, b_k = sum_m nu_m theta_mk (a_mk - sum_j theta_mj a_mj).
    hessian();
    std::vector<double> duT(g, 0.0), abar(kCavities, 0.0);
    for (int m = 0; m < kCavities; ++m)
        for (int k = 0; k < g; ++k)
            abar[m] += theta[m * g + k] * a[m * g + k];
    for (int k = 0; k < g; ++k) {
        for (int m = 0; m < kCavities; ++m)
            duT[k] -= nu[m] * theta[m * g + k] * (a[m * g + k] - abar[m]);
    }
    if (g > 0 && !solveLinear(hess, duT, g)) return false;
    // du/dr = H^-1 (column j: response to r_j).
    std::vector<double> inv(static_cast<std::size_t>(g) * g, 0.0), col(g);
    for (int j = 0; j < g; ++j) {
        col.assign(g, 0.0);
        col[j] = 1.0;
        if (!solveLinear(hess, col, g)) return false;
        for (int k = 0; k < g; ++k)
            inv[k * g + j] = col[k];
    }
    // dL_m/dT along the loading.
    double dLT[kCavities];
    for (int m = 0; m < kCavities; ++m) {
        dLT[m] = 0;
        for (int k = 0; k < g; ++k)
            dLT[m] += theta[m * g + k] * (a[m * g + k] + duT[k]);
    }
    // du_k / dn_l (one mole in total): through r only.
    std::vector<double> dudn(static_cast<std::size_t>(g) * n, 0.0);
    for (int k = 0; k < g; ++k)
        for (int j = 0; j < g; ++j) {
            dudn[k * n + pos[j]] += inv[k * g + j] / xn[w];
            dudn[k * n + w] -= inv[k * g + j] * r[j] / xn[w];
        }

    out.dlnphi_dT.assign(n, 0.0);
    out.dlnphi_dP.assign(n, 0.0);
    out.dlnphi_dn.assign(static_cast<std::size_t>(n) * n, 0.0);
    auto lnxDerivative = [&](int i, int j) { return (i == j ? 1.0 / xn[i] : 0.0) - 1.0; }; // d ln x_i / d n_j
    for (int k = 0; k < g; ++k) {
        const int i = pos[k];
        out.dlnphi_dT[i] = duT[k];
        out.dlnphi_dP[i] = -1 / P;
        for (int j = 0; j < n; ++j)
            out.dlnphi_dn[i * n + j] = dudn[k * n + j] - lnxDerivative(i, j);
    }
    for (int i = 0; i < n; ++i) {
        if (!(dil[i] > 0)) continue;
        // ln phi_i = -ln x_w - ln sum_m nu_m C_mi e^-L_m + const; the guest's
        // own (vanishing) loading is left out.
        double dT = 0;
        for (int m = 0; m < kCavities; ++m) {
            const LangmuirAB& ab = guests_[i]->c[s][m];
            const double e = nu[m] * ab.at(T) * std::exp(-L[m]);
            dT += e * (-1 / T - ab.b / (T * T) - dLT[m]);
        }
        out.dlnphi_dT[i] = -dT / dil[i];
        out.dlnphi_dP[i] = -1 / P;
        for (int j = 0; j < n; ++j) {
            double dn = 0;
            for (int m = 0; m < kCavities; ++m) {
                double dL = 0;
                for (int k = 0; k < g; ++k)
                    dL += theta[m * g + k] * dudn[k * n + j];
                dn -= nu[m] * guests_[i]->c[s][m].at(T) * std::exp(-L[m]) * dL;
            }
            out.dlnphi_dn[i * n + j] = -dn / dil[i] - lnxDerivative(w, j);
        }
    }
    {
        double dT = lp.dlnphi_dT[w] - latticeEnthalpy(l, T, P) / (RT * T);
        for (int m = 0; m < kCavities; ++m)
            dT -= nu[m] * dLT[m];
        out.dlnphi_dT[w] = dT;
        out.dlnphi_dP[w] = lp.dlnphi_dP[w] + l.dv / RT;
        for (int j = 0; j < n; ++j) {
            double d = -lnxDerivative(w, j);
            for (int k = 0; k < g; ++k)
                d -= r[k] * dudn[k * n + j];
            out.dlnphi_dn[w * n + j] = d;
        }
    }

    // Enthalpy: d theta_mk / dT along the loading, dQ/dT, dQ/dr.
    double dQT = 0;
    for (int m = 0; m < kCavities; ++m)
        for (int k = 0; k < g; ++k) {
            const double dth = theta[m * g + k] * (a[m * g + k] + duT[k] - dLT[m]);
            dQT += nu[m] * (theta[m * g + k] + (T + bb[m * g + k]) * dth);
        }
    std::vector<double> dQu(g, 0.0), dQr(g, 0.0);
    for (int m = 0; m < kCavities; ++m) {
        double tb = 0;
        for (int k = 0; k < g; ++k)
            tb += theta[m * g + k] * (T + bb[m * g + k]);
        for (int k = 0; k < g; ++k)
            dQu[k] += nu[m] * theta[m * g + k] * ((T + bb[m * g + k]) - tb);
    }
    for (int j = 0; j < g; ++j)
        for (int k = 0; k < g; ++k)
            dQr[j] += dQu[k] * inv[k * g + j];
    out.dhres_dT = xn[w] * (lp.dhres_dT + l.dcp - kR * dQT);
    out.dhres_dP = xn[w] * (lp.dhres_dP + l.dv);
    out.dv_dT = xn[w] * lp.dv_dT;
    out.dv_dP = xn[w] * lp.dv_dP;
    out.dhres_dx.assign(n, 0.0);
    out.dv_dx.assign(n, 0.0);
    out.dsres_dx.assign(n, 0.0);
    // Partial molar values of H_res = n_w K(r), V = n_w vK, minus the molar ones.
    double rq = 0;
    for (int k = 0; k < g; ++k)
        rq += r[k] * dQr[k];
    for (int i = 0; i < n; ++i) {
        out.dhres_dx[i] = -out.hres;
        out.dv_dx[i] = -out.v;
    }
    out.dhres_dx[w] += K + kR * rq;
    out.dv_dx[w] += vK;
    for (int k = 0; k < g; ++k)
        out.dhres_dx[pos[k]] += -kR * dQr[k];
    // Entropy from T s_res = h_res - R T sum_i x_i ln phi_i.
    double gT = 0, gP = 0;
    for (int i = 0; i < n; ++i)
        if (xn[i] > 0) {
            gT += xn[i] * out.dlnphi_dT[i];
            gP += xn[i] * out.dlnphi_dP[i];
        }
    out.dsres_dT = (out.dhres_dT - kR * gsum - RT * gT - out.sres) / T;
    out.dsres_dP = (out.dhres_dP - RT * gP) / T;
    for (int m = 0; m < n; ++m) {
        double gm = 0;
        for (int i = 0; i < n; ++i)
            if (xn[i] > 0) gm += xn[i] * out.dlnphi_dn[i * n + m];
        out.dsres_dx[m] = (out.dhres_dx[m] + out.hres - RT * (out.lnphi[m] + gm)) / T - out.sres;
    }
    out.cpres = out.dhres_dT;
    out.cvres = out.cpres + kR;
    return true;
}

} // namespace zpk::hydrate
