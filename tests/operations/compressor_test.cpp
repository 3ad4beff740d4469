// Polytropic compression: the C function's modes (rating and design round
// trip, outlet state, failures) and the three descriptions of the path
// against each other and against their limits.
#include <gtest/gtest.h>

#include <cmath>

#include "equilibrium/flashes.h"
#include "op_streams.h"
#include "operations/compressor.h"

using namespace optest;
using zpk::operations::PolytropicMethod;

namespace {

constexpr int kPr = 50, kSrk = 30;

class Compressor : public ::testing::Test {
  protected:
    void SetUp() override { unitSet1(); }
    void naturalGas(int s) {
        define(s, 3.67, kSrk, {kMethane, kEthane, kPropane}, {0.85, 0.1, 0.05});
        ASSERT_EQ(setOp(s, 300, 2e6), 1) << ErrMsg();
    }
};

TEST_F(Compressor, RatingThenDesignReturnsTheOutletTemperature) {
    naturalGas(1);
    const double eta = PSPF(1, 6e6, 2, 420);
    ASSERT_TRUE(std::isfinite(eta)) << ErrMsg();
    EXPECT_GT(eta, 0.5);
    EXPECT_LT(eta, 1.0);
    EXPECT_DOUBLE_EQ(getT(1), 420);
    EXPECT_DOUBLE_EQ(getP(1), 6e6);
    ASSERT_EQ(setOp(1, 300, 2e6), 1);
    EXPECT_NEAR(PSPF(1, 6e6, 1, eta), 420, 1e-6);
    EXPECT_NEAR(getT(1), 420, 1e-6);
    EXPECT_DOUBLE_EQ(getP(1), 6e6);
}

TEST_F(Compressor, ExpansionRoundTripAndDirection) {
    naturalGas(1);
    ASSERT_EQ(setOp(1, 400, 6e6), 1);
    const double t = PSPF(1, 2e6, 1, 0.8);
    ASSERT_TRUE(std::isfinite(t)) << ErrMsg();
    ASSERT_EQ(setOp(1, 400, 6e6), 1);
    const double tIso = PSPF(1, 2e6, 1, 1.0);
    EXPECT_GT(t, tIso); // losses leave the expanded gas warmer
    EXPECT_LT(t, 400);
    ASSERT_EQ(setOp(1, 400, 6e6), 1);
    EXPECT_NEAR(PSPF(1, 2e6, 2, t), 0.8, 1e-8);
}

TEST_F(Compressor, FullEfficiencyIsTheIsentrope) {
    naturalGas(1);
    auto in = inside(1);
    auto out =
        zpk::operations::polytropicOutlet(*in.sys, *in.state, 6e6, 1.0, PolytropicMethod::PathIntegral);
    auto iso = zpk::engine::stateFunctionFlash(*in.sys, zpk::engine::Spec::S,
                                               zpk::engine::molarEntropy(*in.state), 6e6, true, 400);
    EXPECT_NEAR(out->T, iso->T, 1e-6);
    auto step = zpk::operations::stepwiseOutlet(*in.sys, *in.state, 6e6, 1.0, 5);
    EXPECT_NEAR(step->T, iso->T, 1e-6);
}

TEST_F(Compressor, StepwiseApproachesThePathIntegralFromBelow) {
    naturalGas(1);
    auto in = inside(1);
    const double path =
        zpk::operations::polytropicOutlet(*in.sys, *in.state, 8e6, 0.7, PolytropicMethod::PathIntegral)->T;
    double last = 0;
    for (int steps : {1, 5, 50, 400}) {
        const double t = zpk::operations::stepwiseOutlet(*in.sys, *in.state, 8e6, 0.7, steps)->T;
        EXPECT_GT(t, last) << steps << " steps";
        EXPECT_LT(t, path) << steps << " steps";
        last = t;
    }
    // The error falls as 1/steps: 400 steps are within 0.1 K of the limit.
    EXPECT_NEAR(last, path, 0.1);
    // Mode 3 is the 50-step form.
    ASSERT_EQ(setOp(1, 300, 2e6), 1);
    EXPECT_NEAR(
        PSPF(1, 8e6, 3, 0.7),
        zpk::operations::stepwiseOutlet(*in.sys, *in.state, 8e6, 0.7, zpk::operations::kStepwiseSteps)->T,
        1e-9);
}

TEST_F(Compressor, PathIntegralIsConvergedInItsStepSize) {
    // A steep path (pressure ratio 12 into the dense region): the integral
    // from a single call equals two calls over the halves of the path.
    define(1, 1, kPr, {kEthane}, {1.0});
    ASSERT_EQ(setOp(1, 320, 2.5e6), 1);
    auto in = inside(1);
    auto whole = zpk::operations::integratePath(*in.sys, *in.state, 3e7, 0.75);
    auto half = zpk::operations::integratePath(*in.sys, *in.state, std::sqrt(2.5e6 * 3e7), 0.75);
    auto rest = zpk::operations::integratePath(*in.sys, *half.state, 3e7, 0.75);
    EXPECT_NEAR(rest.h, whole.h, 1e-6 * std::fabs(whole.h - zpk::engine::molarEnthalpy(*in.state)));
}

TEST_F(Compressor, SchultzAgreesWithThePathForANearIdealGas) {
    define(1, 1, kSrk, {kNitrogen}, {1.0});
    ASSERT_EQ(setOp(1, 300, 1e5), 1);
    auto in = inside(1);
    const double path =
        zpk::operations::polytropicOutlet(*in.sys, *in.state, 4e5, 0.75, PolytropicMethod::PathIntegral)->T;
    auto schultz =
        zpk::operations::polytropicOutlet(*in.sys, *in.state, 4e5, 0.75, PolytropicMethod::Schultz);
    // Schultz takes the path's exponent as constant; the heat capacity rises
    // by some 3 % over this path, which the factor corrects to 1e-3 of the rise.
    EXPECT_NEAR(schultz->T, path, 1e-3 * (path - 300));
    EXPECT_NEAR(
        zpk::operations::polytropicEfficiency(*in.sys, *in.state, *schultz, PolytropicMethod::Schultz), 0.75,
        1e-9);
    // Ideal gas with a nearly constant heat capacity: T2/T1 = (P2/P1)^(R/(cp eta)).
    const double cp = in.sys->idealCp(0.5 * (300 + path), in.sys->feed().data());
    EXPECT_NEAR(path, 300 * std::pow(4.0, zpk::models::kR / (cp * 0.75)), 0.5);
}

TEST_F(Compressor, BadArgumentsFailAndLeaveTheStream) {
    naturalGas(1);
    const double h = StrH(1);
    EXPECT_TRUE(std::isnan(PSPF(1, 6e6, 5, 0.7)));
    EXPECT_TRUE(std::isnan(PSPF(1, 6e6, 1, 0.0)));
    EXPECT_TRUE(std::isnan(PSPF(1, -1, 1, 0.7)));
    EXPECT_TRUE(std::isnan(PSPF(1, 6e6, 2, std::nan(""))));
    EXPECT_TRUE(std::isnan(PSPF(999999, 6e6, 1, 0.7)));
    EXPECT_DOUBLE_EQ(getT(1), 300);
    EXPECT_DOUBLE_EQ(getP(1), 2e6);
    EXPECT_DOUBLE_EQ(StrH(1), h);
    initS(2);
    EXPECT_TRUE(std::isnan(PSPF(2, 6e6, 1, 0.7)));
}

} // namespace
