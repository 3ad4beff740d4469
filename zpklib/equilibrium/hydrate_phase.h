// The gas hydrate as a phase: a van der Waals-Platteeuw solid solution of
// water (the lattice) and guests held in the small and large cavities, with
// the same constants as the formation conditions (equilibrium/hydrate.h).
//
// Composition: water x_w and guests x_j; the loading r_j = x_j / x_w
// (guests per water molecule) fixes the guest fugacities f_j through the
// Langmuir occupancies,
//     sum_m nu_m theta_mj(f) = r_j,  theta_mj = C_mj f_j / (1 + sum_k C_mk f_k),
// a convex problem in ln f solved by Newton's method.  Then
//     ln f_j     = the solution (guests),
//     ln f_w     = ln f_w0L(T, P) + dmu_beta/RT - sum_m nu_m ln(1 + sum_j C_mj f_j),
// with f_w0L the fugacity of pure liquid water in the stream's liquid model,
// so that the phase is in equilibrium with a fluid exactly where the
// formation conditions say.  Enthalpy and volume follow from the same Gibbs
// energy (-T^2 d(G/T)/dT, dG/dP at constant composition):
//     h = x_w [h_L0 + dh_beta(T) + P dv_beta - R sum_m nu_m sum_j theta_mj (T + B_mj)]
//         + sum_j x_j h_j^ig(T),
//     v = x_w (v_L0 + dv_beta),
// the empty lattice's reference properties plus the guests' heat of
// adsorption R (T + B) per occupied cavity (C = A/T exp(B/T)), and
// s = (h - g) / T.  Components that do not fit the structure carry
// ln phi = kNoSolid (traces only), as in the solid phases.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "equilibrium/hydrate.h"
#include "models/phase_model.h"

namespace zpk::hydrate {

inline constexpr int kHydratePhase = 3; // phase kind code of a hydrate
inline constexpr int kAnyStructure = -1;

class HydratePhaseModel final : public models::PhaseModel {
  public:
    // structure 0 (I), 1 (II) or kAnyStructure: the structure of lower Gibbs
    // energy at the composition evaluated.  liquid: the model of pure liquid
    // water (the stream's liquid fugacity model).  Throws zpk::Error when the
    // hydrate tables cannot be read.
    HydratePhaseModel(const std::vector<std::int64_t>& cas, std::shared_ptr<const models::PhaseModel> liquid,
                      int structure);

    int size() const override { return static_cast<int>(fits_[0].size()); }
    // Root is ignored; kind = kHydratePhase.  False when the composition has
    // no water, more guests than the cavities hold, or the liquid reference
    // cannot be evaluated.
    bool evaluate(double T, double P, const double* x, models::Root root, int order,
                  models::PhaseProps& out) const override;

    int structure() const { return structure_; }
    int water() const { return water_; }
    // True when position i is a guest of structure s.
    bool fits(int s, int i) const { return fits_[s][i]; }

    // ln f (Pa) of pure liquid water at (T, P) in the liquid model; NaN when
    // it cannot be evaluated.
    double lnPureWaterFugacity(double T, double P) const;
    // The hydrate of this model's structure in equilibrium with the guest
    // fugacities lnf (ln Pa per position; entries of non-guests and water are
    // ignored, a guest with lnf = -inf or NaN is absent): its composition x
    // and ln phi row (as evaluate() gives at that composition), and the ln
    // fugacity of water in it.  lnfw0 from lnPureWaterFugacity.
    double equilibriumHydrate(double T, double P, double lnfw0, const std::vector<double>& lnf,
                              std::vector<double>& x, std::vector<double>& lnphi) const;

  private:
    bool evaluateStructure(int s, double T, double P, const double* x, int order,
                           models::PhaseProps& out) const;
    std::vector<const GuestConstants*> guests_;
    std::vector<bool> fits_[2];
    std::shared_ptr<const models::PhaseModel> liquid_;
    int structure_ = kAnyStructure;
    int water_ = -1;
};

} // namespace zpk::hydrate
