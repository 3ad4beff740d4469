// C functions of the transport properties: viscosity (StrGV, StrLV),
// thermal conductivity (StrGC, StrLC) and surface tension (StrST) of a
// stream at its operating point, and their E forms at a given (T, P).  The
// phase states (composition, molar volume) come from the stream's
// equilibrium; the methods are in transport/.
#include <cmath>
#include <exception>
#include <string>
#include <vector>

#include "api/engine_common.h"
#include "core/error.h"
#include "models/phase_model.h"
#include "transport/transport.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

// Surface tension reported when there is no vapour-liquid interface (no
// liquid, or a liquid above its critical temperature): a small positive
// value rather than zero, so that ratios and logarithms stay finite.
constexpr double kNoInterface = 1e-6; // N/m

enum class Quantity { Viscosity, Conductivity };

struct Ctx {
    std::shared_ptr<const engine::StreamSystem> sys;
    std::shared_ptr<const EquilibriumCache> st;
};

Ctx current(int stream) {
    api::StreamView v;
    Ctx c;
    c.st = api::currentState(stream, &v);
    c.sys = api::systemOf(v);
    return c;
}

Ctx atState(int stream, double t, double p) {
    const double T = api::userT(t), P = api::userP(p);
    Ctx c;
    const api::StreamView v = api::view(stream);
    c.sys = api::systemOf(v);
    api::requireValidConditions(v.def, T, P);
    c.st = c.sys->flash(T, P);
    api::requireValidState(v.def, *c.st);
    return c;
}

transport::Components componentsOf(const engine::StreamSystem& sys) {
    transport::Components comps;
    for (int i = 0; i < sys.size(); ++i)
        comps.push_back(&sys.component(i));
    return comps;
}

transport::Phase phaseOf(const Ctx& c, const engine::PhaseState& p) {
    transport::Phase ph;
    ph.kind = p.kind == models::kVapour ? 0 : 1;
    ph.T = c.st->T;
    ph.P = c.st->P;
    ph.x = p.x;
    ph.v = p.v;
    ph.cv0 = c.sys->idealCp(c.st->T, p.x.data()) - models::kR;
    ph.mw = p.mw;
    if (ph.kind == 1) {
        auto sys = c.sys;
        const double T = c.st->T;
        ph.pureLiquidVolume = [sys, T](int i, double P) {
            std::vector<double> unit(static_cast<std::size_t>(sys->size()), 0.0);
            unit[static_cast<std::size_t>(i)] = 1.0;
            try {
                return sys->phaseState(T, P, unit, models::kLiquid, false).v;
            } catch (const std::exception&) {
                return kNaN;
            }
        };
    }
    return ph;
}

// The property of the vapour (kind 0) or the liquid (kind 1) of the state.
// Several liquids: their values averaged with their volume fractions.
double phaseProperty(const Ctx& c, int kind, Quantity q) {
    const auto comps = componentsOf(*c.sys);
    double sum = 0, vol = 0;
    for (const auto& p : c.st->phases) {
        if (p.kind != kind || !(p.beta > 0)) continue;
        const auto ph = phaseOf(c, p);
        const double value =
            q == Quantity::Viscosity ? transport::viscosity(comps, ph) : transport::conductivity(comps, ph);
        sum += p.beta * p.v * value;
        vol += p.beta * p.v;
    }
    if (!(vol > 0))
        throw Error(std::string("the stream has no ") + (kind == models::kVapour ? "vapour" : "liquid") +
                        " phase",
                    kNotDefined);
    const double si = sum / vol;
    if (!std::isfinite(si) || !(si > 0))
        throw Error("no value: the phase's components lack data of the transport methods", kNotDefined);
    return units::toUser(q == Quantity::Viscosity ? units::Viscosity : units::ThermalConductivity, si);
}

double surfaceTensionOf(const Ctx& c) {
    const auto comps = componentsOf(*c.sys);
    const engine::PhaseState* v = engine::phaseOfKind(*c.st, models::kVapour);
    const engine::PhaseState* l = engine::phaseOfKind(*c.st, models::kLiquid);
    double sigma = 0;
    if (l) {
        const auto lp = phaseOf(c, *l);
        if (v) {
            const auto vp = phaseOf(c, *v);
            sigma = transport::surfaceTension(comps, &vp, &lp);
        } else {
            sigma = transport::surfaceTension(comps, nullptr, &lp);
        }
    }
    if (std::isnan(sigma)) throw Error("no value: the components lack surface tension data", kNotDefined);
    if (!(sigma > kNoInterface)) sigma = kNoInterface;
    return units::toUser(units::SurfaceTension, sigma);
}

double prop(const char* fn, int stream, int kind, Quantity q) {
    return guarded(fn, kNaN, [&] { return phaseProperty(current(stream), kind, q); });
}
double eprop(const char* fn, int stream, double t, double p, int kind, Quantity q) {
    return guarded(fn, kNaN, [&] { return phaseProperty(atState(stream, t, p), kind, q); });
}

constexpr int V = models::kVapour;
constexpr int L = models::kLiquid;

} // namespace

extern "C" {

double StrGV(int s) {
    return prop("StrGV", s, V, Quantity::Viscosity);
}
double EStrGV(int s, double t, double p) {
    return eprop("EStrGV", s, t, p, V, Quantity::Viscosity);
}
double StrLV(int s) {
    return prop("StrLV", s, L, Quantity::Viscosity);
}
double EStrLV(int s, double t, double p) {
    return eprop("EStrLV", s, t, p, L, Quantity::Viscosity);
}
double StrGC(int s) {
    return prop("StrGC", s, V, Quantity::Conductivity);
}
double EStrGC(int s, double t, double p) {
    return eprop("EStrGC", s, t, p, V, Quantity::Conductivity);
}
double StrLC(int s) {
    return prop("StrLC", s, L, Quantity::Conductivity);
}
double EStrLC(int s, double t, double p) {
    return eprop("EStrLC", s, t, p, L, Quantity::Conductivity);
}
double StrST(int s) {
    return guarded("StrST", kNaN, [&] { return surfaceTensionOf(current(s)); });
}
double EStrST(int s, double t, double p) {
    return guarded("EStrST", kNaN, [&] { return surfaceTensionOf(atState(s, t, p)); });
}

} // extern "C"
