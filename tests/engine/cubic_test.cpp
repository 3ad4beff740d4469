// Property-based checks of the cubic equations of state: automatic
// derivatives against central differences, thermodynamic identities between
// fugacities, enthalpy, entropy and volume, at many random states.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "models/cubic.h"
#include "test_constants.h"

using namespace zpk;
using models::CubicKind;
using models::CubicModel;
using models::PhaseProps;
using models::Root;

namespace {

struct Variant {
    CubicKind kind;
    bool translated;
};

std::vector<models::PureConstants> gasMix() {
    return {testdata::methane(), testdata::ethane(), testdata::propane(), testdata::co2()};
}
std::vector<models::BinaryKij> someKij() {
    return {{0, 3, 0.09, 1e-4, -3.0}, {1, 2, 0.01, -2e-5, 1.5}};
}

class CubicProperty : public ::testing::TestWithParam<Variant> {
  protected:
    CubicModel model{GetParam().kind, GetParam().translated, gasMix(), someKij()};
};

double rel(double a, double b) {
    return std::fabs(a - b) / std::max(std::fabs(b), 1e-12);
}

} // namespace

TEST_P(CubicProperty, LnPhiDerivativesMatchFiniteDifferences) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(0.05, 1.0);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<double> x = {u(rng), u(rng), u(rng), u(rng)};
        const double T = 150 + 300 * u(rng), P = 1e5 + 1e7 * u(rng);
        const Root root = trial % 2 ? Root::Liquid : Root::Vapour;
        PhaseProps p, a, b;
        ASSERT_TRUE(model.evaluate(T, P, x.data(), root, 1, p));
        const double hT = T * 1e-6, hP = P * 1e-6;
        ASSERT_TRUE(model.evaluate(T + hT, P, x.data(), root, 0, a));
        ASSERT_TRUE(model.evaluate(T - hT, P, x.data(), root, 0, b));
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR((a.lnphi[i] - b.lnphi[i]) / (2 * hT), p.dlnphi_dT[i],
                        1e-6 * (1 + std::fabs(p.dlnphi_dT[i])));
        EXPECT_LT(rel((a.hres - b.hres) / (2 * hT), p.cpres), 1e-5);
        EXPECT_LT(rel((a.v - b.v) / (2 * hT), p.dv_dT), 1e-5);
        ASSERT_TRUE(model.evaluate(T, P + hP, x.data(), root, 0, a));
        ASSERT_TRUE(model.evaluate(T, P - hP, x.data(), root, 0, b));
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR((a.lnphi[i] - b.lnphi[i]) / (2 * hP), p.dlnphi_dP[i],
                        1e-6 * std::fabs(p.dlnphi_dP[i]) + 1e-14);
        EXPECT_NEAR((a.hres - b.hres) / (2 * hP), p.dhres_dP, 1e-5 * (std::fabs(p.dhres_dP) + p.v));
        for (int m = 0; m < 4; ++m) {
            auto xp = x, xm = x;
            const double h = 1e-6;
            xp[m] += h;
            xm[m] -= h;
            // Mole numbers: scale back to the evaluated total so that n derivatives apply.
            ASSERT_TRUE(model.evaluate(T, P, xp.data(), root, 0, a));
            ASSERT_TRUE(model.evaluate(T, P, xm.data(), root, 0, b));
            double sum = 0;
            for (double v : x)
                sum += v;
            for (int i = 0; i < 4; ++i)
                EXPECT_NEAR((a.lnphi[i] - b.lnphi[i]) / (2 * h) * sum, p.dlnphi_dn[i * 4 + m], 1e-5)
                    << "i=" << i << " m=" << m;
        }
    }
}

TEST_P(CubicProperty, ResidualPropertiesObeyGibbsIdentities) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(0.05, 1.0);
    for (int trial = 0; trial < 40; ++trial) {
        std::vector<double> x = {u(rng), u(rng), u(rng), u(rng)};
        double s = 0;
        for (double v : x)
            s += v;
        for (double& v : x)
            v /= s;
        const double T = 150 + 300 * u(rng), P = 1e5 + 1e7 * u(rng);
        PhaseProps p;
        ASSERT_TRUE(model.evaluate(T, P, x.data(), Root::Stable, 1, p));
        const double RT = models::kR * T;
        double h = 0, sr = 0, v = 0, gd = 0;
        for (int i = 0; i < 4; ++i) {
            h += -RT * T * x[i] * p.dlnphi_dT[i];
            sr += -models::kR * x[i] * (T * p.dlnphi_dT[i] + p.lnphi[i]);
            v += x[i] * (RT * p.dlnphi_dP[i] + RT / P);
            for (int j = 0; j < 4; ++j)
                gd += x[i] * p.dlnphi_dn[i * 4 + j]; // Gibbs-Duhem: zero
        }
        EXPECT_LT(rel(h, p.hres), 1e-8);
        EXPECT_LT(rel(sr, p.sres), 1e-8);
        EXPECT_LT(rel(v, p.v), 1e-8);
        EXPECT_NEAR(gd, 0.0, 1e-9);
        // Symmetry of the composition Hessian of the Gibbs energy.
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < i; ++j)
                EXPECT_NEAR(p.dlnphi_dn[i * 4 + j], p.dlnphi_dn[j * 4 + i], 1e-9);
        // Pressure of the root equals the requested pressure.
        EXPECT_LT(rel(model.pressure(T, p.v, x.data()), P), 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(Variants, CubicProperty,
                         ::testing::Values(Variant{CubicKind::SRK, false}, Variant{CubicKind::PR, false},
                                           Variant{CubicKind::PR, true}));

TEST(CubicModel, PureComponentCriticalPointIsReproduced) {
    // At Tc and Pc of a pure component a cubic has a triple root at Zc.
    for (auto kind : {CubicKind::SRK, CubicKind::PR}) {
        CubicModel m(kind, false, {testdata::propane()});
        const double x = 1.0;
        double r[3];
        const int nr = m.volumeRoots(369.83, 4.248e6, &x, r);
        const double zc = (kind == CubicKind::SRK) ? 1.0 / 3.0 : 0.30740;
        ASSERT_GE(nr, 1);
        EXPECT_NEAR(4.248e6 * r[0] / (models::kR * 369.83), zc, 1e-4);
    }
}

TEST(CubicModel, VolumeTranslationShiftsVolumeOnly) {
    CubicModel plain(CubicKind::PR, false, {testdata::propane(), testdata::nbutane()});
    CubicModel shifted(CubicKind::PR, true, {testdata::propane(), testdata::nbutane()});
    const double x[2] = {0.4, 0.6};
    PhaseProps a, b;
    ASSERT_TRUE(plain.evaluate(300, 2e6, x, Root::Liquid, 1, a));
    ASSERT_TRUE(shifted.evaluate(300, 2e6, x, Root::Liquid, 1, b));
    const double c = 0.4 * shifted.shift(0) + 0.6 * shifted.shift(1);
    EXPECT_NEAR(b.v, a.v - c, 1e-12);
    for (int i = 0; i < 2; ++i)
        EXPECT_NEAR(b.lnphi[i], a.lnphi[i] - shifted.shift(i) * 2e6 / (models::kR * 300), 1e-10);
    EXPECT_NEAR(b.cpres, a.cpres, 1e-9 * std::fabs(a.cpres));
}

TEST(CubicModel, SaturatedButaneVolumesOfTheTextbookExample) {
    // Smith, Van Ness and Abbott, Introduction to Chemical Engineering
    // Thermodynamics, 7th ed., Example 3.9: n-butane at 350 K and its vapour
    // pressure 9.4573 bar (Tc 425.1 K, Pc 37.96 bar, w 0.200).  Published:
    // SRK Z_v = 0.8190; PR Z_v = 0.8080, Z_l = 0.0366 (V 2486 and 112.6 cm3/mol).
    const models::PureConstants butane{425.1, 37.96e5, 0.200, 58.123, 0.27};
    const double T = 350, P = 9.4573e5, x = 1.0;
    auto Z = [&](double v) { return P * v / (models::kR * T); };
    double r[3];
    CubicModel srk(CubicKind::SRK, false, {butane});
    ASSERT_EQ(srk.volumeRoots(T, P, &x, r), 3);
    EXPECT_NEAR(Z(r[2]), 0.8190, 2e-4);
    CubicModel pr(CubicKind::PR, false, {butane});
    ASSERT_EQ(pr.volumeRoots(T, P, &x, r), 3);
    EXPECT_NEAR(Z(r[2]), 0.8080, 2e-4);
    EXPECT_NEAR(Z(r[0]), 0.0366, 1e-4);
    EXPECT_NEAR(r[0] * 1e6, 112.6, 0.1);
    EXPECT_NEAR(r[2] * 1e6, 2486, 1.0);
}

TEST(CubicModel, MixtureAttractionIsTheDoubleSumOverPairs) {
    // The model sums a_ij = sqrt(a_i a_j) (1 - k_ij(T)) over the non-zero
    // k_ij only; the attraction read back from its pressure must equal the
    // plain double sum over all pairs, with pure a_i read the same way.
    for (auto kind : {CubicKind::SRK, CubicKind::PR}) {
        const CubicModel m(kind, false, gasMix(), someKij());
        const double d1 = kind == CubicKind::SRK ? 1.0 : 1.0 + std::sqrt(2.0);
        const double d2 = kind == CubicKind::SRK ? 0.0 : 1.0 - std::sqrt(2.0);
        for (double T : {160.0, 250.0, 420.0}) {
            const double V = 3e-4;
            // D from P = N R T / (V - B) - D / ((V + d1 B)(V + d2 B)).
            auto attractionOf = [&](const std::vector<double>& n) {
                double N = 0, B = 0;
                for (int i = 0; i < 4; ++i) {
                    N += n[i];
                    B += n[i] * m.b(i);
                }
                return (N * models::kR * T / (V - B) - m.pressure(T, V, n.data())) * (V + d1 * B) *
                       (V + d2 * B);
            };
            std::vector<double> a(4);
            for (int i = 0; i < 4; ++i) {
                std::vector<double> pure(4, 0.0);
                pure[i] = 1.0;
                a[i] = attractionOf(pure);
            }
            const std::vector<double> n = {0.5, 0.2, 0.2, 0.1};
            double D = 0;
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j)
                    D += n[i] * n[j] * std::sqrt(a[i] * a[j]) * (1.0 - m.kij(i, j, T));
            EXPECT_LT(rel(attractionOf(n), D), 1e-10) << "T " << T;
        }
    }
}

TEST(CubicModel, ClosedFormCoreDerivativesEqualTheJets) {
    // The cubic core's first and second derivatives in closed form against
    // automatic differentiation, for both equations and with a shift.
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> u(0.0, 1.0);
    for (auto kind : {CubicKind::SRK, CubicKind::PR}) {
        const double d1 = kind == CubicKind::SRK ? 1.0 : 1.0 + std::sqrt(2.0);
        const double d2 = kind == CubicKind::SRK ? 0.0 : 1.0 - std::sqrt(2.0);
        for (int trial = 0; trial < 30; ++trial) {
            const double N = 0.5 + u(rng), B = 3e-5 * N * (0.5 + u(rng)), V = B * (1.2 + 20 * u(rng));
            const double T = 150 + 300 * u(rng), D = 0.3 * N * N * (0.5 + u(rng)), C = 1e-6 * (u(rng) - 0.5);
            const auto a = models::cubicCoreDerivatives(T, V, N, B, D, C, d1, d2);
            const auto b = models::cubicCoreByJets(T, V, N, B, D, C, d1, d2);
            EXPECT_LT(rel(a.v, b.v), 1e-12);
            for (int i = 0; i < 6; ++i) {
                EXPECT_LT(std::fabs(a.d(i) - b.d(i)), 1e-11 * (std::fabs(b.d(i)) + 1e-3 * std::fabs(b.v)))
                    << i;
                for (int j = 0; j < 6; ++j) {
                    // Scale of an entry: itself, or the diagonal entries it couples.
                    const double scale =
                        std::fabs(b.d2(i, j)) + 1e-6 * std::sqrt(std::fabs(b.d2(i, i) * b.d2(j, j)));
                    EXPECT_LE(std::fabs(a.d2(i, j) - b.d2(i, j)), 1e-10 * scale) << i << " " << j;
                }
            }
        }
    }
}

TEST(CubicModel, MixtureWithoutInteractionParametersTakesTheShortSumsExactly) {
    // Without k_ij the attraction sums take a closed form (D = S^2); a model
    // with one k_ij too small to change any sum takes the general loop.  Both
    // must give the same properties and derivatives.
    std::mt19937 rng(23);
    std::uniform_real_distribution<double> u(0.05, 1.0);
    for (auto kind : {CubicKind::SRK, CubicKind::PR}) {
        const CubicModel plain(kind, true, gasMix(), {});
        const CubicModel general(kind, true, gasMix(), {{0, 2, 1e-300, 0.0, 0.0}});
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<double> x = {u(rng), u(rng), u(rng), u(rng)};
            const double T = 150 + 300 * u(rng), P = 1e5 + 1e7 * u(rng);
            PhaseProps a, b;
            ASSERT_TRUE(plain.evaluate(T, P, x.data(), Root::Stable, 1, a));
            ASSERT_TRUE(general.evaluate(T, P, x.data(), Root::Stable, 1, b));
            EXPECT_LT(rel(a.v, b.v), 1e-13);
            EXPECT_LT(std::fabs(a.hres - b.hres), 1e-9 * (1 + std::fabs(b.hres)));
            EXPECT_LT(std::fabs(a.cpres - b.cpres), 1e-9 * (1 + std::fabs(b.cpres)));
            for (int i = 0; i < 4; ++i) {
                EXPECT_NEAR(a.lnphi[i], b.lnphi[i], 1e-12);
                EXPECT_NEAR(a.dlnphi_dT[i], b.dlnphi_dT[i], 1e-12 * (1 + std::fabs(b.dlnphi_dT[i])));
                for (int j = 0; j < 4; ++j)
                    EXPECT_NEAR(a.dlnphi_dn[i * 4 + j], b.dlnphi_dn[i * 4 + j],
                                1e-11 * (1 + std::fabs(b.dlnphi_dn[i * 4 + j])));
            }
        }
    }
}
