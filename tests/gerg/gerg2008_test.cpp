#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <thread>
#include <tuple>
#include <vector>

#include "core/error.h"
#include "models/factory.h"
#include "models/gerg2008.h"

namespace {

using zpk::models::Gerg2008Model;
using zpk::models::kR;
using zpk::models::PhaseProps;
using zpk::models::ResidualDerivs;
using zpk::models::Root;
namespace g = zpk::models::gerg2008;

constexpr std::int64_t kMethane = 74828, kNitrogen = 7727379, kCO2 = 124389, kEthane = 74840,
                       kPropane = 74986;

// The 21 GERG components in the formulation's order and the natural gas of
// Kunz and Wagner's check calculation.
const std::vector<std::int64_t> kAll = {74828,   7727379, 124389, 74840,   74986,   75285,   106978,
                                        78784,   109660,  110543, 142825,  111659,  111842,  124185,
                                        1333740, 7782447, 630080, 7732185, 7783064, 7440597, 7440371};
const std::vector<double> kGas = {0.77824, 0.02,    0.06,    0.08,    0.03,    0.0015,  0.003,
                                  0.0005,  0.00165, 0.00215, 0.00088, 0.00024, 0.00015, 0.00009,
                                  0.004,   0.005,   0.002,   0.0001,  0.0025,  0.007,   0.001};

std::vector<int> positions(const std::vector<std::int64_t>& cas) {
    std::vector<int> p;
    for (auto c : cas)
        p.push_back(g::componentOf(c));
    return p;
}

void near(double a, double b, double rel, const char* what) {
    EXPECT_NEAR(a, b, rel * std::fabs(b)) << what;
}

// The check output published with the GERG-2008 reference code of AGA Report
// No. 8 (2017) by NIST (E. W. Lemmon, I. H. Bell; GERG2008.cpp, example for
// the 21-component gas at 400 K): at 12.79828626082062 mol/l the pressure is
// 50 MPa.  dP/drho in kPa/(mol/l) = Pa m3/mol, dP/dT 235.9832292593096 kPa/K,
// cv, cp J/(mol K), w m/s.  cv and cp differ by 5e-12 relative because that
// code gives the ideal part's characteristic temperatures in K to six digits
// (see stream_test.cpp).  d2P/drho2: the code's own test program expects
// 1129.526655214841 kPa/(mol/l)^2 (the listing beside it prints the
// 1130.481239114938 of an earlier version); here from differences of dP/drho.
TEST(Gerg2008Check, NaturalGasAt400K) {
    ASSERT_EQ(g::componentCount(), 21);
    const double rho = 12798.28626082062;
    const g::State s = g::stateTRho(positions(kAll), kGas.data(), 400.0, rho);
    near(s.P, 50e6, 1e-14, "pressure");
    near(s.Z, 1.174690666383717, 1e-14, "Z");
    near(s.dPdrho, 7000.694030193327, 1e-14, "dP/drho");
    near(s.dPdT, 235983.2292593096, 1e-14, "dP/dT");
    near(s.cv, 39.02948218156372, 1e-11, "cv");
    near(s.cp, 58.45522051000366, 1e-11, "cp");
    near(s.w, 714.4248840596024, 2e-12, "speed of sound");
    const double h = 1e-4 * rho;
    const g::State a = g::stateTRho(positions(kAll), kGas.data(), 400.0, rho + h);
    const g::State b = g::stateTRho(positions(kAll), kGas.data(), 400.0, rho - h);
    // kPa/(mol/l)^2 = 1e-3 Pa m6/mol2
    near((a.dPdrho - b.dPdrho) / (2 * h) * 1e3, 1129.526655214841, 1e-7, "d2P/drho2");
}

// The volume solver's evaluation in delta alone is the arithmetic of the
// full one: alpha_r, pressure and its density derivative to the last bit,
// from dilute gas to dense liquid.
TEST(Gerg2008Check, DeltaOnlyEvaluationEqualsTheFullOne) {
    const std::vector<int> comp = positions(kAll);
    double Tr, rhor;
    g::reducing(comp, kGas.data(), Tr, rhor);
    for (double T : {150.0, 250.0, 400.0, 700.0})
        for (double rho = 1.0; rho < 3e4; rho *= 2.3) {
            const g::State s = g::stateTRho(comp, kGas.data(), T, rho);
            const g::DeltaTerms d = g::alphaInDelta(comp, kGas.data(), T, rho);
            const double delta = rho / rhor;
            EXPECT_EQ(d.a, s.alphar) << "T " << T << " rho " << rho;
            EXPECT_EQ(rho * g::kRGerg * T * (1 + delta * d.ad), s.P) << "T " << T << " rho " << rho;
            EXPECT_EQ(g::kRGerg * T * (1 + 2 * delta * d.ad + delta * delta * d.add), s.dPdrho)
                << "T " << T << " rho " << rho;
        }
}

// The model's pressure is the formulation's, gas constant included: the
// density root at 50 MPa is the check calculation's density.
TEST(Gerg2008Check, DensityRootOfTheNaturalGas) {
    const Gerg2008Model m(kAll);
    for (Root r : {Root::Vapour, Root::Liquid, Root::Stable}) {
        double V;
        bool liquid;
        ASSERT_TRUE(m.volume(400.0, 50e6, kGas.data(), r, V, liquid));
        near(1 / V, 12798.28626082062, 1e-12, "density");
        EXPECT_FALSE(liquid); // above the reducing temperature
    }
}

// Pure fluids: GERG-2008's pure-fluid equations agree with the reference
// equations of methane, CO2 and ethane at their triple points within the
// formulation's stated uncertainty (liquid density 0.1 %, vapour 0.2 %).
TEST(Gerg2008Pure, TriplePointDensitiesNearReferenceEquations) {
    for (auto [cas, T, P, rl, rv] : std::vector<std::tuple<std::int64_t, double, double, double, double>>{
             {kMethane, 90.6941, 11696.064114962215, 28141.914792659172, 15.629694499289354},
             {kCO2, 216.592, 517964.34344772575, 26777.277860217495, 312.6777588871105},
             {kEthane, 90.368, 1.142107639085233, 21667.78455939368, 0.0015200592567335331}}) {
        const Gerg2008Model m({cas});
        const double x = 1;
        double V;
        bool liquid;
        ASSERT_TRUE(m.volume(T, P, &x, Root::Liquid, V, liquid)) << cas;
        EXPECT_TRUE(liquid);
        near(1 / V, rl, 1e-3, "liquid density");
        ASSERT_TRUE(m.volume(T, P, &x, Root::Vapour, V, liquid)) << cas;
        EXPECT_FALSE(liquid);
        near(1 / V, rv, 2e-3, "vapour density");
    }
}

// A mixture in which all but one mole fraction is zero is that pure fluid.
TEST(Gerg2008Pure, MixtureOfOneComponentIsThePureFluid) {
    const Gerg2008Model pure({kCO2}), mix({kMethane, kCO2, kPropane});
    const double one = 1, x[3] = {0, 1, 0};
    for (auto [T, P] : {std::pair{250.0, 2e6}, std::pair{350.0, 20e6}, std::pair{280.0, 8e6}}) {
        PhaseProps a, b;
        ASSERT_TRUE(pure.evaluate(T, P, &one, Root::Stable, 1, a));
        ASSERT_TRUE(mix.evaluate(T, P, x, Root::Stable, 1, b));
        near(b.v, a.v, 1e-12, "volume");
        near(b.hres, a.hres, 1e-10, "hres");
        near(b.cpres, a.cpres, 1e-9, "cpres");
        EXPECT_NEAR(b.lnphi[1], a.lnphi[0], 1e-12);
        EXPECT_EQ(a.kind, b.kind);
    }
}

// Residual derivatives in (T, V, n) against central differences, and the
// homogeneity of F in (V, n).
TEST(Gerg2008Derivatives, ResidualAgainstFiniteDifferences) {
    const Gerg2008Model m({kMethane, kNitrogen, kCO2, kEthane});
    const std::vector<double> n0 = {0.7, 0.1, 0.15, 0.05};
    const double T0 = 240, V0 = 1 / 9000.0; // dense supercritical-ish state
    ResidualDerivs d, p, q;
    ASSERT_TRUE(m.residualDerivatives(T0, V0, n0.data(), 1, d));
    const double hT = 1e-4 * T0, hV = 1e-5 * V0, hn = 1e-5;
    // T
    ASSERT_TRUE(m.residualDerivatives(T0 + hT, V0, n0.data(), 1, p));
    ASSERT_TRUE(m.residualDerivatives(T0 - hT, V0, n0.data(), 1, q));
    EXPECT_NEAR(d.F_T, (p.F - q.F) / (2 * hT), 1e-7 * std::fabs(d.F_T) + 1e-10);
    EXPECT_NEAR(d.F_TT, (p.F_T - q.F_T) / (2 * hT), 1e-6 * std::fabs(d.F_TT) + 1e-10);
    EXPECT_NEAR(d.F_TV, (p.F_V - q.F_V) / (2 * hT), 1e-6 * std::fabs(d.F_TV) + 1e-6);
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(d.F_iT[i], (p.F_i[i] - q.F_i[i]) / (2 * hT), 1e-6 * std::fabs(d.F_iT[i]) + 1e-9);
    // V
    ASSERT_TRUE(m.residualDerivatives(T0, V0 + hV, n0.data(), 1, p));
    ASSERT_TRUE(m.residualDerivatives(T0, V0 - hV, n0.data(), 1, q));
    EXPECT_NEAR(d.F_V, (p.F - q.F) / (2 * hV), 1e-7 * std::fabs(d.F_V));
    EXPECT_NEAR(d.F_VV, (p.F_V - q.F_V) / (2 * hV), 1e-6 * std::fabs(d.F_VV));
    for (int i = 0; i < 4; ++i)
        EXPECT_NEAR(d.F_iV[i], (p.F_i[i] - q.F_i[i]) / (2 * hV), 1e-6 * std::fabs(d.F_iV[i]));
    // n
    double euler = V0 * d.F_V;
    for (int j = 0; j < 4; ++j) {
        std::vector<double> a = n0, b = n0;
        a[j] += hn;
        b[j] -= hn;
        ASSERT_TRUE(m.residualDerivatives(T0, V0, a.data(), 1, p));
        ASSERT_TRUE(m.residualDerivatives(T0, V0, b.data(), 1, q));
        EXPECT_NEAR(d.F_i[j], (p.F - q.F) / (2 * hn), 1e-7 * std::fabs(d.F_i[j]) + 1e-9) << j;
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(d.F_ij[i * 4 + j], (p.F_i[i] - q.F_i[i]) / (2 * hn),
                        1e-6 * std::fabs(d.F_ij[i * 4 + j]) + 1e-7)
                << i << ' ' << j;
            EXPECT_DOUBLE_EQ(d.F_ij[i * 4 + j], d.F_ij[j * 4 + i]);
        }
        euler += n0[j] * d.F_i[j];
    }
    EXPECT_NEAR(euler, d.F, 1e-12 * std::fabs(d.F) + 1e-14);
}

// Order 0 (first derivatives only) gives the same values as order 1.
TEST(Gerg2008Derivatives, FirstOrderPassEqualsFullPass) {
    const Gerg2008Model m(kAll);
    ResidualDerivs a, b;
    ASSERT_TRUE(m.residualDerivatives(300, 1 / 5000.0, kGas.data(), 0, a));
    ASSERT_TRUE(m.residualDerivatives(300, 1 / 5000.0, kGas.data(), 1, b));
    EXPECT_EQ(a.F, b.F);
    EXPECT_EQ(a.F_T, b.F_T);
    EXPECT_EQ(a.F_V, b.F_V);
    EXPECT_EQ(a.F_i, b.F_i);
    PhaseProps p, q;
    ASSERT_TRUE(m.evaluate(300, 10e6, kGas.data(), Root::Stable, 0, p));
    ASSERT_TRUE(m.evaluate(300, 10e6, kGas.data(), Root::Stable, 1, q));
    EXPECT_EQ(p.lnphi, q.lnphi);
    EXPECT_EQ(p.hres, q.hres);
}

// Phase properties at (T, P): the temperature and pressure derivatives agree
// with differences of the values, and lnphi is consistent with the residual
// Gibbs energy.
TEST(Gerg2008Derivatives, PhasePropertiesAgainstFiniteDifferences) {
    const Gerg2008Model m({kMethane, kEthane, kPropane});
    const double x[3] = {0.8, 0.15, 0.05};
    for (auto [T, P, r] : {std::tuple{300.0, 5e6, Root::Vapour}, std::tuple{200.0, 6e6, Root::Liquid}}) {
        PhaseProps a, p, q;
        ASSERT_TRUE(m.evaluate(T, P, x, r, 1, a));
        const double hT = 1e-4 * T, hP = 1e-5 * P;
        ASSERT_TRUE(m.evaluate(T + hT, P, x, r, 1, p));
        ASSERT_TRUE(m.evaluate(T - hT, P, x, r, 1, q));
        EXPECT_NEAR(a.dv_dT, (p.v - q.v) / (2 * hT), 1e-6 * std::fabs(a.dv_dT));
        EXPECT_NEAR(a.cpres, (p.hres - q.hres) / (2 * hT), 1e-5 * std::fabs(a.cpres) + 1e-6);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(a.dlnphi_dT[i], (p.lnphi[i] - q.lnphi[i]) / (2 * hT),
                        1e-6 * std::fabs(a.dlnphi_dT[i]) + 1e-9);
        ASSERT_TRUE(m.evaluate(T, P + hP, x, r, 1, p));
        ASSERT_TRUE(m.evaluate(T, P - hP, x, r, 1, q));
        EXPECT_NEAR(a.dv_dP, (p.v - q.v) / (2 * hP), 1e-6 * std::fabs(a.dv_dP));
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(a.dlnphi_dP[i], (p.lnphi[i] - q.lnphi[i]) / (2 * hP),
                        1e-6 * std::fabs(a.dlnphi_dP[i]) + 1e-14);
        // g_res / RT = sum x lnphi = F + Z - 1 - ln Z, and h - T s.
        double g = 0;
        for (int i = 0; i < 3; ++i)
            g += x[i] * a.lnphi[i];
        EXPECT_NEAR(g * kR * T, a.hres - T * a.sres, 1e-9 * (std::fabs(a.hres) + 1));
    }
}

// Two roots below the phase boundary of a rich gas: the liquid is denser and
// the stable one is the root of lower Gibbs energy.
TEST(Gerg2008Roots, LiquidAndVapourBranches) {
    const Gerg2008Model m({kPropane});
    const double x = 1;
    double Vl, Vv;
    bool l, v;
    // Propane at 300 K: vapour pressure about 1 MPa.
    ASSERT_TRUE(m.volume(300, 0.5e6, &x, Root::Liquid, Vl, l));
    ASSERT_TRUE(m.volume(300, 0.5e6, &x, Root::Vapour, Vv, v));
    EXPECT_TRUE(l);
    EXPECT_FALSE(v);
    EXPECT_GT(Vv, 20 * Vl);
    double Vs;
    bool s;
    ASSERT_TRUE(m.volume(300, 0.5e6, &x, Root::Stable, Vs, s));
    EXPECT_EQ(Vs, Vv);
    ASSERT_TRUE(m.volume(300, 2e6, &x, Root::Stable, Vs, s));
    EXPECT_TRUE(s);
    // Above the critical temperature at low pressure: one root, vapour-like,
    // whichever branch is asked for.
    ASSERT_TRUE(m.volume(500, 0.1e6, &x, Root::Liquid, Vs, s));
    EXPECT_FALSE(s);
    EXPECT_NEAR(0.1e6 * Vs / (kR * 500), 1.0, 0.01);
}

TEST(Gerg2008Model, RejectsComponentsOutsideTheFormulation) {
    EXPECT_THROW(Gerg2008Model({kMethane, 71432 /* benzene */}), zpk::Error);
    EXPECT_EQ(g::componentOf(71432), -1);
    zpk::models::ModelInputs in;
    in.cas = {kMethane, 71432};
    in.pure.resize(2);
    EXPECT_TRUE(zpk::models::canBuild(315));
    EXPECT_THROW(zpk::models::buildPhaseModel(315, in), zpk::Error);
    in.cas = {kMethane, kNitrogen};
    EXPECT_EQ(zpk::models::buildPhaseModel(315, in)->size(), 2);
}

// The per-thread root memory never hands one model's root to another, even
// when a new model takes the place of a destroyed one.
TEST(Gerg2008Model, RootMemoryIsPerModel) {
    const double x = 1;
    double Va, Vb;
    bool l;
    {
        const Gerg2008Model a({kMethane});
        ASSERT_TRUE(a.volume(300, 5e6, &x, Root::Stable, Va, l));
    }
    const Gerg2008Model b({kNitrogen});
    ASSERT_TRUE(b.volume(300, 5e6, &x, Root::Stable, Vb, l));
    EXPECT_GT(std::fabs(Va - Vb), 1e-3 * Va);
    double again;
    ASSERT_TRUE(b.volume(300, 5e6, &x, Root::Stable, again, l));
    EXPECT_EQ(again, Vb);
}

TEST(Gerg2008Model, ConcurrentEvaluationsMatchSequential) {
    const Gerg2008Model m(kAll);
    PhaseProps ref;
    ASSERT_TRUE(m.evaluate(280, 8e6, kGas.data(), Root::Stable, 1, ref));
    std::vector<std::thread> th;
    std::vector<int> ok(4, 0);
    for (int t = 0; t < 4; ++t)
        th.emplace_back([&, t] {
            for (int k = 0; k < 5; ++k) {
                PhaseProps p;
                if (m.evaluate(280, 8e6, kGas.data(), Root::Stable, 1, p) && p.v == ref.v &&
                    p.lnphi == ref.lnphi)
                    ++ok[t];
            }
        });
    for (auto& t : th)
        t.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(ok[t], 5);
}

} // namespace
