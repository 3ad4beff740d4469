#include "thermo/ideal_gas.h"

#include <cmath>
#include <mutex>
#include <string>

#include "core/error.h"
#include "models/phase_model.h"

namespace zpk::thermo {

namespace {
using models::kP0;
constexpr double kTf = 298.15;

struct Bases {
    std::mutex m;
    Base h{1, 1.0, 5000.0};
    Base s{1, 1.0, 50.0};
};
Bases& bases() {
    static Bases b;
    return b;
}
void check(int kind, double T0, double value) {
    if (kind != 1 && kind != 2) throw Error("base kind " + std::to_string(kind) + " is not 1 or 2");
    if (kind == 1 && !(T0 > 0 && std::isfinite(T0))) throw Error("base temperature must be above 0 K");
    if (!std::isfinite(value)) throw Error("base value is not a number");
}
double need(double v, const components::Component& c, const char* what) {
    if (!std::isfinite(v)) throw Error(std::string("component ") + c.name + " has no " + what, kCalculation);
    return v;
}
} // namespace

Base enthalpyBase() {
    std::lock_guard l(bases().m);
    return bases().h;
}
Base entropyBase() {
    std::lock_guard l(bases().m);
    return bases().s;
}
void setEnthalpyBase(int kind, double T0, double value) {
    check(kind, T0, value);
    std::lock_guard l(bases().m);
    bases().h = {kind, T0, value};
}
void setEntropyBase(int kind, double T0, double value) {
    check(kind, T0, value);
    std::lock_guard l(bases().m);
    bases().s = {kind, T0, value};
}

double IdealGasSource::mw() const {
    return own ? own->molarMass(index) : c->mw;
}
double IdealGasSource::cp(double T) const {
    return own ? own->cp(index, T) : need(components::idealCp(*c, T), *c, "ideal-gas heat capacity");
}
double IdealGasSource::deltaH(double T0, double T) const {
    return own ? own->deltaH(index, T0, T)
               : need(components::idealDeltaH(*c, T0, T), *c, "ideal-gas heat capacity");
}
double IdealGasSource::deltaS(double T0, double T) const {
    return own ? own->deltaS(index, T0, T)
               : need(components::idealDeltaS(*c, T0, T), *c, "ideal-gas heat capacity");
}

double idealEnthalpy(const IdealGasSource& g, double T, const Base& b) {
    if (b.kind == 2) return need(g.c->hf, *g.c, "formation enthalpy") + g.deltaH(kTf, T);
    return b.value * g.mw() + g.deltaH(b.T0, T);
}

double idealEntropy(const IdealGasSource& g, double T, double P, const Base& b) {
    const double pr = -models::kR * std::log(P / kP0);
    if (b.kind == 2) return need(g.c->sf, *g.c, "formation entropy") + g.deltaS(kTf, T) + pr;
    return b.value * g.mw() + g.deltaS(b.T0, T) + pr;
}

double idealEnthalpy(const components::Component& c, double T, const Base& b) {
    return idealEnthalpy(IdealGasSource{&c}, T, b);
}

double idealEntropy(const components::Component& c, double T, double P, const Base& b) {
    return idealEntropy(IdealGasSource{&c}, T, P, b);
}

double idealHeatCapacity(const components::Component& c, double T) {
    return IdealGasSource{&c}.cp(T);
}

} // namespace zpk::thermo
