#include "api/engine_common.h"

#include <cmath>
#include <string>

#include "core/error.h"
#include "core/thread_context.h"
#include "operations/units.h"
#include "units/units.h"

namespace zpk::api {

StreamView view(int stream) {
    return streams::withStream(stream, [](streams::Stream& s) {
        StreamView v;
        v.def = s.def;
        v.T = s.T;
        v.P = s.P;
        v.opDefined = s.opDefined;
        v.state = s.state;
        v.revision = s.revision;
        return v;
    });
}

std::shared_ptr<const engine::StreamSystem> systemOf(const StreamView& v) {
    if (!v.def.defined) throw Error("stream is not defined (setS)", kNotDefined);
    return engine::systemFor(v.def);
}

std::shared_ptr<const EquilibriumCache> currentState(int stream, StreamView* out) {
    StreamView v = view(stream);
    if (!v.opDefined) throw Error("stream " + std::to_string(stream) + " has no operating point", kNotDefined);
    if (!v.state) {
        auto sys = systemOf(v);
        v.state = sys->flash(v.T, v.P);
        streams::withStream(stream, [&](streams::Stream& s) {
            if (s.revision == v.revision && s.opDefined && !s.state) s.state = v.state;
        });
    }
    if (out) *out = v;
    return v.state;
}

void storeState(int stream, std::uint64_t revision, std::shared_ptr<const EquilibriumCache> state) {
    core::setLastPhaseCount(static_cast<int>(state->phases.size()));
    streams::withStream(stream, [&](streams::Stream& s) {
        if (s.revision != revision) return;
        s.T = state->T;
        s.P = state->P;
        s.opDefined = true;
        s.state = std::move(state);
    });
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
double outT(double kelvin) { return units::toUser(units::Temperature, kelvin); }
double outP(double pascal) { return units::toUser(units::Pressure, pascal); }

void writeProduct(int stream, const operations::StreamResult& r) {
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
    c.st = c.sys->flash(T, P);
    c.massFlow = v.def.massFlow;
    return c;
}

}  // namespace zpk::api
