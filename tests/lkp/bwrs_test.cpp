#include "models/bwrs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "eos_checks.h"
#include "models/factory.h"

namespace zpk::models {
namespace {

using testing::expectConsistency;
using testing::expectDerivatives;

const PureConstants kMethane{190.56, 4.599e6, 0.0115, 16.043, 0};
const PureConstants kEthane{305.32, 4.872e6, 0.0995, 30.07, 0};
const PureConstants kPropane{369.83, 4.248e6, 0.1523, 44.1, 0};
const PureConstants kHexane{507.6, 3.025e6, 0.3013, 86.18, 0};
const std::vector<double> kVc{98.6e-6, 145.5e-6, 200.0e-6, 368.0e-6}; // m3/mol

TEST(Bwrs, PressureIsTheVolumeDerivativeOfTheHelmholtzEnergy) {
    const BwrsModel m({kPropane}, {kVc[2]});
    const double n = 1.0, T = 320.0;
    for (double V : {1e-4, 5e-4, 1e-2}) {
        ResidualDerivs d;
        ASSERT_TRUE(m.residual(T, V, &n, 1, d));
        // Starling's explicit pressure from the generalised parameters.
        const BwrsPure& p = m.pure(0);
        const double RT = kR * T, r = 1.0 / V, r2 = r * r;
        const double P =
            r * RT +
            (p.B0 * RT - p.A0 - p.C0 / (T * T) + p.D0 / std::pow(T, 3) - p.E0 / std::pow(T, 4)) * r2 +
            (p.b * RT - p.a - p.d / T) * r2 * r + p.alpha * (p.a + p.d / T) * std::pow(r, 6) +
            p.c * r2 * r / (T * T) * (1 + p.gamma * r2) * std::exp(-p.gamma * r2);
        EXPECT_NEAR(RT / V - RT * d.F_V, P, 1e-9 * std::fabs(P));
    }
}

// Second virial coefficient of methane at 300 K: -42.8 cm3/mol (Dymond &
// Smith compilation); the generalised parameters give it within 10 %.  The
// low-pressure gas agrees with the virial form.
TEST(Bwrs, MethaneSecondVirialCoefficient) {
    const BwrsModel m({kMethane}, {kVc[0]});
    const BwrsPure& p = m.pure(0);
    const double T = 300.0, RT = kR * T;
    const double B =
        p.B0 - p.A0 / RT - p.C0 / (RT * T * T) + p.D0 / (RT * std::pow(T, 3)) - p.E0 / (RT * std::pow(T, 4));
    EXPECT_NEAR(B, -42.8e-6, 4.3e-6);
    PhaseProps g;
    const double x = 1.0, P = 1000.0;
    ASSERT_TRUE(m.evaluate(T, P, &x, Root::Vapour, 0, g));
    EXPECT_NEAR(g.z, 1.0 + B * P / RT, 1e-8);
}

// Propane boils at 300 K near 0.998 MPa: equal fugacities of both roots.
TEST(Bwrs, PropaneSaturationNearTheMeasuredVapourPressure) {
    const BwrsModel m({kPropane}, {kVc[2]});
    PhaseProps l, v;
    const double x = 1.0;
    ASSERT_TRUE(m.evaluate(300.0, 0.998e6, &x, Root::Liquid, 0, l));
    ASSERT_TRUE(m.evaluate(300.0, 0.998e6, &x, Root::Vapour, 0, v));
    EXPECT_EQ(l.kind, kLiquid);
    EXPECT_EQ(v.kind, kVapour);
    EXPECT_NEAR(l.lnphi[0], v.lnphi[0], 0.05);
}

TEST(Bwrs, DerivativesMatchFiniteDifferences) {
    const BwrsModel m({kEthane, kPropane, kHexane}, {kVc[1], kVc[2], kVc[3]}, {{0, 1, 0.01}, {1, 2, 0.02}});
    const std::vector<double> x{0.5, 0.3, 0.2};
    expectDerivatives(m, 250.0, 3e5, x, Root::Liquid, 2e-5);
    expectDerivatives(m, 250.0, 3e5, x, Root::Vapour, 2e-5);
    expectDerivatives(m, 450.0, 8e6, x, Root::Stable, 2e-5);
}

TEST(Bwrs, FugacitiesAreConsistentWithEnthalpyEntropyAndVolume) {
    const BwrsModel m({kEthane, kPropane, kHexane}, {kVc[1], kVc[2], kVc[3]}, {{0, 2, 0.01}});
    for (Root r : {Root::Liquid, Root::Vapour})
        expectConsistency(m, 260.0, 3e5, {0.6, 0.3, 0.1}, r);
    expectConsistency(m, 500.0, 2e7, {0.2, 0.3, 0.5}, Root::Stable);
}

TEST(Bwrs, MixtureOfOneSubstanceEqualsThePureFluid) {
    const BwrsModel one({kHexane}, {kVc[3]}), twice({kHexane, kHexane}, {kVc[3], kVc[3]});
    for (Root r : {Root::Liquid, Root::Vapour}) {
        PhaseProps a, b;
        const double x1 = 1.0, x[2] = {0.3, 0.7};
        ASSERT_TRUE(one.evaluate(400.0, 5e5, &x1, r, 1, a));
        ASSERT_TRUE(twice.evaluate(400.0, 5e5, x, r, 1, b));
        EXPECT_NEAR(a.v, b.v, 1e-11 * a.v);
        EXPECT_NEAR(a.hres, b.hres, 1e-8 * std::fabs(a.hres));
        EXPECT_NEAR(a.lnphi[0], b.lnphi[0], 1e-10);
        EXPECT_NEAR(a.lnphi[0], b.lnphi[1], 1e-10);
    }
}

TEST(Bwrs, BuiltForModel81WithExplicitParameters) {
    ModelInputs in;
    in.pure = {kEthane, kPropane};
    in.cas = {74840, 74986};
    streams::BipEntry e;
    e.i = 1;
    e.j = 2;
    e.model = 81;
    e.p[0] = 0.02;
    in.bips = {e};
    ASSERT_TRUE(canBuild(81));
    auto m = buildPhaseModel(81, in);
    // Without component records the critical volumes are the Lee-Kesler estimates.
    const BwrsModel direct({kEthane, kPropane}, {0, 0}, {{0, 1, 0.02}});
    PhaseProps a, b;
    const double x[2] = {0.4, 0.6};
    ASSERT_TRUE(m->evaluate(280.0, 3e5, x, Root::Vapour, 0, a));
    ASSERT_TRUE(direct.evaluate(280.0, 3e5, x, Root::Vapour, 0, b));
    EXPECT_DOUBLE_EQ(a.lnphi[1], b.lnphi[1]);
}

} // namespace
} // namespace zpk::models
