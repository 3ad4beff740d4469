// Checks shared by the tests of the Helmholtz equations of state: analytic
// derivatives of a phase model against central differences of its values and
// the thermodynamic consistency of its fugacities.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "models/phase_model.h"

namespace zpk::models::testing {

inline double relErr(double a, double b) {
    return std::fabs(a - b) / std::max(std::fabs(a), 1e-300);
}

// Analytic T, P and composition derivatives at order 1 against differences of
// order-0 values on the same root.
inline void expectDerivatives(const PhaseModel& m, double T, double P, std::vector<double> x, Root root,
                              double tol) {
    const int n = m.size();
    PhaseProps a, p, q;
    ASSERT_TRUE(m.evaluate(T, P, x.data(), root, 1, a));
    const double hT = T * 1e-5, hP = P * 1e-5;
    ASSERT_TRUE(m.evaluate(T + hT, P, x.data(), root, 0, p));
    ASSERT_TRUE(m.evaluate(T - hT, P, x.data(), root, 0, q));
    for (int i = 0; i < n; ++i)
        EXPECT_LT(relErr(a.dlnphi_dT[i], (p.lnphi[i] - q.lnphi[i]) / (2 * hT)), tol) << "dlnphi/dT " << i;
    EXPECT_LT(relErr(a.dv_dT, (p.v - q.v) / (2 * hT)), tol);
    EXPECT_LT(relErr(a.dhres_dT, (p.hres - q.hres) / (2 * hT)), tol);
    EXPECT_LT(relErr(a.dsres_dT, (p.sres - q.sres) / (2 * hT)), tol);
    ASSERT_TRUE(m.evaluate(T, P + hP, x.data(), root, 0, p));
    ASSERT_TRUE(m.evaluate(T, P - hP, x.data(), root, 0, q));
    for (int i = 0; i < n; ++i)
        EXPECT_LT(relErr(a.dlnphi_dP[i], (p.lnphi[i] - q.lnphi[i]) / (2 * hP)), tol) << "dlnphi/dP " << i;
    EXPECT_LT(relErr(a.dv_dP, (p.v - q.v) / (2 * hP)), tol);
    EXPECT_LT(relErr(a.dhres_dP, (p.hres - q.hres) / (2 * hP)), tol);
    for (int m2 = 0; m2 < n; ++m2) {
        std::vector<double> xp = x, xm = x;
        const double h = 1e-5;
        xp[m2] += h;
        xm[m2] -= h;
        ASSERT_TRUE(m.evaluate(T, P, xp.data(), root, 0, p));
        ASSERT_TRUE(m.evaluate(T, P, xm.data(), root, 0, q));
        // d lnphi_i / d n_m at one mole in total equals the derivative along x_m
        // without renormalisation.
        for (int i = 0; i < n; ++i)
            EXPECT_NEAR(a.dlnphi_dn[i * n + m2], (p.lnphi[i] - q.lnphi[i]) / (2 * h),
                        tol * std::max(1.0, std::fabs(a.dlnphi_dn[i * n + m2])))
                << "dlnphi_" << i << "/dn_" << m2;
        EXPECT_NEAR(a.dv_dx[m2], (p.v - q.v) / (2 * h), tol * std::fabs(a.v));
        EXPECT_NEAR(a.dhres_dx[m2], (p.hres - q.hres) / (2 * h), tol * std::max(1.0, std::fabs(a.hres)));
    }
}

// H, S and V from the fugacities' T and P derivatives, and the reduced
// residual Gibbs energy sum x lnphi from the residual enthalpy and entropy.
inline void expectConsistency(const PhaseModel& m, double T, double P, const std::vector<double>& x,
                              Root root) {
    const int n = m.size();
    PhaseProps a;
    ASSERT_TRUE(m.evaluate(T, P, x.data(), root, 1, a));
    double s = 0;
    for (double v : x)
        s += v;
    double hr = 0, vr = 0, sr = 0;
    for (int i = 0; i < n; ++i) {
        const double xi = x[i] / s;
        hr += -kR * T * T * xi * a.dlnphi_dT[i];
        sr += -kR * xi * (T * a.dlnphi_dT[i] + a.lnphi[i]);
        vr += kR * T * xi * a.dlnphi_dP[i];
    }
    EXPECT_NEAR(hr, a.hres, 1e-7 * (std::fabs(a.hres) + kR * T));
    EXPECT_NEAR(sr, a.sres, 1e-7 * (std::fabs(a.sres) + kR));
    EXPECT_NEAR(vr + kR * T / P, a.v, 1e-8 * a.v);
    EXPECT_NEAR(a.gres(x.data(), n), (a.hres - T * a.sres) / (kR * T),
                1e-9 * (1 + std::fabs(a.hres / (kR * T))));
}

} // namespace zpk::models::testing
