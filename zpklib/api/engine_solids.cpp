// C functions of the solid phases of a stream: enthalpy and entropy flows of
// the solids (StrSH, StrSS; 0 when the stream holds no solid), and the
// specific enthalpy, entropy, heat capacity and the density of the solids
// together (StrSSH, StrSSS, StrSCp, StrSD; an error when the stream holds no
// solid).  The E forms flash the stream at the given temperature and pressure
// without changing its operating point.
#include <memory>

#include "api/engine_common.h"
#include "core/error.h"
#include "models/solid.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;
using engine::PhaseState;

namespace {

enum class Prop { H, SH, S, SS, Cp, D };

using Ctx = api::StateContext;

double evaluate(const Ctx& c, Prop p) {
    using namespace units;
    const double molarFlow = c.massFlow / c.sys->feedMw(); // kmol/s
    if (p == Prop::H || p == Prop::S) {
        double v = 0;
        for (const auto& q : c.st->phases)
            if (q.kind == models::kSolidPhase)
                v += q.beta *
                     (p == Prop::H ? q.h + c.sys->offsetH(q.x.data()) : q.s + c.sys->offsetS(q.x.data()));
        return toUser(p == Prop::H ? EnthalpyFlow : EntropyFlow, v * molarFlow);
    }
    const PhaseState q = engine::combined(*c.st, models::kSolidPhase);
    if (!(q.beta > 0)) throw Error("the stream has no solid phase", kNotDefined);
    switch (p) {
    case Prop::SH:
        return toUser(SpecificEnthalpy, (q.h + c.sys->offsetH(q.x.data())) / q.mw);
    case Prop::SS:
        return toUser(SpecificEntropy, (q.s + c.sys->offsetS(q.x.data())) / q.mw);
    case Prop::Cp:
        return toUser(SpecificHeatCapacity, q.cp / q.mw);
    case Prop::D:
        return toUser(Density, q.mw / (q.v * 1e3));
    default:
        break;
    }
    return kNaN;
}

double prop(const char* fn, int stream, Prop p) {
    return guarded(fn, kNaN, [&] { return evaluate(api::currentContext(stream), p); });
}
double eprop(const char* fn, int stream, double t, double P, Prop p) {
    return guarded(fn, kNaN, [&] { return evaluate(api::contextAt(stream, t, P), p); });
}

} // namespace

extern "C" {

double StrSH(int s) {
    return prop("StrSH", s, Prop::H);
}
double StrSSH(int s) {
    return prop("StrSSH", s, Prop::SH);
}
double StrSS(int s) {
    return prop("StrSS", s, Prop::S);
}
double StrSSS(int s) {
    return prop("StrSSS", s, Prop::SS);
}
double StrSCp(int s) {
    return prop("StrSCp", s, Prop::Cp);
}
double EStrSCp(int s, double t, double p) {
    return eprop("EStrSCp", s, t, p, Prop::Cp);
}
double StrSD(int s) {
    return prop("StrSD", s, Prop::D);
}
double EStrSD(int s, double t, double p) {
    return eprop("EStrSD", s, t, p, Prop::D);
}

} // extern "C"
