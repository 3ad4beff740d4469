// Data regression tests: measured vapour-liquid equilibrium of water-methanol
// at 1 bar is regressed with BRegr for three model configurations; the
// regressed phase compositions and the bubble and dew temperatures computed
// with the regressed parameters must reproduce the measurements.  Works in
// the units left by the preceding procedure (K and Pa); changes none.
#include <cmath>
#include <cstdio>

#include "testcode.h"
#include "zpk/zpk.h"

namespace {

// Water-methanol at 1 bar: temperature in degrees Celsius, methanol mole
// fraction in the liquid and in the vapour.
struct VlePoint {
    double t;
    double liquidMethanol;
    double vapourMethanol;
};
constexpr VlePoint waterMethanol[] = {
    {65.0, 0.95, 0.979}, {67.5, 0.8, 0.915}, {69.3, 0.7, 0.87},   {71.2, 0.6, 0.825},
    {73.1, 0.5, 0.779},  {75.3, 0.4, 0.729}, {78.0, 0.3, 0.665},  {81.7, 0.2, 0.579},
    {84.4, 0.15, 0.517}, {87.7, 0.1, 0.418}, {89.3, 0.08, 0.365}, {91.2, 0.06, 0.304},
};
constexpr int pointCount = 12;
constexpr int arraySize = 16;

// Model configurations: the vapour and liquid fugacity models and the
// configuration code passed to BRegr.
struct Configuration {
    int vapourModel;
    int liquidModel;
    int regressionCode;
};
constexpr Configuration configurations[] = {{1, 11, 1}, {1, 10, 1}, {1, 12, 1}};

} // namespace

void testcode::testRegression() {
    const int s = streamBase() + 1;

    // Input arrays: water fractions as 1 - methanol, temperatures in K.
    int flags[arraySize] = {};
    double x[arraySize] = {};
    double y[arraySize] = {};
    double T[arraySize] = {};
    double P[arraySize] = {};
    for (int i = 0; i < pointCount; ++i) {
        flags[i] = 1;
        x[i] = 1 - waterMethanol[i].liquidMethanol;
        y[i] = 1 - waterMethanol[i].vapourMethanol;
        T[i] = waterMethanol[i].t + 273.15;
        P[i] = 100000;
    }

    int m = 0;
    for (const Configuration& configuration : configurations) {
        initS(s);
        setWm(s, 1.0);
        setMP(s, 1, 0, configuration.vapourModel);
        setMP(s, 1, 1, configuration.liquidModel);
        putZ(s, 1, 0.5);
        putZ(s, 2, 0.5);
        putCC(s, 1, water);
        putCC(s, 2, methanol);
        setS(s);

        double parameters[10] = {};
        double xOut[arraySize] = {};
        double yOut[arraySize] = {};
        const int r = BRegr(s, 2, configuration.regressionCode, 1, 0, 5, pointCount, flags, x, y, T, P,
                            parameters, xOut, yOut);
        if (r == 0) {
            std::snprintf(message, sizeof message, "Error(1) BREGR() mod : %i", m);
            appendError(message);
        } else {
            // The 24 relative deviations summed and divided by the number of points.
            double deviation = 0;
            for (int i = 0; i < pointCount; ++i)
                deviation += std::fabs(xOut[i] - x[i]) / x[i] + std::fabs(yOut[i] - y[i]) / y[i];
            if (deviation / pointCount > 0.2) {
                std::snprintf(message, sizeof message, "Error(2) BREGR() mod : %i", m);
                appendError(message);
            }
        }

        // Bubble and dew temperatures with the parameters the regression left.
        for (int i = 0; i < pointCount; ++i) {
            putZ(s, 1, x[i]);
            putZ(s, 2, 1 - x[i]);
            setS(s);
            loadSB(s, 0);
            const double bubbleT = LfPF(s, P[i], 0.99999);
            if (std::fabs(bubbleT - T[i]) / T[i] > 0.01) {
                std::snprintf(message, sizeof message, "Error(3) BREGR() mod : %i pt : %i", m, i);
                appendError(message);
            }
            putZ(s, 1, y[i]);
            putZ(s, 2, 1 - y[i]);
            setS(s);
            loadSB(s, 0);
            const double dewT = LfPF(s, P[i], 1e-6);
            if (std::fabs(dewT - T[i]) / T[i] > 0.01) {
                std::snprintf(message, sizeof message, "Error(4) BREGR() mod : %i pt : %i", m, i);
                appendError(message);
            }
        }
        ++m;
    }
}
