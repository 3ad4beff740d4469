// The IAPWS-95 formulation against the check values of the release
// (IAPWS R6-95(2018), tables 6 to 8), derivative consistency of the jets
// (also across delta = 1 where the non-analytic terms need care), and the
// density and saturation solvers.
#include <gtest/gtest.h>

#include <cmath>

#include "models/iapws95.h"

namespace w = zpk::models::iapws95;
using zpk::models::Root;

namespace {

double kgPerMol() {
    return w::constants().M;
}
double molar(double rhoKg) {
    return rhoKg / kgPerMol();
}
double perKg(double molarValue) {
    return molarValue / kgPerMol() / 1e3;
} // J/mol.. -> kJ/kg..

void expectRel(double got, double want, double tol, const char* what) {
    EXPECT_LE(std::fabs(got / want - 1), tol) << what << ": got " << got << " want " << want;
}

// The release prints its check values to nine significant digits: a value
// agrees when it rounds to the printed one (half a unit of the ninth digit;
// the relative precision the tables allow, 5e-10 to 5e-9).
void expectNineDigits(double got, double want, const char* what) {
    const double unit = std::pow(10.0, std::floor(std::log10(std::fabs(want))) - 8);
    EXPECT_LE(std::fabs(got - want), 0.5 * unit) << what << ": got " << got << " want " << want;
}

TEST(Iapws95Formulation, IdealAndResidualPartsMatchTheReleaseAt500K) {
    const double tau = w::constants().Tc / 500, delta = 838.025 / w::constants().rhoc;
    const w::Derivs o = w::ideal(tau, delta), r = w::residual(tau, delta);
    expectNineDigits(o.a, 0.204797733e1, "phi0");
    expectNineDigits(o.a_d, 0.384236747, "phi0_d");
    expectNineDigits(o.a_dd, -0.147637878, "phi0_dd");
    expectNineDigits(o.a_t, 0.904611106e1, "phi0_t");
    expectNineDigits(o.a_tt, -0.193249185e1, "phi0_tt");
    EXPECT_EQ(o.a_dt, 0.0);
    expectNineDigits(r.a, -0.342693206e1, "phir");
    expectNineDigits(r.a_d, -0.364366650, "phir_d");
    expectNineDigits(r.a_dd, 0.856063701, "phir_dd");
    expectNineDigits(r.a_t, -0.581403435e1, "phir_t");
    expectNineDigits(r.a_tt, -0.223440737e1, "phir_tt");
    expectNineDigits(r.a_dt, -0.112176915e1, "phir_dt");
}

// T (K), rho (kg/m3) -> p (MPa), cv (kJ/(kg K)), w (m/s), s (kJ/(kg K)).
struct Single {
    double T, rho, p, cv, w, s;
};
constexpr Single kSingle[] = {
    {300, 0.9965560e3, 0.992418352e-1, 0.413018112e1, 0.150151914e4, 0.393062643},
    {300, 0.1005308e4, 0.200022515e2, 0.406798347e1, 0.153492501e4, 0.387405401},
    {300, 0.1188202e4, 0.700004704e3, 0.346135580e1, 0.244357992e4, 0.132609616},
    {500, 0.4350000, 0.999679423e-1, 0.150817541e1, 0.548314253e3, 0.794488271e1},
    {500, 0.4532000e1, 0.999938125, 0.166991025e1, 0.535739001e3, 0.682502725e1},
    {500, 0.8380250e3, 0.100003858e2, 0.322106219e1, 0.127128441e4, 0.256690919e1},
    {500, 0.1084564e4, 0.700000405e3, 0.307437693e1, 0.241200877e4, 0.203237509e1},
    {647, 0.3580000e3, 0.220384756e2, 0.618315728e1, 0.252145078e3, 0.432092307e1},
    {900, 0.2410000, 0.100062559, 0.175890657e1, 0.724027147e3, 0.916653194e1},
    {900, 0.5261500e2, 0.200000690e2, 0.193510526e1, 0.698445674e3, 0.659070225e1},
    {900, 0.8707690e3, 0.700000006e3, 0.266422350e1, 0.201933608e4, 0.417223802e1},
};

TEST(Iapws95Formulation, SinglePhaseCheckValues) {
    for (const Single& c : kSingle) {
        SCOPED_TRACE(testing::Message() << "T " << c.T << " rho " << c.rho);
        const w::State s = w::stateTRho(c.T, molar(c.rho));
        expectNineDigits(s.P / 1e6, c.p, "p");
        expectNineDigits(perKg(s.cv), c.cv, "cv");
        expectNineDigits(s.w, c.w, "w");
        expectNineDigits(perKg(s.s), c.s, "s");
    }
}

TEST(Iapws95Formulation, ZeroOfEnergyAndEntropyIsTheTriplePointLiquid) {
    w::Saturation sat;
    ASSERT_TRUE(w::saturationT(273.16, sat));
    const w::State l = w::stateTRho(273.16, sat.rhoL);
    EXPECT_NEAR(perKg(l.u), 0.0, 1e-8); // kJ/kg
    EXPECT_NEAR(perKg(l.s), 0.0, 1e-10);
    expectRel(sat.P, 611.654771, 1e-6, "triple-point pressure");
}

// T (K) -> p (MPa), rho', rho'' (kg/m3), h', h'' (kJ/kg), s', s'' (kJ/(kg K)).
struct Sat {
    double T, p, rl, rv, hl, hv, sl, sv;
};
constexpr Sat kSat[] = {
    {275, 0.698451167e-3, 0.999887406e3, 0.550664919e-2, 0.775972202e1, 0.250428995e4, 0.283094670e-1,
     0.910660121e1},
    {450, 0.932203564, 0.890341250e3, 0.481200360e1, 0.749161585e3, 0.277441078e4, 0.210865845e1,
     0.660921221e1},
    {625, 0.169082693e2, 0.567090385e3, 0.118290280e3, 0.168626976e4, 0.255071625e4, 0.380194683e1,
     0.518506121e1},
};

TEST(Iapws95Saturation, CheckValuesAtGivenTemperature) {
    for (const Sat& c : kSat) {
        SCOPED_TRACE(testing::Message() << "T " << c.T);
        w::Saturation s;
        ASSERT_TRUE(w::saturationT(c.T, s));
        expectNineDigits(s.P / 1e6, c.p, "p");
        expectNineDigits(s.rhoL * kgPerMol(), c.rl, "rho'");
        expectNineDigits(s.rhoV * kgPerMol(), c.rv, "rho''");
        const w::State l = w::stateTRho(c.T, s.rhoL), v = w::stateTRho(c.T, s.rhoV);
        expectNineDigits(perKg(l.h), c.hl, "h'");
        expectNineDigits(perKg(v.h), c.hv, "h''");
        expectNineDigits(perKg(l.s), c.sl, "s'");
        expectNineDigits(perKg(v.s), c.sv, "s''");
        // Maxwell's rule: equal pressure and Gibbs energy.
        // (the liquid's pressure is resolved to about 1e-15 of rho R T)
        EXPECT_NEAR(l.P, v.P, 1e-13 * s.rhoL * w::constants().Rm() * c.T);
        EXPECT_NEAR(l.g, v.g, 1e-9 * std::fabs(v.h));
    }
}

TEST(Iapws95Saturation, ConvergesCloseToTheCriticalPoint) {
    for (double T : {640.0, 646.0, 647.0, 647.09, 647.095}) {
        SCOPED_TRACE(T);
        w::Saturation s;
        ASSERT_TRUE(w::saturationT(T, s));
        EXPECT_GT(s.rhoL, s.rhoV);
        EXPECT_LT(s.P, 22.064e6);
        const w::State l = w::stateTRho(T, s.rhoL), v = w::stateTRho(T, s.rhoV);
        EXPECT_NEAR(l.P / v.P, 1.0, 1e-9);
        EXPECT_NEAR(l.g, v.g, 1e-8 * std::fabs(v.h));
    }
    w::Saturation s;
    EXPECT_FALSE(w::saturationT(647.096, s));
    EXPECT_FALSE(w::saturationT(700.0, s));
}

// Near the triple point the liquid's pressure is a difference of terms of
// order rho R T that cancel to one part in 1e6: the Newton iteration of the
// Maxwell construction then ends at the rounding floor, where its steps only
// move between states whose residuals are noise.  It used to run out of
// iterations on about one temperature in a hundred; every one of a dense
// scan converges now, with equal pressures and Gibbs energies.
TEST(Iapws95Saturation, ConvergesAtEveryTemperatureOfADenseScan) {
    int failed = 0, n = 0;
    for (double T0 = 273.16; T0 < 646; T0 += 0.731)
        for (int k = 0; k < 5; ++k) {
            const double T = T0 + k * 1e-10;
            w::Saturation s;
            ++n;
            if (!w::saturationT(T, s)) {
                ++failed;
                ADD_FAILURE() << "no saturation state at T " << T;
                continue;
            }
            const w::State l = w::stateTRho(T, s.rhoL), v = w::stateTRho(T, s.rhoV);
            EXPECT_NEAR(l.P, v.P, 1e-12 * s.rhoL * w::constants().Rm() * T) << T;
            EXPECT_NEAR(l.g, v.g, 1e-9 * std::fabs(v.h)) << T;
        }
    EXPECT_EQ(failed, 0) << "of " << n;
}

TEST(Iapws95Saturation, AtGivenPressureInvertsTheVapourPressure) {
    for (const Sat& c : kSat) {
        w::Saturation s;
        ASSERT_TRUE(w::saturationP(c.p * 1e6, s));
        EXPECT_NEAR(s.T, c.T, 1e-6 * c.T);
    }
    w::Saturation s;
    EXPECT_FALSE(w::saturationP(30e6, s));
    EXPECT_FALSE(w::saturationP(10.0, s));
}

// Second-order jets against central differences of the first derivatives.
void expectJetDerivatives(double tau, double delta) {
    const double h = 1e-6;
    const w::Derivs c = w::residual(tau, delta);
    const w::Derivs tp = w::residual(tau + h, delta), tm = w::residual(tau - h, delta);
    const w::Derivs dp = w::residual(tau, delta + h), dm = w::residual(tau, delta - h);
    auto near = [](double got, double fd, const char* what) {
        EXPECT_NEAR(got, fd, 1e-6 * (1 + std::fabs(fd))) << what;
    };
    near(c.a_t, (tp.a - tm.a) / (2 * h), "phir_t");
    near(c.a_d, (dp.a - dm.a) / (2 * h), "phir_d");
    near(c.a_tt, (tp.a_t - tm.a_t) / (2 * h), "phir_tt");
    near(c.a_dd, (dp.a_d - dm.a_d) / (2 * h), "phir_dd");
    near(c.a_dt, (dp.a_t - dm.a_t) / (2 * h), "phir_dt");
    near(c.a_dt, (tp.a_d - tm.a_d) / (2 * h), "phir_td");
}

TEST(Iapws95Formulation, JetDerivativesAgreeWithDifferences) {
    expectJetDerivatives(647.096 / 300, 996.0 / 322);
    expectJetDerivatives(647.096 / 900, 0.241 / 322);
    expectJetDerivatives(647.096 / 640, 1.05);
    // Close to and exactly at the critical density, where the non-analytic
    // terms contain |delta - 1| raised to fractional powers.
    expectJetDerivatives(647.096 / 650, 1.0 + 1e-3);
    expectJetDerivatives(647.096 / 645, 1.0 - 1e-4);
    const w::Derivs at = w::residual(647.096 / 650, 1.0);
    for (double v : {at.a, at.a_d, at.a_t, at.a_dd, at.a_dt, at.a_tt})
        EXPECT_TRUE(std::isfinite(v));
}

TEST(Iapws95Density, ReturnsTheStatesOfTheCheckTable) {
    for (const Single& c : kSingle) {
        SCOPED_TRACE(testing::Message() << "T " << c.T << " rho " << c.rho);
        const double P = w::pressure(c.T, molar(c.rho));
        double rho = 0;
        bool liquid = false;
        ASSERT_TRUE(w::density(c.T, P, Root::Stable, rho, liquid));
        EXPECT_NEAR(rho * kgPerMol() / c.rho, 1.0, c.T == 647 ? 1e-7 : 1e-11);
        EXPECT_EQ(liquid, c.rho > 322);
    }
}

TEST(Iapws95Density, BranchesBelowTheCriticalTemperature) {
    w::Saturation s;
    ASSERT_TRUE(w::saturationT(450, s));
    double rho;
    bool liquid;
    // Stable: vapour below the vapour pressure, liquid above.
    ASSERT_TRUE(w::density(450, 0.999 * s.P, Root::Stable, rho, liquid));
    EXPECT_FALSE(liquid);
    EXPECT_LT(rho, s.rhoV);
    ASSERT_TRUE(w::density(450, 1.001 * s.P, Root::Stable, rho, liquid));
    EXPECT_TRUE(liquid);
    EXPECT_GT(rho, s.rhoL);
    // Metastable states near saturation on the requested branch.
    ASSERT_TRUE(w::density(450, 1.05 * s.P, Root::Vapour, rho, liquid));
    EXPECT_FALSE(liquid);
    EXPECT_GT(rho, s.rhoV);
    EXPECT_NEAR(w::pressure(450, rho) / (1.05 * s.P), 1.0, 1e-12);
    ASSERT_TRUE(w::density(450, 0.5 * s.P, Root::Liquid, rho, liquid));
    EXPECT_TRUE(liquid);
    EXPECT_LT(rho, s.rhoL);
    EXPECT_NEAR(w::pressure(450, rho) / (0.5 * s.P), 1.0, 1e-11); // liquid: rounding of rho R T
    // Far beyond the vapour spinodal there is no vapour root.
    EXPECT_FALSE(w::density(450, 20e6, Root::Vapour, rho, liquid));
    // Bad input.
    EXPECT_FALSE(w::density(450, -1, Root::Stable, rho, liquid));
    EXPECT_FALSE(w::density(std::nan(""), 1e5, Root::Stable, rho, liquid));
}

TEST(Iapws95Density, SupercriticalIsothermIsSolvedOverTheWholeRange) {
    for (double T : {647.09599, 647.1, 650.0, 1273.0})
        for (double P : {1e3, 1e6, 22.064e6, 25e6, 100e6, 1e9}) {
            double rho;
            bool liquid;
            ASSERT_TRUE(w::density(T, P, Root::Stable, rho, liquid)) << T << " " << P;
            EXPECT_NEAR(w::pressure(T, rho) / P, 1.0, 1e-10) << T << " " << P;
        }
}

} // namespace

// The closed-form residual part is the formulation written over jets, to
// rounding, over the whole range of the formulation (dilute gas to the
// compressed liquid, around the critical point and at its density exactly).
// In a dilute gas phir_dd of the jets carries the rounding of terms of size
// 1/delta that cancel (4e-8 at 1e-6 kg/m3); the closed form avoids them, so
// there it is held to its own limit at zero density instead.
TEST(Iapws95Formulation, ClosedFormResidualEqualsTheJetEvaluation) {
    const double Tc = w::constants().Tc, rhoc = w::constants().rhoc;
    int n = 0;
    for (double T : {250.0, 273.16, 300.0, 450.0, 640.0, 647.0, 647.1, 650.0, 900.0, 1273.0}) {
        for (double rho : {1.0, 10.0, 50.0, 250.0, 322.0, 330.0, 600.0, 998.0, 1200.0}) {
            const w::Derivs a = w::residual(Tc / T, rho / rhoc), b = w::residualByJets(Tc / T, rho / rhoc);
            const double pa[] = {a.a, a.a_d, a.a_t, a.a_dd, a.a_dt, a.a_tt};
            const double pb[] = {b.a, b.a_d, b.a_t, b.a_dd, b.a_dt, b.a_tt};
            for (int k = 0; k < 6; ++k) {
                ++n;
                EXPECT_NEAR(pa[k], pb[k], 1e-12 * (1 + std::fabs(pb[k])))
                    << "T " << T << " rho " << rho << " derivative " << k;
            }
        }
        // phir_dd is linear in delta near zero density: no rounding noise.
        const double d1 = 1e-9 / rhoc, d2 = 2e-9 / rhoc, d3 = 3e-9 / rhoc;
        const double q1 = w::residual(Tc / T, d1).a_dd, q2 = w::residual(Tc / T, d2).a_dd,
                     q3 = w::residual(Tc / T, d3).a_dd;
        EXPECT_NEAR(q1 - 2 * q2 + q3, 0.0, 1e-13 * std::fabs(q2)) << "T " << T;
    }
    EXPECT_EQ(n, 540);
}

// The density and saturation solvers evaluate phir in delta alone: the
// same arithmetic as the delta parts of the full evaluation, to the last
// bit, from dilute vapour to compressed liquid and through the non-analytic
// terms' range around the critical point.
TEST(Iapws95Formulation, DeltaOnlyResidualEqualsTheFullOne) {
    for (double T = 250; T <= 1300; T *= 1.03)
        for (double delta = 1e-5; delta <= 3.6; delta *= 1.09) {
            const double tau = 647.096 / T;
            const w::Derivs c = w::residual(tau, delta), d = w::residualDelta(tau, delta);
            EXPECT_EQ(d.a, c.a) << "T " << T << " delta " << delta;
            EXPECT_EQ(d.a_d, c.a_d) << "T " << T << " delta " << delta;
            EXPECT_EQ(d.a_dd, c.a_dd) << "T " << T << " delta " << delta;
        }
    for (double T : {640.0, 646.0, 647.0, 647.09, 650.0})
        for (double delta : {0.9, 0.999, 1.0, 1.001, 1.1}) {
            const double tau = 647.096 / T;
            const w::Derivs c = w::residual(tau, delta), d = w::residualDelta(tau, delta);
            EXPECT_EQ(d.a, c.a) << "T " << T << " delta " << delta;
            EXPECT_EQ(d.a_d, c.a_d) << "T " << T << " delta " << delta;
            EXPECT_EQ(d.a_dd, c.a_dd) << "T " << T << " delta " << delta;
        }
}
