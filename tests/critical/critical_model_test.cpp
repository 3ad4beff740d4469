// Critical-point search on the cubic equations directly: pure components
// must give back the critical constants the equation was built from, and
// mixture points must satisfy the critical conditions in an independent
// (T, P, x) formulation.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "equilibrium/critical.h"
#include "models/cubic.h"
#include "models/regular.h"

using namespace zpk;
using models::CubicKind;
using models::CubicModel;
using models::PureConstants;

namespace {

// Tc (K), Pc (Pa), acentric factor, molar mass: Poling, Prausnitz and
// O'Connell, "The Properties of Gases and Liquids", 5th ed., Appendix A.
const PureConstants kMethane{190.56, 4.599e6, 0.011, 16.043, 0.2892};
const PureConstants kEthane{305.32, 4.872e6, 0.099, 30.070, 0.2808};
const PureConstants kPropane{369.83, 4.248e6, 0.152, 44.097, 0.2766};
const PureConstants kNHexane{507.6, 3.025e6, 0.301, 86.177, 0.2635};
const PureConstants kCO2{304.12, 7.374e6, 0.225, 44.010, 0.2722};
const PureConstants kH2S{373.53, 8.963e6, 0.094, 34.082, 0.2855};

double rel(double a, double b) {
    return std::fabs(a - b) / std::fabs(b);
}

std::vector<equilibrium::CriticalPoint> pointsOf(const CubicModel& m, std::vector<double> z, double tScale) {
    equilibrium::CriticalSearch s;
    s.temperatureScale = tScale;
    return equilibrium::criticalPoints(m, z.data(), static_cast<int>(z.size()), s);
}

// ln f_1 of a binary at (T, P) with x_1 = x, on the volume root nearest to
// v (the critical volume), from the residual Helmholtz derivatives:
// ln phi_1 = dF/dn_1 - ln Z for one mole.
double lnF1(const CubicModel& m, double T, double P, double x, double v) {
    const double xs[2] = {x, 1.0 - x};
    double roots[3];
    const int nr = m.volumeRoots(T, P, xs, roots);
    double V = roots[0];
    for (int k = 1; k < nr; ++k)
        if (std::fabs(roots[k] - v) < std::fabs(V - v)) V = roots[k];
    models::ResidualDerivs d;
    m.residual(T, V, xs, 0, d);
    return std::log(x * P) + d.F_i[0] - std::log(P * V / (models::kR * T));
}

} // namespace

TEST(CriticalPure, EveryCubicReturnsTheConstantsItWasBuiltFrom) {
    for (CubicKind kind : {CubicKind::SRK, CubicKind::PR})
        for (const PureConstants& c : {kMethane, kEthane, kNHexane, kCO2}) {
            const CubicModel m(kind, false, {c});
            const auto pts = pointsOf(m, {1.0}, c.tc);
            ASSERT_EQ(pts.size(), 1u);
            EXPECT_LT(rel(pts[0].T, c.tc), 1e-8);
            EXPECT_LT(rel(pts[0].P, c.pc), 1e-7);
            // Critical compressibility of the equation: 1/3 for SRK, 0.30740 for PR.
            const double zc = c.pc * pts[0].V / (models::kR * c.tc);
            EXPECT_NEAR(zc, kind == CubicKind::SRK ? 1.0 / 3.0 : 0.307401, 2e-5);
        }
}

TEST(CriticalPure, AbsentComponentsAndVolumeTranslationLeaveThePointAlone) {
    // Ethane in a three-component model with the others at zero fraction.
    const CubicModel m(CubicKind::PR, false, {kMethane, kEthane, kPropane});
    const auto pts = pointsOf(m, {0.0, 2.5, 0.0}, kPropane.tc);
    ASSERT_EQ(pts.size(), 1u);
    EXPECT_LT(rel(pts[0].T, kEthane.tc), 1e-8);
    EXPECT_LT(rel(pts[0].P, kEthane.pc), 1e-7);

    // Peneloux translation moves the volume by the shift only.
    const CubicModel t(CubicKind::PR, true, {kEthane});
    const auto shifted = pointsOf(t, {1.0}, kEthane.tc);
    ASSERT_EQ(shifted.size(), 1u);
    EXPECT_LT(rel(shifted[0].T, kEthane.tc), 1e-8);
    EXPECT_LT(rel(shifted[0].P, kEthane.pc), 1e-7);
    const CubicModel plain(CubicKind::PR, false, {kEthane});
    EXPECT_NEAR(shifted[0].V, pointsOf(plain, {1.0}, kEthane.tc)[0].V - t.shift(0), 1e-10);
}

TEST(CriticalPure, SearchQuantitiesAreConsistent) {
    const CubicModel m(CubicKind::SRK, false, {kEthane});
    const double z = 1.0;
    // At the critical volume the stability limit is the critical temperature;
    // the fluid is stable above it and unstable below.
    const double Vc = models::kR * kEthane.tc / (3.0 * kEthane.pc);
    const double Ts = equilibrium::stabilityLimitTemperature(m, &z, 1, Vc);
    EXPECT_LT(rel(Ts, kEthane.tc), 1e-8);
    EXPECT_GT(equilibrium::smallestEigenvalue(m, &z, 1, 1.01 * kEthane.tc, Vc), 0);
    EXPECT_LT(equilibrium::smallestEigenvalue(m, &z, 1, 0.99 * kEthane.tc, Vc), 0);
    // Away from the critical volume the limit lies lower.
    EXPECT_LT(equilibrium::stabilityLimitTemperature(m, &z, 1, 2 * Vc), Ts);
    EXPECT_LT(equilibrium::stabilityLimitTemperature(m, &z, 1, 0.7 * Vc), Ts);
}

// The search from an expected limit finds the same limit whether the hint
// lies close to it, far above it (scanned down) or below it (the start is
// unstable and the search steps up until the fluid is stable).
TEST(CriticalPure, HintedSearchFindsTheSameLimit) {
    const CubicModel m(CubicKind::SRK, false, {kEthane});
    const double z = 1.0;
    const double Vc = models::kR * kEthane.tc / (3.0 * kEthane.pc);
    for (double V : {0.7 * Vc, Vc, 2 * Vc}) {
        const double Ts = equilibrium::stabilityLimitTemperature(m, &z, 1, V);
        ASSERT_TRUE(std::isfinite(Ts));
        for (double f : {1.0, 1.02, 1.5, 0.98, 0.8, 0.5})
            EXPECT_LT(rel(equilibrium::stabilityLimitTemperature(m, &z, 1, V, f * Ts), Ts), 1e-10)
                << "V/Vc " << V / Vc << ", hint " << f << " Ts";
    }
}

// The binary critical conditions in the Gibbs form, d ln f1 / dx1 = 0 and
// d2 ln f1 / dx1^2 = 0 at constant T and P, are an independent check of
// the Helmholtz-form search: both vanish at the point found, while the
// ideal part alone is of order 1/x1.  Central differences in x with one
// Richardson step (their error falls as h^2).
static void expectGibbsCritical(const CubicModel& m, double x, const equilibrium::CriticalPoint& p) {
    auto g = [&](double T, double xx) { return lnF1(m, T, p.P, xx, p.V); };
    auto derivs = [&](double T, double h, double& d1, double& d2) {
        const double g0 = g(T, x), gp = g(T, x + h), gm = g(T, x - h);
        d1 = (gp - gm) / (2 * h);
        d2 = (gp - 2 * g0 + gm) / (h * h);
    };
    double a1, a2, b1, b2;
    derivs(p.T, 4e-4, a1, a2);
    derivs(p.T, 2e-4, b1, b2);
    const double d1 = (4 * b1 - a1) / 3, d2 = (4 * b2 - a2) / 3;
    const double scale1 = 1 / x, scale2 = 1 / (x * x);
    EXPECT_LT(std::fabs(d1) / scale1, 1e-6) << "x1 " << x << " T " << p.T << " P " << p.P;
    EXPECT_LT(std::fabs(d2) / scale2, 1e-4) << "x1 " << x << " T " << p.T << " P " << p.P;
    // 0.1 % off in temperature the first condition fails by ten times its
    // tolerance: the check discriminates at this resolution.
    derivs(p.T * 1.001, 2e-4, a1, a2);
    EXPECT_GT(std::fabs(a1) / scale1, 1e-5) << "x1 " << x << " T " << p.T;
}

TEST(CriticalBinary, PointsSatisfyTheGibbsCriticalConditions) {
    struct Case {
        CubicKind kind;
        PureConstants a, b;
        double x1, kij;
    };
    const Case cases[] = {
        {CubicKind::SRK, kMethane, kEthane, 0.5, 0.0},   {CubicKind::SRK, kMethane, kEthane, 0.9, 0.0},
        {CubicKind::PR, kMethane, kPropane, 0.6, 0.014}, {CubicKind::PR, kMethane, kPropane, 0.95, 0.0},
        {CubicKind::PR, kCO2, kNHexane, 0.7, 0.11},
    };
    for (const Case& c : cases) {
        const CubicModel m(c.kind, false, {c.a, c.b}, {{0, 1, c.kij, 0, 0}});
        const auto pts = pointsOf(m, {c.x1, 1 - c.x1}, c.b.tc);
        ASSERT_EQ(pts.size(), 1u) << c.x1;
        // Between the component critical temperatures for these systems.
        EXPECT_GT(pts[0].T, c.a.tc);
        EXPECT_LT(pts[0].T, c.b.tc);
        expectGibbsCritical(m, c.x1, pts[0]);
    }
}

// Methane-hydrogen sulfide (SRK, k_ij = 0) at x1 = 0.6 and 0.7 has two
// critical points on one stability limit: the vapour-liquid point and a
// low-temperature one inside the two-phase region.  Both are found and both
// satisfy the critical conditions; near x1 = 0.85 only one remains.
TEST(CriticalBinary, SeveralPointsOnOneStabilityLimit) {
    const CubicModel m(CubicKind::SRK, false, {kMethane, kH2S});
    for (double x : {0.6, 0.7}) {
        const auto pts = pointsOf(m, {x, 1 - x}, kH2S.tc);
        ASSERT_EQ(pts.size(), 2u) << x;
        EXPECT_LT(pts[0].T + 20, pts[1].T);
        for (const auto& p : pts)
            expectGibbsCritical(m, x, p);
    }
    EXPECT_EQ(pointsOf(m, {0.85, 0.15}, kH2S.tc).size(), 1u);
}

TEST(CriticalBinary, LocusRunsBetweenThePureCriticalPoints) {
    // Methane-ethane with SRK: Tc rises monotonically from methane to ethane
    // and the pressure passes through a maximum above both pure values.
    const CubicModel m(CubicKind::SRK, false, {kMethane, kEthane});
    double lastT = kMethane.tc, maxP = 0;
    for (double x1 = 0.95; x1 > 0.04; x1 -= 0.1) {
        const auto pts = pointsOf(m, {x1, 1 - x1}, kEthane.tc);
        ASSERT_EQ(pts.size(), 1u) << x1;
        EXPECT_GT(pts[0].T, lastT);
        lastT = pts[0].T;
        maxP = std::max(maxP, pts[0].P);
    }
    EXPECT_LT(lastT, kEthane.tc);
    EXPECT_GT(maxP, 1.3 * kEthane.pc);
}

TEST(CriticalModel, ModelsWithoutHelmholtzFormHaveNoPoints) {
    const models::RegularModel m({kMethane, kEthane});
    const double z[2] = {0.5, 0.5};
    EXPECT_TRUE(equilibrium::criticalPoints(m, z, 2).empty());
    const CubicModel c(CubicKind::PR, false, {kMethane, kEthane});
    const double none[2] = {0, 0};
    EXPECT_TRUE(equilibrium::criticalPoints(c, none, 2).empty());
}

TEST(CriticalModel, UnstablePointsAreOrderedLast) {
    // Two made-up points of methane-ethane (SRK): one at the true critical
    // point, one in the two-phase region at 170 K and 0.8 MPa
    // (between the dew and bubble pressures there).
    const CubicModel m(CubicKind::SRK, false, {kMethane, kEthane});
    const std::vector<double> z = {0.7, 0.3};
    auto pts = pointsOf(m, z, kEthane.tc);
    ASSERT_EQ(pts.size(), 1u);
    equilibrium::FluidSystem sys;
    sys.vapour = sys.liquid = &m;
    sys.tc = {kMethane.tc, kEthane.tc};
    sys.pc = {kMethane.pc, kEthane.pc};
    sys.omega = {kMethane.omega, kEthane.omega};
    sys.mw = {kMethane.mw, kEthane.mw};
    std::vector<equilibrium::CriticalPoint> list = {{170.0, 0.8e6, 1e-4, true}, pts[0]};
    equilibrium::orderByStability(sys, z.data(), list);
    EXPECT_TRUE(list[0].stable);
    EXPECT_DOUBLE_EQ(list[0].T, pts[0].T);
    EXPECT_FALSE(list[1].stable);
}
