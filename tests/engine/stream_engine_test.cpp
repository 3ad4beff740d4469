// Stream-level engine: saturation points, phase-fraction and state-function
// flashes on database components, checked against the isothermal flash and
// against each other (return tests), and the Regular model's consistency.
#include <gtest/gtest.h>

#include <cmath>

#include "components/database.h"
#include "equilibrium/engine.h"
#include "equilibrium/flashes.h"
#include "equilibrium/saturation.h"
#include "models/regular.h"
#include "tests/support/stream_defs.h"

using namespace zpk;

namespace {

streams::StreamDef makeDef(const testsupport::Feed& comps, int model, int options = 0) {
    streams::StreamDef d = testsupport::streamDef(comps, model);
    d.options = options;
    return d;
}

constexpr long kMethane = 74828, kEthane = 74840, kPropane = 74986, kIsobutane = 75285, kButane = 106978,
               kNitrogen = 7727379, kWater = 7732185;

} // namespace

TEST(Saturation, PureComponentFlashMatchesEqualFugacities) {
    for (int model : {30, 50}) {
        engine::StreamSystem sys(makeDef({{kPropane, 1.0}}, model));
        auto st = engine::liquidFractionFlash(sys, 1e6, true, 0.5);
        ASSERT_EQ(st->phases.size(), 2u);
        models::PhaseProps v, l;
        const double x = 1.0;
        ASSERT_TRUE(sys.model(1, 0).evaluate(st->T, 1e6, &x, models::Root::Vapour, 0, v));
        ASSERT_TRUE(sys.model(1, 1).evaluate(st->T, 1e6, &x, models::Root::Liquid, 0, l));
        EXPECT_NEAR(v.lnphi[0], l.lnphi[0], 1e-10);
        EXPECT_GT(l.v * 5, 0.0);
        EXPECT_LT(l.v, v.v / 5);
        EXPECT_NEAR(engine::liquidFraction(*st), 0.5, 1e-12);
        // Propane boils near 300 K at 1 MPa.
        EXPECT_NEAR(st->T, 300, 5);
        // The saturation pressure at that temperature returns the pressure.
        auto back = engine::liquidFractionFlash(sys, st->T, false, 0.5);
        EXPECT_NEAR(back->P, 1e6, 1e-4);
    }
}

TEST(Saturation, BubbleAndDewPointsBracketTheTwoPhaseRegion) {
    engine::StreamSystem sys(
        makeDef({{kEthane, 0.02}, {kPropane, 0.55}, {kIsobutane, 0.41}, {kButane, 0.02}}, 30));
    const double tb = engine::liquidFractionFlash(sys, 2e6, true, 1.0)->T;
    const double td = engine::liquidFractionFlash(sys, 2e6, true, 0.0)->T;
    ASSERT_LT(tb, td);
    EXPECT_EQ(sys.flash(tb - 0.5, 2e6)->phases.size(), 1u);
    EXPECT_EQ(sys.flash(td + 0.5, 2e6)->phases.size(), 1u);
    auto mid = sys.flash(0.5 * (tb + td), 2e6);
    ASSERT_EQ(mid->phases.size(), 2u);
    // A liquid fraction between 0 and 1 lies between bubble and dew point.
    const double t = engine::liquidFractionFlash(sys, 2e6, true, 0.3)->T;
    EXPECT_GT(t, tb);
    EXPECT_LT(t, td);
    EXPECT_NEAR(engine::liquidFraction(*sys.flash(t, 2e6)), 0.3, 1e-6);
}

TEST(StateFunctionFlash, ReturnsToTheStartingStateForEverySpecification) {
    engine::StreamSystem sys(makeDef({{kMethane, 0.1}, {kEthane, 0.3}, {kPropane, 0.6}}, 50));
    for (double T0 : {200.0, 260.0, 330.0}) {
        auto st0 = sys.flash(T0, 3e6);
        for (auto spec : {engine::Spec::H, engine::Spec::S, engine::Spec::V}) {
            const double target = engine::specValue(*st0, spec);
            auto st = engine::stateFunctionFlash(sys, spec, target, 3e6, true, 400.0);
            EXPECT_NEAR(st->T, T0, 1e-6 * T0) << "spec " << static_cast<int>(spec) << " T0 " << T0;
            EXPECT_NEAR(engine::specValue(*st, spec), target, 1e-9 * std::fabs(target));
        }
        // At fixed temperature the pressure comes back.
        const double v = engine::specValue(*st0, engine::Spec::V);
        auto back = engine::stateFunctionFlash(sys, engine::Spec::V, v, T0, false, 1e5);
        EXPECT_NEAR(back->P, 3e6, 1e-5 * 3e6);
    }
}

TEST(StateFunctionFlash, EquilibriumSlopeIsTheDerivativeAlongTheFlash) {
    // Central differences of H, S and V over isothermal flashes at T +- h
    // (P +- h): the phases move with the state, which the slope must include.
    engine::StreamSystem sys(makeDef({{kMethane, 0.5}, {kEthane, 0.2}, {kPropane, 0.2}, {kButane, 0.1}}, 30));
    const double T = 230, P = 3e6;
    const auto st = sys.flash(T, P);
    ASSERT_EQ(st->phases.size(), 2u);
    for (bool fixedIsP : {true, false}) {
        const double u = fixedIsP ? T : P, h = 1e-5 * u;
        const auto up = fixedIsP ? sys.flash(T + h, P) : sys.flash(T, P + h);
        const auto down = fixedIsP ? sys.flash(T - h, P) : sys.flash(T, P - h);
        for (auto spec : {engine::Spec::H, engine::Spec::S, engine::Spec::V}) {
            const double fd = (engine::specValue(*up, spec) - engine::specValue(*down, spec)) / (2 * h);
            const double d = engine::equilibriumSlope(sys, *st, spec, fixedIsP);
            EXPECT_NEAR(d, fd, 1e-5 * std::fabs(fd))
                << "spec " << static_cast<int>(spec) << " fixed P " << fixedIsP;
        }
    }
}

TEST(StateFunctionFlash, SameStateFromNearAndFarEstimates) {
    // Newton's method on the equilibrium slope, from either side of the
    // two-phase state and from single-phase starts.
    engine::StreamSystem sys(makeDef({{kMethane, 0.5}, {kEthane, 0.2}, {kPropane, 0.2}, {kButane, 0.1}}, 30));
    const auto st0 = sys.flash(230, 3e6);
    for (auto spec : {engine::Spec::H, engine::Spec::S})
        for (double estimate : {150.0, 229.0, 231.0, 300.0, 450.0}) {
            const auto st =
                engine::stateFunctionFlash(sys, spec, engine::specValue(*st0, spec), 3e6, true, estimate);
            EXPECT_NEAR(st->T, 230.0, 1e-9 * 230) << "estimate " << estimate;
        }
}

TEST(StateFunctionFlash, PureComponentEnthalpyInsideTheSaturationDome) {
    engine::StreamSystem sys(makeDef({{kNitrogen, 1.0}}, 30));
    auto sat = engine::liquidFractionFlash(sys, 2e6, true, 0.5);
    const double h = engine::molarEnthalpy(*sat);
    auto st = engine::stateFunctionFlash(sys, engine::Spec::H, h, 2e6, true, 200.0);
    EXPECT_NEAR(st->T, sat->T, 1e-7 * sat->T);
    EXPECT_NEAR(engine::liquidFraction(*st), 0.5, 1e-6);
}

TEST(StreamEngine, EnthalpyAndEntropyAreConsistentWithTheirDerivatives) {
    engine::StreamSystem sys(makeDef({{kMethane, 0.3}, {kPropane, 0.7}}, 30));
    for (double T : {150.0, 330.0}) {
        const double P = 1e5;
        auto st = sys.flash(T, P);
        ASSERT_EQ(st->phases.size(), T < 200 ? 2u : 1u);
        for (const auto& ph : st->phases) {
            // cp = dh/dT and cp / T = ds/dT of the phase at fixed composition.
            const double h = 1e-4 * T;
            auto a = sys.phaseState(T + h, P, ph.x, ph.kind, false);
            auto b = sys.phaseState(T - h, P, ph.x, ph.kind, false);
            EXPECT_NEAR((a.h - b.h) / (2 * h), ph.cp, 1e-5 * ph.cp);
            EXPECT_NEAR((a.s - b.s) / (2 * h), ph.cp / T, 1e-5 * ph.cp / T);
            EXPECT_GT(ph.w, 0.0);
        }
    }
}

TEST(RegularModel, LatentHeatFollowsClausiusClapeyron) {
    models::RegularModel m({{305.32, 4.872e6, 0.099, 30.07, 0.2808}});
    for (double T : {120.0, 200.0, 280.0}) {
        const double h = 1e-3;
        double d;
        const double slope = (m.lnPsat(0, T + h) - m.lnPsat(0, T - h)) / (2 * h);
        m.lnPsat(0, T, &d);
        EXPECT_NEAR(d, slope, 1e-7 * slope);
        EXPECT_NEAR(m.latentHeat(0, T), models::kR * T * T * slope, 1e-6 * m.latentHeat(0, T));
    }
    // The liquid fugacity of a pure component equals its vapour pressure.
    const double x = 1.0;
    models::PhaseProps p;
    ASSERT_TRUE(m.evaluate(200, 1e6, &x, models::Root::Liquid, 1, p));
    EXPECT_NEAR(p.lnphi[0] + std::log(1e6), m.lnPsat(0, 200), 1e-12);
    EXPECT_NEAR(p.hres, -m.latentHeat(0, 200), 1e-9);
}

TEST(FlashTP, WaterPhaseAppearsOnlyWithTheSecondLiquidOption) {
    auto def = makeDef({{kEthane, 0.2}, {kPropane, 0.5}, {kButane, 0.2}, {kWater, 0.1}}, 30, 1);
    def.bipLoadLevel = 0;
    engine::StreamSystem three(def);
    auto st = three.flash(280, 5e5);
    ASSERT_EQ(st->phases.size(), 3u);
    EXPECT_NEAR(st->phases[2].beta, 0.1, 0.01);
    EXPECT_GT(st->phases[2].mw / st->phases[2].v, st->phases[1].mw / st->phases[1].v);
    def.options = 0;
    engine::StreamSystem two(def);
    EXPECT_EQ(two.flash(280, 5e5)->phases.size(), 2u);
}

TEST(StreamEngine, PhaseGibbsEnergiesAgreeWithFugacities) {
    // g = h - T s of each equilibrium phase must equal sum x_i mu_i with
    // mu_i = g_i(ideal gas, T, P) + R T ln(x_i phi_i): this holds only when the
    // phase entropy carries the ideal mixing term -R sum x ln x.
    engine::StreamSystem sys(makeDef({{kMethane, 0.3}, {kPropane, 0.7}}, 30));
    const double T = 150, P = 1e5, pLow = 1e-3;
    auto st = sys.flash(T, P);
    ASSERT_EQ(st->phases.size(), 2u);
    double gIdeal[2];
    for (int i = 0; i < 2; ++i) {
        std::vector<double> e(2, 0.0);
        e[i] = 1.0;
        const auto pure = sys.phaseState(T, pLow, e, models::kVapour, false);
        gIdeal[i] = pure.h - T * (pure.s - models::kR * std::log(P / pLow));
    }
    for (const auto& ph : st->phases) {
        models::PhaseProps p;
        const auto root = ph.kind == models::kVapour ? models::Root::Vapour : models::Root::Liquid;
        ASSERT_TRUE(sys.model(1, ph.kind).evaluate(T, P, ph.x.data(), root, 0, p));
        double g = 0;
        for (int i = 0; i < 2; ++i)
            g += ph.x[i] * (gIdeal[i] + models::kR * T * (std::log(ph.x[i]) + p.lnphi[i]));
        EXPECT_NEAR(ph.h - T * ph.s, g, 1e-6 * std::fabs(g) + 1e-6) << "phase kind " << ph.kind;
    }
}

TEST(StreamEngine, IdealGasMixtureEntropyCarriesTheMixingTerm) {
    const std::vector<double> x = {0.02, 0.55, 0.41, 0.02};
    engine::StreamSystem sys(
        makeDef({{kEthane, x[0]}, {kPropane, x[1]}, {kIsobutane, x[2]}, {kButane, x[3]}}, 1));
    const double T = 500, P = 1e3;
    const double mixed = sys.phaseState(T, P, x, models::kVapour, false).s;
    double pure = 0, mixing = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        std::vector<double> e(x.size(), 0.0);
        e[i] = 1.0;
        pure += x[i] * sys.phaseState(T, P, e, models::kVapour, false).s;
        mixing -= models::kR * x[i] * std::log(x[i]);
    }
    EXPECT_NEAR(mixed - pure, mixing, 1e-9 * mixing);
}

// The per-thread model cache hands back the system built for an equal
// definition and builds anew for any change the models depend on; a cached
// system gives the same flash as a freshly built one.
TEST(SystemCache, ReusesOnlyForEqualDefinitions) {
    const auto def = makeDef({{kMethane, 0.8}, {kEthane, 0.15}, {kPropane, 0.05}}, 30);
    const auto a = engine::systemFor(def);
    EXPECT_EQ(a, engine::systemFor(def));
    auto flow = def;
    flow.massFlow = 7.0;
    flow.name = "renamed";
    EXPECT_EQ(a, engine::systemFor(flow)) << "mass flow and name do not change the models";

    auto fraction = def;
    fraction.z[2] = 0.06;
    auto model = def;
    model.models[0][1] = 50;
    auto option = def;
    option.options = 1;
    auto entry = def;
    entry.bips.push_back({1, 2, 30, {0.05}});
    auto level = def;
    level.bipLoadLevel = 0;
    for (const auto* changed : {&fraction, &model, &option, &entry, &level}) {
        EXPECT_FALSE(engine::sameModels(def, *changed));
        EXPECT_NE(a, engine::systemFor(*changed));
    }
    // Still cached after the others were built (most recently used kept).
    EXPECT_EQ(a, engine::systemFor(def));

    const engine::StreamSystem fresh(def);
    const auto s1 = a->flash(200.0, 3e6), s2 = fresh.flash(200.0, 3e6);
    ASSERT_EQ(s1->phases.size(), s2->phases.size());
    for (std::size_t k = 0; k < s1->phases.size(); ++k) {
        EXPECT_EQ(s1->phases[k].beta, s2->phases[k].beta);
        EXPECT_EQ(s1->phases[k].h, s2->phases[k].h);
    }
}
