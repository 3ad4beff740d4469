// Model 111 through the C interface: agreement with model 51 without
// association, flashes and derivative functions of an associating mixture,
// bad input.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using testsupport::unitSet1;
using testsupport::defineAllProperties;

constexpr int kWater = 7732185, kEthanol = 64175, kAcetone = 67641, kMethane = 74828, kCO2 = 124389,
              kH2S = 7783064, kMethanol = 67561;


void entry(int s, int k, int i, int j, int model, double p0) {
    putCi(s, k, i);
    putCj(s, k, j);
    putMB(s, k, model);
    putBIP(s, k, 0, p0);
}

class CpaStreams : public ::testing::Test {
  protected:
    void SetUp() override { unitSet1(); }
};

// Hydrogen sulfide, methane and carbon dioxide do not associate: model 111
// gives the volumes and fugacities of model 51, with their derivatives; so do
// 115 and 116 when their entries carry only k_ij.
class CpaSourGas : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override { unitSet1(); }
};

TEST_P(CpaSourGas, EqualsTranslatedPengRobinson) {
    const int models[2] = {51, GetParam()};
    for (int k = 0; k < 2; ++k) {
        const int s = 11 + k;
        defineAllProperties(s, models[k], {kH2S, kMethane, kCO2}, {0.15, 0.7, 0.15});
        entry(s, 1, 1, 2, models[k], 0.082);
        entry(s, 2, 1, 3, models[k], -0.056);
        entry(s, 3, 2, 3, models[k], -0.06);
        ASSERT_EQ(setS(s), 1) << ErrMsg();
    }
    const double T = LfPF(11, 6e6, 0.5);
    ASSERT_GT(T, 0) << ErrMsg();
    double x[3];
    for (int i = 0; i < 3; ++i)
        x[i] = getX(11, i + 1);
    DPinit(2, 11);
    DPinit(3, 12);
    for (int phase : {1, 0}) {
        double V[2], dT[2], dP[2], dx[2][3];
        for (int k = 0; k < 2; ++k)
            ASSERT_EQ(StrVvd(2 + k, phase, T, 6e6, x, &V[k], &dT[k], &dP[k], dx[k]), 1);
        EXPECT_NEAR(V[1], V[0], 1e-10 * V[0]);
        EXPECT_NEAR(dT[1], dT[0], 1e-8 * std::fabs(dT[0]));
        EXPECT_NEAR(dP[1], dP[0], 1e-8 * std::fabs(dP[0]));
        double F[2][3], FT[2][3], FP[2][3], Fx[2][3][3];
        for (int k = 0; k < 2; ++k) {
            double* px[3] = {Fx[k][0], Fx[k][1], Fx[k][2]};
            ASSERT_EQ(StrFvd(2 + k, phase, T, 6e6, x, F[k], FT[k], FP[k], px), 1);
        }
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(F[1][i], F[0][i], 1e-10 * F[0][i]);
            EXPECT_NEAR(FT[1][i], FT[0][i], 1e-8 * std::fabs(FT[0][i]));
            EXPECT_NEAR(FP[1][i], FP[0][i], 1e-8 * std::fabs(FP[0][i]));
            for (int m = 0; m < 3; ++m)
                EXPECT_NEAR(Fx[1][m][i], Fx[0][m][i], 1e-7 * std::fabs(Fx[0][m][i]));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CpaModels, CpaSourGas, ::testing::Values(111, 115, 116));

// Water, ethanol and acetone near their bubble point: analytic derivatives of
// volume and fugacity against central differences in both phases.
TEST_F(CpaStreams, AssociatingMixtureDerivativesMatchDifferences) {
    defineAllProperties(13, 111, {kWater, kEthanol, kAcetone}, {0.3, 0.2, 0.5});
    entry(13, 1, 1, 2, 111, 0.02);
    entry(13, 2, 1, 3, 111, -0.036);
    entry(13, 3, 2, 3, 111, 0.027);
    ASSERT_EQ(setS(13), 1) << ErrMsg();
    const double P = 2e5;
    const double T = LfPF(13, P, 0.9);
    ASSERT_GT(T, 300) << ErrMsg();
    ASSERT_LT(T, 400);
    double x[3];
    for (int i = 0; i < 3; ++i)
        x[i] = getX(13, i + 1);
    DPinit(1, 13);
    for (int phase : {0, 1}) {
        double V, dT, dP, dx[3], Vp, Vm;
        ASSERT_EQ(StrVvd(1, phase, T, P, x, &V, &dT, &dP, dx), 1) << ErrMsg();
        const double hT = 1e-4, hP = 10;
        ASSERT_EQ(StrVv(1, phase, T + hT, P, x, &Vp), 1);
        ASSERT_EQ(StrVv(1, phase, T - hT, P, x, &Vm), 1);
        EXPECT_NEAR(dT, (Vp - Vm) / (2 * hT), 1e-5 * std::fabs(dT));
        ASSERT_EQ(StrVv(1, phase, T, P + hP, x, &Vp), 1);
        ASSERT_EQ(StrVv(1, phase, T, P - hP, x, &Vm), 1);
        EXPECT_NEAR(dP, (Vp - Vm) / (2 * hP), 1e-5 * std::fabs(dP));
        double F[3], FT[3], FP[3], Fx[3][3], Fp[3], Fm[3];
        double* px[3] = {Fx[0], Fx[1], Fx[2]};
        ASSERT_EQ(StrFvd(1, phase, T, P, x, F, FT, FP, px), 1);
        ASSERT_EQ(StrFv(1, phase, T + hT, P, x, Fp), 1);
        ASSERT_EQ(StrFv(1, phase, T - hT, P, x, Fm), 1);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(FT[i], (Fp[i] - Fm[i]) / (2 * hT), 1e-5 * std::fabs(FT[i]));
        ASSERT_EQ(StrFv(1, phase, T, P + hP, x, Fp), 1);
        ASSERT_EQ(StrFv(1, phase, T, P - hP, x, Fm), 1);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(FP[i], (Fp[i] - Fm[i]) / (2 * hP), 1e-5 * std::fabs(FP[i]));
        for (int m = 0; m < 3; ++m) {
            const double h = 1e-6;
            double xp[3] = {x[0], x[1], x[2]}, xm[3] = {x[0], x[1], x[2]};
            xp[m] += h;
            xm[m] -= h;
            ASSERT_EQ(StrFv(1, phase, T, P, xp, Fp), 1);
            ASSERT_EQ(StrFv(1, phase, T, P, xm, Fm), 1);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(Fx[m][i], (Fp[i] - Fm[i]) / (2 * h), 1e-5 * std::max(std::fabs(Fx[m][i]), F[i]))
                    << "phase " << phase << " d F" << i << " / d x" << m;
            ASSERT_EQ(StrVv(1, phase, T, P, xp, &Vp), 1);
            ASSERT_EQ(StrVv(1, phase, T, P, xm, &Vm), 1);
            EXPECT_NEAR(dx[m], (Vp - Vm) / (2 * h), 1e-5 * V);
        }
    }
}

// Liquid water stays evaluable down to 220 K at 1 bar (supercooled), and
// its density there is that of a liquid.
TEST_F(CpaStreams, SupercooledWaterHasALiquidRoot) {
    defineAllProperties(14, 111, {kWater}, {1.0});
    ASSERT_EQ(setS(14), 1) << ErrMsg();
    DPinit(1, 14);
    double x = 1.0;
    for (double T = 220; T < 308; T += 3) {
        double F, V;
        ASSERT_EQ(StrFv(1, 1, T, 1e5, &x, &F), 1) << T << " " << ErrMsg();
        ASSERT_EQ(StrVv(1, 1, T, 1e5, &x, &V), 1) << T;
        EXPECT_GT(V, 0.016); // m3/kmol
        EXPECT_LT(V, 0.020);
        EXPECT_LT(F, 1e5); // far below the pressure: the liquid's fugacity
    }
}

// Methanol's normal boiling point (337.7 K, ChemSep 8.32 databank) from a
// flash at 1 atm.
TEST_F(CpaStreams, MethanolNormalBoilingPoint) {
    defineAllProperties(15, 111, {kMethanol}, {1.0});
    ASSERT_EQ(setS(15), 1) << ErrMsg();
    const double T = LfPF(15, 101325, 0.5);
    EXPECT_NEAR(T, 337.69, 337.69 * 0.01) << ErrMsg();
}

TEST_F(CpaStreams, BadInputFailsCleanly) {
    defineAllProperties(16, 111, {kWater, kEthanol}, {0.5, 0.5});
    ASSERT_EQ(setS(16), 1) << ErrMsg();
    DPinit(1, 16);
    double x[2] = {0.5, 0.5}, V = 0;
    EXPECT_EQ(StrVv(1, 1, -5, 1e5, x, &V), 0);
    EXPECT_EQ(StrVv(1, 1, 300, -1e5, x, &V), 0);
    double zero[2] = {0, 0};
    EXPECT_EQ(StrVv(1, 1, 300, 1e5, zero, &V), 0);
    double bad[2] = {NAN, 0.5};
    EXPECT_EQ(StrVv(1, 1, 300, 1e5, bad, &V), 0);
    // The stream still works afterwards.
    EXPECT_EQ(StrVv(1, 1, 300, 1e5, x, &V), 1) << ErrMsg();
    EXPECT_GT(V, 0);
}

// Threads evaluating the same associating state on their own streams agree.
TEST_F(CpaStreams, ThreadsAgree) {
    constexpr int kThreads = 8;
    std::vector<double> v(kThreads, 0.0);
    std::vector<std::string> err(kThreads);
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t)
        pool.emplace_back([t, &v, &err] {
            unitSet1();
            const int s = 20 + t;
            defineAllProperties(s, 111, {kWater, kMethanol, kMethane}, {0.5, 0.3, 0.2});
            if (setS(s) != 1) {
                err[t] = ErrMsg();
                return;
            }
            DPinit(1, s);
            double x[3] = {0.5, 0.3, 0.2}, V = 0;
            for (int k = 0; k < 50; ++k)
                if (StrVv(1, 1, 280 + k, 5e6, x, &V) != 1) {
                    err[t] = ErrMsg();
                    return;
                }
            v[t] = V;
        });
    for (auto& th : pool)
        th.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(v[t], v[0]) << t;
    EXPECT_GT(v[0], 0);
}

} // namespace
