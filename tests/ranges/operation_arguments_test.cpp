// Impossible arguments of the unit operations: each is rejected with the
// failure value, an error flag and a message naming the function and the
// argument, and the streams keep their definition and operating point.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using testsupport::kEthane;
using testsupport::kMethane;
using testsupport::kPropane;

// What a failed call must leave as it was.
struct Snapshot {
    double T, P, w, h;
    int op;
};
Snapshot snapshot(int s) {
    return {getT(s), getP(s), getWm(s), isSopDef(s) ? StrH(s) : 0.0, isSopDef(s)};
}
void expectUnchanged(int s, const Snapshot& a) {
    const Snapshot b = snapshot(s);
    EXPECT_EQ(a.T, b.T) << "stream " << s;
    EXPECT_EQ(a.P, b.P) << "stream " << s;
    EXPECT_EQ(a.w, b.w) << "stream " << s;
    EXPECT_EQ(a.h, b.h) << "stream " << s;
    EXPECT_EQ(a.op, b.op) << "stream " << s;
}

class OperationArguments : public testsupport::UnitSet1Test {
  protected:
    // Stream 61: methane-rich gas at 300 K, 2 MPa (SRK); stream 62 the
    // same gas at 5 MPa; stream 63 an empty target.
    void SetUp() override {
        UnitSet1Test::SetUp();
        for (int s : {61, 62}) {
            testsupport::defineAllProperties(s, 30, {kMethane, kEthane, kPropane}, {0.9, 0.07, 0.03});
            ASSERT_EQ(setS(s), 1) << ErrMsg();
        }
        ASSERT_EQ(setOp(61, 300, 2e6), 1) << ErrMsg();
        ASSERT_EQ(setOp(62, 300, 5e6), 1) << ErrMsg();
        initS(63);
        setErrFlag(0);
    }
    // The last call failed with a message naming fn and the word what.
    void expectRejected(const char* fn, const char* what) {
        EXPECT_EQ(getErrFlag(), 1) << ErrMsg();
        const std::string m = ErrMsg();
        EXPECT_EQ(m.rfind(std::string(fn) + ":", 0), 0u) << m;
        EXPECT_NE(m.find(what), std::string::npos) << m;
        setErrFlag(0);
    }
};

// A polytropic efficiency above one would put the outlet below the
// isentropic outlet temperature (efficiency 1): impossible for a compressor.
TEST_F(OperationArguments, CompressorEfficiencyOutsideZeroToOneIsRejected) {
    const Snapshot before = snapshot(61);
    for (int mode : {1, 3, 4})
        for (double eta : {1.5, 3.0, 0.0, -0.7, 1.0000001}) {
            EXPECT_TRUE(std::isnan(PSPF(61, 8e6, mode, eta))) << "mode " << mode << " eta " << eta;
            expectRejected("PSPF", "efficiency");
            expectUnchanged(61, before);
        }
    // Efficiency 1 is the isentropic compression itself, the coldest outlet.
    const double tIsentropic = PSPF(61, 8e6, 1, 1.0);
    ASSERT_TRUE(std::isfinite(tIsentropic)) << ErrMsg();
    ASSERT_EQ(setOp(61, 300, 2e6), 1);
    const double tReal = PSPF(61, 8e6, 1, 0.75);
    EXPECT_GT(tReal, tIsentropic);
}

// Rating: an outlet colder than the isentropic one has no efficiency in
// (0, 1]; the call fails instead of returning an efficiency above one.
TEST_F(OperationArguments, CompressorRatingBelowTheIsentropicOutletFails) {
    const double tIsentropic = PSPF(61, 8e6, 1, 1.0);
    ASSERT_TRUE(std::isfinite(tIsentropic)) << ErrMsg();
    ASSERT_EQ(setOp(61, 300, 2e6), 1);
    const Snapshot before = snapshot(61);
    EXPECT_TRUE(std::isnan(PSPF(61, 8e6, 2, tIsentropic - 5.0)));
    EXPECT_NE(getErrFlag(), 0);
    EXPECT_NE(std::string(ErrMsg()).find("PSPF"), std::string::npos) << ErrMsg();
    expectUnchanged(61, before);
    setErrFlag(0);
    const double eta = PSPF(61, 8e6, 2, tIsentropic + 20.0);
    EXPECT_GT(eta, 0.0);
    EXPECT_LT(eta, 1.0);
}

// A nozzle expands to a back pressure below its stagnation pressure.
TEST_F(OperationArguments, NozzleBackPressureAboveTheInletIsRejected) {
    const Snapshot before = snapshot(61);
    EXPECT_TRUE(std::isnan(ISPF(61, 3e6, 1, 0)));
    expectRejected("ISPF", "back pressure");
    EXPECT_TRUE(std::isnan(ISPF(61, -1e5, 1, 0)));
    expectRejected("ISPF", "pressure");
    expectUnchanged(61, before);
}

TEST_F(OperationArguments, PipeLengthDiameterAndRoughnessMustBePhysical) {
    const Snapshot before = snapshot(61);
    struct Case {
        double length, diameter, roughness;
        const char* what;
    } cases[] = {{-1, 0.1, 0, "length"},    {0, 0.1, 0, "length"},         {10, 0, 0, "diameter"},
                 {10, -0.2, 0, "diameter"}, {10, 0.1, -1e-5, "roughness"}, {10, 0.1, 0.2, "roughness"}};
    for (const Case& c : cases) {
        EXPECT_EQ(PIPE(61, 63, c.length, c.diameter, c.roughness, 0, 0), 0) << c.what;
        expectRejected("PIPE", c.what);
        expectUnchanged(61, before);
        EXPECT_EQ(isSDef(63), 0);
    }
}

TEST_F(OperationArguments, FlowsMustNotBeNegative) {
    const Snapshot before = snapshot(61);
    EXPECT_EQ(setWm(61, -2.0), 0);
    expectRejected("setWm", "flow");
    expectUnchanged(61, before);
    for (double f : {-0.1, 1.1}) {
        EXPECT_EQ(Divi(61, 63, f), 0);
        expectRejected("Divi", "fraction");
        expectUnchanged(61, before);
    }
    // Two inlets without flow have no outlet composition.
    ASSERT_EQ(setWm(61, 0.0), 1);
    ASSERT_EQ(setWm(62, 0.0), 1);
    EXPECT_EQ(MixF(63, 61, 62, 0, 0), 0);
    EXPECT_NE(getErrFlag(), 0);
    EXPECT_EQ(std::string(ErrMsg()).rfind("MixF:", 0), 0u) << ErrMsg();
    EXPECT_EQ(isSDef(63), 0);
}

// The column's stage efficiencies (Murphree) lie in (0, 1]; a null array
// means equilibrium stages.
TEST_F(OperationArguments, ColumnStageEfficiencyOutsideZeroToOneIsRejected) {
    const int n = 4;
    double pressure[n] = {5e6, 5e6, 5e6, 5e6};
    int feedStream[1] = {62}, feedStage[1] = {2};
    int specA[1] = {1}, specB[1] = {3}, specC[1] = {0};
    double specValue[1] = {0.5};
    const Snapshot before = snapshot(62);
    for (double e : {0.0, -0.5, 1.5}) {
        double efficiency[n] = {1, e, 1, 1};
        EXPECT_EQ(DCOL(1, n, 0, nullptr, pressure, efficiency, nullptr, 64, 65, 1, feedStream, feedStage, 0,
                       nullptr, nullptr, nullptr, nullptr, 1, nullptr, specA, specB, specC, specValue,
                       nullptr),
                  0)
            << e;
        expectRejected("DCOL", "efficiency");
        expectUnchanged(62, before);
    }
}

} // namespace
