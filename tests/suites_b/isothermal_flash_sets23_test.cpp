// Isothermal flash data sets 2 and 3 against a scripted flash: failed
// flashes in the model-set sweeps, the model set each sweep starts under,
// the relative liquid-fraction check, window bounds and one message per
// failed check.
#include <algorithm>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "battery_harness.h"
#include "flash_scene.h"

namespace {

using suitesb::FlashScene;

constexpr double ethaneTc = 305.32;
constexpr double ethanePc = 4872200;

class IsothermalFlash23Test : public suitesb::BatteryTest {
  protected:
    void SetUp() override {
        BatteryTest::SetUp();
        scene.install();
        zpkdouble::setReturn("CompTc", ethaneTc);
        zpkdouble::setReturn("CompPc", ethanePc);
    }
    static std::string set2(const std::string& label) { return "Error executing setOp1() : " + label; }
    static std::string set3(const std::string& label) { return "Error executing setOp2() : " + label; }
    static std::vector<std::string> set2(std::initializer_list<const char*> labels) {
        std::vector<std::string> out;
        for (const char* label : labels)
            out.push_back(set2(label));
        return out;
    }
    FlashScene scene;
};

TEST_F(IsothermalFlash23Test, UndefinedResultsPassEveryCheck) {
    fixture->testIsothermalFlash2();
    fixture->testIsothermalFlash3();
    EXPECT_TRUE(messages().empty());
    for (const char* name :
         {"initS", "setMP", "putZ", "putCC", "setS", "setOp", "StrLf", "LfPF", "PfTF", "PfPF"})
        EXPECT_EQ(callsOffOwnStreams(name), 0u) << name;
}

TEST_F(IsothermalFlash23Test, PureEthaneNeedsSetSixInForce) {
    zpkdouble::setHandler("getMP", [](const std::vector<double>&) { return 50.0; });
    fixture->testIsothermalFlash2();
    EXPECT_EQ(messages(), std::vector<std::string>{set2("23")});
}

TEST_F(IsothermalFlash23Test, FailedFlashAndLiquidLeftBehindGiveTwoMessages) {
    // Set 3 (liquid model 11) cannot flash at 500 K.
    scene.flashResult = [](double T, double, int liquidModel) {
        return T == 500 && liquidModel == 11 ? 0 : 1;
    };
    scene.liquidFraction[{500, 286100}] = 0;
    fixture->testIsothermalFlash2();
    EXPECT_EQ(messages(), set2({"40"}));

    errorText.fill('\0');
    scene.liquidFraction[{500, 286100}] = 0.5;
    fixture->testIsothermalFlash2();
    EXPECT_EQ(messages(), set2({"38", "39", "40", "40", "41", "42", "43", "43", "43", "44"}));
}

TEST_F(IsothermalFlash23Test, DewSweepKeepsLastSetBubbleSweepStartsAgainWithSetOne) {
    std::vector<std::tuple<double, int>> saturations; // f, liquid model in force
    scene.saturation = [&](double P, double f) {
        if (P == 286100) saturations.emplace_back(f, scene.liquidModel);
        return 300.0;
    };
    fixture->testIsothermalFlash2();
    ASSERT_EQ(saturations.size(), 18u);
    EXPECT_EQ(saturations.front(), std::make_tuple(0.0, 50)); // set 7, left by the superheated sweep
    EXPECT_EQ(saturations[9], std::make_tuple(1.0, 1));       // set 1 put in force again
    EXPECT_EQ(saturations.back(), std::make_tuple(1.0, 50));
}

TEST_F(IsothermalFlash23Test, SweepsFlashOneKelvinFromTheSaturationCurve) {
    scene.saturation = [](double P, double f) {
        return P == 286100 ? (f == 0 ? 250.0 : 200.0) : FlashScene::nan();
    };
    scene.liquidFraction[{251, 286100}] = 0.002; // above the dew point, still liquid
    scene.liquidFraction[{199, 286100}] = 0.998; // below the bubble point, not all liquid
    fixture->testIsothermalFlash2();
    EXPECT_EQ(messages(), set2({"45", "46", "47", "48", "49", "50", "50", "50", "51", "52", "53", "54", "55",
                                "55", "56", "56", "56", "57"}));
}

TEST_F(IsothermalFlash23Test, PhaseFractionFlashIsCheckedRelativeToTwoPercent) {
    scene.saturation = [](double P, double f) {
        return P == 410000 && f == 0.02 ? 280.0 : FlashScene::nan();
    };
    for (double lf : {0.01981, 0.02019}) {
        scene.liquidFraction[{280, 410000}] = lf;
        fixture->testIsothermalFlash2();
        EXPECT_TRUE(messages().empty()) << lf;
    }
    scene.liquidFraction[{280, 410000}] = 0.01979;
    fixture->testIsothermalFlash2();
    EXPECT_EQ(messages(), set2({"58", "59", "59", "59", "60", "61", "62", "63", "64"}));
}

TEST_F(IsothermalFlash23Test, DataSetTwoMakesEightyThreeChecks) {
    zpkdouble::setHandler("StrLf", [](const std::vector<double>&) { return 0.5; });
    zpkdouble::setHandler("getMP", [](const std::vector<double>&) { return 0.0; });
    // Flashes that succeed: every check fails except the 27 flash checks of
    // the three sweeps.
    fixture->testIsothermalFlash2();
    EXPECT_EQ(messages().size(), 83u - 27u);
    // Every flash of the three sweeps failing as well: all 83 checks fail.
    errorText.fill('\0');
    scene.flashResult = [](double, double P, int) { return P == 286100 ? 0 : 1; };
    fixture->testIsothermalFlash2();
    EXPECT_EQ(messages().size(), 83u);
}

TEST_F(IsothermalFlash23Test, WindowBoundsAndZeroLiquidPass) {
    scene.liquidFraction[{243, 6932575}] = 0.07;
    scene.liquidFraction[{330, 6932575}] = 0;
    scene.liquidFraction[{370, 200000}] = 0.28;
    fixture->testIsothermalFlash3();
    EXPECT_TRUE(messages().empty());

    scene.liquidFraction[{243, 6932575}] = 0.0699;
    scene.liquidFraction[{330, 6932575}] = 1e-9;
    scene.liquidFraction[{370, 200000}] = 0.2801;
    fixture->testIsothermalFlash3();
    EXPECT_EQ(messages(), (std::vector<std::string>{set3("16"), set3("17"), set3("22")}));
}

TEST_F(IsothermalFlash23Test, RetrogradeFlashesUseTheValuesAsReturned) {
    // A cricondentherm outside its window still sets the isotherm, and the
    // cricondenbar the isobar, of the phase-fraction flashes.
    zpkdouble::setReturn("StrCTt", 150);
    zpkdouble::setReturn("StrCBp", 1e7);
    fixture->testIsothermalFlash3();
    const auto isotherms = zpkdouble::calls("PfTF");
    ASSERT_EQ(isotherms.size(), 3u);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(isotherms[k].num, (std::vector<double>{base + 1, 150 * 0.98849, 1e-5, 1, k + 1.0}));
    const auto isobars = zpkdouble::calls("PfPF");
    ASSERT_EQ(isobars.size(), 2u);
    for (int k = 0; k < 2; ++k)
        EXPECT_EQ(isobars[k].num, (std::vector<double>{base + 1, 1e7 * 0.99, 1e-6, 1, k + 1.0}));
}

TEST_F(IsothermalFlash23Test, DataSetThreeMakesTwentyNineChecks) {
    for (const char* name :
         {"StrLf", "StrPc", "StrTc", "StrCBp", "StrCBt", "StrCTp", "StrCTt", "PfTF", "PfPF"})
        zpkdouble::setHandler(name, [](const std::vector<double>&) { return 0.5; });
    fixture->testIsothermalFlash3();
    const std::vector<std::string> all = messages();
    EXPECT_EQ(all.size(), 29u);
    // "17n" is shared by the cricondentherm and its three isotherm flashes,
    // "17d" by the cricondenbar temperature and its two isobar flashes.
    EXPECT_EQ(std::count(all.begin(), all.end(), set3("17n")), 4);
    EXPECT_EQ(std::count(all.begin(), all.end(), set3("17d")), 3);
    EXPECT_EQ(std::count(all.begin(), all.end(), set3("19")), 2);
}

} // namespace
