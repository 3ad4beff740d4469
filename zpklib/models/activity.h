// Activity-coefficient (excess Gibbs energy) liquids: Wilson (model 10),
// NRTL (11), UNIQUAC (12) and original UNIFAC (130).
//
// The liquid fugacity is gamma-phi with the pure-liquid reference of model 1
// ("Regular") as built for the same stream:  f_i = x_i gamma_i Psat_i(T),
// Psat from the component's vapour-pressure correlation (Lee-Kesler where it
// has none), so that a liquid with gamma = 1 gives the fugacities of model 1
// without its regular-solution term.  The fugacity does not depend on
// pressure (no Poynting factor).  Volume, enthalpy and entropy that the model
// reports are those of model 1 plus the excess enthalpy and entropy of the
// gE model; the engine normally takes those properties from the stream's
// other models (activity models serve liquid fugacity only).
//
// Binary parameters of the pair (i, j) from an interaction entry with the
// model's code (positions i, j as given; parameters p[0..]):
//   energy parameters A_ij(T) = p[0] + p[3] (T - 298.15),
//                     A_ji(T) = p[1] + p[4] (T - 298.15)     (J/mol)
//   Wilson:  Lambda_ij = (V_j / V_i) exp(-A_ij / (R T)), V Rackett at 298.15 K
//   NRTL:    tau_ij = A_ij / (R T), G_ij = exp(-alpha tau_ij),
//            alpha = p[2] (0 means 0.3)
//   UNIQUAC: tau_ij = exp(-A_ij / (R T)); r, q from the UNIFAC groups
// Pairs without entry are ideal (A = 0), unless stored parameters exist and
// loadSB was requested; explicit entries always win.  UNIFAC takes no binary
// parameters: groups, R, Q and a_mn come from data/activity_unifac_*.tsv.
// See docs/activity.md.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "models/factory.h"
#include "models/phase_model.h"
#include "models/regular.h"

namespace zpk::models {

enum class ActivityKind { Wilson = 10, NRTL = 11, UNIQUAC = 12, UNIFAC = 130 };

inline constexpr double kActivityReferenceT = 298.15;
inline constexpr double kNrtlDefaultAlpha = 0.3;

// Everything a gE model needs, independent of the stream store.
struct ActivityParams {
    ActivityKind kind = ActivityKind::NRTL;
    int n = 0;
    // n x n, row-major; A(T) = a + b (T - 298.15), J/mol; diagonal 0.
    std::vector<double> a, b;
    std::vector<double> alpha; // NRTL, n x n symmetric
    std::vector<double> vol;   // Wilson: molar volumes, m3/mol
    std::vector<double> r, q;  // UNIQUAC / UNIFAC combinatorial part
    // UNIFAC: groups present (G), counts nu[i * G + k], R, Q, a_mn[k * G + m] (K)
    int groups = 0;
    std::vector<double> nu, gR, gQ, amn;
    // NRTL with co-volume weights (the form of the Huron-Vidal mixing rule):
    // G_ij = (w_i / w_j) exp(-alpha_ij tau_ij); empty means w = 1.
    std::vector<double> weight;
    // NRTL pairs whose energies reproduce the van der Waals one-fluid rule of
    // a cubic equation through the Huron-Vidal rule (alpha_ij = 0, w = b):
    //   A_ij(T) = q (a_ij(T) / b_i - a_j(T) / b_j),
    //   a_i = ac_i (1 + m_i (1 - sqrt(T / tc_i)))^2,
    //   a_ij = sqrt(a_i a_j) (1 - k_ij(T)),  k_ij = k0 + k1 T + k2 / T.
    // pair[i * n + j] nonzero marks such a pair (its a, b entries are unused).
    struct VdwPairs {
        double q = 0;
        std::vector<char> pair;
        std::vector<double> ac, m, tc, b; // per component
        std::vector<double> k0, k1, k2;   // n x n symmetric
    } vdw;
};

// ln gamma_i at (T, x) (x normalised inside); optional derivatives:
// dT[i] = d ln gamma_i / dT, dn[i * n + j] = d ln gamma_i / d n_j at one mole
// in total.  Exact (forward-mode automatic differentiation).
void lnGamma(const ActivityParams& p, double T, const double* x, double* lng, double* dT = nullptr,
             double* dn = nullptr);
// Reduced excess Gibbs energy gE / (R T) per mole of mixture.
double reducedExcessGibbs(const ActivityParams& p, double T, const double* x);

// Reduced excess Gibbs energy g = gE / (R T) per mole with the derivatives an
// equation of state built on it needs (exact, automatic differentiation).
struct ExcessGibbs {
    double g = 0, gT = 0, gTT = 0; // g and its first two T derivatives at constant x (1/K, 1/K2)
    std::vector<double> lng, lngT; // ln gamma_i and d ln gamma_i / dT
    std::vector<double> lngTT;     // d2 ln gamma_i / dT2
    std::vector<double> lngN;      // [i * n + j] d ln gamma_i / d n_j at one mole in total
};
// x need not sum to one; lngN, and with the per-thread tables below also
// lngT, lngTT and gTT, are filled only when composition is true.
// A nonzero cacheKey names p for as long as p lives (a number never given to
// another parameter set): the temperature-only pair quantities of p are then
// kept per thread and reused at the same temperature; NRTL is then evaluated
// in closed form on them (equal to the general evaluation to rounding).
void excessGibbs(const ActivityParams& p, double T, const double* x, bool composition, ExcessGibbs& out,
                 std::uint64_t cacheKey = 0);

// UNIFAC group data of a component; false when it has none.
bool unifacGroups(std::int64_t cas, std::vector<std::pair<int, int>>& subgroupCounts);
// Sum of R and Q of a component's UNIFAC groups; false without groups.
bool unifacVolumeArea(std::int64_t cas, double& r, double& q);
// Tabulated UNIQUAC r and q of a component (data/activity_uniquac_rq.tsv);
// UNIQUAC falls back on them for components without UNIFAC groups.
bool uniquacVolumeArea(std::int64_t cas, double& r, double& q);
// Stored binary parameters (loadSB level 0) of a pair for Wilson, NRTL or
// UNIQUAC: p[0..2] as in an interaction entry, oriented (casA, casB).
bool storedActivityParameters(ActivityKind kind, std::int64_t casA, std::int64_t casB, double p[5]);

// Builds the parameters of a gE model for a stream's components and entries.
ActivityParams buildActivityParams(ActivityKind kind, const ModelInputs& in);

class ActivityModel final : public PhaseModel {
  public:
    // ref: the stream's model 1, whose pure-liquid reference is shared.
    ActivityModel(ActivityParams params, std::shared_ptr<const RegularModel> ref);
    int size() const override { return params_.n; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;
    const ActivityParams& params() const { return params_; }

  private:
    ActivityParams params_;
    std::shared_ptr<const RegularModel> ref_;
};

// True for the codes 10, 11, 12 and 130.
bool isActivityCode(int code);
std::shared_ptr<const PhaseModel> buildActivityModel(int code, const ModelInputs& in);

} // namespace zpk::models
