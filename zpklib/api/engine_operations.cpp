// C functions of the mixer, divider and phase separators.
#include <cmath>
#include <string>

#include "api/engine_common.h"
#include "core/error.h"
#include "operations/units.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

operations::MixInput inlet(int stream) {
    api::StreamView v;
    auto st = api::currentState(stream, &v);
    return {v.def, st};
}

}  // namespace

extern "C" {

// MixF(outlet, inlet 1, inlet 2, outlet pressure (<= 0: the lower inlet
// pressure), heat added (enthalpy-flow units)).
int MixF(int out, int a, int b, double p, double q) {
    return guarded("MixF", 0, [&] {
        core::requireFinite("outlet pressure", p);
        core::requireFinite("heat flow", q);
        const double P = p > 0 ? api::userP(p) : 0.0;
        const double duty = units::fromUser(units::EnthalpyFlow, q);
        auto r = operations::mix(inlet(a), inlet(b), P, duty);
        api::writeProduct(out, r);
        return 1;
    });
}

// Divi(source, target, fraction): the target receives the fraction of the
// source's flow at the source's state; the source keeps the rest.
int Divi(int source, int target, double fraction) {
    return guarded("Divi", 0, [&] {
        core::requireFinite("fraction", fraction);
        if (fraction < 0 || fraction > 1) core::fail("fraction " + std::to_string(fraction) + " is not in [0, 1]");
        api::StreamView v;
        auto st = api::currentState(source, &v);
        operations::StreamResult r{v.def, st};
        r.def.massFlow = v.def.massFlow * fraction;
        if (target != source) {
            api::writeProduct(target, r);
            streams::withStream(source, [&](streams::Stream& s) { s.def.massFlow = v.def.massFlow * (1 - fraction); });
        }
        return 1;
    });
}

int GSep(int feed, int product) {
    return guarded("GSep", 0, [&] {
        api::StreamView v;
        auto st = api::currentState(feed, &v);
        api::writeProduct(product, operations::kindProduct(v.def, *st, models::kVapour));
        return 1;
    });
}

int LSep(int feed, int product) {
    return guarded("LSep", 0, [&] {
        api::StreamView v;
        auto st = api::currentState(feed, &v);
        api::writeProduct(product, operations::kindProduct(v.def, *st, models::kLiquid));
        return 1;
    });
}

int PSep(int feed, int product, int phase) {
    return guarded("PSep", 0, [&] {
        api::StreamView v;
        auto st = api::currentState(feed, &v);
        api::writeProduct(product, operations::phaseProduct(v.def, *st, phase));
        return 1;
    });
}

// VLLSep(feed, vapour, first liquid, second liquid): products of the feed's
// phases; a missing phase gives a product without flow.
int VLLSep(int feed, int vap, int liq1, int liq2) {
    return guarded("VLLSep", 0, [&] {
        api::StreamView v;
        auto st = api::currentState(feed, &v);
        int liquids[2] = {0, 0}, nl = 0, vapour = 0;
        for (int k = 0; k < static_cast<int>(st->phases.size()); ++k) {
            if (st->phases[k].kind == models::kVapour && !vapour) vapour = k + 1;
            if (st->phases[k].kind == models::kLiquid && nl < 2) liquids[nl++] = k + 1;
        }
        auto product = [&](int stream, int phase) {
            api::writeProduct(stream, phase ? operations::phaseProduct(v.def, *st, phase)
                                       : operations::emptyProduct(v.def, *st));
        };
        product(vap, vapour);
        product(liq1, liquids[0]);
        product(liq2, liquids[1]);
        return 1;
    });
}

}  // extern "C"
