#include "api/engine_common.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/error.h"
#include "core/thread_context.h"
#include "models/catalogue.h"
#include "operations/units.h"
#include "units/units.h"

namespace zpk::api {

StreamView view(int stream) {
    return streams::withStream(stream, [stream](streams::Stream& s) {
        StreamView v;
        v.stream = stream;
        v.def = s.def;
        v.T = s.T;
        v.P = s.P;
        v.opDefined = s.opDefined;
        v.state = s.state;
        v.revision = s.revision;
        if (s.system && s.systemRevision == s.revision) v.system = s.system;
        return v;
    });
}

std::shared_ptr<const engine::StreamSystem> systemOf(const StreamView& v) {
    if (!v.def.defined) throw Error("stream is not defined (setS)", kNotDefined);
    if (v.system) return v.system;
    auto sys = engine::systemFor(v.def);
    if (v.stream != 0)
        streams::withStream(v.stream, [&](streams::Stream& s) {
            if (s.revision != v.revision) return; // the definition changed meanwhile
            s.system = sys;
            s.systemRevision = s.revision;
        });
    return sys;
}

namespace {

void checkModels(const streams::StreamDef& def, double T, double P, bool vapour, bool liquid,
                 bool phasesKnown) {
    models::CriticalScale scale;
    double sum = 0;
    for (int i = 0; i < def.positions(); ++i) {
        const components::Component* c = components::byIndex(def.codes[i]);
        if (c == nullptr || !(def.z[i] > 0)) continue;
        scale.tPseudo += def.z[i] * c->tc;
        scale.tcMax = std::max(scale.tcMax, c->tc);
        sum += def.z[i];
    }
    if (sum > 0) scale.tPseudo /= sum;
    for (int phase = models::kVapour; phase <= models::kLiquid; ++phase) {
        if (!(phase == models::kVapour ? vapour : liquid)) continue;
        for (int property = 1; property <= 4; ++property) {
            const models::ModelInfo* m = models::find(def.model(property, phase));
            if (m == nullptr) continue;
            const bool formsLiquid = phasesKnown && phase == models::kLiquid && property == 1;
            const models::RangeCheck r = models::checkRange(*m, T, P, formsLiquid, scale);
            if (r.verdict == models::RangeVerdict::Outside) throw Error(r.message, kBadArgument);
            if (r.verdict == models::RangeVerdict::Extrapolated) core::noteExtrapolation(r.message);
        }
    }
}

} // namespace

void requireValidState(const streams::StreamDef& def, double T, double P, bool vapour, bool liquid) {
    checkModels(def, T, P, vapour, liquid, true);
}

void requireValidConditions(const streams::StreamDef& def, double T, double P) {
    checkModels(def, T, P, true, true, false);
}

void requireValidState(const streams::StreamDef& def, const EquilibriumCache& st) {
    bool vapour = false, liquid = false;
    for (const auto& p : st.phases) {
        vapour = vapour || p.kind == models::kVapour;
        liquid = liquid || p.kind == models::kLiquid;
    }
    requireValidState(def, st.T, st.P, vapour, liquid);
}

std::shared_ptr<const EquilibriumCache> currentState(int stream, StreamView* out) {
    StreamView v = view(stream);
    if (!v.opDefined)
        throw Error("stream " + std::to_string(stream) + " has no operating point", kNotDefined);
    if (!v.state) {
        auto sys = systemOf(v);
        requireValidConditions(v.def, v.T, v.P);
        v.state = sys->flash(v.T, v.P);
        requireValidState(v.def, *v.state);
        streams::withStream(stream, [&](streams::Stream& s) {
            if (s.revision == v.revision && s.opDefined && !s.state) s.state = v.state;
        });
    }
    if (out) *out = v;
    return v.state;
}

void storeState(int stream, std::uint64_t revision, std::shared_ptr<const EquilibriumCache> state) {
    const int phases = static_cast<int>(state->phases.size());
    streams::withStream(stream, [&](streams::Stream& s) {
        if (s.revision != revision) return;
        requireValidState(s.def, *state);
        s.T = state->T;
        s.P = state->P;
        s.opDefined = true;
        s.state = std::move(state);
    });
    core::setLastPhaseCount(phases);
}

double userT(double t) {
    core::requireFinite("temperature", t);
    const double k = units::fromUser(units::Temperature, t);
    if (!(k > 0)) core::fail("temperature " + std::to_string(t) + " is not above absolute zero");
    return k;
}
double userP(double p) {
    core::requireFinite("pressure", p);
    const double pa = units::fromUser(units::Pressure, p);
    if (!(pa > 0)) core::fail("pressure " + std::to_string(p) + " is not positive");
    return pa;
}
double outT(double kelvin) {
    return units::toUser(units::Temperature, kelvin);
}
double outP(double pascal) {
    return units::toUser(units::Pressure, pascal);
}

void writeProduct(int stream, const operations::StreamResult& r) {
    requireValidState(r.def, *r.state);
    streams::withStream(stream, [&](streams::Stream& s) {
        s.def = r.def;
        s.def.defined = true;
        s.touchDefinition();
        s.def.defined = true;
        s.T = r.state->T;
        s.P = r.state->P;
        s.opDefined = true;
        s.state = r.state;
    });
}

StateContext currentContext(int stream) {
    StreamView v;
    StateContext c;
    c.st = currentState(stream, &v);
    c.sys = systemOf(v);
    c.massFlow = v.def.massFlow;
    return c;
}

StateContext contextAt(int stream, double t, double p) {
    const double T = userT(t), P = userP(p);
    const StreamView v = view(stream);
    StateContext c;
    c.sys = systemOf(v);
    requireValidConditions(v.def, T, P);
    c.st = c.sys->flash(T, P);
    requireValidState(v.def, *c.st);
    c.massFlow = v.def.massFlow;
    return c;
}

} // namespace zpk::api
