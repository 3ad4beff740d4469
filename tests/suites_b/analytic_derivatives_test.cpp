// Analytic derivative procedures against the test double.  The double plays
// a smooth, thermodynamically consistent model (fugacities, enthalpy,
// entropy and volume with exact analytic derivatives); single outputs are then
// spoiled to see which checks catch them and how a sub-test reports.
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "battery_harness.h"

namespace {

using zpkdouble::Call;

constexpr double R = 8314.4;

// F_i = P exp(a_i x_i) (T / 300)^tExponent; H, S, V smooth in T, P, x.  The
// reference slot (2) returns H - HR and S - SR, the values whose difference to
// the model is the residual of the fugacities, as an ideal-gas model would.
struct SmoothModel {
    double a[4] = {0.5, -0.3, 0.8, 0.2};
    double b[4] = {100, 200, 300, 400};
    double tExponent = 1;

    // Spoilers of the analytic outputs (1 = exact).
    double dFdxScale = 1;
    double dFdTScale = 1;
    double dHdxScale = 1;
    double enthalpyOffset = 0; // added to the model's enthalpy, not to the reference

    // Compositions seen by StrFvd, per call: phase and x.
    std::vector<std::pair<int, std::vector<double>>> fugacityCalls;
    int n = 3;

    double sum(const double* x) const {
        double s = 0;
        for (int i = 0; i < n; ++i)
            s += x[i];
        return s;
    }
    double F(int i, double T, double P, const double* x) const {
        return P * std::exp(a[i] * x[i]) * std::pow(T / 300, tExponent);
    }
    double H(double T, double P, const double* x) const {
        double h = 30 * T + 1e-3 * P;
        for (int i = 0; i < n; ++i)
            h += b[i] * x[i];
        return h;
    }
    double HR(double T, const double* x) const { return -R * T * tExponent * sum(x) / 1000; }
    double S(double T, double P, const double* x) const {
        double s = 30 * std::log(T) - 0.5 * std::log(P);
        for (int i = 0; i < n; ++i)
            s += b[i] * x[i] / 100;
        return s;
    }
    double SR(double T, const double* x) const {
        double s = 0;
        for (int i = 0; i < n; ++i)
            s += x[i] * (tExponent + a[i] * x[i] + tExponent * std::log(T / 300));
        return -R * s / 1000;
    }
    double V(double T, double P, const double* x) const { return R * T * sum(x) / P; }

    void install() {
        using zpkdouble::setHandler;
        setHandler("StrFvd", [this](const Call& c) {
            const double T = c.num[2], P = c.num[3];
            double* x = c.array<double>(0);
            double* F = c.array<double>(1);
            double* dFdT = c.array<double>(2);
            double* dFdP = c.array<double>(3);
            double** dFdx = c.array<double*>(4);
            fugacityCalls.emplace_back(static_cast<int>(c.num[1]), std::vector<double>(x, x + n));
            for (int i = 0; i < n; ++i) {
                F[i] = this->F(i, T, P, x);
                dFdT[i] = dFdTScale * tExponent * F[i] / T;
                dFdP[i] = F[i] / P;
                for (int m = 0; m < n; ++m)
                    dFdx[m][i] = m == i ? dFdxScale * a[i] * F[i] : 0;
            }
            return 1.0;
        });
        setHandler("StrFv", [this](const Call& c) {
            double* x = c.array<double>(0);
            double* F = c.array<double>(1);
            for (int i = 0; i < n; ++i)
                F[i] = this->F(i, c.num[2], c.num[3], x);
            return 1.0;
        });
        setHandler("StrHvd", [this](const Call& c) {
            const double T = c.num[2], P = c.num[3];
            double* x = c.array<double>(0);
            *c.array<double>(1) = H(T, P, x) + enthalpyOffset;
            *c.array<double>(2) = 30;
            *c.array<double>(3) = 1e-3;
            for (int m = 0; m < n; ++m)
                c.array<double>(4)[m] = dHdxScale * b[m];
            return 1.0;
        });
        setHandler("StrHv", [this](const Call& c) {
            const double T = c.num[2], P = c.num[3];
            double* x = c.array<double>(0);
            *c.array<double>(1) = c.num[0] == 2 ? H(T, P, x) - HR(T, x) : H(T, P, x) + enthalpyOffset;
            return 1.0;
        });
        setHandler("StrSvd", [this](const Call& c) {
            const double T = c.num[2], P = c.num[3];
            double* x = c.array<double>(0);
            *c.array<double>(1) = S(T, P, x);
            *c.array<double>(2) = 30 / T;
            *c.array<double>(3) = -0.5 / P;
            for (int m = 0; m < n; ++m)
                c.array<double>(4)[m] = b[m] / 100;
            return 1.0;
        });
        setHandler("StrSv", [this](const Call& c) {
            const double T = c.num[2], P = c.num[3];
            double* x = c.array<double>(0);
            *c.array<double>(1) = c.num[0] == 2 ? S(T, P, x) - SR(T, x) : S(T, P, x);
            return 1.0;
        });
        setHandler("StrVvd", [this](const Call& c) {
            const double T = c.num[2], P = c.num[3];
            double* x = c.array<double>(0);
            *c.array<double>(1) = V(T, P, x);
            *c.array<double>(2) = R * sum(x) / P;
            *c.array<double>(3) = -R * T * sum(x) / (P * P);
            for (int m = 0; m < n; ++m)
                c.array<double>(4)[m] = R * T / P;
            return 1.0;
        });
        setHandler("StrVv", [this](const Call& c) {
            *c.array<double>(1) = V(c.num[2], c.num[3], c.array<double>(0));
            return 1.0;
        });
    }
};

class AnalyticDerivativesTest : public suitesb::BatteryTest {
  protected:
    void SetUp() override {
        BatteryTest::SetUp();
        model.install();
        zpkdouble::setReturn("setMP", 1);
        zpkdouble::setReturn("isSDef", 1);
        zpkdouble::setReturn("LfPF", 300);
        zpkdouble::setHandler("getX", [](const std::vector<double>& a) { return liquid[int(a[1]) - 1]; });
        zpkdouble::setHandler("getY", [](const std::vector<double>& a) { return vapour[int(a[1]) - 1]; });
    }

    static constexpr double liquid[4] = {0.2, 0.3, 0.4, 0.1};
    static constexpr double vapour[4] = {0.6, 0.25, 0.1, 0.05};
    SmoothModel model;

    // The message format ends with a blank of its own.
    static std::string failure(const char* name) {
        return std::string("Error executing tDProp() , model : ") + name + " ";
    }
};

TEST_F(AnalyticDerivativesTest, ConsistentModelPassesAndStaysOnItsStreams) {
    fixture->tDProp(50, 50, 3, 1e-5, 0.001, "PR VDW");
    EXPECT_TRUE(messages().empty());
    // Both phases ran all four groups, liquid first.
    ASSERT_EQ(model.fugacityCalls.size(), 2u);
    EXPECT_EQ(model.fugacityCalls[0].first, 1);
    EXPECT_EQ(model.fugacityCalls[1].first, 0);
    EXPECT_EQ(zpkdouble::count("StrHvd"), 2u);
    EXPECT_EQ(zpkdouble::count("StrSvd"), 2u);
    EXPECT_EQ(zpkdouble::count("StrVvd"), 2u);
    for (const char* name : {"initS", "setWm", "setMP", "putZ", "putCC", "setS", "LfPF", "getX", "getY"})
        EXPECT_EQ(callsOffOwnStreams(name), 0u) << name;
    const auto copy = zpkdouble::calls("StrCopy");
    ASSERT_EQ(copy.size(), 1u);
    EXPECT_EQ(copy[0].num, (std::vector<double>{base + 2, base + 1}));
    const auto slots = zpkdouble::calls("DPinit");
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_EQ(slots[0].num, (std::vector<double>{1, base + 1}));
    EXPECT_EQ(slots[1].num, (std::vector<double>{2, base + 2}));
}

TEST_F(AnalyticDerivativesTest, RejectedModelWithAcceptedFallbackFailsWithoutAnyComparison) {
    zpkdouble::setHandler("setMP", [](const std::vector<double>& a) { return a[3] == 130 ? 0.0 : 1.0; });
    fixture->tDProp(130, 1, 2, 1e-4, 0.05, "UNIFAC");
    EXPECT_EQ(messages(), std::vector<std::string>{failure("UNIFAC")});
    EXPECT_EQ(zpkdouble::count("StrFvd") + zpkdouble::count("StrHvd") + zpkdouble::count("StrSvd") +
                  zpkdouble::count("StrVvd"),
              0u);
    // Each of the eight pairs was offered the fallback.
    int fallbacks = 0;
    for (const Call& c : zpkdouble::calls("setMP"))
        if (c.num[0] == base + 1 && c.num[3] == 1) ++fallbacks;
    EXPECT_EQ(fallbacks, 8);
}

TEST_F(AnalyticDerivativesTest, GroupWithRejectedModelIsSkippedOthersRun) {
    // Enthalpy is served only by the fallback; the model's analytic enthalpy
    // would fail if it were read.
    zpkdouble::setHandler("setMP",
                          [](const std::vector<double>& a) { return a[1] == 2 && a[3] == 12 ? 0.0 : 1.0; });
    model.dHdxScale = 2;
    fixture->tDProp(12, 1, 2, 1e-5, 0.05, "UNIQUAC");
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(zpkdouble::count("StrHvd"), 0u);
    EXPECT_EQ(zpkdouble::count("StrFvd"), 2u);
    EXPECT_EQ(zpkdouble::count("StrSvd"), 2u);
    EXPECT_EQ(zpkdouble::count("StrVvd"), 2u);
}

TEST_F(AnalyticDerivativesTest, ConsistencyCheckNeedsToleranceAndResidual) {
    model.enthalpyOffset = 100; // (H - H0) / HR - 1 is about -0.04 (HR about -2494)
    fixture->tDProp(91, 91, 3, 1e-4, 0.001, "LKP");
    EXPECT_EQ(messages(), std::vector<std::string>{failure("LKP")});
    // It ended in the liquid enthalpy group.
    EXPECT_EQ(zpkdouble::count("StrHvd"), 1u);
    EXPECT_EQ(zpkdouble::count("StrSvd"), 0u);

    // d = 0 switches the consistency checks off.
    errorText.fill('\0');
    model.n = 4;
    fixture->tDProp(315, 315, 6, 1e-4, 0, "GERG 2008");
    EXPECT_TRUE(messages().empty());

    // Temperature-free fugacities give HR = 0: the enthalpy check is skipped
    // while the entropy check (SR not 0) still runs and passes.
    model.n = 3;
    model.tExponent = 0;
    fixture->tDProp(91, 91, 3, 1e-4, 0.001, "LKP");
    EXPECT_TRUE(messages().empty());
}

TEST_F(AnalyticDerivativesTest, CompositionsAreRaisedToFivePercentThenNormalised) {
    zpkdouble::setHandler("getX", zpkdouble::Handler());
    zpkdouble::setHandler("getY", zpkdouble::Handler());
    zpkdouble::setReturnSequence("getX", {0.01, 0.49, 0.5});
    zpkdouble::setReturnSequence("getY", {0.2, 0.02, 0.78});
    fixture->tDProp(50, 50, 3, 1e-5, 0.001, "PR VDW");
    EXPECT_TRUE(messages().empty());
    ASSERT_EQ(model.fugacityCalls.size(), 2u);
    const std::vector<double>& x = model.fugacityCalls[0].second;
    EXPECT_DOUBLE_EQ(x[0], 0.05 / 1.04);
    EXPECT_DOUBLE_EQ(x[1], 0.49 / 1.04);
    EXPECT_DOUBLE_EQ(x[2], 0.5 / 1.04);
    const std::vector<double>& y = model.fugacityCalls[1].second;
    EXPECT_DOUBLE_EQ(y[0], 0.2 / 1.03);
    EXPECT_DOUBLE_EQ(y[1], 0.05 / 1.03);
    EXPECT_DOUBLE_EQ(y[2], 0.78 / 1.03);
}

TEST_F(AnalyticDerivativesTest, SubTestStopsAtItsFirstFailure) {
    model.dFdxScale = 1.001; // composition derivatives of F off by 0.1 %
    fixture->tDProp(51, 51, 3, 1e-5, 0.001, "PRX VDW");
    EXPECT_EQ(messages(), std::vector<std::string>{failure("PRX VDW")});
    // Stopped after the first composition pair of the liquid fugacity group.
    EXPECT_EQ(zpkdouble::count("StrFv"), 2u);
    EXPECT_EQ(zpkdouble::count("StrHvd"), 0u);
    EXPECT_EQ(zpkdouble::count("LfPF"), 1u);
}

TEST_F(AnalyticDerivativesTest, ZeroLibraryResultFailsAtOnce) {
    zpkdouble::setReturn("StrFv", 0);
    zpkdouble::setHandler("StrFv", zpkdouble::Handler());
    fixture->tDProp(30, 30, 3, 1e-5, 0.001, "SRK VDW");
    EXPECT_EQ(messages(), std::vector<std::string>{failure("SRK VDW")});
    EXPECT_EQ(zpkdouble::count("StrFv"), 1u);
}

TEST_F(AnalyticDerivativesTest, InfiniteQuotientFailsUndefinedQuotientPasses) {
    // Temperature-free fugacities: analytic and numerical dF/dT both 0 give
    // 0/0, which passes.
    model.tExponent = 0;
    fixture->tDProp(1, 1, 1, 1e-5, 0, "Regular");
    EXPECT_TRUE(messages().empty());
    // Reporting dF/dT = 0 for fugacities that do depend on T divides by 0.
    model.tExponent = 1;
    model.dFdTScale = 0;
    fixture->tDProp(1, 1, 1, 1e-5, 0, "Regular");
    EXPECT_EQ(messages(), std::vector<std::string>{failure("Regular")});
}

TEST_F(AnalyticDerivativesTest, CaseFourNeedsDefinedStreamAndPositiveTemperature) {
    model.n = 4;
    zpkdouble::setReturn("isSDef", 0);
    fixture->tDProp(60, 60, 4, 1e-4, 0.005, "PR NRTL P-HV");
    EXPECT_EQ(messages(), std::vector<std::string>{failure("PR NRTL P-HV")});
    EXPECT_EQ(zpkdouble::count("LfPF"), 0u);

    zpkdouble::reset();
    model.install();
    zpkdouble::setReturn("setMP", 1);
    zpkdouble::setReturn("isSDef", 1);
    zpkdouble::setReturn("LfPF", 0.5);
    fixture->tDProp(70, 70, 4, 1e-4, 0.005, "PR NRTL P-LCVM");
    EXPECT_EQ(messages(), (std::vector<std::string>{failure("PR NRTL P-HV"), failure("PR NRTL P-LCVM")}));
    EXPECT_EQ(zpkdouble::count("getX"), 0u);
    // Other cases do not look at the temperature: T = 0.5 runs the groups.
    zpkdouble::setReturn("getX", 0.25);
    zpkdouble::setReturn("getY", 0.25);
    fixture->tDProp(61, 61, 5, 1e-4, 0.005, "PR Wilson P-HV");
    EXPECT_EQ(messages().size(), 2u);
    EXPECT_EQ(zpkdouble::count("StrFvd"), 2u);
}

TEST_F(AnalyticDerivativesTest, SolidChecksTemperatureLooserThanCompositionAndPressure) {
    model.n = 2;
    fixture->tDPropSolid(150, 150, "SPRNHV");
    EXPECT_TRUE(messages().empty());
    ASSERT_EQ(model.fugacityCalls.size(), 1u);
    EXPECT_EQ(model.fugacityCalls[0].first, 2);

    model.dFdTScale = 1.005; // within the temperature tolerance 0.01
    fixture->tDPropSolid(150, 150, "SPRNHV");
    EXPECT_TRUE(messages().empty());

    model.dFdTScale = 1;
    model.dFdxScale = 1.005; // outside the composition tolerance 0.001
    fixture->tDPropSolid(151, 151, "SPRCPANHV");
    EXPECT_EQ(messages(), std::vector<std::string>{failure("SPRCPANHV")});
}

TEST_F(AnalyticDerivativesTest, HydrateSkipsNegativeCompositionDerivativesOfFugacity) {
    model.n = 4;
    fixture->tDPropHydrate(171, 1e-5, "HPRNHV_M");
    EXPECT_TRUE(messages().empty());
    ASSERT_EQ(model.fugacityCalls.size(), 1u);
    EXPECT_EQ(model.fugacityCalls[0].first, 3);

    // Decreasing fugacities (N / F+ below 0.001) are not compared, however
    // wrong the analytic value.
    for (double& a : model.a)
        a = -1;
    model.dFdxScale = 3;
    fixture->tDPropHydrate(171, 1e-5, "HPRNHV_M");
    EXPECT_TRUE(messages().empty());

    for (double& a : model.a)
        a = 1;
    fixture->tDPropHydrate(170, 1e-5, "HPRCPANHV_M");
    EXPECT_EQ(messages(), std::vector<std::string>{failure("HPRCPANHV_M")});
}

TEST_F(AnalyticDerivativesTest, HydrateComparesEnthalpyCompositionOnlyWhereItMoves) {
    model.n = 4;
    for (double& b : model.b)
        b = 0; // numerical dH/dx = 0: not compared
    model.dHdxScale = 5;
    fixture->tDPropHydrate(171, 1e-5, "HPRNHV_M");
    EXPECT_TRUE(messages().empty());
}

TEST_F(AnalyticDerivativesTest, ThirtyOneFailingSubTestsGiveOneMessageEachInOrder) {
    zpkdouble::reset(); // every library call returns 0
    fixture->testAnalyticDerivatives();
    const std::vector<std::string> expected = {"LKP",
                                               "BWRS",
                                               "PR Wilson MHV2",
                                               "PR NRTL MHV2",
                                               "PR UNIQUAC MHV2",
                                               "UNIFAC",
                                               "PR Wilson WS",
                                               "PR NRTL WS",
                                               "PR UNIQUAC WS",
                                               "UNIQUAC",
                                               "NRTL",
                                               "Wilson",
                                               "GERG 2008",
                                               "PR NRTL P-HV",
                                               "PR Wilson P-HV",
                                               "PR UNIQUAC P-HV",
                                               "PR UNIQUAC P-LCVM",
                                               "PR Wilson P-LCVM",
                                               "PR NRTL P-LCVM",
                                               "SSPRNHV",
                                               "SPRNHV",
                                               "SPRCPANHV",
                                               "HPRNHV_M",
                                               "HPRCPANHV_M",
                                               "PR VDW",
                                               "SRK VDW",
                                               "PRX VDW",
                                               "Regular"};
    // The three CPA consistency sub-tests (20 to 22) report in their own form.
    std::vector<std::string> own;
    std::size_t cpaAt = 0, cpaCount = 0;
    const std::vector<std::string> all = messages();
    for (std::size_t k = 0; k < all.size(); ++k) {
        const std::string prefix = "Error executing tDProp() , model : ";
        if (all[k].rfind(prefix, 0) == 0) {
            EXPECT_EQ(all[k].back(), ' ');
            own.push_back(all[k].substr(prefix.size(), all[k].size() - prefix.size() - 1));
        } else {
            EXPECT_EQ(all[k].rfind("Error executing DCPA() ", 0), 0u) << all[k];
            if (cpaCount++ == 0) cpaAt = k;
        }
    }
    EXPECT_EQ(own, expected);
    EXPECT_EQ(all.size(), 31u);
    EXPECT_EQ(cpaCount, 3u);
    EXPECT_EQ(cpaAt, 19u);
}

} // namespace
