// A scripted flash for the isothermal-flash procedure tests: setOp records
// the operating point, and the readers (StrLf, StrPf, StrPt, getPNr) answer
// from tables keyed by that point.  Unscripted doubles are NaN, so every
// window check passes unless a test scripts a value; unscripted phase kinds
// are vapour, hydrate, liquid, solid for phases 1 to 4 and getPNr is 4.
#pragma once

#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "zpk_double.h"

namespace suitesb {

struct FlashScene {
    using Point = std::pair<double, double>; // T, P

    std::map<Point, double> liquidFraction;
    std::map<std::tuple<double, double, int>, double> phaseFraction;
    std::map<std::tuple<double, double, int>, int> phaseKind;
    std::map<Point, int> phaseCount;
    // Result of setOp at (T, P) under the liquid fugacity model in force.
    std::function<int(double T, double P, int liquidModel)> flashResult = [](double, double, int) {
        return 1;
    };
    // LfPF(S, P, f).
    std::function<double(double P, double f)> saturation = [](double, double) { return nan(); };

    double T = nan();
    double P = nan();
    int liquidModel = 0; // last setMP(S, 1, 1, model)

    static double nan() { return std::numeric_limits<double>::quiet_NaN(); }

    void install() {
        using zpkdouble::setHandler;
        // NaN never matches a scripted point (and must not reach the maps).
        setHandler("setOp", [this](const std::vector<double>& a) {
            T = a[1];
            P = a[2];
            return double(flashResult(T, P, liquidModel));
        });
        setHandler("setMP", [this](const std::vector<double>& a) {
            if (a[1] == 1 && a[2] == 1) liquidModel = int(a[3]);
            return 1.0;
        });
        setHandler("getMP", [this](const std::vector<double>& a) {
            return a[1] == 1 && a[2] == 1 ? double(liquidModel) : 0.0;
        });
        setHandler("StrLf", [this](const std::vector<double>&) {
            if (std::isnan(T) || std::isnan(P)) return nan();
            const auto it = liquidFraction.find({T, P});
            return it == liquidFraction.end() ? nan() : it->second;
        });
        setHandler("StrPf", [this](const std::vector<double>& a) {
            if (std::isnan(T) || std::isnan(P)) return nan();
            const auto it = phaseFraction.find({T, P, int(a[1])});
            return it == phaseFraction.end() ? nan() : it->second;
        });
        setHandler("StrPt", [this](const std::vector<double>& a) {
            const int phase = int(a[1]);
            if (!std::isnan(T) && !std::isnan(P)) {
                const auto it = phaseKind.find({T, P, phase});
                if (it != phaseKind.end()) return double(it->second);
            }
            static constexpr double kinds[] = {0, 3, 1, 2};
            return phase >= 1 && phase <= 4 ? kinds[phase - 1] : 1.0;
        });
        setHandler("getPNr", [this](const std::vector<double>&) {
            if (std::isnan(T) || std::isnan(P)) return 4.0;
            const auto it = phaseCount.find({T, P});
            return it == phaseCount.end() ? 4.0 : double(it->second);
        });
        setHandler("LfPF", [this](const std::vector<double>& a) { return saturation(a[1], a[2]); });
        for (const char* name :
             {"StrPc", "StrTc", "StrCBp", "StrCBt", "StrCTp", "StrCTt", "PfTF", "PfPF", "CompTc", "CompPc"})
            zpkdouble::setReturn(name, nan());
    }

    void phases(double t, double p, std::vector<std::pair<int, double>> kindsAndFractions) {
        phaseCount[{t, p}] = int(kindsAndFractions.size());
        int i = 1;
        for (const auto& [kind, fraction] : kindsAndFractions) {
            phaseKind[{t, p, i}] = kind;
            phaseFraction[{t, p, i}] = fraction;
            ++i;
        }
    }
};

} // namespace suitesb
