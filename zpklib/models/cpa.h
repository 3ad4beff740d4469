// Cubic-Plus-Association equation of state on a Peng-Robinson cubic part
// (model 111): van der Waals one-fluid mixing with k_ij for the physical part,
// Wertheim's first-order association term for hydrogen-bonding components
// (scheme 4C for water and glycols, 2B for alcohols), cross-association by
// the CR-1 combining rule.  See docs/cpa.md.
//
// The reduced residual Helmholtz energy is
//   F(T, V, n) = F_PR(T, V, n) + F_assoc(T, V + C, n),
//   F_assoc = sum_i n_i sum_A m_iA (ln X_iA - X_iA / 2 + 1 / 2),
// where C = sum n_i c_i is the Peneloux volume shift of the components that
// take their cubic constants from (Tc, Pc, omega).  Without associating
// components the model is the translated Peng-Robinson equation (model 51).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "models/phase_model.h"

namespace zpk::models {

struct ModelInputs;
class CubicGeModel;

// Parameters of one component.
struct CpaComponent {
    double tc = 0;     // K, for the reduced temperature of the attraction
    double a0 = 0;     // Pa m6/mol2
    double b = 0;      // m3/mol
    double c1 = 0;     // alpha function a = a0 (1 + c1 (1 - sqrt(T/Tc)))^2
    double shift = 0;  // Peneloux volume shift, m3/mol
    int donors = 0;    // number of proton-donor (H) sites
    int acceptors = 0; // number of electron-pair acceptor (e) sites
    double epsR = 0;   // association energy / R, K
    double beta = 0;   // association volume, -
};

// Stored pure-component association parameters (data/cpa_pure.tsv) by CAS
// number (digits only); false when the component has none.
bool storedCpaComponent(std::int64_t cas, double tc, CpaComponent& out);

// Binary k_ij(T) = k0 + k1 T + k2 / T, symmetric.
struct CpaKij {
    int i = 0, j = 0;
    double k0 = 0, k1 = 0, k2 = 0;
};

class CpaModel final : public PhaseModel {
  public:
    CpaModel(std::vector<CpaComponent> comps, const std::vector<CpaKij>& kij);

    int size() const override { return n_; }
    bool isEquationOfState() const override { return true; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;
    bool residualDerivatives(double T, double V, const double* n, int order,
                             ResidualDerivs& d) const override;
    double volumeScale(const double* x) const override;

    // Pressure (Pa) at (T, V, n).
    double pressure(double T, double V, const double* n) const;
    // Molar volume at (T, P, x normalised) on the requested branch; false when
    // no root was found.  liquidLike tells the kind of the root returned.
    bool volume(double T, double P, const double* x, Root root, double& V, bool& liquidLike) const;
    // Fractions of non-bonded sites at (T, V, n): per site type, donors of
    // each associating component first, then its acceptors.  useSymmetry
    // false solves every site type's equation (the reference for the
    // reduced system of paired donor and acceptor sites).
    std::vector<double> siteFractions(double T, double V, const double* n, bool useSymmetry = true) const;
    bool associating() const { return !sites_.empty(); }
    const CpaComponent& component(int i) const { return comp_[i]; }
    // Adds the association part and its derivatives at (T, V, n) to d, which
    // holds those of a cubic part with every vector sized; false when the
    // site fractions cannot be solved.
    bool addAssociation(double T, double V, const double* n, int order, ResidualDerivs& d) const;
    // First and second derivatives of the association part in the shifted
    // volume Vt at (T, x); false when the site fractions cannot be solved.
    // useSymmetry as in siteFractions.
    bool associationVolumeDerivatives(double T, double Vt, const double* x, double& FV, double& FVV,
                                      bool useSymmetry = true) const;
    // k_ij(T) = k0 + k1 T + k2 / T of a pair.
    void kijTerms(int i, int j, double& k0, double& k1, double& k2) const;
    // Cubic attraction D = sum sum x_i x_j a_ij(T).
    double attraction(double T, const double* x) const;

  private:
    struct Site {
        int comp;    // component position
        double mult; // number of sites of this type on the molecule
        bool donor;
    };
    void cubicPart(double T, double V, const double* n, int order, ResidualDerivs& d) const;
    void assocPart(double T, double Vt, const double* n, int order, ResidualDerivs& d) const;
    bool solveSites(double T, double Vt, const double* n, std::vector<double>& X,
                    bool useSymmetry = true) const;
    // exp(eps_ij / T) - 1 per site pair (0 where the pair does not bond),
    // kept per thread for the last temperatures.
    const double* associationFactors(double T) const;

    int n_;
    std::vector<CpaComponent> comp_;
    std::uint64_t id_;                 // identifies the model in the per-thread root memory
    std::vector<double> k0_, k1_, k2_; // n x n
    std::vector<Site> sites_;
    // Every associating component has as many donor as acceptor sites, so
    // the two site types of a component have equal fractions.
    bool pairedSites_ = false;
    // Per site pair: b_ij beta_ij and eps_ij / R (CR-1); zero between two
    // donors or two acceptors.
    std::vector<double> bb_, eps_;
    std::vector<double> bs_, shifts_, tcs_; // per component, for the volume search
};

// CPA whose cubic part mixes by a rule built on an excess Gibbs energy model
// (models/cubic_ge.h): 115 Huron-Vidal with NRTL, 116 LCVM with NRTL.  The
// pure-component cubic constants are those of model 111 (stored CPA a0, b,
// c1 for associating components, Peng-Robinson otherwise, here without
// volume shift), so that a pure component gives the results of model 111
// (for the associating ones exactly); the Peneloux shift of model 111 too.
// Interaction entries of the model's own code: [0] k_ij, [1] A_ij, [2] A_ji
// (J/mol), [3] NRTL alpha; pairs with NRTL parameters mix by the gE rule.
class CpaGeModel final : public PhaseModel {
  public:
    CpaGeModel(std::shared_ptr<const PhaseModel> cubic, std::vector<CpaComponent> comps);
    int size() const override { return assoc_.size(); }
    bool isEquationOfState() const override { return true; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;
    bool residualDerivatives(double T, double V, const double* n, int order,
                             ResidualDerivs& d) const override;
    double volumeScale(const double* x) const override { return assoc_.volumeScale(x); }

  private:
    std::shared_ptr<const PhaseModel> cubic_;
    std::shared_ptr<const CubicGeModel> cubicGe_;
    CpaModel assoc_;
    std::uint64_t id_;
    std::vector<double> b_, shift_, tc_;
};

// Peng-Robinson critical constants (Tc', Pc', omega') whose a(T) and b equal
// a0 (1 + c1 (1 - sqrt(T/Tc)))^2 and b of a CPA component.
PureConstants cubicEquivalent(const CpaComponent& c);

// Builds model 115 or 116 for a stream.
std::shared_ptr<const PhaseModel> buildCpaGe(int code, const ModelInputs& in);

// Builds model 111 for a stream: stored association parameters for water,
// alcohols and glycols, Peng-Robinson constants from (Tc, Pc, omega) for the
// rest; k_ij from the stream's entries for model 111, then from the stored
// tables when loadSB asked for them.
std::shared_ptr<const PhaseModel> buildCpa(const ModelInputs& in);

} // namespace zpk::models
