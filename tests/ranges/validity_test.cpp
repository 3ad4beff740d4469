// Validity ranges of the models at the states the caller asks for: outside
// a model's range a call fails with its failure value and a message naming
// the limit; where the model is customarily extrapolated (IAPWS-95,
// GERG-2008) it returns its result and the error flag reads 7
// (kExtrapolated) with a message.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>

#include "models/catalogue.h"
#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using testsupport::kEthane;
using testsupport::kMethane;
using testsupport::kPropane;
using testsupport::kWater;

constexpr int kExtrapolated = 7;

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class Validity : public testsupport::UnitSet1Test {
  protected:
    // Stream s: the light gas of the 1 K finding with one model for all properties.
    void lightGas(int s, int model) {
        testsupport::defineAllProperties(s, model, {kMethane, kEthane, kPropane}, {0.8, 0.15, 0.05});
        ASSERT_EQ(setS(s), 1) << ErrMsg();
    }
    void pureWater(int s, int model) {
        testsupport::defineAllProperties(s, model, {kWater}, {1.0});
        ASSERT_EQ(setS(s), 1) << ErrMsg();
    }
};

// P = 1e12 Pa was accepted; the fluid models stop at 1 GPa.
TEST_F(Validity, PressureAboveTheCeilingFailsAndLeavesTheStream) {
    lightGas(71, 30);
    ASSERT_EQ(setOp(71, 300, 5e6), 1) << ErrMsg();
    const double h = StrH(71);
    EXPECT_EQ(setOp(71, 300, 1e12), 0);
    EXPECT_EQ(getErrFlag(), 1);
    EXPECT_EQ(std::string(ErrMsg()), "setOp: 1e+12 Pa is above the 1e+09 Pa limit of model 30 (SRK VDW)");
    EXPECT_EQ(getP(71), 5e6);
    EXPECT_EQ(isSopDef(71), 1);
    EXPECT_EQ(StrH(71), h);
    setErrFlag(0);
    // The same limit for states at a given T and P and for the derivative functions.
    EXPECT_TRUE(std::isnan(EStrH(71, 300, 2e9)));
    EXPECT_TRUE(contains(ErrMsg(), "EStrH: ")) << ErrMsg();
    setErrFlag(0);
    ASSERT_EQ(DPinit(1, 71), 1);
    double x[3] = {0.8, 0.15, 0.05}, f[3];
    EXPECT_EQ(StrFv(1, 0, 300, 2e9, x, f), 0);
    EXPECT_TRUE(contains(ErrMsg(), "1e+09 Pa limit")) << ErrMsg();
    setErrFlag(0);
    EXPECT_EQ(setOp(71, 300, 1e9), 1) << ErrMsg();
    EXPECT_EQ(getErrFlag(), 0);
}

// A flash at 1 K returned two phases, one a "vapour" of 537 kg/m3 (SRK).
// No fluid exists that far below its critical temperature: every fluid
// model fails there, naming the limit.
TEST_F(Validity, FlashFarBelowThePseudoCriticalTemperatureFails) {
    for (int model : {1, 30, 50, 81, 91}) {
        lightGas(72, model);
        setErrFlag(0);
        EXPECT_EQ(setOp(72, 1.0, 1e5), 0) << model;
        EXPECT_EQ(getErrFlag(), 1) << model;
        EXPECT_TRUE(contains(ErrMsg(), "setOp: 1 K is below the")) << ErrMsg();
        EXPECT_TRUE(contains(ErrMsg(), "pseudo-critical temperature")) << ErrMsg();
        EXPECT_EQ(isSopDef(72), 0);
        setErrFlag(0);
        EXPECT_TRUE(std::isnan(EStrGD(72, 1.0, 1e5))) << model;
        EXPECT_NE(getErrFlag(), 0) << model;
    }
}

// Just above the cubic equations' floor the light gas is one liquid.
TEST_F(Validity, CubicStatesJustAboveTheFloorAreLiquid) {
    for (int model : {30, 50}) {
        lightGas(73, model);
        setErrFlag(0);
        ASSERT_EQ(setOp(73, 50.0, 1e5), 1) << ErrMsg();
        EXPECT_EQ(getPNr(), 1);
        EXPECT_EQ(StrPt(73, 1), 1);
        EXPECT_EQ(getErrFlag(), 0);
    }
}

// IAPWS-95 is meant for 273.16 K to 1273 K up to 1 GPa and customarily
// extrapolated (to 5000 K and 100 GPa here): the result comes back with
// flag 7 and a message; further out the call fails.
TEST_F(Validity, Iapws95ExtrapolatesWithAWarning) {
    pureWater(74, 300);
    ASSERT_EQ(setOp(74, 600, 1e7), 1) << ErrMsg();
    EXPECT_EQ(getErrFlag(), 0);
    ASSERT_EQ(setOp(74, 1500, 1e6), 1) << ErrMsg();
    EXPECT_EQ(getErrFlag(), kExtrapolated);
    EXPECT_EQ(
        std::string(ErrMsg()),
        "setOp: 1500 K is above the 1273 K limit of the range of model 300 (IAPWS-95) (result extrapolated)");
    EXPECT_TRUE(std::isfinite(StrH(74)));
    EXPECT_NEAR(getT(74), 1500, 1e-9);
    setErrFlag(0);
    ASSERT_EQ(setOp(74, 800, 5e9), 1) << ErrMsg();
    EXPECT_EQ(getErrFlag(), kExtrapolated);
    EXPECT_TRUE(contains(ErrMsg(), "1e+09 Pa limit of the range")) << ErrMsg();
    setErrFlag(0);
    EXPECT_TRUE(std::isfinite(EStrLD(74, 250, 1e5))) << ErrMsg(); // subcooled liquid below the melting line
    EXPECT_EQ(getErrFlag(), kExtrapolated);
    setErrFlag(0);
    EXPECT_EQ(setOp(74, 6000, 1e6), 0);
    EXPECT_EQ(getErrFlag(), 1);
    EXPECT_EQ(std::string(ErrMsg()), "setOp: 6000 K is above the 5000 K limit of model 300 (IAPWS-95)");
    setErrFlag(0);
    EXPECT_EQ(setOp(74, 150, 1e6), 0);
    EXPECT_EQ(getErrFlag(), 1);
}

// The warning is the calling thread's, never replaces a failure, and a
// later failure replaces it.
TEST_F(Validity, TheWarningIsPerThreadAndYieldsToFailures) {
    pureWater(75, 300);
    setErrFlag(0);
    ASSERT_EQ(setOp(75, 1500, 1e6), 1);
    ASSERT_EQ(getErrFlag(), kExtrapolated);
    int other = -1;
    std::thread t([&] {
        setErrFlag(0);
        pureWater(76, 300);
        setOp(76, 500, 1e6);
        other = getErrFlag();
    });
    t.join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(getErrFlag(), kExtrapolated);
    EXPECT_EQ(setOp(75, 300, -1), 0);
    EXPECT_EQ(getErrFlag(), 1);
    const std::string failure = ErrMsg();
    ASSERT_EQ(setOp(75, 1500, 1e6), 1);
    EXPECT_EQ(getErrFlag(), 1);
    EXPECT_EQ(std::string(ErrMsg()), failure);
}

// GERG-2008: no warning inside its extended range (60-700 K, 70 MPa),
// a warning beyond it.
TEST_F(Validity, Gerg2008WarnsBeyondItsExtendedRange) {
    testsupport::defineAllProperties(77, 315, {kMethane, testsupport::kNitrogen}, {0.9, 0.1});
    ASSERT_EQ(setS(77), 1) << ErrMsg();
    ASSERT_EQ(setOp(77, 650, 6e7), 1) << ErrMsg();
    EXPECT_EQ(getErrFlag(), 0) << ErrMsg();
    ASSERT_EQ(setOp(77, 800, 1e6), 1) << ErrMsg();
    EXPECT_EQ(getErrFlag(), kExtrapolated);
    EXPECT_TRUE(contains(ErrMsg(), "700 K limit of the range of model 315 (GERG-2008)")) << ErrMsg();
    setErrFlag(0);
    ASSERT_EQ(setOp(77, 300, 1e8), 1) << ErrMsg();
    EXPECT_EQ(getErrFlag(), kExtrapolated);
    setErrFlag(0);
}

} // namespace

namespace {

// The catalogue gives every fluid model one range and no solid or hydrate
// model one; an extrapolation band always encloses its range.
TEST(ValidityTable, EveryFluidModelHasOneRange) {
    using zpk::models::Family;
    for (const auto& m : zpk::models::all()) {
        const bool fluid = zpk::models::serves(m.code, 1, 0) || zpk::models::serves(m.code, 1, 1);
        EXPECT_EQ(m.validity != nullptr, fluid) << m.code;
        if (!m.validity) continue;
        const auto& v = *m.validity;
        EXPECT_LE(v.tMinX, v.tMin) << m.code;
        EXPECT_GE(v.tMaxX, v.tMax) << m.code;
        EXPECT_GE(v.pMaxX, v.pMax) << m.code;
        EXPECT_GT(v.tMinReduced + v.tMin, 0.0) << m.code << ": no lower temperature limit";
        EXPECT_LE(v.pMaxX, 1e11) << m.code;
        // Only the reference equations are extrapolated.
        EXPECT_EQ(v.extrapolates(), m.family == Family::Reference) << m.code;
    }
}

// A liquid formed from vapour pressures has no liquid above the highest
// critical temperature; a vapour there is fine.
TEST(ValidityTable, VapourPressureLiquidsEndAtTheHighestCriticalTemperature) {
    const zpk::models::ModelInfo* wilson = zpk::models::find(10);
    ASSERT_NE(wilson, nullptr);
    const zpk::models::CriticalScale scale{400.0, 500.0};
    using zpk::models::RangeVerdict;
    EXPECT_EQ(zpk::models::checkRange(*wilson, 450.0, 1e6, true, scale).verdict, RangeVerdict::Inside);
    const auto above = zpk::models::checkRange(*wilson, 550.0, 1e6, true, scale);
    EXPECT_EQ(above.verdict, RangeVerdict::Outside);
    EXPECT_EQ(above.message, "a liquid at 550 K is above the highest critical temperature 500 K of the "
                             "components; model 10 (Wilson) has no liquid there");
    EXPECT_EQ(zpk::models::checkRange(*wilson, 550.0, 1e6, false, scale).verdict, RangeVerdict::Inside);
    EXPECT_EQ(zpk::models::checkRange(*wilson, 79.0, 1e6, false, scale).verdict, RangeVerdict::Outside);
}

} // namespace

namespace {

// Ethanol and water with a Wilson liquid (set 2: Wilson liquid fugacity,
// PRX otherwise): at 700 K and 100 MPa the extrapolated vapour pressures
// formed a "liquid" above both critical temperatures; the vapour there is
// fine.
TEST_F(Validity, ActivityLiquidAboveTheHighestCriticalTemperatureFails) {
    const int s = 78;
    initS(s);
    setWm(s, 1.0);
    for (int p = 1; p <= 4; ++p) {
        setMP(s, p, 0, 51);
        setMP(s, p, 1, p == 1 ? 10 : 51);
    }
    putZ(s, 1, 0.5);
    putZ(s, 2, 0.5);
    putCC(s, 1, CompCID(64175));
    putCC(s, 2, CompCID(kWater));
    ASSERT_EQ(setS(s), 1) << ErrMsg();
    ASSERT_EQ(setOp(s, 350, 1e5), 1) << ErrMsg();
    EXPECT_EQ(setOp(s, 700, 1e8), 0);
    EXPECT_EQ(getErrFlag(), 1);
    EXPECT_TRUE(contains(ErrMsg(), "above the highest critical temperature 647.096 K")) << ErrMsg();
    EXPECT_EQ(getT(s), 350.0);
    setErrFlag(0);
    ASSERT_EQ(setOp(s, 700, 1e6), 1) << ErrMsg();
    EXPECT_EQ(StrPt(s, 1), 0);
    EXPECT_EQ(getErrFlag(), 0);
}

} // namespace
