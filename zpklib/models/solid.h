// Solid phases by the classical route: the fugacity of a component in its
// pure solid follows from its pure subcooled liquid, evaluated by a fluid
// model, and its fusion properties (Prausnitz, Lichtenthaler and de Azevedo,
// Molecular Thermodynamics of Fluid-Phase Equilibria, 3rd ed., ch. 11):
//
//   ln f_S(T, P) = ln f_L(T, P0) - dg(T) / (R T) + v_S(T) (P - P0) / (R T)
//   dg(T) = dh_m (1 - T / T_m) + dcp (T - T_m - T ln(T / T_m))
//
// with the liquid at the reference pressure P0 = 101325 Pa of the normal
// melting point T_m, the heat of fusion dh_m, a constant heat-capacity
// difference dcp = cp_L - cp_S at T_m, and the solid's own molar volume
// v_S(T), so that the solid's pressure dependence is that of its volume.
// Enthalpy, entropy and volume follow from the same Gibbs energy, so the
// fugacities and the thermal properties are consistent to rounding.
//
// A solid phase of composition x is an ideal solution of the pure solids:
// ln phi_i does not depend on x.  Model 150 forms pure solid phases, model
// 153 one solid solution; both take the stream's liquid fugacity model as
// the fluid reference, model 151 takes the CPA equation of state (111).
// Components without fusion data, or above their critical temperature, or
// whose pure liquid the reference model cannot give at (T, P0), do not enter
// a solid: their ln phi is kNoSolid (see docs/solids.md).
#pragma once

#include <memory>
#include <vector>

#include "components/database.h"
#include "models/factory.h"
#include "models/phase_model.h"

namespace zpk::models {

inline constexpr int kSolidPhase = 2;        // phase kind code of a solid
inline constexpr double kNoSolid = 50.0;     // ln phi of a component that does not freeze
inline constexpr double kSolidRefP = 101325; // Pa, pressure of the normal melting point

enum class SolidArrangement { PureSolids, Solution };

// Fusion and solid-state data of one component (SI per mole).
struct FusionData {
    bool freezes = false; // melting point and heat of fusion known
    double tm = 0;        // K
    double hfus = 0;      // J/mol
    double dcp = 0;       // J/(mol K), cp_L - cp_S at tm (0 when unknown)
    // Solid molar density rho(T) = sum c[k] T^k in mol/m3 (polynomial), or,
    // when no solid density is known, a constant estimate.
    std::vector<double> rho;
    double tc = 0; // K
};

// Fusion data of a database component (missing values: no freezing, dcp 0,
// estimated density; see docs/solids.md).
FusionData fusionData(const components::Component& c);

class SolidModel final : public PhaseModel {
  public:
    SolidModel(std::vector<FusionData> data, std::shared_ptr<const PhaseModel> liquid,
               SolidArrangement arrangement);
    int size() const override { return static_cast<int>(data_.size()); }
    // Root is ignored; kind = kSolidPhase.
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;

    SolidArrangement arrangement() const { return arrangement_; }
    const FusionData& fusion(int i) const { return data_[i]; }
    // Solid molar volume (m3/mol) with its first and second T derivatives.
    double volume(int i, double T, double* d1 = nullptr, double* d2 = nullptr) const;

  private:
    std::vector<FusionData> data_;
    std::shared_ptr<const PhaseModel> liquid_;
    SolidArrangement arrangement_;
};

// True for the codes of solid models (150, 151, 153).
bool isSolidCode(int code);
// The solid model of a code: 1 (not set) and 150 pure solids, 153 a solid
// solution, both on the given liquid model; 151 pure solids on CPA (111)
// built from the inputs.  Throws zpk::Error for other codes.
std::shared_ptr<const SolidModel> buildSolidModel(int code, const ModelInputs& in,
                                                  std::shared_ptr<const PhaseModel> liquid);

} // namespace zpk::models
