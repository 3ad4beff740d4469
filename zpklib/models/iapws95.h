// IAPWS-95 formulation for ordinary water (model code 300).
//
// The formulation is a Helmholtz energy a(T, rho) / (R T) = phi0(tau, delta)
// + phir(tau, delta) with tau = Tc / T and delta = rho / rhoc.  Both parts are
// evaluated once as templates over the scalar type; second-order jets in
// (tau, delta) give every derivative the properties need.  The coefficients
// are read once from data/iapws95.tsv.
//
// On top of the equation: the density at given (T, P) on the liquid or the
// vapour branch (safeguarded Newton steps started from the auxiliary
// saturation equations), the saturation state at given T (equal pressure and
// Gibbs energy of both phases, i.e. Maxwell's rule) and at given P, and the
// PhaseModel of pure water for the stream engine.
//
// Units here: K, Pa, mol/m3 and J/mol (molar, with the formulation's own
// molar gas constant R M), unless a name says otherwise.
#pragma once

#include <vector>

#include "models/phase_model.h"

namespace zpk::models::iapws95 {

// Value and derivatives up to second order of one part of phi.
struct Derivs {
    double a = 0, a_d = 0, a_t = 0, a_dd = 0, a_dt = 0, a_tt = 0;
};

// Constants of the formulation (from the data file).
struct Constants {
    double Tc = 0, rhoc = 0;            // K, kg/m3
    double R = 0, M = 0;                // J/(kg K), kg/mol
    double pc = 0, Tt = 0;              // Pa, K (critical pressure of the auxiliary equations, triple point)
    double Rm() const { return R * M; } // J/(mol K)
    double rhocMolar() const { return rhoc / M; } // mol/m3
};

const Constants& constants(); // throws zpk::Error when the data file is missing

Derivs residual(double tau, double delta);
// The same from the formulation written once over jets (the closed form's
// reference in the tests).
Derivs residualByJets(double tau, double delta);
// a, a_d and a_dd of phir alone (the tau derivatives zero), equal to those
// of residual(): what the density and saturation solvers evaluate.
Derivs residualDelta(double tau, double delta);
Derivs ideal(double tau, double delta);

// Thermodynamic state of water at (T, rho), molar SI.
struct State {
    double T = 0, rho = 0;             // K, mol/m3
    double P = 0;                      // Pa
    double u = 0, h = 0, s = 0, g = 0; // J/mol, J/(mol K); zero of the formulation (triple-point liquid)
    double cv = 0, cp = 0;             // J/(mol K)
    double w = 0;                      // m/s
    double dPdrho = 0, dPdT = 0;       // Pa m3/mol, Pa/K
};
State stateTRho(double T, double rho);
double pressure(double T, double rho);

// Density (mol/m3) at (T, P) on the requested branch.  Liquid and Vapour also
// return metastable states while they exist; when the branch does not exist
// at (T, P) the function returns false.  Stable: the branch of lower Gibbs
// energy (below Tc: liquid above the vapour pressure).  `liquidLike` tells
// which branch was taken (above Tc: denser than the critical density).
bool density(double T, double P, Root root, double& rho, bool& liquidLike);

struct Saturation {
    double T = 0, P = 0;       // K, Pa
    double rhoL = 0, rhoV = 0; // mol/m3
};
// Saturation at T (Tt <= T < Tc); false outside or without convergence.
bool saturationT(double T, Saturation& s);
// Saturation at P (p(Tt) <= P < pc).
bool saturationP(double P, Saturation& s);

} // namespace zpk::models::iapws95

namespace zpk::models {

// The ideal part phi0 of IAPWS-95 and the formulation's molar mass
// 18.015268 g/mol, as the stream's ideal gas of water.
class Iapws95IdealGas final : public FormulationIdealGas {
  public:
    double molarMass(int i) const override;
    double cp(int i, double T) const override;
    double deltaH(int i, double T0, double T) const override;
    double deltaS(int i, double T0, double T) const override;
};

// Pure water on IAPWS-95.  Residual properties are given relative to the
// engine's ideal gas, which for a stream of this model is the formulation's
// ideal part (Iapws95IdealGas); the small difference between the
// formulation's gas constant and the engine's enters the residual entropy and
// cv so that totals are those of IAPWS-95.
class Iapws95Model final : public PhaseModel {
  public:
    Iapws95Model();
    int size() const override { return 1; }
    bool isEquationOfState() const override { return true; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;
    // Maxwell saturation of the formulation (see iapws95::saturationT/P).
    bool pureSaturation(bool atPressure, double& T, double& P) const override;
    const FormulationIdealGas* formulationIdealGas() const override { return &ideal_; }

  private:
    Iapws95IdealGas ideal_;
};

} // namespace zpk::models
