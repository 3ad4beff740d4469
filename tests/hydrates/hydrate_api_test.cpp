// Hydrate formation pressure and temperature of database streams with the
// Peng-Robinson fluid model and its stored interaction parameters: measured
// formation conditions of single guests, round trips, structure choice,
// methanol inhibition, ice below the melting point, no-hydrate answers, bad
// input and concurrent use.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using namespace testsupport;

constexpr int kMethanol = 67561;
constexpr int kHydrateModel = 171;
constexpr int kPR = 50;

class HydrateApi : public UnitSet1Test {
  protected:
    static constexpr int s = 61;
    // Gas with free water, PR for the fluid phases, stored k_ij.
    static void defineWet(int stream, const Mixture& mix, int hydrateModel = kHydrateModel) {
        define(stream, mix, kPR);
        if (hydrateModel) setMP(stream, 1, 3, hydrateModel);
        ASSERT_EQ(setS(stream), 1);
        loadSB(stream, 3);
    }
};

// Methane hydrate (structure I) with free water: 2.77 MPa at 273.7 K and
// 7.1 MPa at 283.2 K (Deaton and Frost 1946; Adisasmito, Frank and Sloan,
// J. Chem. Eng. Data 36 (1991) 68), within 15 %.
TEST_F(HydrateApi, MethaneStructureI) {
    defineWet(s, {{kMethane, 0.99}, {kWater, 0.01}});
    EXPECT_NEAR(HPFORM(s, 273.7, 2), 2.77e6, 0.15 * 2.77e6);
    EXPECT_NEAR(HPFORM(s, 283.2, 2), 7.1e6, 0.15 * 7.1e6);
    EXPECT_EQ(getErrFlag(), 0);
}

// The fluid side comes from whatever fluid model the stream has: SRK,
// Lee-Kesler-Ploecker and GERG-2008 reproduce the methane data above too.
TEST_F(HydrateApi, MethaneWithOtherFluidModels) {
    for (int model : {30, 91, 315}) {
        define(s, {{kMethane, 0.99}, {kWater, 0.01}}, model);
        setMP(s, 1, 3, kHydrateModel);
        ASSERT_EQ(setS(s), 1);
        loadSB(s, 3);
        EXPECT_NEAR(HPFORM(s, 273.7, 2), 2.77e6, 0.15 * 2.77e6) << model;
        EXPECT_NEAR(HPFORM(s, 283.2, 2), 7.1e6, 0.15 * 7.1e6) << model;
    }
    EXPECT_EQ(getErrFlag(), 0);
}

// Both hydrate model codes describe the hydrate phase the same way; the
// fluid side is the stream's fluid model.
TEST_F(HydrateApi, BothHydrateModelCodes) {
    defineWet(s, {{kMethane, 0.99}, {kWater, 0.01}}, 170);
    const double p170 = HPFORM(s, 280.0, 1);
    defineWet(s, {{kMethane, 0.99}, {kWater, 0.01}}, 171);
    EXPECT_EQ(HPFORM(s, 280.0, 1), p170);
    EXPECT_GT(p170, 0);
    EXPECT_EQ(getErrFlag(), 0);
}

// Propane hydrate (structure II): 0.207 MPa at 274.2 K (Deaton and Frost
// 1946), within 20 %.  Every structure code gives the structure that forms,
// also code 2 (structure I expected), which propane cannot fill.
TEST_F(HydrateApi, PropaneStructureII) {
    defineWet(s, {{kPropane, 0.99}, {kWater, 0.01}});
    const double p = HPFORM(s, 274.2, 3);
    EXPECT_NEAR(p, 0.207e6, 0.2 * 0.207e6);
    EXPECT_DOUBLE_EQ(HPFORM(s, 274.2, 2), p);
    EXPECT_DOUBLE_EQ(HPFORM(s, 274.2, 1), p);
    EXPECT_EQ(getErrFlag(), 0);
}

// Carbon dioxide hydrate: 1.32 MPa at 273.7 K (Deaton and Frost 1946),
// within 20 %.
TEST_F(HydrateApi, CarbonDioxideStructureI) {
    defineWet(s, {{kCO2, 0.99}, {kWater, 0.01}});
    EXPECT_NEAR(HPFORM(s, 273.7, 2), 1.32e6, 0.2 * 1.32e6);
    EXPECT_EQ(getErrFlag(), 0);
}

// Methane with 3.2 % propane forms structure II near 1.5 MPa at 278 K
// (Sloan and Koh, Clathrate Hydrates of Natural Gases, 3rd ed., 2008): the
// first hydrate to appear, whichever structure the code expects.
TEST_F(HydrateApi, EveryCodeGivesTheFirstHydrateToForm) {
    defineWet(s, {{kMethane, 0.958}, {kPropane, 0.032}, {kWater, 0.01}});
    const double p1 = HPFORM(s, 278.0, 1);
    EXPECT_GT(p1, 0.8e6);
    EXPECT_LT(p1, 2.5e6);
    EXPECT_DOUBLE_EQ(HPFORM(s, 278.0, 2), p1);
    EXPECT_DOUBLE_EQ(HPFORM(s, 278.0, 3), p1);
    EXPECT_DOUBLE_EQ(HTFORM(s, p1, 2), HTFORM(s, p1, 1));
    EXPECT_EQ(getErrFlag(), 0);
}

// HTFORM inverts HPFORM, for every structure code and on both sides of the
// ice point.
TEST_F(HydrateApi, RoundTrip) {
    defineWet(s, {{kMethane, 0.9}, {kEthane, 0.05}, {kCO2, 0.04}, {kWater, 0.01}});
    for (int code = 1; code <= 3; ++code)
        for (double T : {240.0, 262.0, 273.0, 276.0, 285.0, 293.0}) {
            const double P = HPFORM(s, T, code);
            ASSERT_GT(P, 0) << T;
            EXPECT_NEAR(HTFORM(s, P, code), T, 1e-5) << "code " << code << " T " << T;
        }
    EXPECT_EQ(getErrFlag(), 0);
}

// Hydrogen sulfide with water up to its upper quadruple point (about
// 302.7 K, 2.24 MPa, Selleck, Carmichael and Sage 1952): the flashes near
// the vapour pressure of H2S converge and the round trips hold.
TEST_F(HydrateApi, HydrogenSulfideUpToItsQuadruplePoint) {
    defineWet(s, {{kH2S, 0.9}, {kWater, 0.1}});
    for (double T = 280.0; T <= 300.0; T += 2.5) {
        const double P = HPFORM(s, T, 1);
        ASSERT_GT(P, 0) << T;
        EXPECT_LT(P, 2.5e6) << T;
        EXPECT_NEAR(HTFORM(s, P, 1), T, 1e-4) << T;
    }
    EXPECT_EQ(getErrFlag(), 0);
}

// Below the ice point hydrate forms from ice: the formation pressure is
// continuous at 273.15 K, and its slope d ln P / dT falls (the melting
// enthalpy of ice no longer enters): about 0.035 1/K over ice against
// about 0.10 1/K over liquid water for methane (Sloan and Koh 2008).
TEST_F(HydrateApi, IceBelowTheMeltingPoint) {
    defineWet(s, {{kMethane, 0.99}, {kWater, 0.01}});
    const double a = HPFORM(s, 273.0, 2), b = HPFORM(s, 273.3, 2);
    EXPECT_NEAR(std::log(b / a) / 0.3, 0.07, 0.05); // no jump at the melting point
    const double iceSlope = std::log(HPFORM(s, 265.0, 2) / HPFORM(s, 260.0, 2)) / 5.0;
    const double waterSlope = std::log(HPFORM(s, 285.0, 2) / HPFORM(s, 280.0, 2)) / 5.0;
    EXPECT_NEAR(iceSlope, 0.035, 0.012);
    EXPECT_NEAR(waterSlope, 0.10, 0.02);
    EXPECT_EQ(getErrFlag(), 0);
}

// Methanol in the aqueous phase lowers the formation temperature, and more
// methanol lowers it more.  Hammerschmidt's rule, dT = 1297 W / (M (100 - W))
// with W the methanol mass per cent of the aqueous phase, gives 4.5 K for
// 10 % and 10 K for 20 %; the model is held to within a factor of two.
TEST_F(HydrateApi, MethanolLowersTheFormationTemperature) {
    const double P = 5e6;
    defineWet(s, {{kMethane, 0.95}, {kWater, 0.05}, {kMethanol, 0}});
    const double t0 = HTFORM(s, P, 1);
    // Water and methanol in mass ratio 90:10 and 80:20.
    const double w = 0.05, m10 = w * 18.015 / 32.042 * 10 / 90, m20 = w * 18.015 / 32.042 * 20 / 80;
    defineWet(s, {{kMethane, 0.95}, {kWater, w}, {kMethanol, m10}});
    const double t10 = HTFORM(s, P, 1);
    defineWet(s, {{kMethane, 0.95}, {kWater, w}, {kMethanol, m20}});
    const double t20 = HTFORM(s, P, 1);
    EXPECT_LT(t10, t0);
    EXPECT_LT(t20, t10);
    EXPECT_GT(t0 - t10, 4.5 / 2);
    EXPECT_LT(t0 - t10, 4.5 * 2);
    EXPECT_GT(t0 - t20, 10.0 / 2);
    EXPECT_LT(t0 - t20, 10.0 * 2);
    EXPECT_EQ(getErrFlag(), 0);
}

// Water dissolved in the gas without a free water phase needs a higher
// pressure than the same gas over free water.
TEST_F(HydrateApi, UndersaturatedGasNeedsMorePressure) {
    defineWet(s, {{kMethane, 0.99}, {kWater, 0.01}});
    const double wet = HPFORM(s, 280.0, 1);
    defineWet(s, {{kMethane, 0.99995}, {kWater, 0.00005}});
    const double dry = HPFORM(s, 280.0, 1);
    EXPECT_GT(dry, 1.2 * wet);
    EXPECT_EQ(getErrFlag(), 0);
}

// No hydrate: 0 without an error.
TEST_F(HydrateApi, NoHydrateGivesZero) {
    defineWet(s, {{kMethane, 0.99}, {kWater, 0.01}});
    EXPECT_EQ(HPFORM(s, 330.0, 1), 0.0);
    EXPECT_EQ(HTFORM(s, 2000.0, 1), 0.0);
    EXPECT_EQ(getErrFlag(), 0);
}

// Temperatures and pressures in the caller's units; "no hydrate" is 0 Pa
// and 0 K expressed in them.
TEST_F(HydrateApi, UserUnits) {
    defineWet(s, {{kMethane, 0.99}, {kWater, 0.01}});
    const double pa = HPFORM(s, 283.15, 1);
    const double t = HTFORM(s, 5e6, 1);
    setUMC(15, 2); // C
    setUMC(17, 3); // bar
    EXPECT_NEAR(HPFORM(s, 10.0, 1), pa / 1e5, 1e-9 * pa);
    EXPECT_NEAR(HTFORM(s, 50.0, 1), t - 273.15, 1e-6);
    EXPECT_NEAR(HTFORM(s, 0.02, 1), -273.15, 1e-9);
    setUMC(17, 12); // barg
    EXPECT_NEAR(HPFORM(s, 60.0, 1), -1.01325, 1e-12);
    EXPECT_EQ(getErrFlag(), 0);
}

TEST_F(HydrateApi, BadInput) {
    defineWet(s, {{kMethane, 0.99}, {kWater, 0.01}});
    for (int code : {0, 4, -1}) {
        setErrFlag(0);
        EXPECT_TRUE(std::isnan(HPFORM(s, 280.0, code)));
        EXPECT_NE(getErrFlag(), 0);
        setErrFlag(0);
        EXPECT_TRUE(std::isnan(HTFORM(s, 5e6, code)));
        EXPECT_NE(getErrFlag(), 0);
    }
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(HPFORM(s, std::nan(""), 1)));
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(HTFORM(s, -5.0, 1)));
    EXPECT_NE(getErrFlag(), 0);

    // No hydrate model on the hydrate phase.
    defineWet(s, {{kMethane, 0.99}, {kWater, 0.01}}, 0);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(HPFORM(s, 280.0, 1)));
    EXPECT_NE(getErrFlag(), 0);
    // No water.
    defineWet(s, {{kMethane, 0.9}, {kEthane, 0.1}});
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(HPFORM(s, 280.0, 1)));
    EXPECT_NE(getErrFlag(), 0);
    // No hydrate former.
    defineWet(s, {{kNDecane, 0.9}, {kWater, 0.1}});
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(HTFORM(s, 5e6, 1)));
    EXPECT_NE(getErrFlag(), 0);
    // Stream not defined.
    initS(s);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(HPFORM(s, 280.0, 1)));
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(HPFORM(0, 280.0, 1)));
    EXPECT_NE(getErrFlag(), 0);
}

// A fluid model that cannot describe the stream makes the call fail; no
// other model stands in for it (IAPWS-95 covers pure water only).
TEST_F(HydrateApi, FluidModelThatCannotBeBuiltFails) {
    define(s, {{kMethane, 0.99}, {kWater, 0.01}}, 300);
    setMP(s, 1, 3, kHydrateModel);
    ASSERT_EQ(setS(s), 1);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(HPFORM(s, 280.0, 1)));
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(HTFORM(s, 5e6, 1)));
    EXPECT_NE(getErrFlag(), 0);
}

// Threads on their own streams get the single-thread answers.
TEST_F(HydrateApi, ConcurrentStreams) {
    defineWet(s, {{kMethane, 0.93}, {kEthane, 0.04}, {kPropane, 0.02}, {kWater, 0.01}});
    const double ref = HPFORM(s, 280.0, 1);
    ASSERT_GT(ref, 0);
    std::vector<std::thread> threads;
    std::vector<double> got(8, 0.0);
    for (int k = 0; k < 8; ++k)
        threads.emplace_back([k, &got] {
            const int st = 1100 + k;
            define(st, {{kMethane, 0.93}, {kEthane, 0.04}, {kPropane, 0.02}, {kWater, 0.01}}, kPR);
            setMP(st, 1, 3, kHydrateModel);
            setS(st);
            loadSB(st, 3);
            double sum = 0;
            for (int r = 0; r < 5; ++r)
                sum += HPFORM(st, 280.0, 1);
            got[k] = sum / 5;
        });
    for (auto& t : threads)
        t.join();
    for (double g : got)
        EXPECT_NEAR(g, ref, 1e-9 * ref);
}

} // namespace
