// C functions of the fuel properties: flash point, Reid vapour pressure and
// heating value (zpklib/operations/fuel.h has the models).
//
// StrFLP reads the stream's liquid: the liquid phases at the operating point
// when one is set, otherwise the whole stream taken as a liquid.  StrHC is
// the gross heating value of the stream as an ideal gas at 25 C; EStrHC the
// gross heating value at (T, P) with the stream in its equilibrium state
// there.  Heating values are per unit mass (specific enthalpy units).
#include <string>
#include <vector>

#include "api/engine_common.h"
#include "core/error.h"
#include "operations/fuel.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

double specificGross(const operations::HeatingValue& hv) {
    return units::toUser(units::SpecificEnthalpy, hv.gross / hv.mw);
}

} // namespace

extern "C" {

double StrFLP(int s) {
    return guarded("StrFLP", kNaN, [&] {
        api::StreamView v = api::view(s);
        auto sys = api::systemOf(v);
        std::vector<double> x = sys->feed();
        if (v.opDefined) {
            auto st = api::currentState(s, &v);
            const engine::PhaseState liquid = engine::combined(*st, models::kLiquid);
            if (!(liquid.beta > 0))
                throw Error("the stream has no liquid phase at its operating point", kNotDefined);
            x = liquid.x;
        }
        return api::outT(operations::flashPoint(*sys, x));
    });
}

double StrRVP(int s, int method) {
    return guarded("StrRVP", kNaN, [&] {
        if (method < 0 || method > 2)
            throw Error("vapour pressure method " + std::to_string(method) + " is not 0, 1 or 2",
                        kBadArgument);
        auto sys = api::systemOf(api::view(s));
        return api::outP(operations::reidVapourPressure(*sys, method));
    });
}

double StrHC(int s) {
    return guarded("StrHC", kNaN, [&] {
        auto sys = api::systemOf(api::view(s));
        return specificGross(operations::idealHeatingValue(*sys, 298.15));
    });
}

double EStrHC(int s, double t, double p) {
    return guarded("EStrHC", kNaN, [&] {
        const double T = api::userT(t), P = api::userP(p);
        auto sys = api::systemOf(api::view(s));
        return specificGross(operations::heatingValue(*sys, T, P));
    });
}

} // extern "C"
