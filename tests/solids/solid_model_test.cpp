// The solid model on database components: the melting point where solid and
// liquid fugacities meet, the sublimation pressure of ice, thermodynamic
// identities between fugacities, enthalpy, entropy and volume, and the
// analytic derivatives against central differences.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "components/database.h"
#include "equilibrium/engine.h"
#include "models/solid.h"
#include "tests/support/stream_defs.h"

using namespace zpk;
using models::PhaseProps;
using models::Root;

namespace {

constexpr long kMethane = 74828, kEthane = 74840, kWater = 7732185, kDecane = 124185, kMethanol = 67561;

streams::StreamDef makeDef(const testsupport::Feed& comps, int fluid, int solid, int options = 0) {
    streams::StreamDef d = testsupport::streamDef(comps, fluid);
    for (auto& row : d.models)
        row[2] = solid;
    d.options = options;
    return d;
}

double lnf(const PhaseProps& p, int i, double P) {
    return p.lnfx.empty() ? p.lnphi[i] + std::log(P) : p.lnfx[i];
}

} // namespace

TEST(SolidModel, PureSolidAndLiquidFugacitiesMeetAtTheNormalMeltingPoint) {
    for (long cas : {kWater, kDecane, kMethanol}) {
        for (int fluid : {1, 30, 51}) {
            engine::StreamSystem sys(makeDef({{cas, 1.0}}, fluid, 150));
            const double tm = sys.component(0).tm;
            const double x = 1.0;
            PhaseProps s, l;
            ASSERT_TRUE(sys.model(1, 2).evaluate(tm, models::kSolidRefP, &x, Root::Liquid, 0, s));
            ASSERT_TRUE(sys.model(1, 1).evaluate(tm, models::kSolidRefP, &x, Root::Liquid, 0, l));
            EXPECT_NEAR(s.lnphi[0] + std::log(models::kSolidRefP), lnf(l, 0, models::kSolidRefP), 1e-12);
            // Below the melting point the solid has the lower fugacity, above it the liquid.
            for (double dT : {-5.0, 5.0}) {
                ASSERT_TRUE(sys.model(1, 2).evaluate(tm + dT, 2e5, &x, Root::Liquid, 0, s));
                ASSERT_TRUE(sys.model(1, 1).evaluate(tm + dT, 2e5, &x, Root::Liquid, 0, l));
                const double gap = s.lnphi[0] + std::log(2e5) - lnf(l, 0, 2e5);
                if (dT < 0)
                    EXPECT_LT(gap, 0) << cas << " model " << fluid;
                else
                    EXPECT_GT(gap, 0) << cas << " model " << fluid;
            }
        }
    }
}

TEST(SolidModel, SublimationPressureOfIce) {
    // Murphy & Koop, Q. J. R. Meteorol. Soc. 131 (2005) 1539: vapour pressure
    // of ice 259.9 Pa at 263.15 K and 103.2 Pa at 253.15 K.  With the Regular
    // model the reference is the supercooled liquid's vapour pressure curve of
    // the database; at these pressures fugacity and pressure agree to 0.1 %.
    engine::StreamSystem sys(makeDef({{kWater, 1.0}}, 1, 150));
    const double x = 1.0;
    PhaseProps s;
    for (auto [T, p] : {std::pair{263.15, 259.9}, std::pair{253.15, 103.2}}) {
        ASSERT_TRUE(sys.model(1, 2).evaluate(T, p, &x, Root::Liquid, 0, s));
        EXPECT_NEAR(std::exp(s.lnphi[0]) * p, p, 0.03 * p) << T;
    }
}

TEST(SolidModel, IceDensityIsTheDatabaseSolidDensity) {
    engine::StreamSystem sys(makeDef({{kWater, 1.0}}, 51, 150));
    const double x = 1.0;
    PhaseProps s;
    ASSERT_TRUE(sys.model(4, 2).evaluate(250, 1e6, &x, Root::Liquid, 1, s));
    const double rho = components::evaluate(sys.component(0).sd, 250) * 1e3; // mol/m3
    EXPECT_NEAR(s.v, 1.0 / rho, 1e-12);
    EXPECT_EQ(s.dv_dP, 0.0);
    // Ice is close to 920 kg/m3 (the database correlation, ChemSep).
    EXPECT_NEAR(sys.component(0).mw * 1e-3 / s.v, 920, 5);
}

class SolidIdentities : public ::testing::TestWithParam<int> {};

// With an equation of state as the reference (its liquid enthalpy follows
// from its fugacities; the Regular model's latent heat and vapour pressure
// are separate correlations).
TEST(SolidModel, FugacityEnthalpyEntropyVolumeAgree) {
    for (int fluid : {30, 51}) {
        engine::StreamSystem sys(makeDef({{kMethane, 0.3}, {kEthane, 0.5}, {kDecane, 0.2}}, fluid, 153));
        const auto& m = sys.model(1, 2);
        const double x[3] = {0.2, 0.5, 0.3};
        for (auto [T, P] : {std::pair{80.0, 3e5}, std::pair{85.0, 5e6}, std::pair{120.0, 1e5}}) {
            PhaseProps p;
            ASSERT_TRUE(m.evaluate(T, P, x, Root::Liquid, 1, p));
            const double RT = models::kR * T;
            double g = 0, h = 0, v = 0;
            for (int i = 0; i < 3; ++i) {
                if (p.lnphi[i] == models::kNoSolid) continue;
                g += x[i] * p.lnphi[i] * RT;
                h -= x[i] * RT * T * p.dlnphi_dT[i];
                v += x[i] * RT * (p.dlnphi_dP[i] + 1.0 / P);
            }
            // Every component freezes at these temperatures.
            for (int i = 0; i < 3; ++i)
                ASSERT_NE(p.lnphi[i], models::kNoSolid) << T;
            EXPECT_NEAR(p.hres - T * p.sres, g, 1e-8 * std::fabs(g) + 1e-6);
            EXPECT_NEAR(p.hres, h, 1e-7 * std::fabs(h) + 1e-6);
            EXPECT_NEAR(p.v, v, 1e-10 * v);
            // The ideal solution: ln phi does not depend on composition.
            for (double d : p.dlnphi_dn)
                EXPECT_EQ(d, 0.0);
        }
    }
}

TEST_P(SolidIdentities, AnalyticDerivativesMatchCentralDifferences) {
    const int fluid = GetParam();
    engine::StreamSystem sys(makeDef({{kMethane, 0.3}, {kWater, 0.5}, {kDecane, 0.2}}, fluid, 150));
    const auto& m = sys.model(1, 2);
    double x[3] = {0.2, 0.5, 0.3};
    const double T = 180, P = 2e6;
    PhaseProps a, up, dn;
    ASSERT_TRUE(m.evaluate(T, P, x, Root::Liquid, 1, a));
    auto near = [](double an, double num, const char* what) {
        EXPECT_NEAR(an, num, 1e-6 * (std::fabs(an) + std::fabs(num)) + 1e-9) << what;
    };
    const double hT = 1e-4;
    ASSERT_TRUE(m.evaluate(T + hT, P, x, Root::Liquid, 0, up));
    ASSERT_TRUE(m.evaluate(T - hT, P, x, Root::Liquid, 0, dn));
    for (int i = 0; i < 3; ++i)
        near(a.dlnphi_dT[i], (up.lnphi[i] - dn.lnphi[i]) / (2 * hT), "dlnphi/dT");
    near(a.dhres_dT, (up.hres - dn.hres) / (2 * hT), "dh/dT");
    near(a.dsres_dT, (up.sres - dn.sres) / (2 * hT), "ds/dT");
    near(a.dv_dT, (up.v - dn.v) / (2 * hT), "dv/dT");
    const double hP = 10;
    ASSERT_TRUE(m.evaluate(T, P + hP, x, Root::Liquid, 0, up));
    ASSERT_TRUE(m.evaluate(T, P - hP, x, Root::Liquid, 0, dn));
    for (int i = 0; i < 3; ++i)
        near(a.dlnphi_dP[i], (up.lnphi[i] - dn.lnphi[i]) / (2 * hP), "dlnphi/dP");
    near(a.dhres_dP, (up.hres - dn.hres) / (2 * hP), "dh/dP");
    near(a.dsres_dP, (up.sres - dn.sres) / (2 * hP), "ds/dP");
    const double hx = 1e-6;
    for (int k = 0; k < 3; ++k) {
        const double keep = x[k];
        x[k] = keep + hx;
        ASSERT_TRUE(m.evaluate(T, P, x, Root::Liquid, 0, up));
        x[k] = keep - hx;
        ASSERT_TRUE(m.evaluate(T, P, x, Root::Liquid, 0, dn));
        x[k] = keep;
        // The model reads x / sum(x); its composition derivatives are those of one mole.
        near(a.dv_dx[k], (up.v - dn.v) / (2 * hx), "dv/dx");
        near(a.dhres_dx[k], (up.hres - dn.hres) / (2 * hx), "dh/dx");
        near(a.dsres_dx[k], (up.sres - dn.sres) / (2 * hx), "ds/dx");
    }
}

INSTANTIATE_TEST_SUITE_P(FluidReferences, SolidIdentities, ::testing::Values(1, 30, 51));

TEST(SolidModel, ComponentsAboveTheirCriticalTemperatureStayOutOfSolids) {
    engine::StreamSystem sys(makeDef({{kMethane, 0.5}, {kDecane, 0.5}}, 51, 153));
    const double x[2] = {0.5, 0.5};
    PhaseProps p;
    ASSERT_TRUE(sys.model(1, 2).evaluate(200, 1e5, x, Root::Liquid, 1, p));
    EXPECT_EQ(p.lnphi[0], models::kNoSolid);
    EXPECT_LT(p.lnphi[1], 0.0);
    EXPECT_EQ(p.dlnphi_dT[0], 0.0);
}

TEST(SolidModel, UnknownSolidCodesAreRejected) {
    models::ModelInputs in;
    EXPECT_THROW(models::buildSolidModel(30, in, nullptr), Error);
    EXPECT_FALSE(models::isSolidCode(1));
    EXPECT_TRUE(models::isSolidCode(153));
}

TEST(SolidModel, AStreamWhoseSolidModelCannotBeBuiltFailsOnlyWhereSolidsAreNeeded) {
    streams::StreamDef d = makeDef({{kWater, 0.5}, {kMethane, 0.5}}, 50, 30, 2); // 30 is no solid model
    engine::StreamSystem sys(d);
    EXPECT_GT(sys.feedMw(), 0.0);
    EXPECT_THROW(sys.model(1, 2), Error);
    try {
        sys.flash(250, 1e5);
        ADD_FAILURE() << "a flash with solids allowed needs the solid model";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("solid"), std::string::npos) << e.what();
    }
    d.options = 0;
    engine::StreamSystem fluidOnly(d);
    EXPECT_NO_THROW(fluidOnly.flash(250, 1e5));
}
