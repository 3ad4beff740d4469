// Hydrate equilibrium procedure against the test double.
#include <cstring>

#include "suite_fixture.h"
#include "zpk/zpk.h"

namespace {

using HydratesTest = SuiteTest;

// HPFORM returns `p` for the structure-I point at 283.2 K ("HPFORM(SI 2)",
// 6.8 MPa, tolerance 0.2) and a value that is not a number everywhere else.
void structureIPoint(double p) {
    zpkdouble::setHandler("HPFORM", [p](const std::vector<double>& a) {
        return a.at(1) == 283.2 && a.at(2) == 2 ? p : notANumber;
    });
    zpkdouble::setReturn("HTFORM", notANumber);
}

TEST_F(HydratesTest, ResultsThatAreNotANumberPassEveryCheck) {
    zpkdouble::setReturn("HPFORM", notANumber);
    zpkdouble::setReturn("HTFORM", notANumber);
    fixture->testHydrates();
    EXPECT_TRUE(entries().empty());
}

TEST_F(HydratesTest, APressureOfExactlyOnePlusOrMinusTolTimesTheReferencePasses) {
    structureIPoint(8160000.0);
    fixture->testHydrates();
    structureIPoint(5440000.0);
    fixture->testHydrates();
    EXPECT_TRUE(entries().empty());
}

TEST_F(HydratesTest, AFailingPointIsRecordedOncePerModelConfiguration) {
    structureIPoint(8160001.0);
    fixture->testHydrates();
    EXPECT_EQ(entries(), (std::vector<std::string>{"HPFORM(SI 2)", "HPFORM(SI 2)"}));
    // The passes use models (115, 151, 170) and then (60, 150, 171).
    const auto log = zpkdouble::calls("setMP");
    EXPECT_EQ(log.front().num, (std::vector<double>{1, 1, 0, 115}));
    EXPECT_GE(findCall(log, "setMP", {1, 1, 3, 171}), 0);
}

TEST_F(HydratesTest, RoundTripWithoutHydrateIsNoErrorButALostTemperatureIs) {
    // Code 1: both calls report no hydrate.
    zpkdouble::setHandler("HPFORM",
                          [](const std::vector<double>& a) { return a.at(2) == 1 ? 0.0 : notANumber; });
    zpkdouble::setHandler("HTFORM",
                          [](const std::vector<double>& a) { return a.at(2) == 1 ? 0.0 : notANumber; });
    fixture->testHydrates();
    // HPFORM(S, 276, 1) = 0 is below the 8 MPa bound of "HPFORM(SII 42)".
    EXPECT_EQ(entries(), (std::vector<std::string>{"HPFORM(SII 42)", "HPFORM(SII 42)"}));

    errorText[0] = '\0';
    zpkdouble::reset();
    // A pressure whose inverse is 0: every round-trip point fails.
    zpkdouble::setHandler("HPFORM",
                          [](const std::vector<double>& a) { return a.at(2) == 1 ? 9e6 : notANumber; });
    zpkdouble::setHandler("HTFORM",
                          [](const std::vector<double>& a) { return a.at(2) == 1 ? 0.0 : notANumber; });
    fixture->testHydrates();
    std::vector<std::string> expected;
    for (int pass = 0; pass < 2; ++pass) {
        expected.insert(expected.end(), 11, "HPFORM(SI 26)");
        expected.insert(expected.end(), 11, "HPFORM(SII 43)");
    }
    EXPECT_EQ(entries(), expected);
}

TEST_F(HydratesTest, RoundTripTemperaturesAreSweptAndInvertedWithinTolerance) {
    double lastT = 0;
    zpkdouble::setHandler("HPFORM", [&lastT](const std::vector<double>& a) {
        lastT = a.at(1);
        return a.at(2) == 1 ? 9e6 : notANumber;
    });
    // Deviation 0.4 % of T: within 0.005.
    zpkdouble::setHandler("HTFORM", [&lastT](const std::vector<double>& a) {
        return a.at(2) == 1 ? lastT * 1.004 : notANumber;
    });
    fixture->testHydrates();
    EXPECT_TRUE(entries().empty());
    std::vector<double> temperatures;
    for (const auto& c : zpkdouble::calls("HPFORM"))
        if (c.num.at(2) == 1 && c.num.at(1) != 276) temperatures.push_back(c.num.at(1));
    ASSERT_EQ(temperatures.size(), 44u);
    EXPECT_EQ(temperatures[0], 220.1);
    EXPECT_EQ(temperatures[1], 220.1 + 7);
    EXPECT_EQ(temperatures[10], 220.1 + 7 * 10);
}

TEST_F(HydratesTest, TheLowerBoundOnThePressureIsOneSided) {
    for (double p : {8000000.0, 1e12}) {
        zpkdouble::reset();
        zpkdouble::setHandler("HPFORM",
                              [p](const std::vector<double>& a) { return a.at(1) == 276 ? p : notANumber; });
        zpkdouble::setReturn("HTFORM", notANumber);
        fixture->testHydrates();
    }
    EXPECT_TRUE(entries().empty());
    zpkdouble::setHandler(
        "HPFORM", [](const std::vector<double>& a) { return a.at(1) == 276 ? 7999999.0 : notANumber; });
    fixture->testHydrates();
    EXPECT_EQ(entries(), (std::vector<std::string>{"HPFORM(SII 42)", "HPFORM(SII 42)"}));
}

TEST_F(HydratesTest, AFullErrorTextStopsMessagesButNotTheLibraryCalls) {
    std::memset(errorText.data(), 'x', 9899);
    zpkdouble::setReturn("HPFORM", 1e20);
    zpkdouble::setReturn("HTFORM", 1);
    fixture->testHydrates();
    const std::string text(errorText.data());
    EXPECT_EQ(text.substr(9899), "\r\ncycle 1 HPFORM(S0 A1) ");
    // 34 + 11 + 39 + 2 + 1 + 11 formation pressures per pass.
    EXPECT_EQ(zpkdouble::count("HPFORM"), 196u);
    EXPECT_EQ(zpkdouble::count("HTFORM"), 46u);
}

TEST_F(HydratesTest, RowsWithoutCompositionKeepTheStreamAndASetAgainRowRewritesIt) {
    zpkdouble::setReturn("HPFORM", notANumber);
    zpkdouble::setReturn("HTFORM", notANumber);
    fixture->testHydrates();
    const auto log = zpkdouble::calls();
    // "HPFORM(SI A2)" follows "HPFORM(SI A1)" directly.
    const long a2 = findCall(log, "HPFORM", {1, 290.44, 2});
    ASSERT_GT(a2, 0);
    EXPECT_EQ(log[a2 - 1].name, "HPFORM");
    EXPECT_EQ(log[a2 - 1].num.at(1), 278.21);
    // "HPFORM(SI 4)" is preceded by a full composition step: 7 putZ and setS.
    const long si4 = findCall(log, "HPFORM", {1, 283.4, 2});
    ASSERT_GE(si4, 8);
    EXPECT_EQ(log[si4 - 1].name, "setS");
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(log[si4 - 8 + i].name, "putZ");
        EXPECT_EQ(log[si4 - 8 + i].num.at(1), i + 1);
    }
    EXPECT_EQ(log[si4 - 8].num.at(2), 0.7798);
}

TEST_F(HydratesTest, StreamsAreDefinedWithTheirOptionsAndBinaryParameterSets) {
    setStreamBase(7);
    zpkdouble::setReturn("HPFORM", notANumber);
    fixture->testHydrates();
    EXPECT_EQ(zpkdouble::count("setUMC"), 40u);
    const auto ko = zpkdouble::calls("putKO");
    ASSERT_EQ(ko.size(), 2u);
    EXPECT_EQ(ko[0].num, (std::vector<double>{8, 128}));
    const auto sb = zpkdouble::calls("loadSB");
    ASSERT_EQ(sb.size(), 6u);
    for (const auto& c : sb)
        EXPECT_EQ(c.num, (std::vector<double>{8, 3}));
    // Structure-II stream positions: methanol last of ten.
    const auto log = zpkdouble::calls();
    EXPECT_GE(findCall(log, "putCC", {8, 10, 67561}), 0);
    EXPECT_EQ(zpkdouble::count("getUMC"), 0u);
}

} // namespace
