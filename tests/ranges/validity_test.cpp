// Validity ranges of the models at the states the caller asks for.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using testsupport::kEthane;
using testsupport::kMethane;
using testsupport::kPropane;

class Validity : public testsupport::UnitSet1Test {};

TEST_F(Validity, ProbeOneKelvin) {
    for (int model : {1, 30, 50, 81, 91}) {
        testsupport::defineAllProperties(71, model, {kMethane, kEthane, kPropane}, {0.8, 0.15, 0.05});
        ASSERT_EQ(setS(71), 1);
        for (double T : {1.0, 5.0, 10.0, 20.0, 30.0, 45.0, 60.0, 80.0}) {
        setErrFlag(0);
        const int r = setOp(71, T, 1e5);
        std::printf("T %g ", T);
        std::printf("model %d: setOp %d flag %d '%s' phases %d\n", model, r, getErrFlag(), ErrMsg(), getPNr());
        if (r)
            for (int k = 1; k <= getPNr(); ++k)
                std::printf("  phase %d kind %d frac %g\n", k, StrPt(71, k), StrPf(71, k));
        std::printf("  GD %g LD %g\n", StrGD(71), StrLD(71));
        }
    }
}

} // namespace
