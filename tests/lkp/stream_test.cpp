// Models 91 and 81 through the C interface: stream set-up, flashes and a
// polytropic compression on the stream engine.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using testsupport::defineAllProperties;
using testsupport::unitSet1;

constexpr int kEthane = 74840, kPropane = 74986, kNHexane = 110543, kEthylene = 74851;

// The stream with one model for every property, defined (setS).
void define(int s, int model, std::initializer_list<int> cas, std::initializer_list<double> z) {
    defineAllProperties(s, model, cas, z);
    setS(s);
}

class EosStreams : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override { unitSet1(); }
};

TEST_P(EosStreams, BubbleFlashOfALightHydrocarbonMixture) {
    define(1, GetParam(), {kEthane, kPropane, kNHexane}, {0.6, 0.3, 0.1});
    const double T = LfPF(1, 3e5, 0.5);
    ASSERT_TRUE(std::isfinite(T)) << ErrMsg();
    EXPECT_GT(T, 180.0);
    EXPECT_LT(T, 300.0);
    // The liquid is richer in n-hexane than the vapour.
    EXPECT_GT(getX(1, 3), getY(1, 3));
    EXPECT_GT(getY(1, 1), getX(1, 1));
}

TEST_P(EosStreams, PolytropicCompressionOfEthylene) {
    define(2, GetParam(), {kEthylene}, {1.0});
    ASSERT_EQ(setOp(2, 310, 2.5e6), 1) << ErrMsg();
    const double eta = PSPF(2, 3e7, 2, 535);
    ASSERT_TRUE(std::isfinite(eta)) << ErrMsg();
    EXPECT_GT(eta, 0.5);
    EXPECT_LT(eta, 1.0);
}

INSTANTIATE_TEST_SUITE_P(LkpAndBwrs, EosStreams, ::testing::Values(91, 81));

} // namespace

namespace {
struct PropertyRow {
    int model;
    bool mixture;
    double T, P, h, s, tol;
};

// Stream enthalpy and entropy (unit set 1) of pure ethane and of a light
// hydrocarbon mixture (ethane 0.02, propane 0.55, isobutane 0.41, n-butane
// 0.02) against the fluid-property data sets, on models 91 and 81.
TEST(FluidProperties, EthaneAndLightHydrocarbons) {
    unitSet1();
    const PropertyRow rows[] = {
        {91, false, 100, 1e6, 4521, 51.767, 1e-3}, {81, false, 100, 1e6, 4447, 51.094, 1e-3},
        {91, false, 300, 5e5, 5389, 56.192, 1e-3}, {81, false, 300, 5e5, 5389, 56.191, 1e-3},
        {91, true, 200, 5e5, 4743, 52.149, 1e-3},  {81, true, 200, 5e5, 4748, 52.172, 1e-3},
        {91, true, 500, 5e5, 5743, 55.321, 1e-3},  {81, true, 500, 5e5, 5743, 55.321, 1e-3},
    };
    for (const auto& r : rows) {
        if (r.mixture)
            define(3, r.model, {kEthane, kPropane, 75285, 106978}, {0.02, 0.55, 0.41, 0.02});
        else
            define(3, r.model, {kEthane}, {1.0});
        ASSERT_EQ(setOp(3, r.T, r.P), 1) << ErrMsg();
        const double h = StrH(3), s = StrS(3);
        // The published mixture entropies carry the ideal mixing entropy with
        // a decimal logarithm, -R sum x log10 x; the library's is -R sum x ln x.
        // The difference of the two (kJ/(kg K)) is added to those references.
        double sumXlnX = 0;
        for (double x : {0.02, 0.55, 0.41, 0.02})
            sumXlnX += x * std::log(x);
        const double gap =
            r.mixture ? -8.31446261815324 * sumXlnX * (1 - 1 / std::log(10.0)) / StrMw(3) : 0.0;
        EXPECT_NEAR(h / r.h, 1.0, r.tol) << r.model << " " << r.T;
        EXPECT_NEAR(s / (r.s + gap), 1.0, r.tol) << r.model << " " << r.T;
    }
}
} // namespace
