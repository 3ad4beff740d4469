// GERG-2008 wide-range equation of state for natural gases (model code 315).
//
// The reduced residual Helmholtz energy of a mixture of the 21 GERG
// components is
//   alpha_r(delta, tau, x) = sum_i x_i alpha_oi(delta, tau)
//                          + sum_i sum_j>i x_i x_j F_ij alpha_ij(delta, tau)
// with delta = rho / rho_r(x), tau = T_r(x) / T and the quadratic reducing
// functions with the asymmetric beta/gamma parameters.  Coefficients are read
// once from data/gerg2008_{pure,binary,departure}.tsv.
//
// Pure and departure terms are evaluated as second-order jets in (tau,
// delta); the reducing functions and the composition are carried on a
// dynamic second-order jet in (T, V, n_1..n_N), and the two are joined by the
// chain rule, so every derivative the engine needs comes from one code path.
//
// Units here: K, Pa, mol/m3, J/mol.  The formulation's gas constant
// R = 8.314472 J/(mol K) is used throughout: towards the engine the Helmholtz
// energy is passed relative to the engine's ideal gas (see gasConstantTerm),
// and the formulation's ideal part, molar masses included, is offered as the
// stream's ideal gas (Gerg2008IdealGas).
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "models/phase_model.h"

namespace zpk::models::gerg2008 {

inline constexpr double kRGerg = 8.314472; // J/(mol K), gas constant of the formulation
inline constexpr double kRStar = 8.314510; // J/(mol K), of the ideal-gas heat capacities

// Position (0..20) of a GERG component by CAS number (digits only, e.g.
// 74828 for methane), or -1 when the formulation does not cover it.
int componentOf(std::int64_t cas);
int componentCount(); // 21 when the data loaded; throws zpk::Error otherwise

// Reducing temperature (K) and density (mol/m3) of composition x (GERG
// component positions `comp`, x normalised by the caller).
void reducing(const std::vector<int>& comp, const double* x, double& Tr, double& rhor);

// Properties of the formulation at (T, rho, x) including its own ideal part.
struct State {
    double P = 0;                // Pa
    double Z = 0;                // -
    double dPdrho = 0, dPdT = 0; // Pa m3/mol, Pa/K
    double cv = 0, cp = 0;       // J/(mol K), ideal part of GERG-2008 included
    double w = 0;                // m/s
    double hres = 0, sres = 0;   // J/mol, J/(mol K), residual at (T, rho)
    double alphar = 0;
};
State stateTRho(const std::vector<int>& comp, const double* x, double T, double rho);
// alpha_r at (T, rho, x) with its first two derivatives in delta at fixed
// tau, as the volume solver evaluates them; equal to those of stateTRho's
// evaluation in both variables.
struct DeltaTerms {
    double a = 0, ad = 0, add = 0;
};
DeltaTerms alphaInDelta(const std::vector<int>& comp, const double* x, double T, double rho);

// The GERG-2008 ideal gas of component position c: isobaric heat capacity
// (J/(mol K)) at T, and the enthalpy (J/mol) and entropy at constant
// pressure (J/(mol K)) up to constants of integration; molar mass in kg/kmol.
double idealCp(int c, double T);
double idealH(int c, double T);
double idealS(int c, double T);
double molarMass(int c);

// The formulation's gas constant R against the engine's kR: the engine's
// ideal gas has P V = n kR T, so the Helmholtz energy n R T (alpha0 +
// alpha_r) of the formulation differs from the engine's ideal gas at the same
// (T, V, n) by kR T F with F = n (R / kR) alpha_r plus this term,
//   n (r - 1) (ln(n R T / (V P0)) - 1) + n ln r,  r = R / kR,
// (its ideal-gas enthalpy and entropy at P0 being the same).  Adding it
// makes every property the engine derives the formulation's own, pressure
// n R T / V (1 + delta alpha_r,delta) included.  Derivatives in (T, V, n),
// F_i etc. for each component alike.
struct GasConstantTerm {
    double F = 0, F_T = 0, F_V = 0, F_TT = 0, F_VV = 0;
    double F_i = 0, F_iT = 0, F_iV = 0, F_ij = 0;
};
GasConstantTerm gasConstantTerm(double T, double V, double n);

} // namespace zpk::models::gerg2008

namespace zpk::models {

// The ideal part of GERG-2008 for the components of one model.
class Gerg2008IdealGas final : public FormulationIdealGas {
  public:
    Gerg2008IdealGas() = default;
    explicit Gerg2008IdealGas(std::vector<int> comp) : comp_(std::move(comp)) {}
    double molarMass(int i) const override;
    double cp(int i, double T) const override;
    double deltaH(int i, double T0, double T) const override;
    double deltaS(int i, double T0, double T) const override;

  private:
    std::vector<int> comp_;
};

class Gerg2008Model final : public PhaseModel {
  public:
    // Components by CAS; throws zpk::Error naming the first one GERG-2008
    // does not cover.
    explicit Gerg2008Model(const std::vector<std::int64_t>& cas);
    int size() const override { return static_cast<int>(comp_.size()); }
    bool isEquationOfState() const override { return true; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;
    bool residualDerivatives(double T, double V, const double* n, int order,
                             ResidualDerivs& d) const override;
    double volumeScale(const double* x) const override;
    const FormulationIdealGas* formulationIdealGas() const override { return &ideal_; }

    // Pressure R T rho (1 + delta alpha_r,delta) at (T, V per mole of x).
    double pressure(double T, double V, const double* x) const;
    // Molar volume roots at (T, P, x): false when the requested branch has
    // none (Stable: the lower Gibbs energy of the branches found).
    bool volume(double T, double P, const double* x, Root root, double& V, bool& liquidLike) const;
    const std::vector<int>& components() const { return comp_; }

  private:
    bool solveVolume(double T, double P, const double* x, Root root, double& V, bool& liquidLike) const;
    std::uint64_t id_ = 0;
    std::vector<int> comp_;
    Gerg2008IdealGas ideal_;
};

} // namespace zpk::models
