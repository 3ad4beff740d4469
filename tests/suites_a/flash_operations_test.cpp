// Flash operation procedures against the recording double.
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

#include "suite_harness.h"
#include "zpk/zpk.h"

namespace {

using zpkdouble::Call;

// A consistent stand-in for the library: a stream's enthalpy is its
// temperature times its mass flow, flashes reach their targets exactly and
// mixing adds enthalpies and flows.
class EnthalpyWorld {
  public:
    void install() {
        auto self = state_;
        zpkdouble::setHandler("setWm", [self](const Call& c) {
            (*self)[id(c)].flow = c.num[1];
            return 1.0;
        });
        zpkdouble::setHandler("setOp", [self](const Call& c) {
            (*self)[id(c)].T = c.num[1];
            return 1.0;
        });
        zpkdouble::setHandler("LfPF", [self](const Call& c) {
            (*self)[id(c)].T = 250;
            return 250.0;
        });
        zpkdouble::setHandler("StrH", [self](const Call& c) {
            const Stream& s = (*self)[id(c)];
            return ++strHCalls == perturbedStrHCall ? s.T * s.flow * 1.01 : s.T * s.flow;
        });
        zpkdouble::setHandler("getT", [self](const Call& c) { return (*self)[id(c)].T; });
        zpkdouble::setHandler("MixF", [self](const Call& c) {
            Stream a = (*self)[static_cast<int>(c.num[1])];
            Stream b = (*self)[static_cast<int>(c.num[2])];
            Stream& out = (*self)[static_cast<int>(c.num[0])];
            out.flow = a.flow + b.flow;
            out.T = (a.T * a.flow + b.T * b.flow) / out.flow;
            return 1.0;
        });
        zpkdouble::setHandler("HPF", [self](const Call& c) {
            Stream& s = (*self)[id(c)];
            double target = c.num[2];
            if (c.num[1] == 7000000) target *= relativeErrorAt7MPa;
            s.T = target / s.flow;
            return s.T;
        });
    }
    // Enthalpy error of the HPF flashes to 7 MPa (the pure nitrogen case).
    static inline double relativeErrorAt7MPa = 1.0;
    // The StrH call (counted from 1) that reads 1 % too much; 0 for none.
    static inline int perturbedStrHCall = 0;
    static inline int strHCalls = 0;

  private:
    struct Stream {
        double flow = 1, T = 300;
    };
    static int id(const Call& c) { return static_cast<int>(c.num[0]); }
    std::shared_ptr<std::map<int, Stream>> state_ = std::make_shared<std::map<int, Stream>>();
};

class FlashOperations : public SuiteTest {
  protected:
    void SetUp() override {
        SuiteTest::SetUp();
        EnthalpyWorld::relativeErrorAt7MPa = 1.0;
        EnthalpyWorld::perturbedStrHCall = 0;
        EnthalpyWorld::strHCalls = 0;
    }
};

TEST_F(FlashOperations, ExactEnthalpyFlashesAndMixingRecordNothing) {
    EnthalpyWorld().install();
    fixture().testFlashH();
    EXPECT_EQ(errorText(), "");
    EXPECT_EQ(zpkdouble::count("MixF"), 2u);
}

TEST_F(FlashOperations, PureHpfDeviationOfTwoPartsIn1e5IsRecordedOnce) {
    EnthalpyWorld world;
    world.install();
    EnthalpyWorld::relativeErrorAt7MPa = 1 + 2e-5;
    fixture().testFlashH();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error testing HPF() Pure"});
}

TEST_F(FlashOperations, PureHpfWithinToleranceRecordsNothing) {
    EnthalpyWorld().install();
    EnthalpyWorld::relativeErrorAt7MPa = 1 + 0.9e-5;
    fixture().testFlashH();
    EXPECT_EQ(errorText(), "");
}

TEST_F(FlashOperations, ChangedUnitCodeIsRecordedByBothUnitChecks) {
    EnthalpyWorld().install();
    zpkdouble::setHandler("getUMC", [](const std::vector<double>& a) { return a[0] == 17 ? 13.0 : 1.0; });
    fixture().testFlashH();
    EXPECT_EQ(entries(), (std::vector<std::string>{"error checking UM", "error checking UM"}));
}

TEST_F(FlashOperations, EntryFormatOfTheMixingBalance) {
    EnthalpyWorld().install();
    // The mixed stream reads 1 % too much enthalpy after the last setOp (the
    // eleventh StrH call: two per return test, then hA, hB, the unused read
    // after the first mixing, hC and hM).
    EnthalpyWorld::perturbedStrHCall = 11;
    fixture().testFlashH();
    EXPECT_EQ(errorText(), "\r\ncycle 1 Error testing Mix ");
}

TEST_F(FlashOperations, VolumeFlashReturnTestsNameFluidKind) {
    zpkdouble::setReturn("LfPF", 373.0);
    zpkdouble::setReturn("VPF", 373.0 * (1 + 2e-5));
    fixture().testFlashV();
    EXPECT_EQ(entries(), (std::vector<std::string>{"Error testing VPF() Pure", "Error testing VPF() Pure",
                                                   "Error testing VPF() Mixture"}));
}

TEST_F(FlashOperations, NaNResultsNeverFailTheEntropyChecks) {
    zpkdouble::setReturn("StrS", std::nan(""));
    fixture().testFlashS();
    EXPECT_EQ(errorText(), "");
}

// testFlashMixed with every library result chosen so that nothing fails.
class FlashMixed : public SuiteTest {
  protected:
    void SetUp() override {
        SuiteTest::SetUp();
        zpkdouble::setReturn("StrPc", 5000000);
        zpkdouble::setReturn("StrMw", 20);
        zpkdouble::setReturn("StrTc", 300);
        zpkdouble::setReturn("PfPF", 300);
        zpkdouble::setReturn("HPF", 300);
        zpkdouble::setReturn("StrFvd", 1);
        zpkdouble::setReturn("StrHvd", 1);
        zpkdouble::setReturn("StrSvd", 1);
    }
    // Pressures of the ten first-case passes, as given to PfPF.
    static std::vector<double> pfpfPressures() {
        std::vector<double> out;
        for (const Call& c : zpkdouble::calls("PfPF"))
            out.push_back(c.num[1]);
        return out;
    }
};

TEST_F(FlashMixed, QuietLibraryRecordsNothing) {
    fixture().testFlashMixed();
    EXPECT_EQ(errorText(), "");
    EXPECT_EQ(zpkdouble::count("HPF"), 10u + 99u);
    EXPECT_EQ(zpkdouble::count("VPF"), 99u);
    EXPECT_EQ(zpkdouble::count("SPF"), 99u);
    EXPECT_EQ(zpkdouble::count("getUMC"), 0u) << "no unit check at the end";
}

TEST_F(FlashMixed, LowCriticalPressureIsRecordedAndThePassesStillRun) {
    zpkdouble::setReturn("StrPc", 900000);
    fixture().testFlashMixed();
    EXPECT_EQ(entries(), std::vector<std::string>{"CASE_21 first case, pc 900000"});
    const auto P = pfpfPressures();
    ASSERT_EQ(P.size(), 10u);
    EXPECT_EQ(P.front(), 100000);
    EXPECT_NEAR(P.back(), 0.99 * 900000, 1e-6);
}

TEST_F(FlashMixed, FailedPhaseFlashRecordsOnlyItsOwnMessage) {
    int pass = 0;
    zpkdouble::setHandler("PfPF", [&pass](const Call&) { return ++pass == 3 ? 0.5 : 300.0; });
    fixture().testFlashMixed();
    const double P3 = pfpfPressures().at(2);
    char expected[100];
    std::snprintf(expected, sizeof expected, "CASE_21 first case, PfPF() P = %g", P3);
    EXPECT_EQ(entries(), std::vector<std::string>{expected});
    EXPECT_EQ(zpkdouble::count("HPF"), 9u + 99u);
}

TEST_F(FlashMixed, EnthalpyRebuiltFromKeptPhasesPerUnitMass) {
    zpkdouble::setReturn("getPNr", 3);
    // Phase 2 is absent; phases 1 and 3 hold a quarter and three quarters.
    zpkdouble::setHandler("StrPf", [](const std::vector<double>& a) {
        return a[1] == 1 ? 0.25 : a[1] == 2 ? 0 : 0.75;
    });
    zpkdouble::setReturn("StrPt", 1);
    zpkdouble::setReturn("StrMw", 20);
    zpkdouble::setHandler("StrHvd", [](const Call& c) {
        *c.array<double>(1) = 1000; // the phase enthalpy
        return 1.0;
    });
    zpkdouble::setReturn("HPF", 300 * (1 + 2e-3)); // every first-case return misses
    fixture().testFlashMixed();
    const auto hpf = zpkdouble::calls("HPF");
    ASSERT_GE(hpf.size(), 1u);
    EXPECT_DOUBLE_EQ(hpf[0].num[2], (1000 * 0.25 + 1000 * 0.75) / 20);
    // Per pass: 1 StrHvd for each kept phase; one more in the second case.
    EXPECT_EQ(zpkdouble::count("StrHvd"), 10u * 2u + 1u);
    char expected[100];
    std::snprintf(expected, sizeof expected, "CASE_21 first case, HPF ; pt %i ; H %g ; t1 %g", 1, 50.0,
                  300 * (1 + 2e-3));
    ASSERT_EQ(entries().size(), 10u);
    EXPECT_EQ(entries()[0], expected);
}

TEST_F(FlashMixed, AbsentPhasesGiveAZeroEnthalpyTarget) {
    zpkdouble::setReturn("getPNr", 2);
    zpkdouble::setReturn("StrPf", 0);
    fixture().testFlashMixed();
    const auto hpf = zpkdouble::calls("HPF");
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(hpf.at(i).num[2], 0.0);
}

TEST_F(FlashMixed, EveryFailingReturnPassIsRecordedUpToTheTextLimit) {
    double h = 0, v = 0, s = 0;
    zpkdouble::setHandler("StrH", [&h](const Call&) { return h += 1; });
    zpkdouble::setHandler("StrV", [&v](const Call&) { return v += 1; });
    zpkdouble::setHandler("StrS", [&s](const Call&) { return s += 1; });
    fixture().testFlashMixed();
    EXPECT_EQ(entryCount("Error executing CASE_21 HPF methods"), 99u);
    EXPECT_EQ(entryCount("Error executing CASE_21 VPF methods"), 99u);
    const std::size_t spf = entryCount("Error executing CASE_21 SPF methods");
    EXPECT_GT(spf, 0u);
    EXPECT_LT(spf, 99u);
    EXPECT_GE(errorText().size(), static_cast<std::size_t>(testcode::errorTextLimit));
    EXPECT_LT(errorText().size(), static_cast<std::size_t>(testcode::errorTextSize));
}

TEST_F(FlashMixed, FailingDirectPropertyFunctionsAreEachRecorded) {
    zpkdouble::setReturn("StrFvd", 0);
    zpkdouble::setReturn("StrSvd", 0);
    fixture().testFlashMixed();
    EXPECT_EQ(entries(), (std::vector<std::string>{"Error executing CASE_21 StrFvd method",
                                                   "Error executing CASE_21 StrSvd method"}));
}

} // namespace
