// Flashes at other specifications than (T, P), built on the isothermal flash
// and the phase-fraction points of a stream system:
//   phase fraction at fixed P or T (LfPF, LfTF, BPF, DPF, PfPF, PfTF),
//   a state function (H, S, V) at fixed P or T (HPF, SPF, VPF, HTF, STF, VTF),
//   two state functions (HVF, SVF, HSF).
#pragma once

#include <memory>

#include "equilibrium/engine.h"

namespace zpk::engine {

// State where the liquid (mole) fraction is f at the fixed pressure
// (fixedIsP) or temperature.  k >= 1: the k-th solution, counted from high
// to low temperature at fixed pressure and from low to high pressure at
// fixed temperature, by a scan of isothermal flashes.  k = 0: the solution
// reached from the single phase nearer to f: on the dew side (f < 0.5) the
// first one counted so (a cooled or compressed vapour: the upper dew point),
// on the bubble side the last one (a heated or expanded liquid); dew points
// (f within 1e-6 of 0) where nearly pure water condenses out of a feed of at
// most 10 % water (water dew points of a wet gas) do not count for k = 0:
// it gives the hydrocarbon dew point.  Newton's
// method is tried first for k = 0; near a dew or bubble point its solution
// is checked to be that one.  Every result is verified (fraction, equal
// fugacities, two distinct phases).  Throws zpk::Error (kCalculation) when
// there is none, naming what was not found.
std::shared_ptr<EquilibriumCache> liquidFractionFlash(const StreamSystem& sys, double fixed, bool fixedIsP,
                                                      double f, int k = 0);

enum class Spec { H, S, V };
// Molar value of a specification for a state (internal base for H and S).
double specValue(const EquilibriumCache& st, Spec spec);
// d(specification)/dT at fixed P (fixedIsP) or d/dP at fixed T along the
// equilibrium: phase amounts and compositions follow, the phase count stays
// (the Newton slope of the state-function flashes).  Single phases, solids
// and hydrates: the state's own slope at fixed compositions.
double equilibriumSlope(const StreamSystem& sys, const EquilibriumCache& st, Spec spec, bool fixedIsP);
// State with the given molar H, S (internal base) or V at fixed P (fixedIsP)
// or T; estimate of the unknown (0: none).  The state is verified (the
// specification to 1e-9 relative, equal fugacities, material balance);
// throws zpk::Error (kCalculation) when no state meets it.
std::shared_ptr<EquilibriumCache> stateFunctionFlash(const StreamSystem& sys, Spec spec, double target,
                                                     double fixed, bool fixedIsP, double estimate);
// State with two given molar specifications (a, b) from a start (T0, P0).
std::shared_ptr<EquilibriumCache> twoSpecFlash(const StreamSystem& sys, Spec a, double ta, Spec b, double tb,
                                               double T0, double P0);

} // namespace zpk::engine
