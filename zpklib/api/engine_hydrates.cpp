// C functions of gas hydrate formation: the formation pressure at a
// temperature (HPFORM) and the formation temperature at a pressure (HTFORM)
// of a stream's feed, from the van der Waals-Platteeuw model of the hydrate
// phase and the stream's own fluid models (equilibrium/hydrate.h).
//
// Structure codes: 1 the more stable of structures I and II (the lower
// formation pressure, the higher formation temperature), 2 structure I only,
// 3 structure II only.  A stream computes hydrates once its hydrate phase has
// a hydrate model (setMP(s, 1, 3, 170 or 171)).  When no hydrate forms
// within the searched range both functions return 0 Pa or 0 K (converted to
// the caller's unit, so that it cannot be mistaken for 0 barg or 0 C)
// without an error.
#include <cstdint>
#include <string>
#include <vector>

#include "api/engine_common.h"
#include "core/error.h"
#include "equilibrium/hydrate.h"
#include "models/catalogue.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

// Codes 2 and 3 name the structure the caller expects (I or II); the
// formation point is always that of the structure that forms first, the more
// stable one: a gas expected to give structure I may well form structure II
// first (methane with a few per cent ethane), and the pressure at which
// hydrate appears is that one.
hydrate::Choice choiceOf(int code) {
    if (code >= 1 && code <= 3) return hydrate::Choice::MostStable;
    throw Error("hydrate structure code " + std::to_string(code) +
                    " is not 1 (any), 2 (structure I expected) or 3 (structure II expected)",
                kBadArgument);
}

// Runs f(model) on the stream's formation model.  The stream system is kept
// alive for the call: the formation model refers to its fluid models.
template <class F> double withFormationModel(int stream, int code, F&& f) {
    const hydrate::Choice choice = choiceOf(code);
    const api::StreamView v = api::view(stream);
    if (!v.def.defined) throw Error("stream is not defined (setS)", kNotDefined);
    const int hm = v.def.model(1, 3);
    const models::ModelInfo* info = models::find(hm);
    if (!info || info->family != models::Family::Hydrate)
        throw Error("stream has no hydrate model (setMP(s, 1, 3, code) with a hydrate model code)",
                    kNotDefined);
    const auto sys = api::systemOf(v);
    std::vector<std::int64_t> cas;
    for (int i = 0; i < sys->size(); ++i)
        cas.push_back(sys->component(i).cas);
    const hydrate::FormationModel model(sys->fluid(), sys->feed(), cas);
    return f(model, choice);
}

} // namespace

extern "C" {

double HPFORM(int stream, double t, int code) {
    return guarded("HPFORM", kNaN, [&] {
        const double T = api::userT(t);
        return withFormationModel(stream, code, [&](const hydrate::FormationModel& m, hydrate::Choice c) {
            const double p = m.formationPressure(T, c);
            return api::outP(p);
        });
    });
}

double HTFORM(int stream, double p, int code) {
    return guarded("HTFORM", kNaN, [&] {
        const double P = api::userP(p);
        return withFormationModel(stream, code, [&](const hydrate::FormationModel& m, hydrate::Choice c) {
            const double T = m.formationTemperature(P, c);
            return api::outT(T);
        });
    });
}

} // extern "C"
