// Nozzle flow: the equilibrium model against the ideal-gas formulas for
// choked and unchoked flow, the C function's result and outlet state, and
// the non-equilibrium model's limits.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <thread>
#include <vector>

#include "op_streams.h"
#include "operations/nozzle.h"

using namespace optest;

namespace {

constexpr int kSrk = 30, kPr = 50;

class Nozzle : public ::testing::Test {
  protected:
    void SetUp() override { unitSet1(); }
    // Nitrogen at 1 bar behaves as an ideal gas to about 3e-4.
    void idealGas(int s, double massFlow = 2.0) {
        define(s, massFlow, kSrk, {kNitrogen}, {1.0});
        ASSERT_EQ(setOp(s, 300, 1e5), 1) << ErrMsg();
    }
    // Heat-capacity ratio of the ideal gas at temperature T.
    static double kappa(const Inside& in, double T) {
        const double cp = in.sys->idealCp(T, in.sys->feed().data());
        return cp / (cp - zpk::models::kR);
    }
};

TEST_F(Nozzle, ChokedFlowOfAnIdealGasMatchesTheAnalyticFormula) {
    idealGas(1);
    auto in = inside(1);
    const double M = in.sys->feedMw() * 1e-3, T0 = 300, P0 = 1e5;
    const double k = kappa(in, 0.5 * (T0 + T0 * 2 / 2.4));
    const double g =
        P0 * std::sqrt(k * M / (zpk::models::kR * T0)) * std::pow(2 / (k + 1), (k + 1) / (2 * (k - 1)));
    auto f = zpk::operations::equilibriumNozzle(*in.sys, *in.state, 1e4);
    EXPECT_TRUE(f.choked);
    EXPECT_NEAR(f.massFlux, g, 2e-3 * g);
    EXPECT_NEAR(f.throatP / P0, std::pow(2 / (k + 1), k / (k - 1)), 2e-3);
    EXPECT_NEAR(f.throat->T, T0 * 2 / (k + 1), 0.2);
    // Enthalpy depends (almost) on T alone: the outlet keeps the throat
    // temperature but for the gas's small Joule-Thomson effect.
    EXPECT_NEAR(f.outlet->T, f.throat->T, 0.3);
    EXPECT_DOUBLE_EQ(f.outlet->P, 1e4);
}

TEST_F(Nozzle, UnchokedFlowOfAnIdealGasMatchesTheAnalyticFormula) {
    idealGas(1);
    auto in = inside(1);
    const double M = in.sys->feedMw() * 1e-3, T0 = 300, P0 = 1e5, r = 0.9;
    const double k = kappa(in, 295);
    const double g = P0 * std::sqrt(2 * k * M / ((k - 1) * zpk::models::kR * T0) *
                                    (std::pow(r, 2 / k) - std::pow(r, (k + 1) / k)));
    auto f = zpk::operations::equilibriumNozzle(*in.sys, *in.state, r * P0);
    EXPECT_FALSE(f.choked);
    EXPECT_DOUBLE_EQ(f.throatP, r * P0);
    EXPECT_NEAR(f.massFlux, g, 1e-3 * g);
}

TEST_F(Nozzle, ResultIsTheAreaForTheMassFlowAndTheStreamEndsDownstream) {
    idealGas(1, 2.0);
    auto in = inside(1);
    auto f = zpk::operations::equilibriumNozzle(*in.sys, *in.state, 1e4);
    const double area = ISPF(1, 1e4, 1, 0);
    ASSERT_TRUE(std::isfinite(area)) << ErrMsg();
    EXPECT_NEAR(area, 2.0 / f.massFlux, 1e-9 * area);
    EXPECT_NEAR(getT(1), f.outlet->T, 1e-9);
    EXPECT_DOUBLE_EQ(getP(1), 1e4);
    // Twice the flow needs twice the area.
    idealGas(1, 4.0);
    EXPECT_NEAR(ISPF(1, 1e4, 1, 0), 2 * area, 1e-9 * area);
}

TEST_F(Nozzle, NonEquilibriumFlowOfAVapourIsTheEquilibriumFlow) {
    define(1, 1, kPr, {kMethane, kNButane}, {0.999, 0.001});
    ASSERT_EQ(setOp(1, 340, 2e6), 1);
    const double hem = ISPF(1, 101327, 1, 0);
    ASSERT_EQ(setOp(1, 340, 2e6), 1);
    const double hne = ISPF(1, 101327, 2, 0.6);
    ASSERT_TRUE(std::isfinite(hem)) << ErrMsg();
    EXPECT_DOUBLE_EQ(hne, hem);
}

TEST_F(Nozzle, BoilingDelayRaisesTheFluxOfAFlashingLiquid) {
    // A light hydrocarbon liquid that boils on the way to atmospheric pressure.
    define(1, 1, kSrk, {kEthane, kPropane, kIsobutane, kNButane, kNHexane},
           {0.0812325, 0.302521, 0.0840336, 0.214753, 0.31746});
    ASSERT_EQ(setOp(1, 340, 2e6), 1);
    auto in = inside(1);
    ASSERT_EQ(in.state->phases.size(), 1u);
    const double hem = zpk::operations::equilibriumNozzle(*in.sys, *in.state, 101327).massFlux;
    const double full = zpk::operations::nonEquilibriumNozzle(*in.sys, *in.state, 101327, 0.6, 1.0).massFlux;
    EXPECT_NEAR(full, hem, 1e-9 * hem);
    // Less boiling never lowers the flux (to the throat search's accuracy).  While the equilibrium flux falls
    // steeply after the bubble point, a half delay keeps the throat at the
    // bubble point (same flux); a full delay always raises it.
    double last = hem;
    for (double n : {0.5, 0.1, 0.0}) {
        const double g = zpk::operations::nonEquilibriumNozzle(*in.sys, *in.state, 101327, 0.6, n).massFlux;
        EXPECT_GE(g, last * (1 - 1e-6)) << "N = " << n;
        last = g;
    }
    EXPECT_GT(last, 1.1 * hem);
    // No boiling at all: incompressible-like liquid flow down to the back pressure.
    const double rhoL = in.sys->feedMw() * 1e-3 / zpk::engine::molarVolume(*in.state);
    EXPECT_NEAR(last, std::sqrt(2 * rhoL * (2e6 - 101327)), 0.05 * last);
    // The coefficient of the method lies between the two limits.
    auto f = zpk::operations::nonEquilibriumNozzle(*in.sys, *in.state, 101327, 0.6);
    EXPECT_GT(f.boilingDelay, 0.0);
    EXPECT_LT(f.boilingDelay, 1.0);
    EXPECT_GE(f.massFlux, hem * (1 - 1e-6));
}

TEST_F(Nozzle, BadArgumentsFailAndLeaveTheStream) {
    idealGas(1);
    EXPECT_TRUE(std::isnan(ISPF(1, 2e5, 1, 0))); // back pressure above the stream's
    EXPECT_TRUE(std::isnan(ISPF(1, 1e5, 1, 0))); // no pressure drop
    EXPECT_TRUE(std::isnan(ISPF(1, 1e4, 3, 0))); // unknown model
    EXPECT_TRUE(std::isnan(ISPF(1, -5, 1, 0)));
    EXPECT_TRUE(std::isnan(ISPF(1, 1e4, 2, std::nan(""))));
    EXPECT_TRUE(std::isnan(ISPF(999999, 1e4, 1, 0)));
    EXPECT_DOUBLE_EQ(getT(1), 300);
    EXPECT_DOUBLE_EQ(getP(1), 1e5);
}

} // namespace

namespace {

// Compressor and nozzle calls from several threads on their own streams give
// the results of the same calls made one after another.
TEST(OperationsThreads, ConcurrentCallsMatchSerialResults) {
    unitSet1();
    constexpr int kThreads = 6;
    auto run = [](int s, double t0) {
        define(s, 1.5, 30, {kMethane, kEthane, kPropane}, {0.85, 0.1, 0.05});
        double r[3] = {};
        if (setOp(s, t0, 2e6) != 1) return std::array<double, 3>{};
        r[0] = PSPF(s, 5e6, 1, 0.72);
        setOp(s, t0, 2e6);
        r[1] = ISPF(s, 101325, 1, 0);
        r[2] = getT(s);
        return std::array<double, 3>{r[0], r[1], r[2]};
    };
    std::array<std::array<double, 3>, kThreads> serial{}, parallel{};
    for (int k = 0; k < kThreads; ++k)
        serial[k] = run(100 + k, 280 + 10 * k);
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k)
        threads.emplace_back([&, k] {
            unitSet1();
            parallel[k] = run(200 + k, 280 + 10 * k);
        });
    for (auto& t : threads)
        t.join();
    for (int k = 0; k < kThreads; ++k)
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(std::isfinite(serial[k][i])) << k << ", " << i;
            EXPECT_EQ(parallel[k][i], serial[k][i]) << k << ", " << i;
        }
}

} // namespace
