// The IAPWS-95 phase model as the engine sees it: root choice and labels,
// equal fugacities at saturation, residual properties and their derivatives
// consistent with each other, and the database's ideal-gas heat capacity of
// water equal to the formulation's ideal part.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include "components/database.h"
#include "models/iapws95.h"

namespace w = zpk::models::iapws95;
using zpk::models::Iapws95Model;
using zpk::models::kLiquid;
using zpk::models::kR;
using zpk::models::kVapour;
using zpk::models::PhaseProps;
using zpk::models::Root;

namespace {

const double kOne[1] = {1.0};

PhaseProps eval(const Iapws95Model& m, double T, double P, Root root, int order = 1) {
    PhaseProps p;
    EXPECT_TRUE(m.evaluate(T, P, kOne, root, order, p)) << T << " " << P;
    return p;
}

TEST(Iapws95Model, StableRootAndLabels) {
    const Iapws95Model m;
    EXPECT_TRUE(m.isEquationOfState());
    EXPECT_EQ(m.size(), 1);
    w::Saturation s;
    ASSERT_TRUE(w::saturationT(400, s));
    EXPECT_EQ(eval(m, 400, 0.99 * s.P, Root::Stable).kind, kVapour);
    EXPECT_EQ(eval(m, 400, 1.01 * s.P, Root::Stable).kind, kLiquid);
    // A branch that does not exist falls back to the other one, labelled as what it is.
    const PhaseProps v = eval(m, 400, 50e6, Root::Vapour);
    EXPECT_EQ(v.kind, kLiquid);
    EXPECT_NEAR(v.v / eval(m, 400, 50e6, Root::Liquid).v, 1.0, 1e-12);
    // Supercritical: labelled by density relative to the critical density.
    EXPECT_EQ(eval(m, 900, 1e5, Root::Stable).kind, kVapour);
    EXPECT_EQ(eval(m, 900, 700e6, Root::Stable).kind, kLiquid);
    PhaseProps bad;
    EXPECT_FALSE(m.evaluate(-1, 1e5, kOne, Root::Stable, 0, bad));
    EXPECT_FALSE(m.evaluate(300, 0, kOne, Root::Stable, 0, bad));
}

TEST(Iapws95Model, EqualFugacityAndGibbsEnergyAtSaturation) {
    const Iapws95Model m;
    for (double T : {300.0, 450.0, 600.0, 646.0}) {
        w::Saturation s;
        ASSERT_TRUE(w::saturationT(T, s));
        const PhaseProps l = eval(m, T, s.P, Root::Liquid), v = eval(m, T, s.P, Root::Vapour);
        EXPECT_EQ(l.kind, kLiquid);
        EXPECT_EQ(v.kind, kVapour);
        EXPECT_NEAR(l.lnphi[0], v.lnphi[0], 1e-9) << T;
        EXPECT_NEAR(l.v * s.rhoL, 1.0, 1e-9);
        EXPECT_NEAR(v.v * s.rhoV, 1.0, 1e-9);
    }
}

TEST(Iapws95Model, OffersItsSaturationCurveToTheFlashes) {
    const Iapws95Model m;
    double T = 450, P = 0;
    ASSERT_TRUE(m.pureSaturation(false, T, P));
    EXPECT_NEAR(P / 0.932203564e6, 1.0, 1e-8);
    T = 0;
    ASSERT_TRUE(m.pureSaturation(true, T, P));
    EXPECT_NEAR(T, 450.0, 1e-6);
    T = 700;
    EXPECT_FALSE(m.pureSaturation(false, T, P));
    P = 30e6;
    EXPECT_FALSE(m.pureSaturation(true, T, P));
}

// Residual properties against differences of the model's own values.
TEST(Iapws95Model, DerivativesAreConsistent) {
    const Iapws95Model m;
    const double Rw = w::constants().Rm();
    struct S {
        double T, P;
    };
    for (const S st : {S{300, 1e5}, S{300, 50e6}, S{500, 1e5}, S{500, 10e6}, S{650, 25e6}, S{900, 20e6}}) {
        SCOPED_TRACE(testing::Message() << st.T << " K " << st.P << " Pa");
        const double T = st.T, P = st.P, hT = 1e-2, hP = 1e-4 * P;
        const PhaseProps c = eval(m, T, P, Root::Stable);
        const PhaseProps tp = eval(m, T + hT, P, Root::Stable), tm = eval(m, T - hT, P, Root::Stable);
        const PhaseProps pp = eval(m, T, P + hP, Root::Stable), pm = eval(m, T, P - hP, Root::Stable);
        auto near = [](double got, double fd, double scale, const char* what) {
            EXPECT_NEAR(got, fd, 1e-5 * scale) << what;
        };
        near(c.dv_dT, (tp.v - tm.v) / (2 * hT), std::fabs(c.dv_dT) + c.v * 1e-4, "dv/dT");
        near(c.dv_dP, (pp.v - pm.v) / (2 * hP), std::fabs(c.dv_dP), "dv/dP");
        near(c.dlnphi_dT[0], (tp.lnphi[0] - tm.lnphi[0]) / (2 * hT), std::fabs(c.dlnphi_dT[0]), "dlnphi/dT");
        near(c.dlnphi_dP[0], (pp.lnphi[0] - pm.lnphi[0]) / (2 * hP), std::fabs(c.dlnphi_dP[0]), "dlnphi/dP");
        near(c.cpres, (tp.hres - tm.hres) / (2 * hT), std::fabs(c.cpres) + 1, "cpres");
        near(c.dsres_dT, (tp.sres - tm.sres) / (2 * hT), std::fabs(c.dsres_dT) + 1e-3, "dsres/dT");
        near(c.dhres_dP, (pp.hres - pm.hres) / (2 * hP), std::fabs(c.dhres_dP), "dhres/dP");
        near(c.dsres_dP, (pp.sres - pm.sres) / (2 * hP), std::fabs(c.dsres_dP), "dsres/dP");
        EXPECT_NEAR(c.dv_dP * c.dP_dV, 1.0, 1e-12);
        // Residual Gibbs energy: R T ln phi = hres - T sres, with the entropy
        // on the formulation's gas constant (the model adds (kR - R) ln(P/P0)).
        const double sresOwn = c.sres - (kR - Rw) * std::log(P / 101325.0);
        EXPECT_NEAR(Rw * T * c.lnphi[0], c.hres - T * sresOwn, 1e-9 * (std::fabs(c.hres) + Rw * T));
        EXPECT_NEAR(c.z, P * c.v / (Rw * T), 1e-9 * c.z);
    }
}

// The engine adds these residual parts to the database's ideal gas; the sum
// must be the formulation's own cp, cv and speed of sound.
TEST(Iapws95Model, DatabaseIdealGasOfWaterIsTheFormulationsIdealPart) {
    namespace db = zpk::components;
    const db::Component* water = db::byIndex(db::indexOfCas(7732185));
    ASSERT_NE(water, nullptr);
    const Iapws95Model m;
    const double Rw = w::constants().Rm(), Tc = w::constants().Tc;
    for (double T : {273.16, 300.0, 500.0, 900.0, 1273.0}) {
        const w::Derivs o = w::ideal(Tc / T, 1.0);
        const double cp0 = Rw * (1 - (Tc / T) * (Tc / T) * o.a_tt);
        EXPECT_NEAR(db::idealCp(*water, T) / cp0, 1.0, 1e-9) << T;
    }
    for (double T : {300.0, 647.0, 900.0}) {
        const double P = T == 647 ? 22.0384756e6 : 20e6;
        const PhaseProps p = eval(m, T, P, Root::Stable);
        const w::State st = w::stateTRho(T, 1 / p.v);
        const double cpig = db::idealCp(*water, T);
        EXPECT_NEAR((cpig + p.cpres) / st.cp, 1.0, 1e-9) << T;
        EXPECT_NEAR((cpig - kR + p.cvres) / st.cv, 1.0, 1e-9) << T;
    }
    // Enthalpy difference between two states: ideal-gas integral plus residuals.
    const PhaseProps a = eval(m, 300, 1e5, Root::Stable), b = eval(m, 900, 20e6, Root::Stable);
    const double dh = db::idealDeltaH(*water, 300, 900) + b.hres - a.hres;
    const double dhOwn = w::stateTRho(900, 1 / b.v).h - w::stateTRho(300, 1 / a.v).h;
    EXPECT_NEAR(dh / dhOwn, 1.0, 1e-9);
    const double ds = db::idealDeltaS(*water, 300, 900) - kR * std::log(20e6 / 1e5) + b.sres - a.sres;
    const double dsOwn = w::stateTRho(900, 1 / b.v).s - w::stateTRho(300, 1 / a.v).s;
    EXPECT_NEAR(ds / dsOwn, 1.0, 1e-9);
}

// Threads share the coefficients and keep their own saturation memory: the
// same states give bit-identical results on every thread.
TEST(Iapws95Model, ConcurrentEvaluationsAgreeWithSequentialOnes) {
    const Iapws95Model m;
    std::vector<double> temps;
    for (int k = 0; k < 40; ++k)
        temps.push_back(280 + 9.0 * k); // 280 K to 631 K
    auto run = [&](std::vector<double>& out) {
        PhaseProps p;
        for (double T : temps) {
            w::Saturation s;
            out.push_back(w::saturationT(T, s) ? s.P : -1);
            for (double f : {0.98, 1.02}) {
                out.push_back(m.evaluate(T, f * s.P, kOne, Root::Stable, 1, p) ? p.v : -1);
                out.push_back(p.cpres);
            }
        }
    };
    std::vector<double> expected;
    run(expected);
    std::vector<std::vector<double>> got(8);
    std::vector<std::thread> threads;
    for (auto& g : got)
        threads.emplace_back(run, std::ref(g));
    for (auto& t : threads)
        t.join();
    for (const auto& g : got)
        EXPECT_EQ(g, expected);
}

} // namespace
