// Mixer, divider and phase separators through the C interface: mass, mole
// and energy balances on random feeds, products that recombine to the feed,
// an output stream that is also an input, and calls that must fail without
// touching any stream.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "op_streams.h"

using namespace optest;

namespace {

constexpr int kSrk = 30;

class Operations : public ::testing::Test {
  protected:
    void SetUp() override { unitSet1(); }

    // A random light-hydrocarbon feed (four components) at a random state.
    void randomFeed(int s, std::mt19937& rng) {
        std::uniform_real_distribution<double> u(0.05, 1.0), t(250, 420), lp(std::log(1e5), std::log(5e6)),
            w(0.1, 50);
        double z[4], sum = 0;
        for (double& v : z)
            sum += (v = u(rng));
        define(s, w(rng), kSrk, {kMethane, kEthane, kPropane, kNButane},
               {z[0] / sum, z[1] / sum, z[2] / sum, z[3] / sum});
        ASSERT_EQ(setOp(s, t(rng), std::exp(lp(rng))), 1) << ErrMsg();
    }

    // Wet light gas: three phases (vapour, hydrocarbon liquid, water) at 280 K.
    void wetGas(int s, double massFlow = 1000) {
        define(s, massFlow, kSrk, {kEthane, kPropane, kNButane, kWater}, {0.2, 0.5, 0.2, 0.1}, 1);
        ASSERT_EQ(setOp(s, 280, 500000), 1) << ErrMsg();
    }
};

TEST_F(Operations, MixerConservesMassMolesAndEnthalpyOnRandomFeeds) {
    std::mt19937 rng(20261208);
    for (int trial = 0; trial < 12; ++trial) {
        randomFeed(1, rng);
        randomFeed(2, rng);
        const double ha = StrH(1), hb = StrH(2);
        const auto na = molarFlows(1, 4), nb = molarFlows(2, 4);
        ASSERT_EQ(MixF(3, 1, 2, 0, 0), 1) << ErrMsg();
        EXPECT_NEAR(getWm(3), getWm(1) + getWm(2), 1e-12 * getWm(3));
        EXPECT_DOUBLE_EQ(getP(3), std::min(getP(1), getP(2)));
        const auto no = molarFlows(3, 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(no[i], na[i] + nb[i], 1e-10 * (na[i] + nb[i])) << "position " << i + 1;
        EXPECT_NEAR(StrH(3), ha + hb, 1e-7 * (std::fabs(ha) + std::fabs(hb))) << "trial " << trial;
    }
}

TEST_F(Operations, MixerAddsHeatAndTakesTheGivenPressure) {
    std::mt19937 rng(7);
    randomFeed(1, rng);
    randomFeed(2, rng);
    const double h = StrH(1) + StrH(2);
    ASSERT_EQ(MixF(3, 1, 2, 250000, 40.0), 1) << ErrMsg();
    EXPECT_DOUBLE_EQ(getP(3), 250000);
    EXPECT_NEAR(StrH(3), h + 40.0, 1e-7 * std::fabs(h));
}

TEST_F(Operations, MixerJoinsDifferentComponentSets) {
    define(1, 10, kSrk, {kMethane, kEthane}, {0.8, 0.2});
    ASSERT_EQ(setOp(1, 300, 100000), 1);
    define(2, 20, kSrk, {kPropane, kNitrogen}, {0.4, 0.6});
    ASSERT_EQ(setOp(2, 300, 100000), 1);
    const double n1 = 10 / StrMw(1), n2 = 20 / StrMw(2);
    ASSERT_EQ(MixF(3, 1, 2, 0, 0), 1) << ErrMsg();
    EXPECT_EQ(getCC(3, 3), CompCID(kPropane));
    EXPECT_EQ(getCC(3, 4), CompCID(kNitrogen));
    EXPECT_NEAR(getZ(3, 1), 0.8 * n1 / (n1 + n2), 1e-12);
    EXPECT_NEAR(getZ(3, 4), 0.6 * n2 / (n1 + n2), 1e-12);
    EXPECT_NEAR(getWm(3), 30, 1e-12);
}

TEST_F(Operations, MixerOutputMayBeAnInput) {
    std::mt19937 rng(11);
    randomFeed(1, rng);
    randomFeed(2, rng);
    // Stream 4: a copy of stream 1's definition and state.
    ASSERT_EQ(MixF(3, 1, 2, 0, 0), 1);
    const double t3 = getT(3), h3 = StrH(3), z3 = getZ(3, 2);
    ASSERT_EQ(MixF(1, 1, 2, 0, 0), 1) << ErrMsg();
    EXPECT_DOUBLE_EQ(getT(1), t3);
    EXPECT_DOUBLE_EQ(StrH(1), h3);
    EXPECT_DOUBLE_EQ(getZ(1, 2), z3);
    EXPECT_DOUBLE_EQ(getWm(1), getWm(3));
}

TEST_F(Operations, FailedCallsLeaveEveryStreamAsItWas) {
    std::mt19937 rng(3);
    randomFeed(1, rng);
    randomFeed(2, rng);
    randomFeed(3, rng);
    const double w3 = getWm(3), t3 = getT(3), h3 = StrH(3);
    EXPECT_EQ(MixF(3, 1, 999999, 0, 0), 0);
    EXPECT_EQ(MixF(3, -1, 2, 0, 0), 0);
    EXPECT_EQ(MixF(999999, 1, 2, 0, 0), 0);
    initS(4); // no definition, no operating point
    EXPECT_EQ(MixF(3, 1, 4, 0, 0), 0);
    EXPECT_EQ(GSep(4, 3), 0);
    EXPECT_EQ(LSep(999999, 3), 0);
    EXPECT_EQ(VLLSep(4, 3, 3, 3), 0);
    EXPECT_EQ(PSep(1, 3, 0), 0);
    EXPECT_EQ(PSep(1, 3, 7), 0);
    EXPECT_EQ(Divi(1, 3, 1.5), 0);
    EXPECT_EQ(Divi(1, 3, std::nan("")), 0);
    EXPECT_NE(getErrFlag(), 0);
    EXPECT_DOUBLE_EQ(getWm(3), w3);
    EXPECT_DOUBLE_EQ(getT(3), t3);
    EXPECT_DOUBLE_EQ(StrH(3), h3);
}

TEST_F(Operations, DividerSplitsTheFlowAtTheSourceState) {
    std::mt19937 rng(5);
    randomFeed(1, rng);
    const double w = getWm(1), t = getT(1), p = getP(1), z2 = getZ(1, 2), h = StrH(1);
    ASSERT_EQ(Divi(1, 2, 0.3), 1) << ErrMsg();
    EXPECT_NEAR(getWm(2), 0.3 * w, 1e-12 * w);
    EXPECT_NEAR(getWm(1), 0.7 * w, 1e-12 * w);
    EXPECT_DOUBLE_EQ(getT(2), t);
    EXPECT_DOUBLE_EQ(getP(2), p);
    EXPECT_DOUBLE_EQ(getZ(2, 2), z2);
    EXPECT_NEAR(StrH(1) + StrH(2), h, 1e-9 * std::fabs(h));
}

TEST_F(Operations, ThreePhaseProductsRecombineToTheFeed) {
    wetGas(1);
    const int phases = getPNr();
    ASSERT_EQ(phases, 3) << "the wet gas splits into vapour, oil and water";
    const auto feed = molarFlows(1, 4);
    const double h = StrH(1);
    ASSERT_EQ(VLLSep(1, 2, 3, 4), 1) << ErrMsg();
    EXPECT_NEAR(getWm(2) + getWm(3) + getWm(4), 1000, 1e-9 * 1000);
    std::vector<double> sum(4, 0.0);
    for (int s = 2; s <= 4; ++s) {
        EXPECT_DOUBLE_EQ(getT(s), 280);
        EXPECT_DOUBLE_EQ(getP(s), 500000);
        const auto n = molarFlows(s, 4);
        for (int i = 0; i < 4; ++i)
            sum[i] += n[i];
    }
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(sum[i], feed[i], 1e-9 * feed[i]) << "position " << i + 1;
    EXPECT_NEAR(StrH(2) + StrH(3) + StrH(4), h, 1e-7 * std::fabs(h));
    // The products are single phases of the feed: vapour first, then the
    // lighter liquid.
    EXPECT_LT(getZ(3, 4), getZ(4, 4));
}

TEST_F(Operations, GasAndLiquidProductsAndPhaseProducts) {
    wetGas(1);
    ASSERT_EQ(GSep(1, 2), 1) << ErrMsg();
    ASSERT_EQ(LSep(1, 3), 1) << ErrMsg();
    EXPECT_NEAR(getWm(2) + getWm(3), 1000, 1e-9 * 1000);
    ASSERT_EQ(PSep(1, 4, 1), 1) << ErrMsg();
    EXPECT_DOUBLE_EQ(getWm(4), getWm(2)); // the only vapour phase
    double total = 0;
    for (int k = 1; k <= 3; ++k) {
        ASSERT_EQ(PSep(1, 5, k), 1) << ErrMsg();
        total += getWm(5);
    }
    EXPECT_NEAR(total, 1000, 1e-9 * 1000);
    // The feed is unchanged and may itself receive a product.
    EXPECT_DOUBLE_EQ(getWm(1), 1000);
    ASSERT_EQ(GSep(1, 1), 1);
    EXPECT_DOUBLE_EQ(getWm(1), getWm(2));
}

TEST_F(Operations, SinglePhaseFeedGivesEmptyProducts) {
    define(1, 5, kSrk, {kMethane, kEthane}, {0.9, 0.1});
    ASSERT_EQ(setOp(1, 300, 100000), 1);
    ASSERT_EQ(LSep(1, 2), 1) << ErrMsg();
    EXPECT_EQ(getWm(2), 0);
    ASSERT_EQ(GSep(1, 3), 1);
    EXPECT_DOUBLE_EQ(getWm(3), 5);
    ASSERT_EQ(VLLSep(1, 4, 5, 6), 1) << ErrMsg();
    EXPECT_DOUBLE_EQ(getWm(4), 5);
    EXPECT_EQ(getWm(5), 0);
    EXPECT_EQ(getWm(6), 0);
}

} // namespace
