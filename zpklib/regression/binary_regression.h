// Regression of the binary parameters of a liquid activity model (Wilson,
// NRTL, UNIQUAC) to measured vapour-liquid equilibrium of a binary.
//
// The unknowns are the parameters of the interaction entry of positions 1
// and 2 with the stream's liquid fugacity model (see models/activity.h for
// their meaning): always A_12 and A_21 (p[0], p[1]); optionally the
// temperature slopes (p[3], p[4]) and the NRTL non-randomness alpha (p[2]).
// Levenberg-Marquardt with forward-difference Jacobians minimises the sum of
// squares of scaled deviations of every used point:
//   objective 1 (isobaric T-x-y data): bubble temperature at (x, P) and its
//     vapour composition y', dew temperature at (y, P) and its liquid
//     composition x';
//   objective 2 (isothermal P-x-y data): the same with bubble and dew
//     pressures at the measured temperature.
// Temperature and pressure deviations enter relative, in percent;
// composition deviations absolute, in hundredths of a mole fraction.
#pragma once

#include <array>
#include <vector>

#include "streams/store.h"

namespace zpk::regression {

struct VlePoint {
    double x = 0, y = 0; // mole fraction of position 1 in liquid and vapour
    double T = 0, P = 0; // K, Pa
};

struct RegressionOptions {
    int objective = 1;       // 1 isobaric (temperatures), 2 isothermal (pressures)
    bool fitSlopes = false;  // also p[3], p[4]
    bool fitAlpha = false;   // also p[2] (NRTL only)
    double tolerance = 1e-6; // stop when the relative decrease of the objective falls below
    int maxIterations = 200;
};

struct RegressionResult {
    std::array<double, 5> p{}; // entry parameters 0..4
    double ssq = 0;            // final objective
    int iterations = 0;
    double meanRelT = 0, meanAbsY = 0; // mean |dT|/T (or |dP|/P) and |dy| of the bubble points
    std::vector<double> xCalc, yCalc;  // dew-point liquid and bubble-point vapour (position 1)
};

// Residuals of one parameter set (exposed for tests); false when the stream
// cannot be built with them.
bool residuals(const streams::StreamDef& def, int model, const std::array<double, 5>& p,
               const std::vector<VlePoint>& pts, int objective, std::vector<double>& r,
               std::vector<double>* xCalc, std::vector<double>* yCalc);

// Runs the regression on a copy of the definition; the starting values are
// those of the existing entry of the pair (or zeros).  Throws zpk::Error on
// unusable input.
RegressionResult regressBinary(const streams::StreamDef& def, const std::vector<VlePoint>& pts,
                               const RegressionOptions& opt);

// Writes p into the entry of positions 1 and 2 with the model code (adding
// one when there is none); every such entry gets the values.
void storeEntry(streams::StreamDef& def, int model, const std::array<double, 5>& p);

} // namespace zpk::regression
