// Polytropic compression (and expansion) of a stream between two pressures.
//
// Two descriptions of the polytropic process are offered:
//   * the path integral: the process follows dh = v dP / eta (compression;
//     dh = eta v dP for expansion) at constant polytropic efficiency eta,
//     the limit of infinitely many small steps of isentropic efficiency eta.
//     The path is integrated with the classical Runge-Kutta scheme in ln P,
//     each volume coming from a pressure-enthalpy flash, so it holds for any
//     model and through two-phase regions;
//   * stepwise compression: a fixed number of equal pressure-ratio steps,
//     each an isentropic step of isentropic efficiency eta (the classical
//     finite-step approximation of the polytropic path; kStepwiseSteps
//     steps);
//   * the Schultz method: the polytropic head is
//     f n/(n-1) (P2 v2 - P1 v1), with n = ln(P2/P1) / ln(v1/v2) taken from the
//     end states and Schultz's correction factor
//     f = (h2s - h1) / (ns/(ns-1) (P2 v2s - P1 v1)) from the isentropic
//     end state; the efficiency is that head over h2 - h1.
// All values are molar on the engine's internal base.
#pragma once

#include <memory>

#include "equilibrium/engine.h"

namespace zpk::operations {

enum class PolytropicMethod { PathIntegral, Stepwise, Schultz };

inline constexpr int kStepwiseSteps = 50;

// Polytropic (and isentropic) efficiencies of a real machine lie in (0, 1]:
// 1 is the isentropic process, above 1 the outlet would lie beyond it.
inline bool isPhysicalEfficiency(double eta) {
    return eta > 0 && eta <= 1.0;
}

// Outlet state at pressure P2 for polytropic efficiency eta (0 < eta <= 1).
std::shared_ptr<EquilibriumCache> polytropicOutlet(const engine::StreamSystem& sys,
                                                   const EquilibriumCache& inlet, double P2, double eta,
                                                   PolytropicMethod method);

// Polytropic efficiency of the process from inlet to outlet (the outlet's
// pressure and enthalpy fix the end point) for the path integral or the
// Schultz method.
double polytropicEfficiency(const engine::StreamSystem& sys, const EquilibriumCache& inlet,
                            const EquilibriumCache& outlet, PolytropicMethod method);

// Enthalpy reached from the inlet along the integrated path to P2 at
// efficiency eta, and the path integral of v dP (both J/mol).
struct PathEnd {
    double h = 0, work = 0;
    std::shared_ptr<EquilibriumCache> state;
};
PathEnd integratePath(const engine::StreamSystem& sys, const EquilibriumCache& inlet, double P2, double eta);

// Outlet after `steps` equal pressure-ratio steps of isentropic efficiency eta.
std::shared_ptr<EquilibriumCache> stepwiseOutlet(const engine::StreamSystem& sys,
                                                 const EquilibriumCache& inlet, double P2, double eta,
                                                 int steps);

} // namespace zpk::operations
