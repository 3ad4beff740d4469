// The critical-data functions of the C interface on database streams: the
// natural gases of the test battery, Kay's-rule averages, units, failure
// values, definition changes and concurrent use.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using namespace testsupport;

class CriticalApi : public testsupport::UnitSet1Test {
  protected:
    static constexpr int s = 41;
};

} // namespace

// Natural gas of six components with SRK (the battery's bubble/dew point
// case): its critical pressure lies between 11.2 and 11.4 MPa.
TEST_F(CriticalApi, SixComponentGasWithSrk) {
    define(s,
           {{kEthane, 0.0504627},
            {kPropane, 0.18793},
            {kIsobutane, 0.0395092},
            {kNButane, 0.0131697},
            {kNHexane, 0.0131697},
            {kMethane, 0.695759}},
           30);
    ASSERT_EQ(setS(s), 1);
    ASSERT_GE(StrCPnr(s), 1);
    const double pc = StrPc(s, 1);
    EXPECT_GE(pc, 11.2e6);
    EXPECT_LE(pc, 11.4e6);
    // A cricondentherm-type gas: the critical temperature lies between
    // those of methane and propane.
    EXPECT_GT(StrTc(s, 1), CompTc(CompCID(kMethane)));
    EXPECT_LT(StrTc(s, 1), CompTc(CompCID(kPropane)));
    EXPECT_EQ(getErrFlag(), 0);
}

// Nearly pure methane with a trace of n-butane (PR): just above methane.
TEST_F(CriticalApi, MethaneWithTraceOfButane) {
    define(s, {{kMethane, 0.999}, {kNButane, 0.001}}, 50);
    ASSERT_EQ(setS(s), 1);
    ASSERT_EQ(StrCPnr(s), 1);
    EXPECT_GE(StrPc(s, 1), 4.65e6);
    EXPECT_LE(StrPc(s, 1), 4.69e6);
    EXPECT_GE(StrTc(s, 1), 191.4);
    EXPECT_LE(StrTc(s, 1), 191.8);
}

// Sour gas with explicit interaction entries and zero-fraction positions:
// the stable (observable) critical point comes first; a second point of
// the equation inside the two-phase region may follow.
TEST_F(CriticalApi, SourGasStablePointFirst) {
    define(s, {{kNDecane, 0}, {kMethane, 0.7}, {111659, 0}, {kCO2, 0.15}, {kH2S, 0.15}, {1120214, 0}}, 30);
    const int entries[3][2] = {{2, 4}, {4, 5}, {2, 5}};
    const double k[3] = {0.12, 0.12, 0.08};
    for (int e = 0; e < 3; ++e) {
        putCi(s, e + 1, entries[e][0]);
        putCj(s, e + 1, entries[e][1]);
        putMB(s, e + 1, 30);
        putBIP(s, e + 1, 0, k[e]);
    }
    ASSERT_EQ(setS(s), 1);
    const int n = StrCPnr(s);
    ASSERT_GE(n, 1);
    EXPECT_GE(StrTc(s, 1), 231.7);
    EXPECT_LE(StrTc(s, 1), 231.95);
    EXPECT_GT(StrPc(s, 1), 7.5e6);
    for (int i = 2; i <= n; ++i)
        EXPECT_LT(StrTc(s, i), StrTc(s, 1));
}

// The sixteen-component gas of the battery with PR; includes 1e-9 traces.
TEST_F(CriticalApi, SixteenComponentGasWithPr) {
    define(s, sixteenComponentGas(), 50);
    ASSERT_EQ(setS(s), 1);
    ASSERT_GE(StrCPnr(s), 1);
    EXPECT_GE(StrPc(s, 1), 6.9e6);
    EXPECT_LE(StrPc(s, 1), 7.0e6);
    EXPECT_GE(StrTc(s, 1), 214);
    EXPECT_LE(StrTc(s, 1), 215);
}

TEST_F(CriticalApi, PureComponentGivesDatabaseConstantsInCallerUnits) {
    define(s, {{kEthane, 1.0}}, 30);
    ASSERT_EQ(setS(s), 1);
    const int c = CompCID(kEthane);
    ASSERT_EQ(StrCPnr(s), 1);
    EXPECT_NEAR(StrTc(s, 1), CompTc(c), 1e-6 * CompTc(c));
    EXPECT_NEAR(StrPc(s, 1), CompPc(c), 1e-6 * CompPc(c));
    const double pcPa = StrPc(s, 1), tcK = StrTc(s, 1);
    setUMC(17, 3); // bar
    setUMC(15, 2); // degrees Celsius
    EXPECT_NEAR(StrPc(s, 1), pcPa / 1e5, 1e-9 * pcPa);
    EXPECT_NEAR(StrTc(s, 1), tcK - 273.15, 1e-9);
    EXPECT_NEAR(StrPcm(s), pcPa / 1e5, 1e-9 * pcPa);
}

TEST_F(CriticalApi, KaysRuleAveragesOverPresentComponents) {
    define(s, {{kMethane, 2.0}, {kNHexane, 0.0}, {kPropane, 1.0}}, 50);
    ASSERT_EQ(setS(s), 1);
    const int a = CompCID(kMethane), b = CompCID(kPropane);
    EXPECT_NEAR(StrTcm(s), (2 * CompTc(a) + CompTc(b)) / 3, 1e-9);
    EXPECT_NEAR(StrPcm(s), (2 * CompPc(a) + CompPc(b)) / 3, 1e-3);
    EXPECT_NEAR(StrAc(s), (2 * CompAc(a) + CompAc(b)) / 3, 1e-12);
}

TEST_F(CriticalApi, RedefinitionIsSeen) {
    define(s, {{kMethane, 0.9}, {kPropane, 0.1}}, 50);
    ASSERT_EQ(setS(s), 1);
    const double t1 = StrTc(s, 1);
    putZ(s, 1, 0.7);
    putZ(s, 2, 0.3);
    const double t2 = StrTc(s, 1);
    EXPECT_GT(t2, t1 + 5);
    putZ(s, 1, 0.9);
    putZ(s, 2, 0.1);
    EXPECT_DOUBLE_EQ(StrTc(s, 1), t1);
    // Another model for the same mixture.
    setMP(s, 1, 0, 30);
    setMP(s, 1, 1, 30);
    setS(s);
    EXPECT_NE(StrTc(s, 1), t1);
}

TEST_F(CriticalApi, FailuresGiveFailureValuesAndErrorState) {
    // Undefined stream.
    initS(s);
    EXPECT_EQ(StrCPnr(s), 0);
    EXPECT_NE(getErrFlag(), 0);
    EXPECT_TRUE(std::isnan(StrTcm(s)));
    setErrFlag(0);
    // Index outside the points found.
    define(s, {{kMethane, 0.5}, {kEthane, 0.5}}, 30);
    ASSERT_EQ(setS(s), 1);
    const int n = StrCPnr(s);
    ASSERT_GE(n, 1);
    EXPECT_TRUE(std::isnan(StrPc(s, 0)));
    EXPECT_TRUE(std::isnan(StrTc(s, n + 1)));
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    // Model 1 (no equation of state) has no critical points.
    define(s, {{kMethane, 0.5}, {kEthane, 0.5}}, 1);
    ASSERT_EQ(setS(s), 1);
    EXPECT_EQ(StrCPnr(s), 0);
    EXPECT_NE(getErrFlag(), 0);
    EXPECT_TRUE(std::isnan(StrPc(s, 1)));
    // Outside the stream table.
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(StrPc(0, 1)));
    EXPECT_NE(getErrFlag(), 0);
}

// Threads on their own streams get the same points as one thread alone.
TEST_F(CriticalApi, ConcurrentStreamsAgree) {
    const Mixture gas = {{kMethane, 0.85}, {kEthane, 0.1}, {kPropane, 0.05}};
    define(s, gas, 50);
    ASSERT_EQ(setS(s), 1);
    const double tc = StrTc(s, 1), pc = StrPc(s, 1);
    constexpr int kThreads = 8;
    std::vector<double> t(kThreads), p(kThreads);
    std::vector<std::thread> pool;
    for (int k = 0; k < kThreads; ++k)
        pool.emplace_back([&, k] {
            const int own = 100 + k;
            for (int round = 0; round < 3; ++round) {
                define(own, gas, round == 1 ? 30 : 50);
                setS(own);
                t[k] = StrTc(own, 1);
                p[k] = StrPc(own, 1);
            }
        });
    for (auto& th : pool)
        th.join();
    for (int k = 0; k < kThreads; ++k) {
        EXPECT_DOUBLE_EQ(t[k], tc);
        EXPECT_DOUBLE_EQ(p[k], pc);
    }
}
