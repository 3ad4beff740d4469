// C functions of the compressor (PSPF) and the nozzle (ISPF).
#include <cmath>
#include <string>

#include "api/engine_common.h"
#include "core/error.h"
#include "operations/compressor.h"
#include "operations/nozzle.h"
#include "zpk/zpk.h"

using namespace zpk;

extern "C" {

// PSPF(stream, outlet pressure, mode, value): polytropic compression (or
// expansion) of the stream from its operating point to the outlet pressure.
//   mode 1: value = polytropic efficiency; returns the outlet temperature
//           (path integral of dh = v dP / eta);
//   mode 2: value = outlet temperature; returns the polytropic efficiency
//           of the path integral (the inverse of mode 1);
//   mode 3: value = polytropic efficiency; returns the outlet temperature
//           of stepwise compression (50 steps of isentropic efficiency eta);
//   mode 4: value = polytropic efficiency; returns the outlet temperature
//           by the Schultz method.
// The stream ends at the outlet state.  Failure: NaN, stream unchanged.
double PSPF(int stream, double pOut, int mode, double value) {
    return guarded("PSPF", kNaN, [&] {
        const double P2 = api::userP(pOut);
        core::requireFinite("value", value);
        if (mode < 1 || mode > 4) core::fail("mode " + std::to_string(mode) + " is not 1, 2, 3 or 4");
        api::StreamView v;
        auto inlet = api::currentState(stream, &v);
        auto sys = api::systemOf(v);
        if (mode == 2) {
            auto outlet = sys->flash(api::userT(value), P2);
            const double eta = operations::polytropicEfficiency(*sys, *inlet, *outlet,
                                                                operations::PolytropicMethod::PathIntegral);
            api::storeState(stream, v.revision, std::move(outlet));
            return eta;
        }
        const auto method = mode == 1   ? operations::PolytropicMethod::PathIntegral
                            : mode == 3 ? operations::PolytropicMethod::Stepwise
                                        : operations::PolytropicMethod::Schultz;
        auto outlet = operations::polytropicOutlet(*sys, *inlet, P2, value, method);
        const double T = api::outT(outlet->T);
        api::storeState(stream, v.revision, std::move(outlet));
        return T;
    });
}

// ISPF(stream, back pressure, model, parameter): isentropic nozzle flow from
// the stream's operating point (stagnation state) to the back pressure.
// model 1: homogeneous equilibrium (parameter unused); model 2: homogeneous
// non-equilibrium with the boiling-delay exponent given as parameter (0 or
// less: 0.6).  Returns the throat area (m2) that passes the stream's mass
// flow, i.e. mass flow / critical (or back-pressure) mass flux; the stream
// ends at the outlet state.  Failure: NaN, stream unchanged.
double ISPF(int stream, double pBack, int model, double parameter) {
    return guarded("ISPF", kNaN, [&] {
        const double P2 = api::userP(pBack);
        core::requireFinite("parameter", parameter);
        if (model != 1 && model != 2) core::fail("nozzle model " + std::to_string(model) + " is not 1 or 2");
        api::StreamView v;
        auto inlet = api::currentState(stream, &v);
        auto sys = api::systemOf(v);
        const operations::NozzleFlow f =
            model == 1 ? operations::equilibriumNozzle(*sys, *inlet, P2)
                       : operations::nonEquilibriumNozzle(*sys, *inlet, P2, parameter > 0 ? parameter : 0.6);
        const double area = v.def.massFlow / f.massFlux;
        api::storeState(stream, v.revision, f.outlet);
        return area;
    });
}

} // extern "C"
