// Single-phase property functions with analytic derivatives, addressed
// through the calling thread's derivative slots (DPinit):
//   StrFv(d): f_i / x_i = phi_i P (fugacity units) and its T, P, x derivatives,
//   StrHv(d), StrSv(d), StrVv(d): molar enthalpy (kJ/kmol), entropy
//   (kJ/(kmol K)) and volume (m3/kmol) of the phase at (T, P, x).
// Derivatives are per K, per Pa and per unit of x_m (x is not renormalised).
// Phase 0 is evaluated on the vapour root, phase 1 on the liquid root,
// phase 2 by the stream's solid models (see docs/solids.md), phase 3 by the
// stream's hydrate model, in the structure of lower Gibbs energy at x (see
// docs/hydrates.md).
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "api/engine_common.h"
#include "core/error.h"
#include "core/thread_context.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

struct Eval {
    std::shared_ptr<const engine::StreamSystem> sys;
    double T, P;
    std::vector<double> x;  // as given
    double sum;
    models::Root root;
    int phase;
};

Eval prepare(int slot, int phase, double t, double p, const double* x) {
    const int stream = core::derivativeSlotStream(slot);
    if (stream == 0) throw Error("derivative slot " + std::to_string(slot) + " is not bound (DPinit)", kNotDefined);
    if (phase < 0 || phase > 3)
        throw Error("phase " + std::to_string(phase) + " is not 0 (vapour), 1 (liquid), 2 (solid) or 3 (hydrate)",
                    kBadArgument);
    if (!x) throw Error("composition array is missing");
    Eval e;
    const api::StreamView v = api::view(stream);
    e.sys = api::systemOf(v);
    e.T = api::userT(t);
    e.P = api::userP(p);
    if (phase < 2) api::requireValidState(v.def, e.T, e.P, phase == 0, phase == 1);
    const int n = e.sys->size();
    e.x.assign(x, x + n);
    e.sum = 0;
    for (double v : e.x) {
        core::requireFinite("composition", v);
        e.sum += v;
    }
    if (!(e.sum > 0)) throw Error("composition sums to zero");
    e.root = phase == 0 ? models::Root::Vapour : models::Root::Liquid;
    e.phase = phase;
    return e;
}

void props(const Eval& e, int property, int order, models::PhaseProps& out) {
    if (!e.sys->model(property, e.phase).evaluate(e.T, e.P, e.x.data(), e.root, order, out))
        throw Error("the model cannot be evaluated at this state", kCalculation);
}

std::vector<double> normalised(const Eval& e) {
    std::vector<double> z(e.x);
    for (double& v : z) v /= e.sum;
    return z;
}

// Per-component ideal-gas enthalpies and entropies on the caller's base.
void idealParts(const Eval& e, std::vector<double>& h, std::vector<double>& s) {
    const int n = e.sys->size();
    h.resize(n);
    s.resize(n);
    std::vector<double> unit(n, 0.0);
    for (int i = 0; i < n; ++i) {
        unit.assign(n, 0.0);
        unit[i] = 1.0;
        h[i] = e.sys->idealH(e.T, unit.data()) + e.sys->offsetH(unit.data());
        s[i] = e.sys->idealS(e.T, e.P, unit.data()) + e.sys->offsetS(unit.data());
    }
}

int fugacity(int slot, int phase, double t, double p, const double* x, double* F, double* dT, double* dP, double** dx) {
    Eval e = prepare(slot, phase, t, p, x);
    if (!F) throw Error("output array is missing");
    const bool d = dT || dP || dx;
    models::PhaseProps pp;
    props(e, 1, d ? 1 : 0, pp);
    const int n = e.sys->size();
    const double f = units::toUser(units::Fugacity, 1.0);
    for (int i = 0; i < n; ++i) {
        const double Fi = pp.lnfx.empty() ? std::exp(pp.lnphi[i]) * e.P : std::exp(pp.lnfx[i]);
        F[i] = Fi * f;
        if (dT) dT[i] = Fi * pp.dlnphi_dT[i] * f;
        if (dP) dP[i] = Fi * (pp.dlnphi_dP[i] + 1.0 / e.P) * f;
        if (dx)
            for (int m = 0; m < n; ++m)
                if (dx[m]) dx[m][i] = Fi * pp.dlnphi_dn[i * n + m] / e.sum * f;
    }
    return 1;
}

enum class Kind { H, S, V };

int single(Kind k, int slot, int phase, double t, double p, const double* x, double* X, double* dT, double* dP,
           double* dx) {
    Eval e = prepare(slot, phase, t, p, x);
    if (!X) throw Error("output value is missing");
    const bool d = dT || dP || dx;
    const int n = e.sys->size();
    const auto z = normalised(e);
    models::PhaseProps pp;
    if (k == Kind::V) {
        props(e, 4, d ? 1 : 0, pp);
        const double f = units::toUser(units::MolarVolume, 1e3);
        *X = pp.v * f;
        if (dT) *dT = pp.dv_dT * f;
        if (dP) *dP = pp.dv_dP * f;
        if (dx)
            for (int m = 0; m < n; ++m) dx[m] = pp.dv_dx[m] / e.sum * f;
        return 1;
    }
    std::vector<double> hi, si;
    idealParts(e, hi, si);
    const double cpig = e.sys->idealCp(e.T, z.data());
    if (k == Kind::H) {
        props(e, 2, d ? 1 : 0, pp);
        double hig = 0;
        for (int i = 0; i < n; ++i) hig += z[i] * hi[i];
        const double f = units::toUser(units::MolarEnthalpy, 1.0);
        *X = (hig + pp.hres) * f;
        if (dT) *dT = (cpig + pp.dhres_dT) * f;
        if (dP) *dP = pp.dhres_dP * f;
        if (dx)
            for (int m = 0; m < n; ++m) dx[m] = (hi[m] - hig + pp.dhres_dx[m]) / e.sum * f;
        return 1;
    }
    props(e, 3, d ? 1 : 0, pp);
    double sig = 0;
    for (int i = 0; i < n; ++i) sig += z[i] * si[i];
    const double f = units::toUser(units::MolarEntropy, 1.0);
    *X = (sig + pp.sres) * f;
    if (dT) *dT = (cpig / e.T + pp.dsres_dT) * f;
    if (dP) *dP = (-models::kR / e.P + pp.dsres_dP) * f;
    if (dx)
        for (int m = 0; m < n; ++m) dx[m] = (si[m] - sig + pp.dsres_dx[m]) / e.sum * f;
    return 1;
}

}  // namespace

extern "C" {

int StrFv(int slot, int phase, double T, double P, double* x, double* F) {
    return guarded("StrFv", 0, [&] { return fugacity(slot, phase, T, P, x, F, nullptr, nullptr, nullptr); });
}
int StrFvd(int slot, int phase, double T, double P, double* x, double* F, double* dT, double* dP, double** dx) {
    return guarded("StrFvd", 0, [&] { return fugacity(slot, phase, T, P, x, F, dT, dP, dx); });
}
int StrHv(int slot, int phase, double T, double P, double* x, double* H) {
    return guarded("StrHv", 0, [&] { return single(Kind::H, slot, phase, T, P, x, H, nullptr, nullptr, nullptr); });
}
int StrHvd(int slot, int phase, double T, double P, double* x, double* H, double* dT, double* dP, double* dx) {
    return guarded("StrHvd", 0, [&] { return single(Kind::H, slot, phase, T, P, x, H, dT, dP, dx); });
}
int StrSv(int slot, int phase, double T, double P, double* x, double* S) {
    return guarded("StrSv", 0, [&] { return single(Kind::S, slot, phase, T, P, x, S, nullptr, nullptr, nullptr); });
}
int StrSvd(int slot, int phase, double T, double P, double* x, double* S, double* dT, double* dP, double* dx) {
    return guarded("StrSvd", 0, [&] { return single(Kind::S, slot, phase, T, P, x, S, dT, dP, dx); });
}
int StrVv(int slot, int phase, double T, double P, double* x, double* V) {
    return guarded("StrVv", 0, [&] { return single(Kind::V, slot, phase, T, P, x, V, nullptr, nullptr, nullptr); });
}
int StrVvd(int slot, int phase, double T, double P, double* x, double* V, double* dT, double* dP, double* dx) {
    return guarded("StrVvd", 0, [&] { return single(Kind::V, slot, phase, T, P, x, V, dT, dP, dx); });
}

}  // extern "C"
