// C functions of the flashes other than setOp: phase-fraction flashes and
// state-function flashes.  Arguments are checked and converted here; the
// engine does the rest and verifies its results.  A failed flash returns
// kFlashFailed (NaN, so that a caller cannot read it as a temperature or
// pressure, whatever the unit; the int ones 0) and leaves the stream as it was.
#include <cmath>
#include <cstdio>
#include <string>

#include "api/engine_common.h"
#include "api/envelope_cache.h"
#include "core/error.h"
#include "core/thread_context.h"
#include "equilibrium/flashes.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

// Result of a failed flash that returns a temperature or pressure.
constexpr double kFlashFailed = kNaN;

double fraction(double f) {
    core::requireFinite("phase fraction", f);
    if (f < 0 || f > 1) core::fail("phase fraction " + std::to_string(f) + " is not in [0, 1]");
    return f;
}

// " (above the cricondenbar ...)" when the pressure lies above the stream's
// envelope, else "" (also when the envelope cannot be traced).
std::string aboveCricondenbar(int stream, double P) {
    try {
        const auto env = api::envelopeOf(stream);
        if (!env->cricondenbar.found || !(P > env->cricondenbar.P)) return "";
        char buf[96];
        std::snprintf(buf, sizeof buf, " (above the cricondenbar %.4g Pa)", env->cricondenbar.P);
        return buf;
    } catch (const Error&) {
        return "";
    }
}

// Liquid-fraction flash at fixed P (returns T) or fixed T (returns P).
double lfFlash(int stream, double fixedUser, bool fixedIsP, double f, int k) {
    const double fixed = fixedIsP ? api::userP(fixedUser) : api::userT(fixedUser);
    api::StreamView v = api::view(stream);
    auto sys = api::systemOf(v);
    core::setLastPhaseCount(0);
    std::shared_ptr<EquilibriumCache> st;
    try {
        st = engine::liquidFractionFlash(*sys, fixed, fixedIsP, fraction(f), k);
    } catch (const Error& e) {
        if (e.code() != kCalculation || !fixedIsP) throw;
        throw Error(e.what() + aboveCricondenbar(stream, fixed), e.code());
    }
    const double result = fixedIsP ? api::outT(st->T) : api::outP(st->P);
    api::storeState(stream, v.revision, std::move(st));
    return result;
}

double molarFlow(const engine::StreamSystem& sys, const streams::StreamDef& def) {
    const double m = def.massFlow / sys.feedMw();
    if (!(m > 0)) throw Error("the stream's mass flow is zero", kNotDefined);
    return m;
}

// User value of an extensive specification -> molar value on the internal base.
double molarTarget(const engine::StreamSystem& sys, const streams::StreamDef& def, engine::Spec spec,
                   double value) {
    core::requireFinite("specification", value);
    const double n = molarFlow(sys, def);
    switch (spec) {
    case engine::Spec::H:
        return units::fromUser(units::EnthalpyFlow, value) / n - sys.offsetH(sys.feed().data());
    case engine::Spec::S:
        return units::fromUser(units::EntropyFlow, value) / n - sys.offsetS(sys.feed().data());
    case engine::Spec::V:
        return units::fromUser(units::VolumeFlow, value) / n * 1e-3;
    }
    return kNaN;
}

double stateFlash(int stream, engine::Spec spec, double fixedUser, bool fixedIsP, double value,
                  double estimate) {
    const double fixed = fixedIsP ? api::userP(fixedUser) : api::userT(fixedUser);
    api::StreamView v = api::view(stream);
    auto sys = api::systemOf(v);
    const double target = molarTarget(*sys, v.def, spec, value);
    double est = 0;
    if (std::isfinite(estimate) && estimate > 0)
        est = fixedIsP ? api::userT(estimate) : api::userP(estimate);
    else if (v.opDefined)
        est = fixedIsP ? v.T : v.P;
    core::setLastPhaseCount(0);
    auto st = engine::stateFunctionFlash(*sys, spec, target, fixed, fixedIsP, est);
    const double result = fixedIsP ? api::outT(st->T) : api::outP(st->P);
    api::storeState(stream, v.revision, std::move(st));
    return result;
}

int twoSpec(int stream, engine::Spec a, double va, engine::Spec b, double vb, double t0, double p0) {
    api::StreamView v = api::view(stream);
    auto sys = api::systemOf(v);
    const double ta = molarTarget(*sys, v.def, a, va), tb = molarTarget(*sys, v.def, b, vb);
    double T0 = (std::isfinite(t0) && t0 > 0) ? api::userT(t0) : (v.opDefined ? v.T : 300.0);
    double P0 = (std::isfinite(p0) && p0 > 0) ? api::userP(p0) : (v.opDefined ? v.P : 1e5);
    core::setLastPhaseCount(0);
    api::storeState(stream, v.revision, engine::twoSpecFlash(*sys, a, ta, b, tb, T0, P0));
    return 1;
}

int solutionNumber(int k) {
    if (k < 1) core::fail("solution number " + std::to_string(k) + " is not positive");
    return k;
}

} // namespace

extern "C" {

double LfPF(int s, double P, double f) {
    return guarded("LfPF", kFlashFailed, [&] { return lfFlash(s, P, true, f, 0); });
}
double LfTF(int s, double T, double f) {
    return guarded("LfTF", kFlashFailed, [&] { return lfFlash(s, T, false, f, 0); });
}
double BPF(int s, double P) {
    return guarded("BPF", kFlashFailed, [&] { return lfFlash(s, P, true, 1.0, 0); });
}
double DPF(int s, double P) {
    return guarded("DPF", kFlashFailed, [&] { return lfFlash(s, P, true, 0.0, 0); });
}
// kind 1: f is the liquid fraction; kind 0: f is the vapour fraction.
double PfPF(int s, double P, double f, int kind, int k) {
    return guarded("PfPF", kFlashFailed, [&] {
        if (kind != 0 && kind != 1) core::fail("phase kind " + std::to_string(kind) + " is not 0 or 1");
        return lfFlash(s, P, true, kind == 1 ? fraction(f) : 1.0 - fraction(f), solutionNumber(k));
    });
}
double PfTF(int s, double T, double f, int kind, int k) {
    return guarded("PfTF", kFlashFailed, [&] {
        if (kind != 0 && kind != 1) core::fail("phase kind " + std::to_string(kind) + " is not 0 or 1");
        return lfFlash(s, T, false, kind == 1 ? fraction(f) : 1.0 - fraction(f), solutionNumber(k));
    });
}
double HPF(int s, double P, double H, double T) {
    return guarded("HPF", kFlashFailed, [&] { return stateFlash(s, engine::Spec::H, P, true, H, T); });
}
double SPF(int s, double P, double S, double T) {
    return guarded("SPF", kFlashFailed, [&] { return stateFlash(s, engine::Spec::S, P, true, S, T); });
}
double VPF(int s, double P, double V, double T) {
    return guarded("VPF", kFlashFailed, [&] { return stateFlash(s, engine::Spec::V, P, true, V, T); });
}
double HTF(int s, double T, double H, double P) {
    return guarded("HTF", kFlashFailed, [&] { return stateFlash(s, engine::Spec::H, T, false, H, P); });
}
double STF(int s, double T, double S, double P) {
    return guarded("STF", kFlashFailed, [&] { return stateFlash(s, engine::Spec::S, T, false, S, P); });
}
double VTF(int s, double T, double V, double P) {
    return guarded("VTF", kFlashFailed, [&] { return stateFlash(s, engine::Spec::V, T, false, V, P); });
}
int HVF(int s, double H, double V, double T, double P) {
    return guarded("HVF", 0, [&] { return twoSpec(s, engine::Spec::H, H, engine::Spec::V, V, T, P); });
}
int SVF(int s, double S, double V, double T, double P) {
    return guarded("SVF", 0, [&] { return twoSpec(s, engine::Spec::S, S, engine::Spec::V, V, T, P); });
}
int HSF(int s, double H, double S, double T, double P) {
    return guarded("HSF", 0, [&] { return twoSpec(s, engine::Spec::H, H, engine::Spec::S, S, T, P); });
}

} // extern "C"
