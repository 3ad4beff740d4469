// Stream definitions through the C interface: validation, nothing changed on
// bad input, copies, binary entries, error state.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "components/database.h"
#include "streams/store.h"
#include "zpk/zpk.h"

namespace {

namespace streams = zpk::streams;
namespace components = zpk::components;

class StreamStore : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int code = 15; code <= 54; ++code) setUMC(code, 1);
        setErrFlag(0);
        methane = CompCID(74828);
        ethane = CompCID(74840);
        ASSERT_GT(methane, 0);
        ASSERT_GT(ethane, 0);
    }
    // A valid two-component stream.
    void defineGas(int s) {
        ASSERT_EQ(initS(s), 1);
        ASSERT_EQ(setWm(s, 2.5), 1);
        ASSERT_EQ(setMP(s, 1, 0, 30), 1);
        ASSERT_EQ(putZ(s, 1, 0.8), 1);
        ASSERT_EQ(putZ(s, 2, 0.2), 1);
        ASSERT_EQ(putCC(s, 1, methane), 1);
        ASSERT_EQ(putCC(s, 2, ethane), 1);
        ASSERT_EQ(setS(s), 1);
    }
    std::string lastError() { return ErrMsg(); }
    int methane = 0, ethane = 0;
};

TEST_F(StreamStore, DefinitionRoundTrip) {
    defineGas(7);
    EXPECT_EQ(isSDef(7), 1);
    EXPECT_EQ(isSopDef(7), 0);
    EXPECT_EQ(getCNr(7), 2);
    EXPECT_DOUBLE_EQ(getZ(7, 1), 0.8);
    EXPECT_DOUBLE_EQ(getZ(7, 2), 0.2);
    EXPECT_EQ(getCC(7, 1), methane);
    EXPECT_EQ(getCC(7, 2), ethane);
    EXPECT_DOUBLE_EQ(getWm(7), 2.5);
    EXPECT_EQ(getMP(7, 1, 0), 30);
    EXPECT_EQ(getMP(7, 2, 1), 1) << "a pair never set reads as model 1";
    EXPECT_EQ(getErrFlag(), 0);
}

TEST_F(StreamStore, InitSClearsEverything) {
    defineGas(3);
    putKO(3, 5);
    putN(3, const_cast<char*>("gas"));
    ASSERT_EQ(initS(3), 1);
    EXPECT_EQ(isSDef(3), 0);
    EXPECT_EQ(getCNr(3), 0);
    EXPECT_EQ(getKO(3), 0);
    EXPECT_STREQ(StrN(3), "");
    EXPECT_DOUBLE_EQ(getWm(3), 1.0);
    EXPECT_EQ(getMP(3, 1, 0), 1);
}

TEST_F(StreamStore, SetSRejectsIncompleteDefinitions) {
    initS(4);
    EXPECT_EQ(setS(4), 0);
    EXPECT_NE(lastError().find("no component"), std::string::npos) << lastError();

    putZ(4, 1, 0.5);
    putZ(4, 2, 0.5);
    putCC(4, 1, methane);
    EXPECT_EQ(setS(4), 0) << "position 2 has a fraction but no component";
    EXPECT_NE(lastError().find("position 2"), std::string::npos) << lastError();

    putCC(4, 2, methane);
    EXPECT_EQ(setS(4), 0) << "the same component twice";

    putCC(4, 2, ethane);
    putZ(4, 1, 0);
    putZ(4, 2, 0);
    EXPECT_EQ(setS(4), 0) << "fractions sum to zero";
    EXPECT_EQ(isSDef(4), 0);

    putZ(4, 2, 1);
    EXPECT_EQ(setS(4), 1) << "a zero fraction at one position is allowed";
}

TEST_F(StreamStore, BadArgumentsChangeNothing) {
    defineGas(5);
    setErrFlag(0);
    EXPECT_EQ(putZ(5, 1, std::nan("")), 0);
    EXPECT_EQ(putZ(5, 1, -0.1), 0);
    EXPECT_EQ(putZ(5, 0, 0.5), 0);
    EXPECT_EQ(putZ(5, streams::kMaxPositions + 1, 0.5), 0);
    EXPECT_EQ(putCC(5, 1, 0), 0);
    EXPECT_EQ(putCC(5, 1, components::count() + 1), 0);
    EXPECT_EQ(setWm(5, -1), 0);
    EXPECT_EQ(setWm(5, INFINITY), 0);
    EXPECT_EQ(setMP(5, 1, 0, 9999), 0);
    EXPECT_EQ(setMP(5, 5, 0, 30), 0);
    EXPECT_EQ(setMP(5, 1, 4, 30), 0);
    EXPECT_EQ(putKS(5, 0, 1), 0);
    EXPECT_EQ(loadSB(5, 4), 0);
    EXPECT_EQ(putBIP(5, 1, 10, 0.1), 0);
    EXPECT_EQ(putBIP(5, 1, 0, std::nan("")), 0);
    EXPECT_EQ(putCi(5, 0, 1), 0);
    EXPECT_EQ(putT(5, -3), 0);
    EXPECT_EQ(putP(5, 0), 0);
    EXPECT_NE(getErrFlag(), 0);

    EXPECT_EQ(isSDef(5), 1) << "the definition survived every rejected call";
    EXPECT_EQ(getCNr(5), 2);
    EXPECT_DOUBLE_EQ(getZ(5, 1), 0.8);
    EXPECT_EQ(getCC(5, 1), methane);
    EXPECT_DOUBLE_EQ(getWm(5), 2.5);
    EXPECT_EQ(getMP(5, 1, 0), 30);
    EXPECT_EQ(SBIPnr(5, 0), 0) << "rejected binary calls created no entry";
}

TEST_F(StreamStore, InvalidStreamNumbersReportTheNumber) {
    for (int bad : {0, -1, streams::kCapacity + 1}) {
        setErrFlag(0);
        EXPECT_EQ(initS(bad), 0);
        EXPECT_EQ(getErrFlag(), 1);
        EXPECT_NE(lastError().find("initS: stream " + std::to_string(bad)), std::string::npos) << lastError();
        EXPECT_TRUE(std::isnan(getWm(bad)));
        EXPECT_TRUE(std::isnan(getT(bad)));
        EXPECT_EQ(StrN(bad), nullptr);
    }
    EXPECT_EQ(initS(streams::kCapacity), 1);
    EXPECT_EQ(getMSNr(), streams::kCapacity);
}

TEST_F(StreamStore, ErrorStateIsStickyUntilCleared) {
    setErrFlag(0);
    EXPECT_EQ(putZ(1, 0, 1), 0);
    const std::string first = lastError();
    EXPECT_NE(first.find("putZ: position 0"), std::string::npos) << first;
    EXPECT_EQ(initS(1), 1);
    EXPECT_EQ(getErrFlag(), 1) << "a successful call keeps the flag";
    EXPECT_EQ(lastError(), first);
    EXPECT_EQ(defErrMsg(0), 1);
    EXPECT_EQ(getErrFlag(), 0);
    EXPECT_STREQ(ErrMsg(), "");
    EXPECT_EQ(defErrMsg(7), 0);
}

TEST_F(StreamStore, ChangesAfterSetSKeepDefinitionWhileValid) {
    defineGas(6);
    putZ(6, 1, 0.3);
    EXPECT_EQ(isSDef(6), 1);
    putZ(6, 3, 0.1);  // a new position without a component
    EXPECT_EQ(isSDef(6), 0);
}

TEST_F(StreamStore, OperatingPointValuesInUserUnits) {
    defineGas(8);
    ASSERT_EQ(putT(8, 350), 1);
    ASSERT_EQ(putP(8, 2e6), 1);
    EXPECT_DOUBLE_EQ(getT(8), 350);
    EXPECT_DOUBLE_EQ(getP(8), 2e6);
    setUMC(15, 2);  // C
    setUMC(17, 3);  // bar
    EXPECT_NEAR(getT(8), 76.85, 1e-12);
    EXPECT_NEAR(getP(8), 20, 1e-12);
    ASSERT_EQ(putT(8, 0), 1);
    setUMC(15, 1);
    EXPECT_DOUBLE_EQ(getT(8), 273.15);
    EXPECT_EQ(isSopDef(8), 0);
    EXPECT_EQ(setValidSop(8), 1);
    EXPECT_EQ(isSopDef(8), 1);
    putZ(8, 1, 0.5);
    EXPECT_EQ(isSopDef(8), 0) << "a definition change invalidates the operating point";
}

TEST_F(StreamStore, MassFlowInPoundsPerHour) {
    initS(9);
    setUMC(25, 7);
    ASSERT_EQ(setWm(9, 7936.641438), 1);
    setUMC(25, 1);
    EXPECT_NEAR(getWm(9), 1.0, 1e-9);
}

TEST_F(StreamStore, SetMPFollowsTheCatalogue) {
    initS(10);
    EXPECT_EQ(setMP(10, 1, 1, 10), 1) << "activity model for liquid fugacity";
    EXPECT_EQ(setMP(10, 2, 1, 10), 0) << "but not for liquid enthalpy";
    EXPECT_EQ(setMP(10, 1, 0, 10), 0) << "nor for the vapour";
    EXPECT_EQ(setMP(10, 1, 2, 1), 1) << "model 1 serves the solid phase";
    EXPECT_EQ(setMP(10, 1, 2, 30), 0);
    EXPECT_EQ(setMP(10, 4, 2, 150), 1);
    EXPECT_EQ(setMP(10, 4, 3, 171), 1);
    EXPECT_EQ(setMP(10, 1, 3, 150), 0);
    EXPECT_EQ(getMP(10, 1, 1), 10);
    EXPECT_EQ(getMP(10, 2, 1), 1);
}

TEST_F(StreamStore, BinaryInteractionEntries) {
    defineGas(11);
    // Entries may be made before the components (as some callers do).
    ASSERT_EQ(putCi(11, 1, 1), 1);
    ASSERT_EQ(putCj(11, 1, 2), 1);
    ASSERT_EQ(putMB(11, 1, 30), 1);
    ASSERT_EQ(putBIP(11, 1, 0, 0.097), 1);
    ASSERT_EQ(putBIP(11, 2, 3, -0.5), 1);
    EXPECT_EQ(putMB(11, 2, 12345), 0);
    putCi(11, 2, 2);
    putCj(11, 2, 1);
    putMB(11, 2, 50);
    EXPECT_EQ(SBIPnr(11, 0), 2);
    EXPECT_EQ(SBIPnr(11, 30), 1);
    EXPECT_EQ(SBIPnr(11, 51), 0);
    EXPECT_EQ(getCi(11, 1), 1);
    EXPECT_EQ(getCj(11, 1), 2);
    EXPECT_EQ(getMB(11, 2), 50);
    EXPECT_DOUBLE_EQ(getBIP(11, 1, 0), 0.097);
    EXPECT_DOUBLE_EQ(getBIP(11, 2, 3), -0.5);
    EXPECT_DOUBLE_EQ(getBIP(11, 2, 0), 0.0);
    EXPECT_TRUE(std::isnan(getBIP(11, 3, 0)));
    EXPECT_EQ(setS(11), 1);

    putCi(11, 3, 1);
    putCj(11, 3, 1);
    EXPECT_EQ(setS(11), 0) << "an entry joining a position with itself";
    EXPECT_NE(lastError().find("binary entry 3"), std::string::npos) << lastError();
}

TEST_F(StreamStore, CopyDefinitionAndOperatingPoint) {
    defineGas(12);
    putKO(12, 3);
    putKS(12, 2, 9);
    putN(12, const_cast<char*>("feed gas"));
    putT(12, 250);
    setValidSop(12);
    initS(13);
    ASSERT_EQ(StrCopy(13, 12), 1);
    EXPECT_EQ(isSDef(13), 1);
    EXPECT_EQ(getCC(13, 2), ethane);
    EXPECT_EQ(getKO(13), 3);
    EXPECT_EQ(getKS(13, 2), 9);
    EXPECT_STREQ(StrN(13), "feed gas");
    EXPECT_EQ(isSopDef(13), 0) << "StrCopy copies the definition only";

    ASSERT_EQ(StrCopyOp(14, 12), 1);
    EXPECT_EQ(isSopDef(14), 1);
    EXPECT_DOUBLE_EQ(getT(14), 250);
    EXPECT_EQ(StrCopy(12, 12), 1);
    EXPECT_EQ(isSDef(12), 1);
    EXPECT_EQ(StrCopy(0, 12), 0);

    putZ(13, 1, 0.1);
    EXPECT_DOUBLE_EQ(getZ(12, 1), 0.8) << "the copy is independent";
}

TEST_F(StreamStore, NamesAndTheirLimits) {
    initS(15);
    EXPECT_EQ(putN(15, nullptr), 0);
    std::string longName(streams::kMaxNameLength + 1, 'x');
    EXPECT_EQ(putN(15, longName.data()), 0);
    std::string name = "a name with blanks % and \xc3\xa9";
    EXPECT_EQ(putN(15, name.data()), 1);
    EXPECT_EQ(std::string(StrN(15)), name);
}

TEST_F(StreamStore, DerivativeSlotsAndPhaseCountArePerThread) {
    EXPECT_EQ(DPinit(1, 5), 1);
    EXPECT_EQ(DPinit(0, 5), 0);
    EXPECT_EQ(DPinit(1, 0), 0);
    EXPECT_EQ(getPNr(), 0);
}

TEST_F(StreamStore, LoadRequestStored) {
    defineGas(16);
    EXPECT_EQ(loadSB(16, 3), 1);
    EXPECT_EQ(streams::snapshot(16).def.bipLoadLevel, 3);
    EXPECT_EQ(isSDef(16), 1);
}

}  // namespace
