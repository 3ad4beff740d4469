// Non-cubic equations of state written as a reduced residual Helmholtz
// energy F(T, V, n) = A_res / (R T): the Lee-Kesler-Ploecker corresponding-
// states model (model 91) here and the Benedict-Webb-Rubin-Starling equation
// (model 81, bwrs.h).  See docs/lkp_bwrs.md.
//
// Both share two pieces kept in this header:
//  - `chainToMoles`: the model writes F once over a handful of mixing-rule
//    quantities (sums over n_i that are linear or quadratic in the mole
//    numbers) evaluated on second-order Jets; the chain rule to the mole
//    numbers is the same for every such model;
//  - `DensityEosModel`: the phase model on top of F: the liquid and vapour
//    volume roots at (T, P) by monotone Newton iterations and the phase
//    properties through the engine's generic evaluator.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "models/phase_model.h"
#include "thermo/jet.h"

namespace zpk::models {

struct ModelInputs;

// Model 91 for a stream: explicit interaction entries of model 91 give k_ij
// = parameter 0; with a loadSB request, pairs without one take the stored
// value of data/lkp_kij.tsv.
std::shared_ptr<const PhaseModel> buildLeeKesler(const ModelInputs& in);
// Stored LKP k_ij of a pair of CAS numbers; false when the table has none.
bool storedLkpKij(std::int64_t casA, std::int64_t casB, double& k);

// One mixing-rule quantity Q(n): linear, Q = sum_i l_i n_i, or quadratic,
// Q = sum_i sum_j q_ij n_i n_j (q symmetric, row-major n x n).
struct MixQuantity {
    bool quadratic = false;
    std::vector<double> coef; // l (n) or q (n x n)
    double value(const double* n, int size) const;
    // dQ/dn_i into g (size n).
    void gradient(const double* n, int size, double* g) const;
};

// Turns a Jet over (T, V, Q_0 .. Q_{K-3}) into the derivatives with respect to
// (T, V, n).  The quantities must not depend on T.  `grad` holds dQ_q/dn_i at
// [i * (K - 2) + q].
template <int K>
void chainToMoles(const thermo::Jet<K>& core, const std::vector<MixQuantity>& quantities,
                  const std::vector<double>& grad, int n, int order, ResidualDerivs& d) {
    constexpr int M = K - 2;
    d.F = core.v;
    d.F_T = core.d(0);
    d.F_V = core.d(1);
    d.F_i.assign(n, 0.0);
    for (int i = 0; i < n; ++i)
        for (int q = 0; q < M; ++q)
            d.F_i[i] += core.d(2 + q) * grad[i * M + q];
    if (order < 1) return;
    d.F_TT = core.d2(0, 0);
    d.F_TV = core.d2(0, 1);
    d.F_VV = core.d2(1, 1);
    d.F_iT.assign(n, 0.0);
    d.F_iV.assign(n, 0.0);
    d.F_ij.assign(static_cast<std::size_t>(n) * n, 0.0);
    thread_local std::vector<double> w; // w[i * M + q] = sum_r F_qr dQ_r/dn_i
    w.assign(static_cast<std::size_t>(n) * M, 0.0);
    for (int i = 0; i < n; ++i)
        for (int q = 0; q < M; ++q) {
            const double u = grad[i * M + q];
            d.F_iT[i] += core.d2(0, 2 + q) * u;
            d.F_iV[i] += core.d2(1, 2 + q) * u;
            double s = 0;
            for (int r = 0; r < M; ++r)
                s += core.d2(2 + q, 2 + r) * grad[i * M + r];
            w[i * M + q] = s;
        }
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            double s = 0;
            for (int q = 0; q < M; ++q) {
                s += grad[i * M + q] * w[j * M + q];
                if (quantities[q].quadratic)
                    s += core.d(2 + q) * 2.0 * quantities[q].coef[static_cast<std::size_t>(i) * n + j];
            }
            d.F_ij[static_cast<std::size_t>(i) * n + j] = s;
        }
}

// A phase model on a residual Helmholtz energy with no closed-form volume
// roots.  Subclasses give F and a pseudo-critical point of the mixture.
class DensityEosModel : public PhaseModel {
  public:
    bool isEquationOfState() const override { return true; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;
    bool residualDerivatives(double T, double V, const double* n, int order,
                             ResidualDerivs& d) const override {
        return residual(T, V, n, order, d);
    }
    double volumeScale(const double* x) const override;

    // F and its derivatives at (T, V, n); false outside the model's range.
    virtual bool residual(double T, double V, const double* n, int order, ResidualDerivs& d) const = 0;
    // Pseudo-critical temperature (K) and molar volume (m3/mol) at composition x (sums to one).
    virtual void pseudoCritical(const double* x, double& Tc, double& Vc) const = 0;

    // Pressure and dP/dV (Pa, Pa mol/m3) at (T, molar V, x summing to one).
    bool pressure(double T, double V, const double* x, double& P, double& dPdV) const;
    // F_V and F_VV alone at (T, V, n), the density solver's inner loop; the
    // default goes through residual().
    virtual bool volumeDerivatives(double T, double V, const double* n, double& FV, double& FVV) const;
    // Molar volume (m3/mol) on the liquid (densest) or vapour branch at (T, P);
    // false when the branch has no root at this state.
    bool volumeRoot(double T, double P, const double* x, bool liquid, double& V) const;
};

// Lee-Kesler-Ploecker.  Pure-fluid constants Tc, Pc, omega; the critical
// volume of each component follows from the Lee-Kesler critical
// compressibility Zc = 0.2905 - 0.085 omega.
struct LkpKij {
    int i = 0, j = 0; // 0-based positions
    double k = 0;     // T_cij = (1 - k) sqrt(T_ci T_cj)
};

class LeeKeslerModel final : public DensityEosModel {
  public:
    LeeKeslerModel(std::vector<PureConstants> comps, const std::vector<LkpKij>& kij = {});
    int size() const override { return n_; }
    bool residual(double T, double V, const double* n, int order, ResidualDerivs& d) const override;
    bool volumeDerivatives(double T, double V, const double* n, double& FV, double& FVV) const override;
    void pseudoCritical(const double* x, double& Tc, double& Vc) const override;

    // Mixture pseudo-critical constants of the Ploecker rules at x (sums to one).
    void mixture(const double* x, double& Tcm, double& Vcm, double& omegam) const;
    const std::vector<MixQuantity>& quantities() const { return q_; }

    static constexpr double kOmegaRef = 0.3978; // n-octane, the reference fluid
    // Reduced residual Helmholtz energy a_r(Tr, Vr) of the simple (ref = false)
    // or the reference fluid (ref = true), for checks of the tables.
    static double reducedHelmholtz(bool ref, double Tr, double Vr);
    static double reducedZ(bool ref, double Tr, double Vr);

  private:
    int n_;
    std::vector<PureConstants> pure_;
    std::vector<MixQuantity> q_; // N, sum n n Vc_ij, sum n n Vc_ij^(1/4) Tc_ij, sum n omega
};

// Lee-Kesler-Ploecker in its classical corresponding-states form: the reduced
// residual Gibbs energy g = G_res / (N R T) interpolates the two fluids at
// equal reduced temperature and pressure,
//   g = (1 - w/w_r) g_0(Tr, Pr) + (w/w_r) g_R(Tr, Pr),  g_k = a_k(Tr, Vr_k) + Z_k - 1 - ln Z_k,
// each fluid on its own volume root Vr_k.  Z, H and S are then the published
// Lee-Kesler interpolations; fugacities and every derivative follow from g
// as a function of (T, P, n) on second-order jets.  This is the model of code 91.
class LeeKeslerGibbsModel final : public PhaseModel {
  public:
    LeeKeslerGibbsModel(std::vector<PureConstants> comps, const std::vector<LkpKij>& kij = {});
    int size() const override { return helmholtz_.size(); }
    bool isEquationOfState() const override { return true; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;
    const LeeKeslerModel& helmholtzForm() const { return helmholtz_; }

  private:
    LeeKeslerModel helmholtz_; // same constants and mixing rules
};

} // namespace zpk::models
