// The liquid of the activity model sets (liquid fugacity Wilson, NRTL,
// UNIQUAC or UNIFAC, every other property PRX 51, as setModelAllPhases sets
// 2 to 5): its enthalpy and entropy are the activity model's, consistent with
// the fugacities the flashes equate.  Checked: h - T s = sum x_i mu_i, the
// entropy's derivatives, vaporisation of a pure liquid (entropy = latent heat
// / T exactly, latent heat against Clausius-Clapeyron on the flash's
// saturation curve) and PH/PS flashes that return to the state they came from.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <utility>
#include <vector>

#include "components/database.h"
#include "equilibrium/engine.h"
#include "equilibrium/flashes.h"
#include "equilibrium/system.h"
#include "models/phase_model.h"
#include "tests/support/stream_defs.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

constexpr long kWater = 7732185, kMethanol = 67561, kPropane = 74986, kIsobutane = 75285;
constexpr int kActivityCodes[] = {10, 11, 12, 130};

// The battery's activity set: liquid fugacity `code`, everything else 51;
// for a pair, Wilson, NRTL and UNIQUAC energies a12, a21 (J/mol).
streams::StreamDef activitySet(const testsupport::Feed& comps, int code, double a12 = -300,
                               double a21 = -200) {
    streams::StreamDef d = testsupport::streamDef(comps, 51);
    d.models[0][1] = code;
    if (code != 130 && comps.size() == 2) {
        streams::BipEntry e;
        e.i = 1, e.j = 2, e.model = code;
        e.p[0] = a12;
        e.p[1] = a21;
        d.bips.push_back(e);
    }
    d.defined = true;
    return d;
}

// sum x_i mu_i with mu_i = g_i(ideal gas, T, P) + R T ln(x_i phi_i), phi the
// flash's (the fluid phase of the lower Gibbs energy); `activity` tells
// whether that is the activity liquid.
double gibbsFromFugacities(const engine::StreamSystem& sys, double T, double P, const std::vector<double>& x,
                           bool& activity) {
    models::PhaseProps p, a;
    EXPECT_TRUE(equilibrium::evalPhase(sys.fluid(), T, P, x.data(), models::Root::Stable, 0, p));
    EXPECT_TRUE(sys.model(1, models::kLiquid).evaluate(T, P, x.data(), models::Root::Liquid, 0, a));
    activity = p.lnphi == a.lnphi;
    double g = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        std::vector<double> e(x.size(), 0.0);
        e[i] = 1.0;
        const double gIdeal = sys.idealH(T, e.data()) - T * sys.idealS(T, P, e.data());
        g += x[i] * (gIdeal + models::kR * T * (std::log(x[i]) + p.lnphi[i]));
    }
    return g;
}

struct Liquid {
    testsupport::Feed comps;
    double T, P;
};
const Liquid kLiquids[] = {
    {{{kMethanol, 1.0}}, 320, 2e5},                     // pure
    {{{kWater, 0.4}, {kMethanol, 0.6}}, 330, 2e5},      // polar mixture
    {{{kPropane, 0.55}, {kIsobutane, 0.45}}, 200, 5e5}, // hydrocarbons, ideal pair
};

} // namespace

TEST(GammaPhiLiquid, EnthalpyAndEntropyFollowTheLiquidFugacityModel) {
    for (int code : kActivityCodes) {
        engine::StreamSystem sys(activitySet({{kWater, 0.4}, {kMethanol, 0.6}}, code));
        const auto* fugacity = &sys.model(1, models::kLiquid);
        EXPECT_EQ(&sys.model(2, models::kLiquid), fugacity) << code;
        EXPECT_EQ(&sys.model(3, models::kLiquid), fugacity) << code;
        EXPECT_NE(&sys.model(4, models::kLiquid), fugacity) << code << ": the volume stays PRX";
        EXPECT_EQ(&sys.model(2, models::kVapour), &sys.model(1, models::kVapour)) << code;
    }
}

TEST(GammaPhiLiquid, GibbsEnergyEqualsTheSumOfChemicalPotentials) {
    for (int code : kActivityCodes)
        for (const Liquid& l : kLiquids) {
            engine::StreamSystem sys(activitySet(l.comps, code));
            const std::vector<double> x = sys.feed();
            const auto st = sys.flash(l.T, l.P);
            ASSERT_EQ(st->phases.size(), 1u) << code;
            ASSERT_EQ(st->phases[0].kind, models::kLiquid) << code;
            const auto& ph = st->phases[0];
            bool activity = false;
            const double g = gibbsFromFugacities(sys, l.T, l.P, x, activity);
            EXPECT_TRUE(activity) << code << " " << x.size();
            EXPECT_NEAR(ph.h - l.T * ph.s, g, 1e-10 * std::fabs(g) + 1e-7) << code << " " << x.size();
        }
}

// With strongly positive deviations the equation's dense root has the lower
// Gibbs energy, and the flash's liquid is the vapour model's phase: its
// enthalpy and entropy are then that model's, consistent with it.
TEST(GammaPhiLiquid, ALiquidOfTheVapourModelKeepsThatModelsProperties) {
    for (int code : {10, 11, 12}) {
        engine::StreamSystem sys(activitySet({{kPropane, 0.55}, {kIsobutane, 0.45}}, code, 400, 900));
        const double T = 200, P = 5e5;
        const std::vector<double> x = sys.feed();
        const auto st = sys.flash(T, P);
        ASSERT_EQ(st->phases.size(), 1u) << code;
        ASSERT_EQ(st->phases[0].kind, models::kLiquid) << code;
        bool activity = true;
        const double g = gibbsFromFugacities(sys, T, P, x, activity);
        EXPECT_FALSE(activity) << code;
        EXPECT_NEAR(st->phases[0].h - T * st->phases[0].s, g, 1e-10 * std::fabs(g) + 1e-7) << code;
    }
}

TEST(GammaPhiLiquid, EntropyDerivativesMatchFiniteDifferences) {
    for (int code : kActivityCodes) {
        engine::StreamSystem sys(activitySet({{kWater, 0.4}, {kMethanol, 0.6}}, code));
        const auto& m = sys.model(3, models::kLiquid);
        const double T = 330, P = 2e5;
        std::vector<double> x = {0.4, 0.6};
        models::PhaseProps a, b, c;
        ASSERT_TRUE(m.evaluate(T, P, x.data(), models::Root::Liquid, 1, a));
        const double dT = 1e-3, dP = 10;
        ASSERT_TRUE(m.evaluate(T + dT, P, x.data(), models::Root::Liquid, 0, b));
        ASSERT_TRUE(m.evaluate(T - dT, P, x.data(), models::Root::Liquid, 0, c));
        EXPECT_NEAR(a.dsres_dT, (b.sres - c.sres) / (2 * dT), 1e-6 * std::fabs(a.dsres_dT)) << code;
        ASSERT_TRUE(m.evaluate(T, P + dP, x.data(), models::Root::Liquid, 0, b));
        ASSERT_TRUE(m.evaluate(T, P - dP, x.data(), models::Root::Liquid, 0, c));
        EXPECT_NEAR(a.dsres_dP, (b.sres - c.sres) / (2 * dP), 1e-6 * std::fabs(a.dsres_dP)) << code;
        for (int j = 0; j < 2; ++j) {
            auto xp = x, xm = x;
            xp[j] += 1e-6;
            xm[j] -= 1e-6;
            ASSERT_TRUE(m.evaluate(T, P, xp.data(), models::Root::Liquid, 0, b));
            ASSERT_TRUE(m.evaluate(T, P, xm.data(), models::Root::Liquid, 0, c));
            EXPECT_NEAR(a.dsres_dx[j], (b.sres - c.sres) / 2e-6, 1e-5 * std::fabs(a.dsres_dx[j]) + 1e-6)
                << code << " x" << j;
        }
    }
}

// A pure liquid boiling under the set's PRX vapour: equal fugacities and
// consistent h and s in both phases make the Gibbs energies equal, so the
// entropy of vaporisation is the latent heat over T to the flash's
// tolerance.  The latent heat is the correlation's (model 1's) while the
// fugacity rests on the vapour-pressure correlation, so Clapeyron's equation
// on the saturation curve the flash finds holds only as well as the two
// correlations agree: for methanol 1 % at 280 K (6 kPa), 5 % at the normal
// boiling point (docs/activity.md).
TEST(GammaPhiLiquid, VaporisationOfAPureLiquid) {
    for (int code : kActivityCodes) {
        engine::StreamSystem sys(activitySet({{kMethanol, 1.0}}, code));
        for (double P : {6000.0, 101325.0}) {
            const auto st = engine::liquidFractionFlash(sys, P, true, 0.5);
            const auto* v = engine::phaseOfKind(*st, models::kVapour);
            const auto* l = engine::phaseOfKind(*st, models::kLiquid);
            ASSERT_TRUE(v && l) << code;
            const double T = st->T, latent = v->h - l->h;
            EXPECT_NEAR(T * (v->s - l->s), latent, 1e-8 * latent) << code << " " << P;
            if (P > 1e4) continue;
            const double dT = 0.05;
            const double pUp = engine::liquidFractionFlash(sys, T + dT, false, 0.5)->P;
            const double pDown = engine::liquidFractionFlash(sys, T - dT, false, 0.5)->P;
            const double clapeyron = T * (pUp - pDown) / (2 * dT) * (v->v - l->v);
            EXPECT_NEAR(latent / clapeyron, 1.0, 0.015) << code << ": " << latent << " J/mol";
        }
    }
}

TEST(GammaPhiLiquid, EnthalpyAndEntropyFlashesReturnToTheState) {
    for (int code : kActivityCodes) {
        engine::StreamSystem sys(activitySet({{kWater, 0.4}, {kMethanol, 0.6}}, code));
        const double P = 101325;
        // Two-phase (half liquid) and subcooled liquid.
        const auto half = engine::liquidFractionFlash(sys, P, true, 0.5);
        const double temperatures[] = {half->T, half->T - 15};
        for (double T : temperatures) {
            const auto st = sys.flash(T, P);
            const double h = engine::specValue(*st, engine::Spec::H),
                         s = engine::specValue(*st, engine::Spec::S);
            const auto byH = engine::stateFunctionFlash(sys, engine::Spec::H, h, P, true, T + 10);
            const auto byS = engine::stateFunctionFlash(sys, engine::Spec::S, s, P, true, T - 10);
            EXPECT_NEAR(byH->T, T, 1e-6) << code;
            EXPECT_NEAR(byS->T, T, 1e-6) << code;
            EXPECT_NEAR(engine::liquidFraction(*byS), engine::liquidFraction(*st), 1e-7) << code;
        }
    }
}

// cv of the gamma-phi liquid: its cp with the volume model's p-v-T
// (cp - cv = T (dv/dT)^2 / (-dv/dP)), which also gives the speed of sound.
TEST(GammaPhiLiquid, HeatCapacityRatioUsesTheVolumeModel) {
    for (int code : kActivityCodes) {
        engine::StreamSystem sys(activitySet({{kPropane, 0.55}, {kIsobutane, 0.45}}, code));
        const double T = 200, P = 5e5;
        const std::vector<double> x = sys.feed();
        const auto ph = sys.phaseState(T, P, x, models::kLiquid, true);
        models::PhaseProps h, v;
        ASSERT_TRUE(sys.model(2, models::kLiquid).evaluate(T, P, x.data(), models::Root::Liquid, 1, h));
        ASSERT_TRUE(sys.model(4, models::kLiquid).evaluate(T, P, x.data(), models::Root::Liquid, 1, v));
        EXPECT_NEAR(ph.cp, sys.idealCp(T, x.data()) + h.cpres, 1e-9 * ph.cp) << code;
        const double cpMinusCv = T * v.dv_dT * v.dv_dT / -v.dv_dP;
        EXPECT_NEAR(ph.cp - ph.cv, cpMinusCv, 1e-9 * cpMinusCv) << code;
        EXPECT_GT(ph.cp - ph.cv, 2 * models::kR) << code << ": a liquid, not cp - R";
        const double w = std::sqrt(-v.v * v.v * ph.cp / ph.cv * v.dP_dV / (ph.mw * 1e-3));
        EXPECT_NEAR(ph.w, w, 1e-9 * w) << code;
    }
}

// Through the interface, with the models set as setModelAllPhases sets 2 to
// 5 sets them: a two-phase state read back by HPF and SPF from the vapour.
TEST(GammaPhiLiquid, InterfaceFlashesOfTheActivitySets) {
    for (int q = 15; q <= 54; ++q)
        setUMC(q, 1);
    const int s = 1998;
    for (int code : kActivityCodes) {
        ASSERT_NE(initS(s), 0);
        setWm(s, 1.0);
        for (int p = 1; p <= 4; ++p) {
            ASSERT_NE(setMP(s, p, 1, p == 1 ? code : 51), 0);
            ASSERT_NE(setMP(s, p, 0, 51), 0);
        }
        putZ(s, 1, 0.55);
        putZ(s, 2, 0.45);
        putCC(s, 1, CompCID(kPropane));
        putCC(s, 2, CompCID(kIsobutane));
        ASSERT_NE(setS(s), 0) << ErrMsg();
        const double P = 5e5, T = LfPF(s, P, 0.4);
        ASSERT_TRUE(std::isfinite(T)) << ErrMsg();
        EXPECT_EQ(getMP(s, 2, 1), 51) << "the codes set are reported";
        const double h = StrH(s), entropy = StrS(s);
        EXPECT_NEAR((StrGS(s) + StrLS(s)) / entropy, 1.0, 1e-12) << code;
        setOp(s, T + 30, P);
        EXPECT_NEAR(HPF(s, P, h, 0), T, 1e-6) << code << " " << ErrMsg();
        EXPECT_NEAR(StrLf(s), 0.4, 1e-7) << code;
        setOp(s, T + 30, P);
        EXPECT_NEAR(SPF(s, P, entropy, 0), T, 1e-6) << code << " " << ErrMsg();
        EXPECT_NEAR(StrLf(s), 0.4, 1e-7) << code;
    }
}
