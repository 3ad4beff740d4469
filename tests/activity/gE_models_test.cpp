// Excess Gibbs energy models: closed-form infinite-dilution limits, a
// published UNIFAC example, Gibbs-Duhem consistency, symmetry and accuracy of
// the automatic derivatives against finite differences, pure-component limits.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "models/activity.h"

using namespace zpk::models;

namespace {

constexpr double R = kR;

ActivityParams binary(ActivityKind kind, double a12, double a21, double alpha = 0.3) {
    ActivityParams p;
    p.kind = kind;
    p.n = 2;
    p.a = {0, a12, a21, 0};
    p.b = {0, 0, 0, 0};
    p.alpha = {alpha, alpha, alpha, alpha};
    p.vol = {18e-6, 40e-6};
    p.r = {0.92, 1.4311};
    p.q = {1.4, 1.432};
    return p;
}

ActivityParams ternaryNrtl() {
    ActivityParams p;
    p.kind = ActivityKind::NRTL;
    p.n = 3;
    p.a = {0, -200, 1500, 500, 0, 2500, 900, 3000, 0};
    p.b = {0, 1, 0, -2, 0, 0.37, 0, 0, 0};
    p.alpha = {0.3, 0.3, 0.2, 0.3, 0.3, 0.47, 0.2, 0.47, 0.3};
    p.vol = {106e-6, 18e-6, 131e-6};
    return p;
}

ActivityParams ternaryOf(ActivityKind kind) {
    ActivityParams p = ternaryNrtl();
    p.kind = kind;
    p.r = {3.9228, 0.92, 4.4998};
    p.q = {2.968, 1.4, 3.856};
    return p;
}

ActivityParams unifacFor(std::vector<long> cas) {
    ModelInputs in;
    for (long c : cas) {
        in.pure.push_back({500, 4e6, 0.3, 50, 0});
        in.cas.push_back(c);
    }
    return buildActivityParams(ActivityKind::UNIFAC, in);
}

std::vector<double> lng(const ActivityParams& p, double T, std::vector<double> x) {
    std::vector<double> g(p.n);
    lnGamma(p, T, x.data(), g.data());
    return g;
}

} // namespace

TEST(GExcessLimits, NrtlInfiniteDilutionMatchesClosedForm) {
    const double T = 340, a12 = 1200, a21 = 3500, alpha = 0.3;
    const auto p = binary(ActivityKind::NRTL, a12, a21, alpha);
    const double t12 = a12 / (R * T), t21 = a21 / (R * T);
    // ln gamma_1 (x1 -> 0) = tau_21 + tau_12 exp(-alpha tau_12)
    EXPECT_NEAR(lng(p, T, {0, 1})[0], t21 + t12 * std::exp(-alpha * t12), 1e-12);
    EXPECT_NEAR(lng(p, T, {1, 0})[1], t12 + t21 * std::exp(-alpha * t21), 1e-12);
}

TEST(GExcessLimits, WilsonInfiniteDilutionMatchesClosedForm) {
    const double T = 330, a12 = 800, a21 = 2400;
    const auto p = binary(ActivityKind::Wilson, a12, a21);
    const double L12 = p.vol[1] / p.vol[0] * std::exp(-a12 / (R * T));
    const double L21 = p.vol[0] / p.vol[1] * std::exp(-a21 / (R * T));
    EXPECT_NEAR(lng(p, T, {0, 1})[0], 1 - std::log(L12) - L21, 1e-12);
    EXPECT_NEAR(lng(p, T, {1, 0})[1], 1 - std::log(L21) - L12, 1e-12);
}

TEST(GExcessLimits, PureComponentsAreIdealInEveryModel) {
    for (auto kind : {ActivityKind::Wilson, ActivityKind::NRTL, ActivityKind::UNIQUAC}) {
        const auto p = ternaryOf(kind);
        for (int i = 0; i < 3; ++i) {
            std::vector<double> x(3, 0.0);
            x[i] = 1;
            EXPECT_NEAR(lng(p, 350, x)[i], 0.0, 1e-12) << static_cast<int>(kind) << " component " << i;
        }
    }
}

TEST(GExcessLimits, ZeroParametersAreIdealExceptUniquacCombinatorialPart) {
    for (auto kind : {ActivityKind::Wilson, ActivityKind::NRTL}) {
        auto p = binary(kind, 0, 0);
        p.vol = {30e-6, 30e-6}; // Wilson: equal volumes
        for (double g : lng(p, 300, {0.3, 0.7}))
            EXPECT_NEAR(g, 0.0, 1e-14);
    }
    // UNIQUAC of equal molecules (r = q) without interaction is ideal...
    auto p = binary(ActivityKind::UNIQUAC, 0, 0);
    p.r = {2, 2};
    p.q = {1.5, 1.5};
    for (double g : lng(p, 300, {0.3, 0.7}))
        EXPECT_NEAR(g, 0.0, 1e-14);
    // ...and of molecules of different size gives a negative combinatorial gE.
    p.r = {1, 5};
    p.q = {1, 4};
    EXPECT_LT(reducedExcessGibbs(p, 300, std::vector<double>{0.5, 0.5}.data()), 0.0);
}

// Smith, Van Ness and Abbott, Introduction to Chemical Engineering
// Thermodynamics (7th ed.), Example H.1: acetone(1)/n-pentane(2) at 307 K,
// x1 = 0.047: gamma1 = 4.992, gamma2 = 1.005 (original UNIFAC).
TEST(Unifac, AcetonePentaneTextbookExample) {
    const auto p = unifacFor({67641, 109660});
    ASSERT_EQ(p.groups, 3);
    const auto g = lng(p, 307, {0.047, 0.953});
    EXPECT_NEAR(std::exp(g[0]), 4.992, 0.03);
    EXPECT_NEAR(std::exp(g[1]), 1.005, 0.002);
}

TEST(Unifac, MethanolWaterIsModeratelyNonIdealAndAlkaneWaterStrongly) {
    const auto mw = unifacFor({67561, 7732185});
    const auto g = lng(mw, 340, {0.5, 0.5});
    EXPECT_GT(g[0], 0.0);
    EXPECT_LT(g[0], 0.5);
    const auto hw = unifacFor({110543, 7732185});
    EXPECT_GT(lng(hw, 340, {0.01, 0.99})[0], 5.0); // hexane nearly insoluble in water
}

TEST(Unifac, ComponentWithoutGroupsIsRejected) {
    EXPECT_THROW(unifacFor({67561, 999999999}), std::exception);
}

class GExcessDerivatives : public ::testing::TestWithParam<ActivityKind> {};

TEST_P(GExcessDerivatives, GibbsDuhemAndSymmetry) {
    const auto p =
        GetParam() == ActivityKind::UNIFAC ? unifacFor({108883, 7732185, 110543}) : ternaryOf(GetParam());
    const std::vector<double> x = {0.2, 0.5, 0.3};
    std::vector<double> g(3), dT(3), dn(9);
    lnGamma(p, 345, x.data(), g.data(), dT.data(), dn.data());
    for (int j = 0; j < 3; ++j) {
        double s = 0;
        for (int i = 0; i < 3; ++i)
            s += x[i] * dn[i * 3 + j];
        EXPECT_NEAR(s, 0.0, 1e-12) << "Gibbs-Duhem, n_" << j;
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(dn[i * 3 + j], dn[j * 3 + i], 1e-12);
    }
}

TEST_P(GExcessDerivatives, MatchFiniteDifferences) {
    const auto p =
        GetParam() == ActivityKind::UNIFAC ? unifacFor({108883, 7732185, 110543}) : ternaryOf(GetParam());
    const double T = 345;
    std::vector<double> x = {0.2, 0.5, 0.3};
    std::vector<double> g(3), dT(3), dn(9), gp(3), gm(3);
    lnGamma(p, T, x.data(), g.data(), dT.data(), dn.data());
    const double hT = 1e-3;
    lnGamma(p, T + hT, x.data(), gp.data());
    lnGamma(p, T - hT, x.data(), gm.data());
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(dT[i], (gp[i] - gm[i]) / (2 * hT), 1e-7 * (1 + std::fabs(dT[i])));
    for (int j = 0; j < 3; ++j) {
        const double h = 1e-6;
        auto xp = x, xm = x;
        xp[j] += h;
        xm[j] -= h;
        lnGamma(p, T, xp.data(), gp.data());
        lnGamma(p, T, xm.data(), gm.data());
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(dn[i * 3 + j], (gp[i] - gm[i]) / (2 * h), 1e-6 * (1 + std::fabs(dn[i * 3 + j])));
    }
}

TEST_P(GExcessDerivatives, LnGammaIsPartialMolarExcessGibbs) {
    // ln gamma_i = d(n gE/RT)/dn_i: check by differencing n gE/RT.
    const auto p =
        GetParam() == ActivityKind::UNIFAC ? unifacFor({108883, 7732185, 110543}) : ternaryOf(GetParam());
    std::vector<double> n = {0.2, 0.5, 0.3}, g(3);
    lnGamma(p, 320, n.data(), g.data());
    for (int i = 0; i < 3; ++i) {
        const double h = 1e-6;
        auto np = n, nm = n;
        np[i] += h;
        nm[i] -= h;
        const double fp = (1 + h) * reducedExcessGibbs(p, 320, np.data());
        const double fm = (1 - h) * reducedExcessGibbs(p, 320, nm.data());
        EXPECT_NEAR(g[i], (fp - fm) / (2 * h), 1e-7);
    }
}

INSTANTIATE_TEST_SUITE_P(Models, GExcessDerivatives,
                         ::testing::Values(ActivityKind::Wilson, ActivityKind::NRTL, ActivityKind::UNIQUAC,
                                           ActivityKind::UNIFAC));

// With a cache key NRTL runs in closed form on the stored temperature tables;
// without one through the general number types.  Both must agree, with
// co-volume weights and van der Waals pairs (the Huron-Vidal form) and with
// absent components.
TEST(GExcessClosedForm, NrtlOnStoredTablesEqualsGeneralEvaluation) {
    ActivityParams p;
    p.kind = ActivityKind::NRTL;
    p.n = 4;
    p.a = {0, -200, 1500, 800, 500, 0, 2500, -300, 900, 3000, 0, 1200, 4000, 100, 700, 0};
    p.b = {0, 1, 0, 0.5, -2, 0, 0.37, 0, 0, 0, 0, 0, 1.5, 0, 0, 0};
    p.alpha = {0.3, 0.3, 0.2, 0.25, 0.3, 0.3, 0.47, 0.3, 0.2, 0.47, 0.3, 0.1, 0.25, 0.3, 0.1, 0.3};
    p.weight = {2.7e-5, 1.9e-5, 4.1e-5, 6.3e-5};
    auto& v = p.vdw;
    v.q = -0.62322524014023051;
    v.pair.assign(16, 0);
    v.pair[0 * 4 + 3] = v.pair[3 * 4 + 0] = 1; // the first and last component
    v.ac = {0.25, 0.6, 0.55, 1.9};
    v.m = {0.39, 0.87, 0.5, 0.95};
    v.tc = {190.6, 647.1, 304.1, 469.7};
    v.b = p.weight;
    v.k0.assign(16, 0.02);
    v.k1.assign(16, 1e-4);
    v.k2.assign(16, -3.0);
    const std::uint64_t key = newModelId();
    const std::vector<std::vector<double>> compositions = {
        {0.25, 0.25, 0.25, 0.25}, {0.9, 0.002, 0.05, 0.048}, {0.0, 0.7, 0.3, 0.0}, {3.0, 1.0, 0.5, 0.5}};
    for (double T : {250.0, 298.15, 371.3}) {
        for (const auto& x : compositions) {
            for (bool composition : {false, true}) {
                ExcessGibbs a, b;
                excessGibbs(p, T, x.data(), composition, a, key);
                excessGibbs(p, T, x.data(), composition, b, 0);
                auto near = [](double u, double w) { return std::abs(u - w) <= 1e-12 * (1 + std::abs(w)); };
                EXPECT_TRUE(near(a.g, b.g) && near(a.gT, b.gT) && (!composition || near(a.gTT, b.gTT))) << T;
                for (int i = 0; i < p.n; ++i)
                    EXPECT_TRUE(near(a.lng[i], b.lng[i]) && (!composition || (near(a.lngT[i], b.lngT[i]) &&
                                                                              near(a.lngTT[i], b.lngTT[i]))))
                        << "T " << T << " component " << i;
                ASSERT_EQ(a.lngN.size(), b.lngN.size());
                for (std::size_t q = 0; q < a.lngN.size(); ++q)
                    EXPECT_TRUE(near(a.lngN[q], b.lngN[q])) << "T " << T << " entry " << q;
            }
        }
    }
}
