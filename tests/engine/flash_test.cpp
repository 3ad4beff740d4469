// Isothermal flash: equal fugacities and material balance at random states,
// Rachford-Rice edge cases, and three-phase hydrocarbon-water splits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "equilibrium/rachford_rice.h"
#include "equilibrium/tp_flash.h"
#include "models/cubic.h"
#include "test_constants.h"

using namespace zpk;
using equilibrium::FlashResult;
using equilibrium::FluidSystem;

namespace {

FluidSystem makeSystem(const models::PhaseModel& m, const std::vector<models::PureConstants>& c,
                       int maxPhases = 2, int water = -1) {
    FluidSystem s;
    s.vapour = s.liquid = &m;
    for (const auto& p : c) {
        s.tc.push_back(p.tc);
        s.pc.push_back(p.pc);
        s.omega.push_back(p.omega);
        s.mw.push_back(p.mw);
    }
    s.maxPhases = maxPhases;
    s.water = water;
    return s;
}

// Checks the converged flash: phase fractions sum to one, material balance,
// equal fugacities of every component in every phase.
void expectEquilibrium(const FluidSystem& sys, double T, double P, const std::vector<double>& z,
                       const FlashResult& r) {
    const int n = sys.size();
    double bsum = 0;
    for (const auto& ph : r.phases)
        bsum += ph.beta;
    EXPECT_NEAR(bsum, 1.0, 1e-10);
    for (int i = 0; i < n; ++i) {
        double m = 0;
        for (const auto& ph : r.phases)
            m += ph.beta * ph.x[i];
        EXPECT_NEAR(m, z[i], 1e-10 * std::max(1.0, z[i]));
    }
    if (r.phases.size() < 2) return;
    models::PhaseProps a, b;
    ASSERT_TRUE(equilibrium::evalPhase(sys, T, P, r.phases[0].x.data(), models::Root::Stable, 0, a));
    for (std::size_t k = 1; k < r.phases.size(); ++k) {
        ASSERT_TRUE(equilibrium::evalPhase(sys, T, P, r.phases[k].x.data(), models::Root::Stable, 0, b));
        for (int i = 0; i < n; ++i) {
            if (z[i] <= 0) continue;
            const double fa = std::log(r.phases[0].x[i]) + a.lnphi[i];
            const double fb = std::log(r.phases[k].x[i]) + b.lnphi[i];
            EXPECT_NEAR(fa, fb, 1e-9) << "component " << i << " phase " << k;
        }
    }
}

} // namespace

TEST(RachfordRice, SolvesInsideTheAdmissibleWindow) {
    const double z[3] = {0.5, 0.3, 0.2};
    const double K[3] = {3.0, 0.8, 0.05};
    const double b = equilibrium::rachfordRice(z, K, 3);
    double f = 0;
    for (int i = 0; i < 3; ++i)
        f += z[i] * (K[i] - 1) / (1 + b * (K[i] - 1));
    EXPECT_NEAR(f, 0.0, 1e-13);
    EXPECT_GT(b, 0.0);
    EXPECT_LT(b, 1.0);
}

TEST(RachfordRice, ClampsOneSidedKValues) {
    const double z[2] = {0.5, 0.5};
    const double up[2] = {2.0, 1.5}, down[2] = {0.5, 0.9};
    EXPECT_EQ(equilibrium::rachfordRice(z, up, 2), 1.0);
    EXPECT_EQ(equilibrium::rachfordRice(z, down, 2), 0.0);
}

TEST(RachfordRice, ExtremeKValuesStayFinite) {
    const double z[3] = {1e-9, 0.5, 0.5 - 1e-9};
    const double K[3] = {1e12, 1.0001, 1e-14};
    const double b = equilibrium::rachfordRice(z, K, 3);
    EXPECT_TRUE(std::isfinite(b));
    EXPECT_GE(b, 0.0);
    EXPECT_LE(b, 1.0);
}

TEST(MultiphaseSplit, ReducesToRachfordRiceForTwoPhases) {
    const double z[3] = {0.5, 0.3, 0.2};
    const double K[3] = {3.0, 0.8, 0.05};
    // Phase 0 vapour, phase 1 liquid with phi_L = 1: phi_V = 1 / K.
    double lnphi[6];
    for (int i = 0; i < 3; ++i) {
        lnphi[i] = -std::log(K[i]);
        lnphi[3 + i] = 0.0;
    }
    std::vector<double> beta, x;
    ASSERT_TRUE(equilibrium::multiphaseSplit(z, lnphi, 3, 2, beta, x));
    EXPECT_NEAR(beta[0], equilibrium::rachfordRice(z, K, 3), 1e-12);
}

TEST(RachfordRice, StartAtTheSolutionStaysThere) {
    // A start on the solution (the previous iteration's) must not be left
    // for the middle of the window when the Newton step falls below rounding.
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int trial = 0; trial < 40; ++trial) {
        const int n = 2 + trial % 6;
        std::vector<double> z(n), K(n);
        double s = 0;
        for (int i = 0; i < n; ++i) {
            s += z[i] = u(rng) + 1e-3;
            K[i] = std::exp(8.0 * (u(rng) - 0.5));
        }
        for (double& v : z)
            v /= s;
        const double b = equilibrium::rachfordRice(z.data(), K.data(), n);
        if (!(b > 0 && b < 1)) continue;
        EXPECT_NEAR(equilibrium::rachfordRice(z.data(), K.data(), n, false, b), b, 1e-14)
            << "trial " << trial;
        double f = 0;
        for (int i = 0; i < n; ++i)
            f += z[i] * (K[i] - 1) / (1 + b * (K[i] - 1));
        EXPECT_NEAR(f, 0.0, 1e-13) << "trial " << trial;
    }
}

TEST(MultiphaseSplit, TwoPhaseShortcutEqualsTheGeneralMinimisation) {
    // A feed summing to one takes the Rachford-Rice path, the same feed
    // doubled the general minimisation of Q (whose minimum then has twice the
    // phase amounts and the same compositions); also with a phase at zero.
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int trial = 0; trial < 50; ++trial) {
        const int n = 2 + trial % 5;
        std::vector<double> z(n), z2(n), lnphi(2 * n);
        double s = 0;
        for (int i = 0; i < n; ++i)
            s += z[i] = u(rng) + 1e-3;
        // Every third trial has no two-phase solution (K all below one).
        const double shift = trial % 3 == 0 ? 4.0 : 0.0;
        for (int i = 0; i < n; ++i) {
            z[i] /= s;
            z2[i] = 2.0 * z[i];
            lnphi[i] = 3.0 * (u(rng) - 0.5) - shift;
            lnphi[n + i] = 3.0 * (u(rng) - 0.5);
        }
        std::vector<double> b1, x1, b2, x2;
        ASSERT_TRUE(equilibrium::multiphaseSplit(z.data(), lnphi.data(), n, 2, b1, x1));
        ASSERT_TRUE(equilibrium::multiphaseSplit(z2.data(), lnphi.data(), n, 2, b2, x2));
        for (int k = 0; k < 2; ++k) {
            EXPECT_NEAR(2.0 * b1[k], b2[k], 1e-9) << "trial " << trial;
            if (b1[k] < 1e-12) continue; // an absent phase's composition is a label only
            for (int i = 0; i < n; ++i)
                EXPECT_NEAR(x1[k * n + i], x2[k * n + i], 1e-9) << "trial " << trial;
        }
    }
}

TEST(MultiphaseSplit, ThreePhaseSplitMeetsTheOptimalityConditions) {
    // The minimum of Q over beta >= 0: sum_i z_i theta_ik / E_i equals one
    // for a present phase and is at most one for an absent phase (E_i =
    // sum_k beta_k theta_ik, theta = 1 / phi); three and four phases.
    std::mt19937 rng(29);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (int trial = 0; trial < 60; ++trial) {
        const int p = 3 + trial % 2, n = p + trial % 4; // at least as many components as phases
        std::vector<double> z(n), lnphi(static_cast<std::size_t>(p) * n);
        double s = 0;
        for (int i = 0; i < n; ++i)
            s += z[i] = u(rng) + 1e-3;
        for (double& v : z)
            v /= s;
        for (double& v : lnphi)
            v = 4.0 * (u(rng) - 0.5);
        std::vector<double> beta, x;
        ASSERT_TRUE(equilibrium::multiphaseSplit(z.data(), lnphi.data(), n, p, beta, x)) << "trial " << trial;
        std::vector<double> E(n, 0.0);
        for (int i = 0; i < n; ++i)
            for (int k = 0; k < p; ++k)
                E[i] += beta[k] * std::exp(-lnphi[k * n + i]);
        for (int k = 0; k < p; ++k) {
            double sum = 0;
            for (int i = 0; i < n; ++i)
                sum += z[i] * std::exp(-lnphi[k * n + i]) / E[i];
            EXPECT_GE(beta[k], 0.0);
            if (beta[k] > 1e-10)
                EXPECT_NEAR(sum, 1.0, 1e-9) << "trial " << trial << " phase " << k;
            else
                EXPECT_LE(sum, 1.0 + 1e-9) << "trial " << trial << " phase " << k;
        }
    }
}

class FlashRandom : public ::testing::TestWithParam<models::CubicKind> {};

TEST_P(FlashRandom, EqualFugacitiesAndMaterialBalance) {
    const std::vector<models::PureConstants> c = {testdata::methane(), testdata::ethane(),
                                                  testdata::propane(), testdata::nbutane(),
                                                  testdata::nhexane(), testdata::co2()};
    models::CubicModel m(GetParam(), false, c, {{0, 5, 0.09, 0, 0}});
    const auto sys = makeSystem(m, c);
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    int twoPhase = 0;
    for (int trial = 0; trial < 60; ++trial) {
        std::vector<double> z(6);
        double s = 0;
        for (double& v : z)
            s += (v = 0.02 + u(rng));
        for (double& v : z)
            v /= s;
        const double T = 150 + 250 * u(rng), P = 2e5 + 8e6 * u(rng);
        FlashResult r;
        ASSERT_TRUE(equilibrium::flashTP(sys, T, P, z.data(), r)) << T << " " << P;
        expectEquilibrium(sys, T, P, z, r);
        twoPhase += r.phases.size() == 2;
    }
    EXPECT_GT(twoPhase, 10); // the sample must exercise the split
}

INSTANTIATE_TEST_SUITE_P(Kinds, FlashRandom,
                         ::testing::Values(models::CubicKind::SRK, models::CubicKind::PR));

TEST(FlashTP, SinglePhaseGasIsStable) {
    const std::vector<models::PureConstants> c = {testdata::methane(), testdata::ethane()};
    models::CubicModel m(models::CubicKind::SRK, false, c);
    const auto sys = makeSystem(m, c);
    const std::vector<double> z = {0.9, 0.1};
    FlashResult r;
    ASSERT_TRUE(equilibrium::flashTP(sys, 300, 1e6, z.data(), r));
    ASSERT_EQ(r.phases.size(), 1u);
    EXPECT_EQ(r.phases[0].kind, models::kVapour);
}

TEST(FlashTP, HydrocarbonWaterGivesThreePhasesWhenAllowed) {
    const std::vector<models::PureConstants> c = {testdata::ethane(), testdata::propane(),
                                                  testdata::nbutane(), testdata::water()};
    models::CubicModel m(models::CubicKind::SRK, false, c);
    const std::vector<double> z = {0.2, 0.5, 0.2, 0.1};
    FlashResult r;
    const auto sys3 = makeSystem(m, c, 3, 3);
    ASSERT_TRUE(equilibrium::flashTP(sys3, 280, 5e5, z.data(), r));
    ASSERT_EQ(r.phases.size(), 3u);
    expectEquilibrium(sys3, 280, 5e5, z, r);
    EXPECT_EQ(r.phases[0].kind, models::kVapour);
    EXPECT_EQ(r.phases[1].kind, models::kLiquid);
    EXPECT_EQ(r.phases[2].kind, models::kLiquid);
    EXPECT_GT(r.phases[2].x[3], 0.99); // the densest liquid is the water
    EXPECT_NEAR(r.phases[2].beta, 0.1, 0.01);
    // Without the second liquid the flash stops at two phases.
    const auto sys2 = makeSystem(m, c, 2, 3);
    ASSERT_TRUE(equilibrium::flashTP(sys2, 280, 5e5, z.data(), r));
    EXPECT_EQ(r.phases.size(), 2u);
}

// The flash started from a neighbouring state's phases finds the state the
// flash from the feed finds: same phase count, fractions and compositions to
// 1e-9, along a temperature walk that crosses the phase boundaries of a
// hydrocarbon-water mixture (one, two and three phases).
TEST(FlashTPFrom, EqualsTheFlashFromTheFeedAlongAWalk) {
    const std::vector<models::PureConstants> c = {
        testdata::methane(), testdata::ethane(), testdata::propane(), testdata::nbutane(), testdata::water()};
    models::CubicModel m(models::CubicKind::SRK, false, c);
    const std::vector<double> z = {0.3, 0.1, 0.3, 0.2, 0.1};
    for (int maxPhases : {2, 3}) {
        const auto sys = makeSystem(m, c, maxPhases, 4);
        FlashResult prev, warm, cold;
        std::vector<std::size_t> seen;
        for (double T = 230; T <= 420; T += 2.5) {
            const double P = 3e6;
            ASSERT_TRUE(equilibrium::flashTP(sys, T, P, z.data(), cold));
            ASSERT_TRUE(equilibrium::flashTPFrom(sys, T, P, z.data(), prev.phases, warm));
            ASSERT_EQ(warm.phases.size(), cold.phases.size()) << "T " << T;
            for (std::size_t k = 0; k < cold.phases.size(); ++k) {
                EXPECT_EQ(warm.phases[k].kind, cold.phases[k].kind);
                EXPECT_NEAR(warm.phases[k].beta, cold.phases[k].beta, 1e-9) << "T " << T;
                for (std::size_t i = 0; i < z.size(); ++i)
                    EXPECT_NEAR(warm.phases[k].x[i], cold.phases[k].x[i], 1e-9) << "T " << T;
            }
            if (std::find(seen.begin(), seen.end(), cold.phases.size()) == seen.end())
                seen.push_back(cold.phases.size());
            prev = warm;
        }
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(maxPhases))
            << "the walk must cross the phase boundaries";
    }
}

// Near its dew point a gas with a trace of a heavy component splits off a
// minute liquid: a Newton step there lowers the Gibbs energy by less than
// the energy's own rounding.  The equilibrium solved from a neighbouring
// state's phases still converges in a few steps at every one of many nearby
// temperatures (a step judged by rounding noise alone stalled, or crept by
// minute steps until the iteration limit).
TEST(SolveEquilibrium, ConvergesFromANeighbourWhenTheLiquidIsATrace) {
    const std::vector<models::PureConstants> c = {testdata::methane(), testdata::nbutane()};
    for (const auto kind : {models::CubicKind::PR, models::CubicKind::SRK}) {
        models::CubicModel m(kind, false, c, {{0, 1, 0.02, 0, 0}});
        const auto sys = makeSystem(m, c);
        const std::vector<double> z = {0.999, 0.001};
        const double P = 101327;
        for (double T0 = 145; T0 <= 165; T0 += 5) {
            FlashResult base;
            ASSERT_TRUE(equilibrium::flashTP(sys, T0, P, z.data(), base));
            ASSERT_EQ(base.phases.size(), 2u) << "T " << T0;
            int worst = 0;
            for (int k = 1; k <= 60; ++k) {
                const double T = T0 - 1e-7 * std::pow(1.3, k);
                std::vector<equilibrium::Phase> ph = base.phases;
                int iterations = 0;
                ASSERT_TRUE(equilibrium::solveEquilibrium(sys, T, P, z.data(), ph, &iterations)) << "T " << T;
                worst = std::max(worst, iterations);
            }
            EXPECT_LE(worst, 12) << "T0 " << T0;
        }
    }
}
