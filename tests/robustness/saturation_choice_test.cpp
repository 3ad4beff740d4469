// Dew and bubble points where an isobar meets the phase envelope twice or
// not at all: DPF returns the upper (hydrocarbon) dew point, agrees with the
// first solution of PfPF, and fails cleanly above the cricondenbar instead
// of returning the temperature where a dense single phase changes its label.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using namespace testsupport;

// One fugacity, enthalpy, entropy and volume model for vapour and liquid
// (the battery's all-phase set 6 is SRK, code 30; PR is 50).
void defineGas(int s, const Mixture& mix, int model) {
    define(s, mix, model);
    for (int p = 2; p <= 4; ++p) {
        setMP(s, p, 0, model);
        setMP(s, p, 1, model);
    }
    ASSERT_EQ(setS(s), 1);
}

// A rich natural gas of ten components (nitrogen 0.0145, CO2 0.0215,
// methane 0.8067, ethane 0.0634, propane 0.0311, isobutane 0.0063, n-butane
// 0.0114, isopentane 0.0046, n-pentane 0.0049, n-hexane 0.0355: the
// battery's gas G2 without its water).
Mixture richGas() {
    return {{kNitrogen, 0.0145}, {kCO2, 0.0215},       {kMethane, 0.8067}, {kEthane, 0.0634},
            {kPropane, 0.0311},  {kIsobutane, 0.0063}, {kNButane, 0.0114}, {78784, 0.0046},
            {109660, 0.0049},    {kNHexane, 0.0355}};
}

// A failed call: NaN, the flag set and a message naming the function and
// what was not found.
void expectCleanFailure(double value, const std::string& function, const std::string& what) {
    EXPECT_TRUE(std::isnan(value)) << function << " returned " << value;
    EXPECT_NE(getErrFlag(), 0) << function;
    const std::string msg = ErrMsg();
    EXPECT_EQ(msg.rfind(function + ":", 0), 0u) << msg;
    EXPECT_NE(msg.find(what), std::string::npos) << msg;
    setErrFlag(0);
}

class SaturationChoice : public UnitSet1Test {
  protected:
    static constexpr int s = 71;
};

} // namespace

// The battery's sixteen-component gas with SRK: its cricondenbar lies near
// 12.6 MPa; at 13 and 15 MPa there is no dew point at all.
TEST_F(SaturationChoice, NoDewPointAboveTheCricondenbarSixteenComponentGas) {
    defineGas(s, sixteenComponentGas(), 30);
    const double cbp = StrCBp(s);
    ASSERT_GT(cbp, 12.4e6);
    ASSERT_LT(cbp, 12.8e6);
    for (double P : {13e6, 15e6}) {
        expectCleanFailure(DPF(s, P), "DPF", "no dew point");
        expectCleanFailure(PfPF(s, P, 1e-6, 1, 1), "PfPF", "no state with liquid fraction");
        expectCleanFailure(LfPF(s, P, 0.0), "LfPF", "no dew point");
    }
    // The message of DPF gives the reason.
    DPF(s, 13e6);
    EXPECT_NE(std::string(ErrMsg()).find("above the cricondenbar"), std::string::npos) << ErrMsg();
    setErrFlag(0);
}

// Just below the cricondenbar the isobar crosses the dew line twice: DPF
// gives the upper dew point, which is PfPF's first solution; the lower one
// is the second.
TEST_F(SaturationChoice, UpperDewPointBelowTheCricondenbarSixteenComponentGas) {
    defineGas(s, sixteenComponentGas(), 30);
    const double cbp = StrCBp(s), cbt = StrCBt(s);
    const double P = 0.97 * cbp;
    const double upper = DPF(s, P);
    ASSERT_EQ(getErrFlag(), 0) << ErrMsg();
    EXPECT_GT(upper, cbt);
    EXPECT_NEAR(PfPF(s, P, 0.0, 1, 1), upper, 1e-6 * upper);
    const double lower = PfPF(s, P, 0.0, 1, 2);
    ASSERT_EQ(getErrFlag(), 0) << ErrMsg();
    EXPECT_LT(lower, cbt);
    EXPECT_NEAR(LfPF(s, P, 1e-7), upper, 1e-3);
}

// The rich gas with PR: no dew point above its cricondenbar (14.84 MPa);
// at 13.35 MPa two, of which DPF returns the upper one (Newton's method
// from Wilson's estimates reaches the lower one, 256.6 K).
TEST_F(SaturationChoice, RichGasWithPengRobinson) {
    defineGas(s, richGas(), 50);
    const double cbp = StrCBp(s);
    ASSERT_GT(cbp, 14.7e6);
    ASSERT_LT(cbp, 15e6);
    for (double P : {15e6, 16e6, 20e6})
        expectCleanFailure(DPF(s, P), "DPF", "no dew point");
    const double P = 13.35e6;
    const double upper = DPF(s, P);
    ASSERT_EQ(getErrFlag(), 0) << ErrMsg();
    EXPECT_NEAR(upper, 318.4, 0.5);
    const double lower = PfPF(s, P, 0.0, 1, 2);
    ASSERT_EQ(getErrFlag(), 0) << ErrMsg();
    EXPECT_NEAR(lower, 256.6, 0.5);
    EXPECT_NEAR(PfPF(s, P, 0.0, 1, 1), upper, 1e-6 * upper);
    EXPECT_NEAR(LfPF(s, P, 1e-6), upper, 0.01);
    // Asking for a third solution names what was found.
    expectCleanFailure(PfPF(s, P, 0.0, 1, 3), "PfPF", "(2 found)");
}

// With its 100 ppm of water (the battery's gas G2) the gas has a water dew
// point above the hydrocarbon cricondenbar, where nearly pure water
// condenses: PfPF counts it, DPF (the hydrocarbon dew point) does not, and
// the isothermal flash below it finds the water.
TEST_F(SaturationChoice, WaterDewPointAboveTheHydrocarbonCricondenbar) {
    Mixture g2 = richGas();
    g2.insert(g2.begin(), {kWater, 0.0001});
    defineGas(s, g2, 50);
    const double td = PfPF(s, 15e6, 0.0, 1, 1);
    ASSERT_EQ(getErrFlag(), 0) << ErrMsg();
    EXPECT_NEAR(td, 219.06, 0.1);
    EXPECT_GT(getX(s, 1), 0.9999);
    expectCleanFailure(DPF(s, 15e6), "DPF", "no dew point");
    ASSERT_EQ(setOp(s, td - 1, 15e6), 1);
    ASSERT_EQ(getPNr(), 2);
    EXPECT_GT(getX(s, 1), 0.9999);
    EXPECT_GT(StrLf(s), 0.0);
    EXPECT_LT(StrLf(s), 1e-4);
}

// The battery's sour gas: a bubble point at 7.88 MPa that agrees with the
// liquid-fraction flash close to it and with PfPF's count.
TEST_F(SaturationChoice, BubblePointOfTheSourGas) {
    define(s, {{kH2S, 0.15}, {kMethane, 0.7}, {kCO2, 0.15}}, 30);
    const int entries[3][2] = {{3, 2}, {3, 1}, {1, 2}};
    const double values[3] = {0.097, 0.102, 0.085};
    for (int n = 1; n <= 3; ++n) {
        putCi(s, n, entries[n - 1][0]);
        putCj(s, n, entries[n - 1][1]);
        putMB(s, n, 30);
        putBIP(s, n, 0, values[n - 1]);
    }
    ASSERT_EQ(setS(s), 1);
    const double tb = BPF(s, 7.88e6);
    ASSERT_EQ(getErrFlag(), 0) << ErrMsg();
    EXPECT_NEAR(tb, LfPF(s, 7.88e6, 0.999999), 0.01);
    EXPECT_NEAR(tb, PfPF(s, 7.88e6, 1.0, 1, 1), 1e-6 * tb);
    // The bubble point of the heated liquid: two phases just above it.
    ASSERT_EQ(setOp(s, tb + 0.05, 7.88e6), 1);
    EXPECT_EQ(getPNr(), 2);
    ASSERT_EQ(setOp(s, tb - 0.05, 7.88e6), 1);
    EXPECT_EQ(getPNr(), 1);
}

// A failed phase-fraction or state-function flash returns NaN and leaves
// the stream's state unchanged.
TEST_F(SaturationChoice, FailureValueIsNaN) {
    defineGas(s, sixteenComponentGas(), 30);
    ASSERT_EQ(setOp(s, 300, 5e6), 1);
    const double h = StrH(s);
    expectCleanFailure(BPF(s, 20e6), "BPF", "no bubble point");
    expectCleanFailure(LfTF(s, 5000, 0.5), "LfTF", "no state with liquid fraction");
    EXPECT_DOUBLE_EQ(StrH(s), h);
    EXPECT_DOUBLE_EQ(getT(s), 300);
}
