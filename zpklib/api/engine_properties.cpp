// C functions of the operating point and the stream properties.  Each one
// checks its arguments, obtains the stream's equilibrium state (cached per
// stream state) and converts the engine's molar SI values to the caller's
// units: extensive values (H, S, V) are flows of the whole stream, the
// G and L functions read the vapour and the liquid phase.
#include <cmath>
#include <string>

#include "api/engine_common.h"
#include "equilibrium/flashes.h"
#include "core/config.h"
#include "core/error.h"
#include "core/thread_context.h"
#include "thermo/ideal_gas.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;
using engine::PhaseState;

namespace {

enum class Prop {
    H, GH, LH, S, GS, LS, V, GD, LD, GCp, LCp, GCv, LCv, GSS, LSS, MSS, GJT, LJT, GIC, LIC, GVE, LVE,
    Mw, GMw, LMw, Lf, Zv, GICp, SGH, SLH, SGS, SLS
};

using Ctx = api::StateContext;

double molarFlow(const Ctx& c) { return c.massFlow / c.sys->feedMw(); }  // kmol/s

// Enthalpy (J/mol on the current base) of one phase.
double phaseH(const Ctx& c, const PhaseState& p) { return p.h + c.sys->offsetH(p.x.data()); }
double phaseS(const Ctx& c, const PhaseState& p) { return p.s + c.sys->offsetS(p.x.data()); }

// Sum of beta * X over the phases of one kind (kind -1: all phases).
template <class F>
double partSum(const Ctx& c, int kind, F f) {
    double v = 0;
    for (const auto& p : c.st->phases)
        if (kind < 0 || p.kind == kind) v += p.beta * f(p);
    return v;
}

const PhaseState& requirePhase(const Ctx& c, int kind, PhaseState& buf) {
    buf = engine::combined(*c.st, kind);
    if (buf.beta <= 0)
        throw Error(std::string("the stream has no ") + (kind == 0 ? "vapour" : "liquid") + " phase", kNotDefined);
    return buf;
}

double mixtureSoundSpeed(const Ctx& c);

double evaluate(const Ctx& c, Prop p) {
    using namespace units;
    PhaseState buf;
    const int V = models::kVapour, L = models::kLiquid;
    switch (p) {
    case Prop::H: return toUser(EnthalpyFlow, partSum(c, -1, [&](auto& q) { return phaseH(c, q); }) * molarFlow(c));
    case Prop::GH: return toUser(EnthalpyFlow, partSum(c, V, [&](auto& q) { return phaseH(c, q); }) * molarFlow(c));
    case Prop::LH: return toUser(EnthalpyFlow, partSum(c, L, [&](auto& q) { return phaseH(c, q); }) * molarFlow(c));
    case Prop::S: return toUser(EntropyFlow, partSum(c, -1, [&](auto& q) { return phaseS(c, q); }) * molarFlow(c));
    case Prop::GS: return toUser(EntropyFlow, partSum(c, V, [&](auto& q) { return phaseS(c, q); }) * molarFlow(c));
    case Prop::LS: return toUser(EntropyFlow, partSum(c, L, [&](auto& q) { return phaseS(c, q); }) * molarFlow(c));
    case Prop::V: return toUser(VolumeFlow, engine::molarVolume(*c.st) * 1e3 * molarFlow(c));
    case Prop::GD: { auto& q = requirePhase(c, V, buf); return toUser(Density, q.mw / (q.v * 1e3)); }
    case Prop::LD: { auto& q = requirePhase(c, L, buf); return toUser(Density, q.mw / (q.v * 1e3)); }
    case Prop::GCp: { auto& q = requirePhase(c, V, buf); return toUser(SpecificHeatCapacity, q.cp / q.mw); }
    case Prop::LCp: { auto& q = requirePhase(c, L, buf); return toUser(SpecificHeatCapacity, q.cp / q.mw); }
    case Prop::GCv: { auto& q = requirePhase(c, V, buf); return toUser(SpecificHeatCapacity, q.cv / q.mw); }
    case Prop::LCv: { auto& q = requirePhase(c, L, buf); return toUser(SpecificHeatCapacity, q.cv / q.mw); }
    case Prop::GSS: return toUser(SpeedOfSound, requirePhase(c, V, buf).w);
    case Prop::LSS: return toUser(SpeedOfSound, requirePhase(c, L, buf).w);
    case Prop::MSS: return toUser(SpeedOfSound, mixtureSoundSpeed(c));
    case Prop::GJT: return toUser(JouleThomson, requirePhase(c, V, buf).jt);
    case Prop::LJT: return toUser(JouleThomson, requirePhase(c, L, buf).jt);
    case Prop::GIC: return toUser(Compressibility, requirePhase(c, V, buf).kappa);
    case Prop::LIC: return toUser(Compressibility, requirePhase(c, L, buf).kappa);
    case Prop::GVE: return toUser(Expansivity, requirePhase(c, V, buf).alpha);
    case Prop::LVE: return toUser(Expansivity, requirePhase(c, L, buf).alpha);
    case Prop::Mw: return toUser(MolarMass, c.sys->feedMw());
    case Prop::GMw: return toUser(MolarMass, requirePhase(c, V, buf).mw);
    case Prop::LMw: return toUser(MolarMass, requirePhase(c, L, buf).mw);
    case Prop::Lf: return engine::liquidFraction(*c.st);
    case Prop::Zv: return engine::vapourFraction(*c.st);
    case Prop::SGH: { auto& q = requirePhase(c, V, buf); return toUser(SpecificEnthalpy, phaseH(c, q) / q.mw); }
    case Prop::SLH: { auto& q = requirePhase(c, L, buf); return toUser(SpecificEnthalpy, phaseH(c, q) / q.mw); }
    case Prop::SGS: { auto& q = requirePhase(c, V, buf); return toUser(SpecificEntropy, phaseS(c, q) / q.mw); }
    case Prop::SLS: { auto& q = requirePhase(c, L, buf); return toUser(SpecificEntropy, phaseS(c, q) / q.mw); }
    case Prop::GICp: return toUser(SpecificHeatCapacity, c.sys->idealCp(c.st->T, c.sys->feed().data()) / c.sys->feedMw());
    }
    return kNaN;
}

// Speed of sound of the stream: that of its phase when single phase; for
// several phases in equilibrium the isentropic derivative of pressure with
// respect to density along equilibrium states (homogeneous equilibrium).
double mixtureSoundSpeed(const Ctx& c) {
    if (c.st->phases.size() == 1) return c.st->phases[0].w;
    const double s0 = engine::molarEntropy(*c.st);
    const double P = c.st->P, dp = P * 1e-4;
    double rho[2];
    for (int k = 0; k < 2; ++k) {
        auto st = engine::stateFunctionFlash(*c.sys, engine::Spec::S, s0, P + (k ? dp : -dp), true, c.st->T);
        rho[k] = c.sys->feedMw() * 1e-3 / engine::molarVolume(*st);
    }
    const double dPdrho = 2 * dp / (rho[1] - rho[0]);
    return dPdrho > 0 ? std::sqrt(dPdrho) : kNaN;
}

double prop(const char* fn, int stream, Prop p) {
    return guarded(fn, kNaN, [&] { return evaluate(api::currentContext(stream), p); });
}
double eprop(const char* fn, int stream, double t, double P, Prop p) {
    return guarded(fn, kNaN, [&] { return evaluate(api::contextAt(stream, t, P), p); });
}

// A phase number must lie in 1..the most phases a flash reports.
void checkPhaseNumber(int phase) {
    if (phase < 1 || phase > config::kMaxPhases)
        throw Error("phase " + std::to_string(phase) + " is outside 1.." + std::to_string(config::kMaxPhases),
                    kBadArgument);
}

const PhaseState& phaseAt(const EquilibriumCache& st, int phase) {
    checkPhaseNumber(phase);
    if (phase > static_cast<int>(st.phases.size()))
        throw Error("phase " + std::to_string(phase) + " does not exist (" + std::to_string(st.phases.size()) +
                        " phases)",
                    kNotDefined);
    return st.phases[phase - 1];
}

// Fraction of a phase; a phase the equilibrium does not have has fraction 0.
double fractionOf(const EquilibriumCache& st, int phase) {
    checkPhaseNumber(phase);
    return phase > static_cast<int>(st.phases.size()) ? 0.0 : st.phases[phase - 1].beta;
}

double componentOf(const PhaseState* p, int position, int n) {
    if (position < 1 || position > n) throw Error("position " + std::to_string(position) + " out of range");
    if (!p) return 0.0;
    return p->x[position - 1];
}

}  // namespace

extern "C" {

int setOp(int stream, double t, double p) {
    return guarded("setOp", 0, [&] {
        const double T = api::userT(t), P = api::userP(p);
        api::StreamView v = api::view(stream);
        auto sys = api::systemOf(v);
        core::setLastPhaseCount(0);
        api::requireValidConditions(v.def, T, P);
        auto st = sys->flash(T, P);
        api::storeState(stream, v.revision, std::move(st));
        return 1;
    });
}

int setSOp(int stream) {
    return guarded("setSOp", 0, [&] {
        api::StreamView v = api::view(stream);
        auto sys = api::systemOf(v);
        core::setLastPhaseCount(0);
        api::requireValidConditions(v.def, v.T, v.P);
        api::storeState(stream, v.revision, sys->flash(v.T, v.P));
        return 1;
    });
}

int setHB(int kind, double t, double value) {
    return guarded("setHB", 0, [&] {
        const double T0 = kind == 1 ? api::userT(t) : 298.15;
        thermo::setEnthalpyBase(kind, T0, units::fromUser(units::SpecificEnthalpy, value));
        return 1;
    });
}

int setSB(int kind, double t, double value) {
    return guarded("setSB", 0, [&] {
        const double T0 = kind == 1 ? api::userT(t) : 298.15;
        thermo::setEntropyBase(kind, T0, units::fromUser(units::SpecificEntropy, value));
        return 1;
    });
}

double StrH(int s) { return prop("StrH", s, Prop::H); }
double EStrH(int s, double t, double p) { return eprop("EStrH", s, t, p, Prop::H); }
double StrGH(int s) { return prop("StrGH", s, Prop::GH); }
double StrLH(int s) { return prop("StrLH", s, Prop::LH); }
double StrS(int s) { return prop("StrS", s, Prop::S); }
double EStrS(int s, double t, double p) { return eprop("EStrS", s, t, p, Prop::S); }
double StrGS(int s) { return prop("StrGS", s, Prop::GS); }
double StrLS(int s) { return prop("StrLS", s, Prop::LS); }
double StrV(int s) { return prop("StrV", s, Prop::V); }
double EStrV(int s, double t, double p) { return eprop("EStrV", s, t, p, Prop::V); }
double StrGD(int s) { return prop("StrGD", s, Prop::GD); }
double EStrGD(int s, double t, double p) { return eprop("EStrGD", s, t, p, Prop::GD); }
double StrLD(int s) { return prop("StrLD", s, Prop::LD); }
double EStrLD(int s, double t, double p) { return eprop("EStrLD", s, t, p, Prop::LD); }
double StrGCp(int s) { return prop("StrGCp", s, Prop::GCp); }
double EStrGCp(int s, double t, double p) { return eprop("EStrGCp", s, t, p, Prop::GCp); }
double StrLCp(int s) { return prop("StrLCp", s, Prop::LCp); }
double EStrLCp(int s, double t, double p) { return eprop("EStrLCp", s, t, p, Prop::LCp); }
double StrGCv(int s) { return prop("StrGCv", s, Prop::GCv); }
double EStrGCv(int s, double t, double p) { return eprop("EStrGCv", s, t, p, Prop::GCv); }
double StrLCv(int s) { return prop("StrLCv", s, Prop::LCv); }
double EStrLCv(int s, double t, double p) { return eprop("EStrLCv", s, t, p, Prop::LCv); }
double StrGSS(int s) { return prop("StrGSS", s, Prop::GSS); }
double EStrGSS(int s, double t, double p) { return eprop("EStrGSS", s, t, p, Prop::GSS); }
double StrLSS(int s) { return prop("StrLSS", s, Prop::LSS); }
double EStrLSS(int s, double t, double p) { return eprop("EStrLSS", s, t, p, Prop::LSS); }
double StrMSS(int s) { return prop("StrMSS", s, Prop::MSS); }
double EStrMSS(int s, double t, double p) { return eprop("EStrMSS", s, t, p, Prop::MSS); }
double StrGJT(int s) { return prop("StrGJT", s, Prop::GJT); }
double EStrGJT(int s, double t, double p) { return eprop("EStrGJT", s, t, p, Prop::GJT); }
double StrLJT(int s) { return prop("StrLJT", s, Prop::LJT); }
double EStrLJT(int s, double t, double p) { return eprop("EStrLJT", s, t, p, Prop::LJT); }
double StrGIC(int s) { return prop("StrGIC", s, Prop::GIC); }
double EStrGIC(int s, double t, double p) { return eprop("EStrGIC", s, t, p, Prop::GIC); }
double StrLIC(int s) { return prop("StrLIC", s, Prop::LIC); }
double EStrLIC(int s, double t, double p) { return eprop("EStrLIC", s, t, p, Prop::LIC); }
double StrGVE(int s) { return prop("StrGVE", s, Prop::GVE); }
double EStrGVE(int s, double t, double p) { return eprop("EStrGVE", s, t, p, Prop::GVE); }
double StrLVE(int s) { return prop("StrLVE", s, Prop::LVE); }
double EStrLVE(int s, double t, double p) { return eprop("EStrLVE", s, t, p, Prop::LVE); }
double StrMw(int s) {
    return guarded("StrMw", kNaN, [&] {
        return units::toUser(units::MolarMass, api::systemOf(api::view(s))->feedMw());
    });
}
double StrGMw(int s) { return prop("StrGMw", s, Prop::GMw); }
double EStrGMw(int s, double t, double p) { return eprop("EStrGMw", s, t, p, Prop::GMw); }
double StrLMw(int s) { return prop("StrLMw", s, Prop::LMw); }
double EStrLMw(int s, double t, double p) { return eprop("EStrLMw", s, t, p, Prop::LMw); }
double StrLf(int s) { return prop("StrLf", s, Prop::Lf); }
double EStrLf(int s, double t, double p) { return eprop("EStrLf", s, t, p, Prop::Lf); }
double StrZv(int s) { return prop("StrZv", s, Prop::Zv); }
double EStrZv(int s, double t, double p) { return eprop("EStrZv", s, t, p, Prop::Zv); }
double StrGICp(int s) { return prop("StrGICp", s, Prop::GICp); }
// Specific enthalpy and entropy of the vapour or the (combined) liquid, per kg of that phase.
double StrSGH(int s) { return prop("StrSGH", s, Prop::SGH); }
double StrSLH(int s) { return prop("StrSLH", s, Prop::SLH); }
double StrSGS(int s) { return prop("StrSGS", s, Prop::SGS); }
double StrSLS(int s) { return prop("StrSLS", s, Prop::SLS); }

double StrPf(int s, int phase) {
    return guarded("StrPf", kNaN, [&] {
        auto st = api::currentContext(s).st;
        return fractionOf(*st, phase);
    });
}

double EStrPf(int s, int phase, double t, double p) {
    return guarded("EStrPf", kNaN, [&] {
        auto st = api::contextAt(s, t, p).st;
        return fractionOf(*st, phase);
    });
}

int StrPt(int s, int phase) {
    return guarded("StrPt", -1, [&] {
        auto st = api::currentContext(s).st;
        return phaseAt(*st, phase).kind;
    });
}

char* StrPts(int s, int phase) {
    return guarded("StrPts", static_cast<char*>(nullptr), [&] {
        static thread_local std::string buf;
        const PhaseState& p = phaseAt(*api::currentContext(s).st, phase);
        static const char* names[] = {"vapour", "liquid", "solid", "hydrate"};
        return core::keepText(buf, names[p.kind]);
    });
}

double getX(int s, int position) {
    return guarded("getX", kNaN, [&] {
        auto st = api::currentContext(s).st;
        return componentOf(engine::phaseOfKind(*st, models::kLiquid), position, static_cast<int>(st->phases[0].x.size()));
    });
}

double getY(int s, int position) {
    return guarded("getY", kNaN, [&] {
        auto st = api::currentContext(s).st;
        return componentOf(engine::phaseOfKind(*st, models::kVapour), position, static_cast<int>(st->phases[0].x.size()));
    });
}

double getW(int s, int phase, int position) {
    return guarded("getW", kNaN, [&] {
        auto st = api::currentContext(s).st;
        const PhaseState& p = phaseAt(*st, phase);
        return componentOf(&p, position, static_cast<int>(p.x.size()));
    });
}

}  // extern "C"
