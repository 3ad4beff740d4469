// Isothermal flash data set 1 against a scripted flash: window bounds,
// one-sided checks, the phase sums of the ice case, the hydrate phase rule
// and one message per failed check.
#include <string>
#include <vector>

#include "battery_harness.h"
#include "flash_scene.h"

namespace {

using suitesb::FlashScene;

class IsothermalFlash1Test : public suitesb::BatteryTest {
  protected:
    void SetUp() override {
        BatteryTest::SetUp();
        scene.install();
    }
    static std::string failure(const std::string& label) { return "Error executing setOp() : " + label; }
    FlashScene scene;
};

TEST_F(IsothermalFlash1Test, UndefinedResultsPassEveryCheck) {
    fixture->testIsothermalFlash1();
    EXPECT_TRUE(messages().empty());
    for (const char* name :
         {"initS", "setWm", "setMP", "putZ", "putCC", "setS", "setOp", "StrLf", "StrPf", "LfPF"})
        EXPECT_EQ(callsOffOwnStreams(name), 0u) << name;
}

TEST_F(IsothermalFlash1Test, WindowBoundsPass) {
    scene.liquidFraction[{245.6, 6932575}] = 0.065;
    scene.liquidFraction[{215, 5100374}] = 0.15;
    fixture->testIsothermalFlash1();
    EXPECT_TRUE(messages().empty());

    scene.liquidFraction[{245.6, 6932575}] = 0.0649;
    scene.liquidFraction[{215, 5100374}] = 0.1501;
    fixture->testIsothermalFlash1();
    EXPECT_EQ(messages(), (std::vector<std::string>{failure("4"), failure("9")}));
}

TEST_F(IsothermalFlash1Test, ZeroLiquidPassesOneSidedChecksAnyLiquidFails) {
    scene.liquidFraction[{330, 6932575}] = 0;
    scene.liquidFraction[{912.06, 9703448}] = 0;
    fixture->testIsothermalFlash1();
    EXPECT_TRUE(messages().empty());

    scene.liquidFraction[{330, 6932575}] = 1e-12;
    scene.liquidFraction[{912.06, 9703448}] = 1e-12;
    fixture->testIsothermalFlash1();
    EXPECT_EQ(messages(), (std::vector<std::string>{failure("5"), failure("8")}));
}

TEST_F(IsothermalFlash1Test, IceCaseSumsPhaseFractionsByKind) {
    // Two vapour phases add up; the hydrate phase is not summed.
    scene.phases(269, 2400000, {{0, 0.2}, {1, 0.04}, {0, 0.22}, {2, 0.52}, {3, 0.3}});
    fixture->testIsothermalFlash1();
    EXPECT_TRUE(messages().empty());

    // No phase at all: the vapour check fails on the count, the other two on
    // their empty sums.
    scene.phases(269, 2400000, {});
    fixture->testIsothermalFlash1();
    EXPECT_EQ(messages(), (std::vector<std::string>(3, failure("7a"))));
}

TEST_F(IsothermalFlash1Test, HydrateMustFollowTheVapourAsSecondOrThirdPhase) {
    const std::string label = failure("99b1 Hydrate Multiphase");
    scene.phases(277.7, 8000000, {{0, 0.995}, {1, 0.004}, {3, 0.001}});
    fixture->testIsothermalFlash1();
    EXPECT_TRUE(messages().empty());

    scene.phases(277.7, 8000000, {{0, 0.995}, {1, 0.004}, {1, 0.001}});
    fixture->testIsothermalFlash1();
    EXPECT_EQ(messages(), std::vector<std::string>{label});

    // A liquid first phase with too little feed: three failures of one label.
    errorText.fill('\0');
    scene.phases(277.7, 8000000, {{1, 0.5}, {1, 0.4}, {2, 0.1}});
    fixture->testIsothermalFlash1();
    EXPECT_EQ(messages(), (std::vector<std::string>(3, label)));
}

TEST_F(IsothermalFlash1Test, SharedLabelsGiveOneMessagePerFailure) {
    scene.phases(155.91, 1300000, {{0, 0.3}, {1, 0.6}, {1, 0.1}});
    // Sour gas near its critical point: four flashes and one at the
    // temperature LfPF gives.
    const FlashScene::Point nearCritical[] = {
        {233.68, 7884000}, {232.54, 7952700}, {232.65, 7870000}, {234.6, 7884000}, {240, 8800000}};
    for (const FlashScene::Point& point : nearCritical)
        scene.liquidFraction[point] = 1;
    scene.saturation = [](double P, double f) { return P == 8800000 && f == 1e-5 ? 240 : FlashScene::nan(); };
    fixture->testIsothermalFlash1();
    EXPECT_EQ(messages(),
              (std::vector<std::string>{failure("3"), failure("3"), failure("3"), failure("12"),
                                        failure("12"), failure("13"), failure("13"), failure("14")}));
}

TEST_F(IsothermalFlash1Test, EveryFailedCheckRecordsItsOwnMessageAndNothingStops) {
    // Every value -1, every phase a liquid, no phase count: all checks fail
    // except the two "no liquid" checks.
    zpkdouble::reset();
    for (const char* name :
         {"StrLf", "StrPf", "StrPc", "StrTc", "StrCBp", "StrCBt", "StrCTp", "StrCTt", "LfPF"})
        zpkdouble::setReturn(name, -1);
    zpkdouble::setReturn("StrPt", 1);
    zpkdouble::setReturn("getPNr", 0);
    fixture->testIsothermalFlash1();
    const std::vector<std::string> all = messages();
    EXPECT_EQ(all.size(), 32u);
    EXPECT_EQ(all.front(), failure("99b1 Hydrate Multiphase"));
    EXPECT_EQ(all.back(), failure("15"));
}

} // namespace
