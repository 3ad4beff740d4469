// Unit operation procedures against the recording double.
#include <cmath>

#include "suite_harness.h"
#include "zpk/zpk.h"

namespace {

using zpkdouble::Call;

class UnitOperations : public SuiteTest {};

// The mode-2 PSPF call of the carbon dioxide block returns the efficiency;
// the outlet state reads back as asked.
void programRatingBlock(double efficiency) {
    zpkdouble::setHandler("PSPF", [efficiency](const std::vector<double>& a) {
        return a[2] == 2 && a[1] == 41370000 ? efficiency : std::nan("");
    });
    zpkdouble::setReturn("getT", 460);
    zpkdouble::setReturn("getP", 41370000);
}

TEST_F(UnitOperations, RatingEfficiencyWithinToleranceIsAccepted) {
    programRatingBlock(0.644);
    fixture().testNozzle();
    EXPECT_EQ(entryCount("Error testing PSPF() case 1 rating CO2"), 0u);
}

TEST_F(UnitOperations, RatingEfficiencyOutsideToleranceIsRecordedOnce) {
    programRatingBlock(0.6445);
    fixture().testNozzle();
    EXPECT_EQ(entryCount("Error testing PSPF() case 1 rating CO2"), 1u);
}

TEST_F(UnitOperations, DesignCallReceivesTheRatedEfficiency) {
    programRatingBlock(0.6439);
    fixture().testNozzle();
    const auto pspf = zpkdouble::calls("PSPF");
    ASSERT_GE(pspf.size(), 2u);
    EXPECT_EQ(pspf[1].num[2], 1.0);
    EXPECT_EQ(pspf[1].num[3], 0.6439);
}

TEST_F(UnitOperations, NaNResultsOfEveryBlockRecordNothing) {
    for (const char* name : {"PSPF", "ISPF", "getT", "getP", "getWm"})
        zpkdouble::setReturn(name, std::nan(""));
    fixture().testNozzle();
    EXPECT_EQ(errorText(), "");
    EXPECT_EQ(zpkdouble::count("PSPF"), 10u);
    EXPECT_EQ(zpkdouble::count("ISPF"), 10u);
}

TEST_F(UnitOperations, NozzleResultIsReadBeforeTheMassFlow) {
    zpkdouble::setReturn("ISPF", std::nan(""));
    fixture().testNozzle();
    const auto names = zpkdouble::callNames();
    std::size_t ispf = 0;
    for (std::size_t i = 0; i + 1 < names.size(); ++i) {
        if (names[i] != "ISPF") continue;
        ++ispf;
        // Block 8 compares the whole result and reads no mass flow.
        if (ispf != 4) {
            EXPECT_EQ(names[i + 1], "getWm") << "ISPF call " << ispf;
        }
    }
    EXPECT_EQ(ispf, 10u);
}

TEST_F(UnitOperations, EveryFailingNozzleCheckIsItsOwnEntry) {
    // All results 0 and mass flows 1: every one of the 31 relative checks fails.
    zpkdouble::setReturn("getWm", 1);
    fixture().testNozzle();
    EXPECT_EQ(entries().size(), 31u);
    EXPECT_EQ(entryCount("Error testing PSPF()rating CO2"), 1u);
    EXPECT_EQ(entryCount("Error testing PSPF() design CO2"), 2u);
    EXPECT_EQ(entryCount("Error testing ISPF() case 1 HEM Methanol"), 3u);
}

// Product mass flows of the separators by stream offset from the base.
void programProductFlows(double s2, double s3, double s4) {
    zpkdouble::setHandler("getWm", [=](const std::vector<double>& a) {
        const int stream = static_cast<int>(a[0]) - streamBase();
        return stream == 2 ? s2 : stream == 3 ? s3 : stream == 4 ? s4 : 1000.0;
    });
}

TEST_F(UnitOperations, SeparatorRangeBoundsPass) {
    programProductFlows(615, 330, 41);
    fixture().testVLLSeparator();
    EXPECT_EQ(errorText(), "");
    programProductFlows(630, 340, 44);
    fixture().testVLLSeparator();
    EXPECT_EQ(errorText(), "");
}

TEST_F(UnitOperations, SeparatorBelowRangeRecordsOneEntry) {
    programProductFlows(614.9, 330, 41);
    fixture().testVLLSeparator();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing VLLSep()"});
}

TEST_F(UnitOperations, SeparatorFeedAllowsASecondLiquid) {
    programProductFlows(620, 335, 42);
    fixture().testVLLSeparator();
    const auto ko = zpkdouble::calls("putKO");
    ASSERT_EQ(ko.size(), 1u);
    EXPECT_EQ(ko[0].num, (std::vector<double>{1, 1}));
    const auto names = zpkdouble::callNames();
    const auto setS = std::find(names.begin(), names.end(), "setS");
    const auto putKO = std::find(names.begin(), names.end(), "putKO");
    EXPECT_LT(setS - names.begin(), putKO - names.begin()) << "the option follows setS";
}

TEST_F(UnitOperations, PhaseSeparatorRecordsBothSplits) {
    programProductFlows(600, 0, 0);
    fixture().testPhaseSeparator();
    EXPECT_EQ(entries(), (std::vector<std::string>{"Error executing PSep()", "Error executing PSep()"}));
}

TEST_F(UnitOperations, MixerCompositionWithinToleranceAndStreamOffsets) {
    setStreamBase(40);
    zpkdouble::setReturn("getZ", 0.3819 * (1 + 0.0009));
    zpkdouble::setReturn("StrH", 7);
    fixture().testMixer();
    // e + f against g: 14 / 7 is off by 100 %; the same for the second mix.
    EXPECT_EQ(entries(), (std::vector<std::string>{"Error executing Mix()", "Error executing Mix()"}));
    const auto mix = zpkdouble::calls("MixF");
    ASSERT_EQ(mix.size(), 3u);
    EXPECT_EQ(mix[0].num, (std::vector<double>{43, 41, 42, 0, 0}));
    EXPECT_EQ(mix[1].num, (std::vector<double>{41, 41, 42, 0, 0}));
    EXPECT_EQ(mix[2].num, (std::vector<double>{41, 41, 43, 0, 0}));
}

} // namespace
