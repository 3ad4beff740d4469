// Isentropic flow of a stream through a nozzle from its state (taken as the
// stagnation state) to a back pressure.
//
// Homogeneous equilibrium (HEM): the fluid expands along the isentrope of
// the inlet in phase equilibrium; the mass flux at pressure P is
// G(P) = rho(P) sqrt(2 (h0 - h(P))).  The throat is where G is largest
// between the back pressure and the inlet pressure: inside that range the
// flow is choked (critical flow), otherwise the throat is at the back
// pressure.
//
// Homogeneous non-equilibrium (HNE): mass transfer between the phases lags
// the pressure drop.  At each pressure the fluid is a blend of the frozen
// expansion (every inlet phase expands isentropically at its own
// composition, no phase change) and the equilibrium expansion,
//   v = v_frozen + N (v_eq - v_frozen),  h likewise,
// with the boiling-delay coefficient N of the HNE-DS method:
//   N = min(1, [x0 + cp_l T0 P0 v_lg / dh_lg^2 * ln(P0 / P_throat)]^a),
// x0 the inlet vapour mass fraction, cp_l the liquid heat capacity, v_lg
// and dh_lg the specific volume and enthalpy differences between vapour
// and liquid (at the inlet, or where the expansion first boils), and a the
// exponent given by the caller (0.6 for safety valves and nozzles).  N = 1
// is the equilibrium flow, so a vapour inlet flows as in HEM.  A frozen
// liquid beyond its limit of metastability is taken as fully flashed.
//
// The stream ends at the back pressure with the stagnation enthalpy less
// the kinetic energy at the throat, in equilibrium.
#pragma once

#include <memory>

#include "equilibrium/engine.h"

namespace zpk::operations {

struct NozzleFlow {
    double massFlux = 0; // kg/(m2 s) at the throat
    double throatP = 0;  // Pa
    bool choked = false;
    double boilingDelay = 1; // N (1 for HEM)
    std::shared_ptr<EquilibriumCache> throat, outlet;
};

NozzleFlow equilibriumNozzle(const engine::StreamSystem& sys, const EquilibriumCache& inlet, double backP);
// fixedDelay in [0, 1] replaces the HNE-DS boiling-delay coefficient.
NozzleFlow nonEquilibriumNozzle(const engine::StreamSystem& sys, const EquilibriumCache& inlet, double backP,
                                double exponent, double fixedDelay = -1);

} // namespace zpk::operations
