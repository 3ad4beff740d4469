#include "models/lee_kesler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "eos_checks.h"
#include "models/factory.h"

namespace zpk::models {
namespace {

using testing::expectConsistency;
using testing::expectDerivatives;

const PureConstants kEthane{305.32, 4.872e6, 0.0995, 30.07, 0};
const PureConstants kPropane{369.83, 4.248e6, 0.1523, 44.1, 0};
const PureConstants kHexane{507.6, 3.025e6, 0.3013, 86.18, 0};

// A pure fluid with the given acentric factor; Tc = 400 K, Pc = 4 MPa.
LeeKeslerModel pure(double omega) {
    return LeeKeslerModel({{400.0, 4e6, omega, 100.0, 0}});
}

double zAt(const LeeKeslerModel& m, double Tr, double Pr, Root root) {
    PhaseProps p;
    const double x = 1.0;
    EXPECT_TRUE(m.evaluate(400.0 * Tr, 4e6 * Pr, &x, root, 0, p));
    return p.z;
}

TEST(LeeKeslerFluids, CompressibilityIsTheDensityDerivativeOfTheHelmholtzEnergy) {
    for (bool ref : {false, true})
        for (double Tr : {0.6, 1.0, 2.5})
            for (double Vr : {0.05, 0.3, 3.0}) {
                const double rho = 1.0 / Vr, h = 1e-6 * rho;
                const double da = (LeeKeslerModel::reducedHelmholtz(ref, Tr, 1.0 / (rho + h)) -
                                   LeeKeslerModel::reducedHelmholtz(ref, Tr, 1.0 / (rho - h))) /
                                  (2 * h);
                EXPECT_NEAR(1.0 + rho * da, LeeKeslerModel::reducedZ(ref, Tr, Vr), 1e-7);
            }
}

// Values of the Lee-Kesler tables of Z0 and Z1 (Lee & Kesler 1975).
TEST(LeeKeslerFluids, PureFluidsReproduceTheTables) {
    const LeeKeslerModel simple = pure(0.0), reference = pure(LeeKeslerModel::kOmegaRef);
    struct Row {
        double Tr, Pr, z0, z1;
        Root root;
    };
    const Row rows[] = {
        // At the critical point itself Z is most sensitive to the rounding
        // of the published constants.
        {1.0, 1.0, 0.2901, -0.0879, Root::Vapour},
    };
    for (const Row& r : rows) {
        const double z0 = zAt(simple, r.Tr, r.Pr, r.root);
        const double z1 = (zAt(reference, r.Tr, r.Pr, r.root) - z0) / LeeKeslerModel::kOmegaRef;
        EXPECT_NEAR(z0, r.z0, 2e-3) << r.Tr << " " << r.Pr;
        EXPECT_NEAR(z1, r.z1, 1e-2) << r.Tr << " " << r.Pr;
    }
}

// The acentric factor is defined by the vapour pressure at Tr = 0.7:
// log10(Pr_sat) = -1 - omega.  Lee and Kesler fitted both fluids to it, so
// the liquid and vapour roots there have nearly equal fugacities (the
// equations reproduce the definition to about one per cent).
TEST(LeeKeslerFluids, VapourPressureAtTr07MatchesTheAcentricFactor) {
    for (double omega : {0.0, LeeKeslerModel::kOmegaRef}) {
        const LeeKeslerModel m = pure(omega);
        const double x = 1.0, T = 0.7 * 400.0, P = 4e6 * std::pow(10.0, -1.0 - omega);
        PhaseProps l, v;
        ASSERT_TRUE(m.evaluate(T, P, &x, Root::Liquid, 0, l));
        ASSERT_TRUE(m.evaluate(T, P, &x, Root::Vapour, 0, v));
        EXPECT_EQ(l.kind, kLiquid);
        EXPECT_EQ(v.kind, kVapour);
        EXPECT_LT(l.v * 5, v.v);
        EXPECT_NEAR(l.lnphi[0], v.lnphi[0], 0.015) << omega; // about 1.5 % in pressure
    }
}

TEST(LeeKeslerMixture, DerivativesMatchFiniteDifferences) {
    const LeeKeslerModel m({kEthane, kPropane, kHexane}, {{0, 1, 0.01}, {1, 2, -0.02}});
    const std::vector<double> x{0.5, 0.3, 0.2};
    expectDerivatives(m, 250.0, 3e5, x, Root::Liquid, 2e-5);
    expectDerivatives(m, 250.0, 3e5, x, Root::Vapour, 2e-5);
    expectDerivatives(m, 450.0, 8e6, x, Root::Stable, 2e-5);
}

TEST(LeeKeslerMixture, FugacitiesAreConsistentWithEnthalpyEntropyAndVolume) {
    const LeeKeslerModel m({kEthane, kPropane, kHexane}, {{0, 1, 0.01}});
    for (Root r : {Root::Liquid, Root::Vapour})
        expectConsistency(m, 260.0, 3e5, {0.6, 0.3, 0.1}, r);
    expectConsistency(m, 500.0, 2e7, {0.2, 0.3, 0.5}, Root::Stable);
}

TEST(LeeKeslerMixture, MixtureOfOneSubstanceEqualsThePureFluid) {
    const LeeKeslerModel pureHexane({kHexane}), twice({kHexane, kHexane});
    for (Root r : {Root::Liquid, Root::Vapour}) {
        PhaseProps a, b;
        const double one = 1.0, x[2] = {0.3, 0.7};
        ASSERT_TRUE(pureHexane.evaluate(400.0, 5e5, &one, r, 1, a));
        ASSERT_TRUE(twice.evaluate(400.0, 5e5, x, r, 1, b));
        EXPECT_NEAR(a.v, b.v, 1e-12 * a.v);
        EXPECT_NEAR(a.hres, b.hres, 1e-9 * std::fabs(a.hres));
        EXPECT_NEAR(a.cpres, b.cpres, 1e-8 * std::fabs(a.cpres));
        EXPECT_NEAR(a.lnphi[0], b.lnphi[0], 1e-11);
        EXPECT_NEAR(a.lnphi[0], b.lnphi[1], 1e-11);
    }
}

TEST(LeeKeslerMixture, InteractionParameterRaisesTheCrossCriticalTemperature) {
    const LeeKeslerModel plain({kEthane, kHexane}), bound({kEthane, kHexane}, {{0, 1, -0.1}});
    const double x[2] = {0.5, 0.5};
    double t0, v0, o0, t1, v1, o1;
    plain.mixture(x, t0, v0, o0);
    bound.mixture(x, t1, v1, o1);
    EXPECT_GT(t1, t0);
    EXPECT_DOUBLE_EQ(v0, v1);
    EXPECT_DOUBLE_EQ(o0, 0.5 * (kEthane.omega + kHexane.omega));
    // Pure limits of the mixing rules.
    const double xe[2] = {1.0, 0.0};
    bound.mixture(xe, t1, v1, o1);
    EXPECT_NEAR(t1, kEthane.tc, 1e-9 * kEthane.tc);
}

// The classical form (model 91): interpolation at equal (Tr, Pr).
TEST(LeeKeslerGibbs, DerivativesMatchFiniteDifferences) {
    const LeeKeslerGibbsModel m({kEthane, kPropane, kHexane}, {{0, 1, 0.01}, {1, 2, -0.02}});
    const std::vector<double> x{0.5, 0.3, 0.2};
    expectDerivatives(m, 250.0, 3e5, x, Root::Liquid, 2e-5);
    expectDerivatives(m, 250.0, 3e5, x, Root::Vapour, 2e-5);
    expectDerivatives(m, 450.0, 8e6, x, Root::Stable, 2e-5);
}

TEST(LeeKeslerGibbs, FugacitiesAreConsistentWithEnthalpyEntropyAndVolume) {
    const LeeKeslerGibbsModel m({kEthane, kPropane, kHexane}, {{0, 1, 0.01}});
    for (Root r : {Root::Liquid, Root::Vapour})
        expectConsistency(m, 260.0, 3e5, {0.6, 0.3, 0.1}, r);
    expectConsistency(m, 500.0, 2e7, {0.2, 0.3, 0.5}, Root::Stable);
}

// Z of a pure fluid is the published interpolation Z0 + omega Z1 at (Tr, Pr),
// and both forms agree for the two fluids themselves.
TEST(LeeKeslerGibbs, PureFluidInterpolatesCompressibilityAtEqualReducedPressure) {
    const double w = 0.2;
    const LeeKeslerGibbsModel classic({{400.0, 4e6, w, 100.0, 0}});
    for (double Tr : {0.6, 1.3})
        for (double Pr : {0.05, 2.0}) {
            const Root root = Tr < 1 && Pr > 0.1 ? Root::Liquid : Root::Vapour;
            const double z0 = zAt(pure(0.0), Tr, Pr, root),
                         zr = zAt(pure(LeeKeslerModel::kOmegaRef), Tr, Pr, root);
            PhaseProps p;
            const double x = 1.0;
            ASSERT_TRUE(classic.evaluate(400.0 * Tr, 4e6 * Pr, &x, root, 0, p));
            EXPECT_NEAR(p.z, z0 + w / LeeKeslerModel::kOmegaRef * (zr - z0), 1e-10) << Tr << " " << Pr;
        }
}

TEST(LeeKeslerGibbs, MixtureOfOneSubstanceEqualsThePureFluid) {
    const LeeKeslerGibbsModel pureHexane({kHexane}), twice({kHexane, kHexane});
    for (Root r : {Root::Liquid, Root::Vapour}) {
        PhaseProps a, b;
        const double one = 1.0, x[2] = {0.3, 0.7};
        ASSERT_TRUE(pureHexane.evaluate(400.0, 5e5, &one, r, 1, a));
        ASSERT_TRUE(twice.evaluate(400.0, 5e5, x, r, 1, b));
        EXPECT_NEAR(a.v, b.v, 1e-12 * a.v);
        EXPECT_NEAR(a.hres, b.hres, 1e-9 * std::fabs(a.hres));
        EXPECT_NEAR(a.lnphi[0], b.lnphi[1], 1e-11);
    }
}

TEST(LeeKeslerMixture, CompressedLiquidHasOnlyTheLiquidRoot) {
    const LeeKeslerModel m({kEthane, kPropane, kHexane});
    const double x[3] = {0.2, 0.3, 0.5};
    PhaseProps l, v;
    // Far above the bubble pressure the vapour branch does not reach 5 MPa at
    // 300 K: the vapour request gets the liquid root.
    ASSERT_TRUE(m.evaluate(300.0, 5e6, x, Root::Liquid, 0, l));
    ASSERT_TRUE(m.evaluate(300.0, 5e6, x, Root::Vapour, 0, v));
    EXPECT_DOUBLE_EQ(l.v, v.v);
    EXPECT_EQ(v.kind, kLiquid);
    EXPECT_LT(l.z, 0.3);
    // Dilute gas: both requests give the vapour root, close to ideal.
    ASSERT_TRUE(m.evaluate(600.0, 1e4, x, Root::Liquid, 0, l));
    EXPECT_EQ(l.kind, kVapour);
    EXPECT_NEAR(l.z, 1.0, 1e-3);
}

TEST(LeeKeslerMixture, ConcurrentEvaluationsMatchSequentialOnes) {
    const LeeKeslerModel m({kEthane, kPropane, kHexane}, {{0, 2, 0.02}});
    const std::vector<double> x{0.5, 0.3, 0.2};
    auto run = [&](int k, PhaseProps& p) {
        return m.evaluate(220.0 + 10.0 * k, 3e5 + 1e5 * k, x.data(), Root::Stable, 1, p);
    };
    constexpr int kThreads = 8;
    std::vector<PhaseProps> serial(kThreads), parallel(kThreads);
    for (int k = 0; k < kThreads; ++k)
        ASSERT_TRUE(run(k, serial[k]));
    std::vector<std::thread> pool;
    std::vector<int> ok(kThreads, 0);
    for (int k = 0; k < kThreads; ++k)
        pool.emplace_back([&, k] {
            for (int rep = 0; rep < 20; ++rep)
                ok[k] = run(k, parallel[k]) ? 1 : 0;
        });
    for (auto& t : pool)
        t.join();
    for (int k = 0; k < kThreads; ++k) {
        EXPECT_TRUE(ok[k]);
        EXPECT_EQ(serial[k].v, parallel[k].v);
        EXPECT_EQ(serial[k].lnphi, parallel[k].lnphi);
        EXPECT_EQ(serial[k].dlnphi_dn, parallel[k].dlnphi_dn);
    }
}

TEST(LeeKeslerMixture, BuiltForModel91WithExplicitAndStoredParameters) {
    ModelInputs in;
    in.pure = {kEthane, kPropane, kHexane};
    in.cas = {74840, 74986, 110543};
    streams::BipEntry e;
    e.i = 1;
    e.j = 2;
    e.model = 91;
    e.p[0] = 0.01;
    in.bips = {e};
    ASSERT_TRUE(canBuild(91));
    auto m = buildPhaseModel(91, in);
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->isEquationOfState());
    double k = 0;
    EXPECT_TRUE(storedLkpKij(74840, 74986, k));
    EXPECT_DOUBLE_EQ(k, -0.01);
    EXPECT_FALSE(storedLkpKij(74840, 1, k));
    // The explicit entry wins over the stored one: the model equals one built directly.
    const LeeKeslerGibbsModel direct({kEthane, kPropane, kHexane}, {{0, 1, 0.01}});
    PhaseProps a, b;
    const double x[3] = {0.6, 0.3, 0.1};
    in.bipLoadLevel = 0;
    auto loaded = buildPhaseModel(91, in);
    ASSERT_TRUE(loaded->evaluate(280.0, 3e5, x, Root::Liquid, 0, a));
    ASSERT_TRUE(direct.evaluate(280.0, 3e5, x, Root::Liquid, 0, b));
    EXPECT_NE(a.lnphi[2], b.lnphi[2]); // stored propane-hexane and ethane-hexane values apply
    ASSERT_TRUE(m->evaluate(280.0, 3e5, x, Root::Liquid, 0, a));
    EXPECT_DOUBLE_EQ(a.lnphi[2], b.lnphi[2]);
}

} // namespace
} // namespace zpk::models
