// C functions of mixture critical points and pseudo-critical constants.
#include <cmath>
#include <string>

#include "api/engine_common.h"
#include "core/error.h"
#include "equilibrium/critical.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

std::vector<equilibrium::CriticalPoint> points(int stream) {
    auto sys = api::systemOf(api::view(stream));
    const auto& m = sys->model(1, 1);
    if (!m.isEquationOfState())
        throw Error("critical points need an equation of state for the liquid fugacity", kNotImplemented);
    return equilibrium::criticalPoints(m, sys->feed().data(), sys->size());
}

const equilibrium::CriticalPoint& nth(const std::vector<equilibrium::CriticalPoint>& v, int i) {
    if (v.empty()) throw Error("no critical point found", kCalculation);
    if (i < 1 || i > static_cast<int>(v.size()))
        throw Error("critical point " + std::to_string(i) + " does not exist (" + std::to_string(v.size()) + " found)");
    return v[i - 1];
}

// Mole-fraction average of a component constant (Kay's rule).
template <class F>
double kay(int stream, F f) {
    auto sys = api::systemOf(api::view(stream));
    double s = 0;
    for (int i = 0; i < sys->size(); ++i) s += sys->feed()[i] * f(sys->component(i));
    return s;
}

}  // namespace

extern "C" {

int StrCPnr(int s) {
    return guarded("StrCPnr", 0, [&] { return static_cast<int>(points(s).size()); });
}
double StrPc(int s, int i) {
    return guarded("StrPc", kNaN, [&] { return api::outP(nth(points(s), i).P); });
}
double StrTc(int s, int i) {
    return guarded("StrTc", kNaN, [&] { return api::outT(nth(points(s), i).T); });
}
double StrPcm(int s) {
    return guarded("StrPcm", kNaN, [&] { return api::outP(kay(s, [](const auto& c) { return c.pc; })); });
}
double StrTcm(int s) {
    return guarded("StrTcm", kNaN, [&] { return api::outT(kay(s, [](const auto& c) { return c.tc; })); });
}
double StrAc(int s) {
    return guarded("StrAc", kNaN, [&] { return kay(s, [](const auto& c) { return c.omega; }); });
}

}  // extern "C"
