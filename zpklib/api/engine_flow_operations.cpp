// C functions of the compressor (PSPF), the nozzle (ISPF) and the pipe (PIPE).
#include <cmath>
#include <string>

#include "api/engine_common.h"
#include "core/error.h"
#include "operations/compressor.h"
#include "operations/nozzle.h"
#include "operations/pipe.h"
#include "units/units.h"
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
        if (mode != 2 && !(value > 0 && value <= 1))
            core::fail("polytropic efficiency " + std::to_string(value) + " is not in (0, 1]");
        api::StreamView v;
        auto inlet = api::currentState(stream, &v);
        auto sys = api::systemOf(v);
        if (mode == 2) {
            const double T2 = api::userT(value);
            api::requireValidConditions(v.def, T2, P2);
            auto outlet = sys->flash(T2, P2);
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
        if (!(P2 < inlet->P))
            core::fail("back pressure " + std::to_string(pBack) + " is not below the stream's pressure " +
                       std::to_string(api::outP(inlet->P)));
        auto sys = api::systemOf(v);
        const operations::NozzleFlow f =
            model == 1 ? operations::equilibriumNozzle(*sys, *inlet, P2)
                       : operations::nonEquilibriumNozzle(*sys, *inlet, P2, parameter > 0 ? parameter : 0.6);
        const double area = v.def.massFlow / f.massFlux;
        api::storeState(stream, v.revision, f.outlet);
        return area;
    });
}

// PIPE(inlet, outlet, length, inner diameter, roughness, rise, heat): the
// inlet stream's flow through a straight pipe (lengths in length units,
// rise = outlet elevation above the inlet, heat added over the pipe in
// enthalpy-flow units).  The outlet stream (which may be the inlet) gets
// the inlet's definition and the state at the pipe's end.  Returns 1, or 0
// when the pipe cannot pass the flow or an argument is bad.
int PIPE(int in, int out, double length, double diameter, double roughness, double rise, double heat) {
    return guarded("PIPE", 0, [&] {
        operations::PipeSpec pipe;
        pipe.length = units::fromUser(units::Length, core::requireFinite("length", length));
        pipe.diameter = units::fromUser(units::Length, core::requireFinite("diameter", diameter));
        pipe.roughness = units::fromUser(units::Length, core::requireFinite("roughness", roughness));
        if (!(pipe.length > 0)) core::fail("length " + std::to_string(length) + " is not positive");
        if (!(pipe.diameter > 0)) core::fail("diameter " + std::to_string(diameter) + " is not positive");
        if (!(pipe.roughness >= 0 && pipe.roughness < 0.5 * pipe.diameter))
            core::fail("roughness " + std::to_string(roughness) + " is not in [0, diameter / 2)");
        pipe.rise = units::fromUser(units::Length, core::requireFinite("rise", rise));
        pipe.heat =
            units::fromUser(units::EnthalpyFlow, core::requireFinite("heat", heat)) * 1e3; // kJ/s -> W
        api::StreamView v;
        auto inlet = api::currentState(in, &v);
        auto sys = api::systemOf(v);
        std::shared_ptr<const EquilibriumCache> outlet =
            operations::pipeOutlet(*sys, *inlet, v.def.massFlow, pipe);
        api::requireValidState(v.def, *outlet);
        streams::withStream(out, [&](streams::Stream& s) {
            s.def = v.def;
            s.touchDefinition();
            s.def.defined = true;
            s.T = outlet->T;
            s.P = outlet->P;
            s.opDefined = true;
            s.state = outlet;
        });
        return 1;
    });
}

} // extern "C"
