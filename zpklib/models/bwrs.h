// Benedict-Webb-Rubin-Starling equation of state (model 81) with the
// generalised pure-component parameters of Starling and Han from Tc, the
// critical density and the acentric factor, and Starling's mixing rules with
// binary k_ij.  Written as a reduced residual Helmholtz energy over its eleven
// mixture parameters; the phase model and density roots come from
// DensityEosModel (lee_kesler.h).  See docs/lkp_bwrs.md.
#pragma once

#include <memory>
#include <vector>

#include "models/lee_kesler.h"

namespace zpk::models {

struct BwrsKij {
    int i = 0, j = 0; // 0-based positions
    double k = 0;
};

// Pure-component BWRS parameters (SI, per mole).
struct BwrsPure {
    double B0, A0, C0, D0, E0, a, b, c, d, alpha, gamma;
};

class BwrsModel final : public DensityEosModel {
  public:
    // vc: critical molar volumes (m3/mol); a non-positive entry takes the
    // Lee-Kesler estimate (0.2905 - 0.085 omega) R Tc / Pc.
    BwrsModel(std::vector<PureConstants> comps, std::vector<double> vc, const std::vector<BwrsKij>& kij = {});
    int size() const override { return n_; }
    bool residual(double T, double V, const double* n, int order, ResidualDerivs& d) const override;
    bool volumeDerivatives(double T, double V, const double* n, double& FV, double& FVV) const override;
    void pseudoCritical(const double* x, double& Tc, double& Vc) const override;

    static BwrsPure generalised(double tc, double vc, double omega);
    const BwrsPure& pure(int i) const { return par_[i]; }

  private:
    int n_;
    std::vector<PureConstants> pure_;
    std::vector<double> vc_;
    std::vector<BwrsPure> par_;
    std::vector<MixQuantity> q_;
};

struct ModelInputs;
// Model 81 for a stream: explicit entries of model 81 give k_ij = parameter 0;
// critical volumes from the component records when present.
std::shared_ptr<const PhaseModel> buildBwrs(const ModelInputs& in);

} // namespace zpk::models
