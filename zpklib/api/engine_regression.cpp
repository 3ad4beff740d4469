// BRegr: regression of the binary parameters of a stream's liquid activity
// model to measured vapour-liquid equilibrium (see regression/binary_regression.h).
//
// Arguments: stream; nComp (must be 2); code 1 = isobaric T-x-y data
// (deviations of bubble and dew temperatures and compositions), 2 =
// isothermal P-x-y data (pressures instead); a = 1 fits A_12 and A_21, 2 also
// their temperature slopes; b = 1 also fits the NRTL alpha; c = n stops when
// the objective decreases by less than 10^-n relative (0 means 6); nPoints;
// flags (a point is used when its flag is nonzero); x, y = liquid and vapour
// mole fractions of position 1; T (temperature unit) and P (pressure unit).
// Outputs: params[0..4] = the fitted entry parameters 0..4, params[5] = final
// sum of squares, [6] = iterations, [7] = mean |dT|/T (|dP|/P for code 2) of
// the bubble points, [8] = their mean |dy|, [9] = number of points used;
// xOut[i] = liquid fraction of position 1 at the dew point of the measured
// y_i, yOut[i] = vapour fraction at the bubble point of the measured x_i (NaN
// where it was not found; unused points are left as they were).  The fitted
// values are written into the stream's interaction entry of positions 1-2
// with the liquid model's code, so that later calculations (also after
// loadSB, which never overrides explicit entries) use them.
#include <cmath>
#include <string>
#include <vector>

#include "api/engine_common.h"
#include "core/error.h"
#include "regression/binary_regression.h"
#include "streams/store.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {
constexpr int kMaxPoints = 10000;
}

int BRegr(int stream, int nComp, int code, int a, int b, int c, int nPoints, int* flags, double* x, double* y,
          double* T, double* P, double* params, double* xOut, double* yOut) {
    return guarded("BRegr", 0, [&] {
        if (nComp != 2) throw Error("only binary regressions are available (nComp = 2)", kBadArgument);
        if (nPoints < 1 || nPoints > kMaxPoints)
            throw Error("number of points " + std::to_string(nPoints) + " is outside 1.." +
                            std::to_string(kMaxPoints),
                        kBadArgument);
        if (!x || !y || !T || !P) throw Error("a data array is missing", kBadArgument);
        if (a != 1 && a != 2)
            throw Error("option a must be 1 (energy parameters) or 2 (with slopes)", kBadArgument);
        regression::RegressionOptions opt;
        opt.objective = code;
        opt.fitSlopes = a == 2;
        opt.fitAlpha = b == 1;
        opt.tolerance = std::pow(10.0, -(c > 0 && c < 15 ? c : 6));
        std::vector<regression::VlePoint> pts;
        std::vector<int> used;
        for (int i = 0; i < nPoints; ++i) {
            if (flags && flags[i] == 0) continue;
            for (double v : {x[i], y[i], T[i], P[i]})
                core::requireFinite("measured value", v);
            pts.push_back({x[i], y[i], api::userT(T[i]), api::userP(P[i])});
            used.push_back(i);
        }
        api::StreamView v = api::view(stream);
        if (!v.def.defined) throw Error("stream is not defined (setS)", kNotDefined);
        const regression::RegressionResult res = regression::regressBinary(v.def, pts, opt);
        const int model = v.def.model(1, 1);
        streams::withStream(stream, [&](streams::Stream& s) {
            regression::storeEntry(s.def, model, res.p);
            s.touchDefinition();
        });
        if (params) {
            for (int i = 0; i < 5; ++i)
                params[i] = res.p[i];
            params[5] = res.ssq;
            params[6] = res.iterations;
            params[7] = res.meanRelT;
            params[8] = res.meanAbsY;
            params[9] = static_cast<double>(pts.size());
        }
        for (std::size_t k = 0; k < used.size(); ++k) {
            if (xOut) xOut[used[k]] = res.xCalc[k];
            if (yOut) yOut[used[k]] = res.yCalc[k];
        }
        return 1;
    });
}
