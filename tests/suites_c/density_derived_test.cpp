// Density and derived property procedures against the test double.
#include "suite_fixture.h"
#include "zpk/zpk.h"

namespace {

using DensityTest = SuiteTest;

constexpr const char* set3Message = "Error executing tStEStr()";

TEST_F(DensityTest, DataSet3AppendsTheSameTextForEveryFailingCheck) {
    // Only the two vapour densities of methane fail; the rest are not numbers.
    for (const char* f : {"StrGCp", "StrLD", "StrLCp", "StrLCv", "StrLVE", "StrLIC", "StrSD", "EStrLD"})
        zpkdouble::setReturn(f, notANumber);
    fixture->testFluidProperties3();
    EXPECT_EQ(entries(), std::vector<std::string>(2, set3Message));
}

TEST_F(DensityTest, DataSet3ComparesEveryCheckButNotTheReadOnlyProperties) {
    // Every property reads 0, a relative deviation of 1: all 63 compared
    // checks fail (methane 29, water 15, CAS 75-79-6 1, methane-propane 9,
    // solids 3, LNG 6), the three read-only readings do not.
    fixture->testFluidProperties3();
    EXPECT_EQ(entries(), std::vector<std::string>(63, set3Message));
    EXPECT_EQ(zpkdouble::count("StrLCv"), 5u + 3u + 3u);
    EXPECT_EQ(zpkdouble::count("StrLIC"), 5u + 3u + 3u);
    EXPECT_EQ(zpkdouble::count("EStrLD"), 6u);
    // Data set 3 relies on the units in force.
    EXPECT_EQ(zpkdouble::count("setUMC"), 0u);
}

TEST_F(DensityTest, DataSet3LooksTheCompoundUpWhereItIsUsed) {
    fixture->testFluidProperties3();
    const auto log = zpkdouble::calls();
    const long lookup = findCall(log, "CompCID", {75796});
    ASSERT_GE(lookup, 1);
    EXPECT_EQ(log[lookup - 1].name, "putZ");
    EXPECT_EQ(log[lookup + 1].name, "putCC");
    // Models follow setS in data set 3.
    EXPECT_EQ(log[lookup + 2].name, "setS");
    EXPECT_EQ(log[lookup + 3].num, (std::vector<double>{1, 1, 0, 51}));
}

TEST_F(DensityTest, DataSet3LngModelsChangeBetweenTheDensityChecks) {
    fixture->testFluidProperties3();
    const auto log = zpkdouble::calls();
    long at = findCall(log, "putZ", {1, 2, 74.3});
    ASSERT_GE(at, 0);
    std::vector<std::string> names;
    for (std::size_t i = static_cast<std::size_t>(at) + 15; i < log.size(); ++i)
        names.push_back(log[i].name);
    const std::vector<std::string> expected = {
        "setS",  "setMP",  "setMP",  "setMP", "setMP", "setMP",  "EStrLD", // F(30), liquid volume 30
        "setMP", "EStrLD",                                                 // liquid volume 30
        "setMP", "setMP",  "setMP",  "setMP", "setMP", "EStrLD",           // F(50), liquid volume 50
        "setMP", "putKO",  "EStrLD",                                       // 51, default options
        "setMP", "EStrLD",                                                 // 50
        "setMP", "putKO",  "EStrLD",                                       // 51, default options
    };
    EXPECT_EQ(names, expected);
}

TEST_F(DensityTest, FlashPointMessagesBeginWithABlank) {
    fixture->testFluidProperties4();
    EXPECT_EQ(entries(), (std::vector<std::string>{" strFLP() 1.1", " strFLP() 1.2", " strFLP() 1.3"}));
    EXPECT_EQ(std::string(errorText.data()).substr(0, 25), "\r\ncycle 1  strFLP() 1.1 \r");
    EXPECT_EQ(zpkdouble::count("StrFLP"), 4u);
    EXPECT_EQ(zpkdouble::count("setUMC"), 40u);
}

TEST_F(DensityTest, FlashPointsWithinToleranceRecordNothing) {
    zpkdouble::setReturnSequence("StrFLP", {283.5, 308 * 1.015, notANumber, 275.15 * 0.98});
    fixture->testFluidProperties4();
    EXPECT_TRUE(entries().empty());
}

TEST_F(DensityTest, TheTwoPhaseSweepMakesExactly100Flashes) {
    zpkdouble::setReturn("LfPF", 250);
    zpkdouble::setReturn("EStrMSS", 35);
    zpkdouble::setReturn("StrGSS", notANumber);
    zpkdouble::setReturn("StrGCp", notANumber);
    zpkdouble::setReturn("StrGCv", notANumber);
    zpkdouble::setReturn("StrGJT", notANumber);
    zpkdouble::setReturn("StrLSS", notANumber);
    zpkdouble::setReturn("StrLCp", notANumber);
    zpkdouble::setReturn("StrLCv", notANumber);
    zpkdouble::setReturn("StrLJT", notANumber);
    zpkdouble::setReturn("StrMSS", notANumber);
    fixture->testFluidProperties6();
    const auto lfpf = zpkdouble::calls("LfPF");
    ASSERT_EQ(lfpf.size(), 100u);
    double f = 0;
    for (const auto& c : lfpf) {
        EXPECT_EQ(c.num, (std::vector<double>{1, 2000000, f}));
        f += 0.01;
    }
    EXPECT_LT(lfpf.back().num.at(2), 1.0);
    // Speeds of sound of exactly 35 pass.
    EXPECT_TRUE(entries().empty());
}

TEST_F(DensityTest, AFailedSweepFlashIsReportedAndTheSpeedOfSoundStillComputed) {
    zpkdouble::setReturnSequence("LfPF", {0.5, 250});
    zpkdouble::setReturnSequence("EStrMSS", {1000, 1000.5, 500});
    for (const char* f :
         {"StrGSS", "StrGCp", "StrGCv", "StrGJT", "StrLSS", "StrLCp", "StrLCv", "StrLJT", "StrMSS"})
        zpkdouble::setReturn(f, notANumber);
    fixture->testFluidProperties6();
    EXPECT_EQ(entries(), (std::vector<std::string>{"Error testing StrMSS", "Error testing StrMSS"}));
    const auto sound = zpkdouble::calls("EStrMSS");
    ASSERT_EQ(sound.size(), 100u);
    EXPECT_EQ(sound[0].num, (std::vector<double>{1, 0.5, 2000000}));
}

TEST_F(DensityTest, GasAndLiquidChecksCarryTheirOwnMessages) {
    zpkdouble::setReturn("LfPF", 250);
    zpkdouble::setReturn("EStrMSS", 100);
    zpkdouble::setReturn("StrGSS", 294.8);
    zpkdouble::setReturn("StrGCp", 1.8769);
    zpkdouble::setReturn("StrGCv", 1.6366);
    zpkdouble::setReturn("StrLSS", 1665.3);
    zpkdouble::setReturn("StrLCp", 1.947);
    zpkdouble::setReturn("StrLCv", 1.4979);
    zpkdouble::setReturn("StrLJT", -6.7347e-7);
    zpkdouble::setReturn("StrMSS", 71.176);
    // Only the vapour Joule-Thomson coefficient is off (0 against 9.379e-6).
    fixture->testFluidProperties6();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error testing StrJT"});
}

TEST_F(DensityTest, ComponentDataOfMethane) {
    zpkdouble::setReturn("CompMw", 16.04);
    zpkdouble::setReturn("CompHf", -4664 * 1.011);
    zpkdouble::setReturn("CompGf", -3164);
    fixture->testFluidProperties7();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error testing tCompData()"});
    EXPECT_EQ(zpkdouble::calls("CompMw").at(0).num, std::vector<double>{74828});
    EXPECT_EQ(zpkdouble::count("initS"), 0u);
}

TEST_F(DensityTest, LpgWindowBoundsPassAndTagsNameTheFailingCheck) {
    zpkdouble::setReturn("StrLD", 580);
    zpkdouble::setReturn("StrLMw", 51);
    fixture->testFluidProperties8();
    zpkdouble::setReturn("StrLD", 590);
    zpkdouble::setReturn("StrLMw", 50);
    fixture->testFluidProperties8();
    EXPECT_TRUE(entries().empty());

    zpkdouble::setReturn("StrLD", 579.99);
    zpkdouble::setReturn("StrLMw", 51.01);
    fixture->testFluidProperties8();
    EXPECT_EQ(entries(), (std::vector<std::string>{"Error executing tMixFunct() : 100",
                                                   "Error executing tMixFunct() : 101"}));
    EXPECT_EQ(zpkdouble::calls("setOp").back().num, (std::vector<double>{1, 293.15, 7000000}));
}

} // namespace
