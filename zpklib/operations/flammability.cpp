#include "operations/flammability.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/error.h"
#include "operations/fuel.h"

namespace zpk::operations {

namespace {

// 0.75 %·kcal/mol per K of the Burgess-Wheeler rule as a mole fraction times
// J/mol per K (1 kcal = 4184 J).
constexpr double kBurgessWheeler = 0.0075 * 4184.0;

// CAS number with its hyphens: 74828 -> "74-82-8".
std::string casText(std::int64_t cas) {
    std::string d = std::to_string(cas);
    if (d.size() < 4) return d;
    return d.substr(0, d.size() - 3) + "-" + d.substr(d.size() - 3, 2) + "-" + d.substr(d.size() - 1);
}

const char* limitName(FlammabilityLimit which) {
    return which == FlammabilityLimit::Lower ? "lower" : "upper";
}

// The stream's combustible components: fractions in the stream and limits at T.
struct Combustibles {
    std::vector<double> z, limits;
};

Combustibles combustibles(const engine::StreamSystem& sys, FlammabilityLimit which, double T) {
    Combustibles c;
    const auto& z = sys.feed();
    for (int i = 0; i < sys.size(); ++i) {
        const components::Component& comp = sys.component(i);
        if (z[i] <= 0 || isInert(comp.cas)) continue;
        Flammability data{};
        const bool listed = flammability(comp.cas, data);
        const double limit25 = which == FlammabilityLimit::Lower ? data.lowerLimit : data.upperLimit;
        if (!listed || !(limit25 > 0))
            throw Error("no " + std::string(limitName(which)) + " flammability limit for " + comp.name +
                            " (CAS " + casText(comp.cas) + ")",
                        kBadArgument);
        double limit = limit25;
        if (T != kLimitTableTemperature) {
            const double heat = netHeatOfCombustion(comp, kLimitTableTemperature);
            if (!(heat > 0))
                throw Error("no heat of combustion for " + comp.name + " (CAS " + casText(comp.cas) +
                                "): its limits cannot be moved to another temperature",
                            kBadArgument);
            limit = limitAtTemperature(limit25, which, T, heat);
        }
        if (!(limit > 0))
            throw Error("the " + std::string(limitName(which)) + " flammability limit of " + comp.name +
                            " falls to zero at " + std::to_string(T) +
                            " K (beyond the range of the temperature correction)",
                        kCalculation);
        c.z.push_back(z[i]);
        c.limits.push_back(limit);
    }
    if (c.z.empty()) throw Error("the stream has no combustible component", kBadArgument);
    return c;
}

// Limit of the whole stream from its combustible part.
double streamLimit(const Combustibles& c) {
    double fc = 0;
    for (double v : c.z)
        fc += v;
    return leChatelier(c.z, c.limits) / fc;
}

} // namespace

double leChatelier(const std::vector<double>& y, const std::vector<double>& limits) {
    double sum = 0, weighted = 0;
    for (std::size_t i = 0; i < y.size(); ++i) {
        sum += y[i];
        weighted += y[i] / limits[i];
    }
    return sum / weighted;
}

double limitAtTemperature(double limit25, FlammabilityLimit which, double T, double netHeat) {
    const double shift = kBurgessWheeler * (T - kLimitTableTemperature) / netHeat;
    return which == FlammabilityLimit::Lower ? limit25 - shift : limit25 + shift;
}

double flammabilityLimit(const engine::StreamSystem& sys, FlammabilityLimit which, double T) {
    if (!(T > 0) || !std::isfinite(T)) throw Error("temperature is not valid", kBadArgument);
    const double lower = streamLimit(combustibles(sys, FlammabilityLimit::Lower, T));
    if (lower >= 1)
        throw Error("the stream does not burn in air: its combustible part needs " + std::to_string(lower) +
                        " times the undiluted stream to reach its lower limit",
                    kCalculation);
    if (which == FlammabilityLimit::Lower) return lower;
    const double upper = streamLimit(combustibles(sys, FlammabilityLimit::Upper, T));
    if (!(upper > lower))
        throw Error("no flammable range at " + std::to_string(T) + " K: the corrected upper limit " +
                        std::to_string(upper) + " is not above the lower limit " + std::to_string(lower),
                    kCalculation);
    return std::min(upper, 1.0);
}

} // namespace zpk::operations
