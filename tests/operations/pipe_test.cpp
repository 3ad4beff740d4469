// Pipe flow: friction factor limits, hydrostatic head, pressure drop of a
// liquid against Darcy-Weisbach, energy balance of a gas, and failures.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "op_streams.h"
#include "operations/pipe.h"

using namespace optest;
using zpk::operations::PipeSpec;

namespace {

constexpr int kSrk = 30;

class Pipe : public ::testing::Test {
  protected:
    void SetUp() override { unitSet1(); }
    void liquid(int s, double massFlow) {
        define(s, massFlow, kSrk, {kNHexane}, {1.0});
        ASSERT_EQ(setOp(s, 300, 1e6), 1) << ErrMsg();
    }
    void gas(int s, double massFlow) {
        define(s, massFlow, kSrk, {kMethane, kEthane}, {0.9, 0.1});
        ASSERT_EQ(setOp(s, 300, 5e6), 1) << ErrMsg();
    }
};

TEST(PipeFriction, LaminarAndTurbulentLimits) {
    EXPECT_NEAR(zpk::operations::darcyFriction(1000, 0), 0.064, 0.064 * 1e-3);
    // Smooth turbulent pipe, Re = 1e5: Colebrook gives 0.0180.
    EXPECT_NEAR(zpk::operations::darcyFriction(1e5, 0), 0.0180, 0.0180 * 0.02);
    // Fully rough: von Karman 1/sqrt(f) = -2 log10(e/D / 3.7) at e/D = 0.01: f = 0.0379.
    EXPECT_NEAR(zpk::operations::darcyFriction(1e8, 0.01), 0.0379, 0.0379 * 0.02);
}

TEST_F(Pipe, StandingLiquidFollowsTheHydrostaticHead) {
    liquid(1, 1);
    auto in = inside(1);
    PipeSpec p;
    p.length = 50;
    p.diameter = 0.1;
    p.rise = 30;
    auto out = zpk::operations::pipeOutlet(*in.sys, *in.state, 0.0, p);
    const double rho = in.sys->feedMw() * 1e-3 / zpk::engine::molarVolume(*in.state);
    EXPECT_NEAR(in.state->P - out->P, rho * zpk::operations::kGravity * 30, 1e-3 * rho * 9.81 * 30);
}

TEST_F(Pipe, LiquidPressureDropFollowsDarcyWeisbach) {
    liquid(1, 20); // about 2.5 m/s in a 0.1 m pipe
    auto in = inside(1);
    const double rho = in.sys->feedMw() * 1e-3 / zpk::engine::molarVolume(*in.state);
    const double mu = zpk::operations::homogeneousViscosity(*in.sys, *in.state);
    const double D = 0.1, L = 200, G = 20 / (0.25 * std::numbers::pi * D * D);
    const double f = zpk::operations::darcyFriction(G * D / mu, 4.5e-5 / D);
    ASSERT_EQ(PIPE(1, 2, L, D, 4.5e-5, 0, 0), 1) << ErrMsg();
    const double dp = 1e6 - getP(2);
    EXPECT_NEAR(dp, f * L * G * G / (2 * D * rho), 0.01 * dp);
    EXPECT_DOUBLE_EQ(getWm(2), 20);
    EXPECT_NEAR(getT(2), 300, 0.1); // friction heats a liquid only slightly
}

TEST_F(Pipe, GasKeepsItsTotalEnergyAndTakesTheHeat) {
    gas(1, 5);
    const double D = 0.08, area = 0.25 * std::numbers::pi * D * D;
    auto in = inside(1);
    const double M = in.sys->feedMw() * 1e-3;
    auto total = [&](int s) {
        auto st = inside(s).state;
        const double u = 5 / area * zpk::engine::molarVolume(*st) / M;
        return zpk::engine::molarEnthalpy(*st) / M + 0.5 * u * u; // J/kg
    };
    const double e0 = total(1);
    ASSERT_EQ(PIPE(1, 2, 300, D, 4.5e-5, 0, 0), 1) << ErrMsg();
    EXPECT_LT(getP(2), 5e6);
    EXPECT_LT(getT(2), 300); // expansion of a real gas cools it
    EXPECT_NEAR(total(2), e0, 1e-4 * std::fabs(e0) + 50);
    // 100 kJ/s into 5 kg/s adds 20 kJ/kg.
    ASSERT_EQ(PIPE(1, 3, 300, D, 4.5e-5, 0, 100), 1) << ErrMsg();
    EXPECT_NEAR(total(3) - total(2), 20e3, 0.01 * 20e3);
    // The outlet may be the inlet.
    ASSERT_EQ(PIPE(1, 1, 300, D, 4.5e-5, 0, 0), 1) << ErrMsg();
    EXPECT_DOUBLE_EQ(getP(1), getP(2));
}

TEST_F(Pipe, ImpossibleFlowsAndBadArgumentsFailWithoutChanges) {
    gas(1, 5);
    liquid(2, 1);
    const double p2 = getP(2);
    EXPECT_EQ(PIPE(1, 2, 5000, 0.005, 4.5e-5, 0, 0), 0); // far too narrow
    EXPECT_EQ(PIPE(1, 2, -1, 0.1, 0, 0, 0), 0);
    EXPECT_EQ(PIPE(1, 2, 10, 0, 0, 0, 0), 0);
    EXPECT_EQ(PIPE(1, 2, 10, 0.1, -1, 0, 0), 0);
    EXPECT_EQ(PIPE(1, 2, 10, 0.1, 0, std::nan(""), 0), 0);
    EXPECT_EQ(PIPE(1, 999999, 10, 0.1, 0, 0, 0), 0);
    EXPECT_DOUBLE_EQ(getP(2), p2);
    EXPECT_DOUBLE_EQ(getP(1), 5e6);
}

} // namespace
