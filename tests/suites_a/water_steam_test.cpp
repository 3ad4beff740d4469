// Water and steam procedures against the recording double.
#include <cmath>

#include "suite_harness.h"
#include "zpk/zpk.h"

namespace {

using zpkdouble::Call;

class WaterSteam : public SuiteTest {
  protected:
    void SetUp() override {
        SuiteTest::SetUp();
        // Every property not a number unless a test says otherwise: no check fails.
        for (const char* name : {"StrLD",  "StrLCv", "StrLCp", "StrLSS", "StrLS",  "StrLH",  "StrLIC",
                                 "StrLJT", "StrLV",  "StrLC",  "StrST",  "StrGD",  "StrGCv", "StrGCp",
                                 "StrGSS", "StrGS",  "StrGH",  "StrGIC", "StrGJT", "StrGV",  "StrGC"})
            zpkdouble::setReturn(name, std::nan(""));
    }
    // A handler that answers `value` at the first row's state (300 K,
    // 0.099242 MPa) and NaN elsewhere.
    static zpkdouble::Handler atFirstRow(double value) {
        return [value](const Call&) {
            const auto ops = zpkdouble::calls("setOp");
            const Call& last = ops.back();
            return last.num[1] == 300 && last.num[2] == 0.099242 * 1000000 ? value : std::nan("");
        };
    }
};

TEST_F(WaterSteam, NameMustBeExactlyUpperCaseWater) {
    zpkdouble::setTextReturn("CompN", "WATER");
    fixture().testWaterSteam1();
    EXPECT_EQ(errorText(), "");
    for (const char* wrong : {"Water", "WATER ", "WATE", "", "WATERS"}) {
        SetUp();
        zpkdouble::setTextReturn("CompN", wrong);
        fixture().testWaterSteam1();
        EXPECT_EQ(entries(), std::vector<std::string>{"Error testing CompN()"}) << '"' << wrong << '"';
    }
}

TEST_F(WaterSteam, NameIsAskedForTheWaterComponent) {
    zpkdouble::setHandler("CompCID",
                          [](const std::vector<double>& a) { return a[0] == 7732185 ? 31.0 : 2.0; });
    rebuildFixture();
    fixture().testWaterSteam1();
    const auto compN = zpkdouble::calls("CompN");
    ASSERT_EQ(compN.size(), 1u);
    EXPECT_EQ(compN[0].num[0], 31.0);
}

TEST_F(WaterSteam, HalfLiquidStateIsReadAsGasWithoutSurfaceTension) {
    zpkdouble::setReturn("StrLf", 0.5);
    fixture().testWaterSteam2();
    EXPECT_EQ(errorText(), "");
    EXPECT_EQ(zpkdouble::count("StrGD"), 11u);
    EXPECT_EQ(zpkdouble::count("StrLD"), 0u);
    EXPECT_EQ(zpkdouble::count("StrST"), 0u);
    // The reference state reads the liquid enthalpy and entropy once.
    EXPECT_EQ(zpkdouble::count("StrLH"), 1u);
    EXPECT_EQ(zpkdouble::count("StrLS"), 1u);
}

TEST_F(WaterSteam, ViscosityOffByTwoTenthsPercentRecordsOneEntry) {
    zpkdouble::setReturn("StrLf", 1);
    zpkdouble::setHandler("StrLV", atFirstRow(0.0008537257 * 1.002));
    fixture().testWaterSteam2();
    EXPECT_EQ(entries(), std::vector<std::string>{"tIAPWS95()"});
}

TEST_F(WaterSteam, ViscosityOffByFiveHundredthsPercentPasses) {
    zpkdouble::setReturn("StrLf", 1);
    zpkdouble::setHandler("StrLV", atFirstRow(0.0008537257 * 1.0005));
    fixture().testWaterSteam2();
    EXPECT_EQ(errorText(), "");
}

TEST_F(WaterSteam, JouleThomsonFromTheLibraryInKelvinPerPascal) {
    zpkdouble::setReturn("StrLf", 1);
    zpkdouble::setHandler("StrLJT", atFirstRow(-0.22023655e-6));
    fixture().testWaterSteam2();
    EXPECT_EQ(errorText(), "");

    SetUp();
    zpkdouble::setReturn("StrLf", 1);
    zpkdouble::setHandler("StrLJT", atFirstRow(-0.22023655));
    fixture().testWaterSteam2();
    EXPECT_EQ(entries(), std::vector<std::string>{"tIAPWS95()"});
}

TEST_F(WaterSteam, OneEntryPerFailingRowAtMost) {
    zpkdouble::setReturn("StrLf", 1);
    for (const char* name : {"StrLD", "StrLCv", "StrLCp", "StrLSS", "StrLS", "StrLH", "StrLIC", "StrLJT",
                             "StrLV", "StrLC", "StrST"})
        zpkdouble::setReturn(name, 1e9);
    fixture().testWaterSteam2();
    EXPECT_EQ(entries(), std::vector<std::string>(11, "tIAPWS95()"));
    EXPECT_EQ(zpkdouble::count("setOp"), 12u);
}

TEST_F(WaterSteam, NeitherResetsNorChecksUnits) {
    zpkdouble::setReturn("getUMC", 13);
    fixture().testWaterSteam1();
    fixture().testWaterSteam2();
    EXPECT_EQ(zpkdouble::count("setUMC"), 0u);
    EXPECT_EQ(zpkdouble::count("getUMC"), 0u);
}

} // namespace
