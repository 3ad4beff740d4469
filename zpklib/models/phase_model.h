// What every fluid-phase model offers the equilibrium and property layers.
//
// A phase model answers, at temperature T (K), pressure P (Pa) and a mole
// composition x (need not sum to one: models use x / sum(x)), the logarithms
// of the fugacity coefficients, the molar volume and the residual enthalpy
// and entropy (the departure from the ideal gas at the same T, P and x),
// optionally with their temperature, pressure and composition derivatives.
// Models are immutable after construction and safe to share between threads.
//
// Internal units: SI per mole (J/mol, J/(mol K), m3/mol); J/mol equals the
// kJ/kmol of the C interface, m3/mol is 1e-3 m3/kmol.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace zpk::models {

inline constexpr double kR = 8.31446261815324; // J/(mol K)
// Reference pressure of the engine's ideal-gas entropy, -kR ln(P / kP0).
inline constexpr double kP0 = 101325.0; // Pa

// A number that identifies one model instance in per-thread caches (volume
// roots, temperature-only tables): unique in the process, never reused.
inline std::uint64_t newModelId() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

// Constants of one component that the fluid models use.
struct PureConstants {
    double tc = 0, pc = 0, omega = 0; // K, Pa, -
    double mw = 0;                    // kg/kmol
    double zra = 0;                   // Rackett compressibility (NaN or 0 when unknown)
};

// Which volume root (or branch) a phase is evaluated on.
enum class Root { Vapour, Liquid, Stable };

// Phase kind codes shared with the C interface.
inline constexpr int kVapour = 0;
inline constexpr int kLiquid = 1;

struct PhaseProps {
    int kind = kVapour; // vapour-like or liquid-like, see models.md
    double v = 0;       // molar volume, m3/mol
    double z = 0;       // compressibility factor P v / (R T)
    std::vector<double> lnphi;
    // ln(f_i / x_i) when the model computes it without going through the
    // pressure (pressure-independent liquids); empty otherwise.
    std::vector<double> lnfx;
    double hres = 0, sres = 0; // J/mol, J/(mol K)
    double cpres = 0;          // J/(mol K); filled at order 1
    double cvres = 0;          // J/(mol K) relative to the ideal-gas cv; order 1
    // order 1: derivatives at constant composition / temperature / pressure
    std::vector<double> dlnphi_dT, dlnphi_dP;
    std::vector<double> dlnphi_dn; // [i * n + j] = d lnphi_i / d n_j for one mole in total
    double dv_dT = 0, dv_dP = 0;
    std::vector<double> dv_dx, dhres_dx, dsres_dx; // d(molar X)/d x_m, x not renormalised
    double dhres_dT = 0, dhres_dP = 0, dsres_dT = 0, dsres_dP = 0;
    double dP_dV = 0, dP_dT = 0; // of the phase's equation of state (model 1 liquid: 0)

    // Reduced residual Gibbs energy sum x lnphi (x normalised).
    double gres(const double* x, int n) const;
};

// First and second derivatives of the reduced residual Helmholtz energy
// F = A_res / (R T) with respect to T, total volume V and mole numbers n.
struct ResidualDerivs {
    double F = 0, F_T = 0, F_V = 0, F_TT = 0, F_TV = 0, F_VV = 0;
    std::vector<double> F_i, F_iT, F_iV, F_ij; // F_ij row-major n x n
};

// The ideal gas and molar masses that belong to a reference formulation
// (its ideal part of the Helmholtz energy).  A stream whose fluid phases are
// described by such a formulation takes these instead of the component
// database's, so that totals and mass-based values are the formulation's own
// (see StreamSystem).  Component i is the model's position i.
class FormulationIdealGas {
  public:
    virtual ~FormulationIdealGas() = default;
    virtual double molarMass(int i) const = 0;                   // kg/kmol
    virtual double cp(int i, double T) const = 0;                // J/(mol K)
    virtual double deltaH(int i, double T0, double T) const = 0; // J/mol, h(T) - h(T0)
    virtual double deltaS(int i, double T0, double T) const = 0; // J/(mol K), at constant pressure
};

class PhaseModel {
  public:
    virtual ~PhaseModel() = default;
    virtual int size() const = 0;
    // order 0: kind, v, z, lnphi, hres, sres; order 1: everything.
    // Returns false when the state cannot be evaluated.
    virtual bool evaluate(double T, double P, const double* x, Root root, int order,
                          PhaseProps& out) const = 0;
    // True when the model describes both fluid phases with one equation of
    // state (so that Root::Stable picks the lower Gibbs energy root).
    virtual bool isEquationOfState() const { return false; }
    // Equations of state: reduced residual Helmholtz derivatives at (T, V, n)
    // (false when the model is not one), and a molar volume scale (m3/mol)
    // of the densest fluid, the co-volume for cubics.
    virtual bool residualDerivatives(double T, double V, const double* n, int order,
                                     ResidualDerivs& d) const {
        (void)T, (void)V, (void)n, (void)order, (void)d;
        return false;
    }
    virtual double volumeScale(const double* x) const {
        (void)x;
        return 0.0;
    }
    // Pure fluids whose model solves its own saturation curve: at the given
    // temperature T (atPressure false, P is set) or pressure P (atPressure
    // true, T is set).  False when the model has no such calculation or the
    // state has no saturation.
    virtual bool pureSaturation(bool atPressure, double& T, double& P) const {
        (void)atPressure, (void)T, (void)P;
        return false;
    }
    // Reference formulations: their own ideal gas and molar masses; nullptr
    // for models that work on the database's ideal gas.
    virtual const FormulationIdealGas* formulationIdealGas() const { return nullptr; }
};

} // namespace zpk::models
