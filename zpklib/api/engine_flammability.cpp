// C functions of the flammability limits (zpklib/operations/flammability.h
// has the method): the lower and upper limit of the whole stream as gas in
// air, a mole (volume) fraction of the stream in the stream-air mixture, in
// the caller's fraction unit (quantity 53).  StrFML and StrFMH give the
// tabulated conditions (25 C, 101325 Pa) and need no operating point;
// EStrFML and EStrFMH correct the limits to temperature T (pressure P is
// checked but not applied).
#include "api/engine_common.h"
#include "core/error.h"
#include "operations/flammability.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;
using operations::FlammabilityLimit;

namespace {

double limitOf(int s, FlammabilityLimit which, double T) {
    auto sys = api::systemOf(api::view(s));
    return units::toUser(units::Fraction, operations::flammabilityLimit(*sys, which, T));
}

double tabulated(const char* fn, int s, FlammabilityLimit which) {
    return guarded(fn, kNaN, [&] { return limitOf(s, which, operations::kLimitTableTemperature); });
}

double atState(const char* fn, int s, double t, double p, FlammabilityLimit which) {
    return guarded(fn, kNaN, [&] {
        const double T = api::userT(t);
        api::userP(p);
        return limitOf(s, which, T);
    });
}

} // namespace

extern "C" {

double StrFML(int s) {
    return tabulated("StrFML", s, FlammabilityLimit::Lower);
}
double EStrFML(int s, double t, double p) {
    return atState("EStrFML", s, t, p, FlammabilityLimit::Lower);
}
double StrFMH(int s) {
    return tabulated("StrFMH", s, FlammabilityLimit::Upper);
}
double EStrFMH(int s, double t, double p) {
    return atState("EStrFMH", s, t, p, FlammabilityLimit::Upper);
}

} // extern "C"
