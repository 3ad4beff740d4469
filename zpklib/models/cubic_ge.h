// Peng-Robinson with mixing rules built on an excess Gibbs energy model
// (Wilson, NRTL or UNIQUAC of models/activity.h):
//   Wong-Sandler (models 55, 56, 57), Huron-Vidal (60, 61, 62),
//   second-order modified Huron-Vidal MHV2 (65, 66, 67) and the linear
//   combination of the Vidal and Michelsen rules LCVM (70, 71, 72).
// Pure components are plain Peng-Robinson (a_i(T), b_i as model 50); the rule
// sets the mixture's co-volume b and reduced attraction alpha = a / (b R T).
// Every rule is written for mole numbers (T, n) and carried with its first and
// second derivatives into the reduced residual Helmholtz energy, so that
// fugacities, enthalpy, entropy, volume and all their derivatives come from one
// function.  See docs/cubic_ge.md.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "models/activity.h"
#include "models/factory.h"
#include "models/phase_model.h"

namespace zpk::models {

enum class GeMixingRule { WongSandler, HuronVidal, MHV2, LCVM };

// Constants of the rules for Peng-Robinson.
// Huron-Vidal and Wong-Sandler: q = -ln((2 + sqrt2) / (2 - sqrt2)) / (2 sqrt2).
inline constexpr double kHuronVidalQ = -0.62322524014023051;
// MHV2 (Dahl and Michelsen 1990), Peng-Robinson values.
inline constexpr double kMhv2Q1 = -0.4347, kMhv2Q2 = -0.003654;
// LCVM (Boukouvalas et al. 1994), Peng-Robinson values.
inline constexpr double kLcvmLambda = 0.36, kLcvmAV = -0.623, kLcvmAM = -0.52;

class CubicGeModel final : public PhaseModel {
  public:
    // kij: n x n symmetric Wong-Sandler interaction (ignored by the other rules).
    CubicGeModel(GeMixingRule rule, std::vector<PureConstants> comps, ActivityParams ge,
                 std::vector<double> kij = {});

    int size() const override { return n_; }
    bool isEquationOfState() const override { return true; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;
    bool residualDerivatives(double T, double V, const double* n, int order,
                             ResidualDerivs& d) const override {
        return residual(T, V, n, order, d);
    }
    double volumeScale(const double* x) const override;

    // Reduced residual Helmholtz energy and its derivatives at (T, V, n);
    // false when the mixing rule has no valid co-volume there or V <= b.
    bool residual(double T, double V, const double* n, int order, ResidualDerivs& d) const;
    // Mixture co-volume b (m3/mol) and alpha = a / (b R T) at (T, x); false
    // when the rule has no solution there.
    bool mixture(double T, const double* x, double& b, double& alpha) const;
    double pressure(double T, double V, const double* n) const;
    // Real volume roots (m3/mol, ascending) at (T, P, x); their count (0 to 3).
    int volumeRoots(double T, double P, const double* x, double roots[3]) const;

    GeMixingRule rule() const { return rule_; }
    const ActivityParams& excessModel() const { return ge_; }
    double kij(int i, int j) const { return kij_[static_cast<std::size_t>(i) * n_ + j]; }

  private:
    // Total co-volume B = n b and attraction D = n^2 a over (T, n) with
    // gradients and Hessians.
    struct Totals;
    bool totals(double T, const double* n, bool second, Totals& t) const;
    // The totals at (T, n), kept per thread for the last state asked for (an
    // evaluation needs them for its attraction, its root choice and its
    // residual); nullptr when the rule has no solution there.  Valid until
    // the next call on this thread.
    const Totals* totalsAt(double T, const double* n, bool second) const;
    // The residual Helmholtz derivatives at volume V from the totals.
    bool assemble(double T, double V, const Totals& t, int order, ResidualDerivs& d) const;
    // alpha_i = a_i / (b_i R T) of every component and its first two T derivatives.
    void pureAt(double T, double* al, double* alT, double* alTT) const;
    int n_;
    GeMixingRule rule_;
    std::vector<PureConstants> pure_;
    ActivityParams ge_;
    std::vector<double> kij_;
    std::vector<double> ac_, b_, m_;
    std::uint64_t id_; // names ge_ in the per-thread tables of the excess Gibbs energy
};

// Reduced residual Helmholtz energy of Peng-Robinson over (T, V, N, B, D)
// (total mole number, co-volume n b and attraction n^2 a) with its gradient
// and Hessian (row-major 5 x 5): in closed form, as the models evaluate it,
// or through automatic differentiation (for the tests).
void pengRobinsonHelmholtz(double T, double V, double N, double B, double D, bool closedForm, double& F,
                           double g[5], double h[25]);

// True for the codes 55-57, 60-62, 65-67 and 70-72.
bool isCubicGeCode(int code);
// The rule and excess Gibbs energy model of a code.
GeMixingRule cubicGeRule(int code);
ActivityKind cubicGeActivity(int code);
// Builds the model for a stream.  Interaction entries with the model's own
// code feed it: Wong-Sandler [0] k_ij, [1] A_ij, [2] A_ji, [3] NRTL alpha;
// the other rules [0] A_ij, [1] A_ji, [2] NRTL alpha (A in J/mol, alpha 0
// means 0.3).  loadSB adds the stored Wilson / NRTL parameters of pairs
// without an entry.  Model 60 uses Huron and Vidal's co-volume-weighted NRTL
// and gives the remaining pairs the energies of the van der Waals rule (k_ij
// from a model 50/51 entry, else stored with loadSB, else 0).
std::shared_ptr<const PhaseModel> buildCubicGe(int code, const ModelInputs& in);

} // namespace zpk::models
