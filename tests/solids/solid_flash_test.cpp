// Solids in the isothermal flash and the solid functions of the C interface:
// ice at the melting point, the freezing point lowered by methanol (dilute
// solution limit), n-decane out of methane, mass balance and equal
// fugacities with three fluid and solid phases, flashes without the solid
// option unchanged, solid properties and the derivative functions of the
// solid phase, bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

using namespace testsupport;

namespace {

constexpr int kMethanol = 67561, kTetradecane = 629594, kPentadecane = 629629;
constexpr int kStream = 401;

class Solids : public UnitSet1Test {};

// A stream with the fugacity, enthalpy, entropy and volume models of both
// fluid phases set to `fluid`, the solid model to `solid`, and options.
void defineSolid(int s, const Mixture& mix, int fluid, int solid, int options) {
    define(s, mix, fluid);
    for (int p = 2; p <= 4; ++p) {
        setMP(s, p, 0, fluid);
        setMP(s, p, 1, fluid);
    }
    setMP(s, 1, 2, solid);
    ASSERT_EQ(setS(s), 1) << ErrMsg();
    loadSB(s, 3); // stored interaction parameters (water-methanol needs them)
    putKO(s, options);
}

double solidFraction(int s) {
    double f = 0;
    for (int i = 1; i <= getPNr(); ++i)
        if (StrPt(s, i) == 2) f += StrPf(s, i);
    return f;
}

// Temperature (K) at pressure P where a solid first appears on cooling, by bisection.
double freezingPoint(int s, double P, double lo, double hi) {
    for (int it = 0; it < 40; ++it) {
        const double mid = 0.5 * (lo + hi);
        EXPECT_EQ(setOp(s, mid, P), 1) << ErrMsg();
        (solidFraction(s) > 0 ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

} // namespace

TEST_F(Solids, PureWaterFreezesAtItsMeltingPoint) {
    defineSolid(kStream, {{kWater, 1.0}}, 51, 150, 2);
    ASSERT_EQ(setOp(kStream, 273.0, 101325), 1) << ErrMsg();
    ASSERT_EQ(getPNr(), 1);
    EXPECT_EQ(StrPt(kStream, 1), 2);
    ASSERT_EQ(setOp(kStream, 273.3, 101325), 1) << ErrMsg();
    EXPECT_EQ(StrPt(kStream, 1), 1);
    EXPECT_NEAR(freezingPoint(kStream, 101325, 260, 280), 273.15, 0.01);
    // Higher pressure melts ice (it is less dense than water): about -0.0074 K/bar.
    const double t100 = freezingPoint(kStream, 101325 + 1e7, 260, 280);
    EXPECT_LT(t100, 273.15 - 0.2);
    EXPECT_GT(t100, 273.15 - 1.5);
}

TEST_F(Solids, WithoutTheSolidOptionNothingFreezes) {
    defineSolid(kStream, {{kWater, 1.0}}, 51, 150, 0);
    ASSERT_EQ(setOp(kStream, 250.0, 101325), 1) << ErrMsg();
    EXPECT_EQ(StrPt(kStream, 1), 1);
    EXPECT_TRUE(std::isnan(StrSD(kStream)));
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_EQ(StrSH(kStream), 0.0) << "no solid: no solid enthalpy flow";
}

TEST_F(Solids, MethanolLowersTheFreezingPointOfWater) {
    // Dilute-solution limit: dT = R Tm^2 x / dh_fus = 103 K * x for water
    // (Prausnitz et al., eq. 11-16); x = 0.02 gives about 2.1 K.
    defineSolid(kStream, {{kWater, 0.98}, {kMethanol, 0.02}}, 51, 150, 2);
    const double t2 = freezingPoint(kStream, 101325, 250, 275);
    EXPECT_NEAR(273.15 - t2, 2.07, 0.5);
    defineSolid(kStream, {{kWater, 0.9}, {kMethanol, 0.1}}, 51, 150, 2);
    const double t10 = freezingPoint(kStream, 101325, 230, 275);
    EXPECT_LT(t10, t2 - 4);
    // Below the freezing point ice forms and the liquid keeps the methanol.
    ASSERT_EQ(setOp(kStream, t10 - 5, 101325), 1);
    ASSERT_EQ(getPNr(), 2);
    EXPECT_EQ(StrPt(kStream, 1), 1);
    EXPECT_EQ(StrPt(kStream, 2), 2);
    EXPECT_NEAR(getW(kStream, 2, 1), 1.0, 1e-12);
    const double beta = StrPf(kStream, 2);
    EXPECT_NEAR(StrPf(kStream, 1) * getW(kStream, 1, 2), 0.1, 1e-9) << "methanol balance";
    EXPECT_GT(beta, 0.0);
    EXPECT_LT(beta, 0.9);
}

TEST_F(Solids, DecaneFreezesOutOfMethane) {
    defineSolid(kStream, {{kMethane, 0.9}, {kNDecane, 0.1}}, 50, 150, 2);
    ASSERT_EQ(setOp(kStream, 200, 5e6), 1) << ErrMsg();
    EXPECT_NEAR(solidFraction(kStream), 0.1, 0.01);
    // Warmer, the decane stays in the fluid phases.
    ASSERT_EQ(setOp(kStream, 240, 5e6), 1) << ErrMsg();
    EXPECT_EQ(solidFraction(kStream), 0.0);
    // Without the option the same state stays fluid.
    putKO(kStream, 0);
    ASSERT_EQ(setOp(kStream, 200, 5e6), 1) << ErrMsg();
    EXPECT_EQ(solidFraction(kStream), 0.0);
}

TEST_F(Solids, IceWithVapourAndHydrocarbonLiquidIsInEquilibrium) {
    const Mixture mix = {{kNitrogen, 0.05},     {kCO2, 0.01},      {kH2S, 0.05},        {kMethane, 0.25},
                         {kEthane, 0.001},      {kPropane, 0.101}, {kIsobutane, 0.001}, {kTetradecane, 0.001},
                         {kPentadecane, 0.001}, {kWater, 0.535}};
    defineSolid(kStream, mix, 50, 150, 2);
    ASSERT_EQ(setOp(kStream, 269, 2.4e6), 1) << ErrMsg();
    ASSERT_EQ(getPNr(), 3);
    EXPECT_EQ(StrPt(kStream, 1), 0);
    EXPECT_EQ(StrPt(kStream, 2), 1);
    EXPECT_EQ(StrPt(kStream, 3), 2);
    // Nearly all the water is ice; the balance closes for every component.
    EXPECT_NEAR(StrPf(kStream, 3), 0.535, 2e-3);
    for (int i = 1; i <= 10; ++i) {
        double sum = 0;
        for (int k = 1; k <= 3; ++k)
            sum += StrPf(kStream, k) * getW(kStream, k, i);
        EXPECT_NEAR(sum, mix[i - 1].second, 1e-9) << i;
    }
    // Water's fugacity: vapour = ice.
    DPinit(1, kStream);
    std::vector<double> y(10), F(10), Fs(10), ice(10, 0.0);
    for (int i = 0; i < 10; ++i)
        y[i] = getW(kStream, 1, i + 1);
    ice[9] = 1.0;
    ASSERT_EQ(StrFv(1, 0, 269, 2.4e6, y.data(), F.data()), 1) << ErrMsg();
    ASSERT_EQ(StrFv(1, 2, 269, 2.4e6, ice.data(), Fs.data()), 1) << ErrMsg();
    EXPECT_NEAR(y[9] * F[9] / Fs[9], 1.0, 1e-6);
}

TEST_F(Solids, FlashesWithoutSolidsAreUnchangedByTheSolidModel) {
    const Mixture gas = sixteenComponentGas();
    define(kStream, gas, 30);
    ASSERT_EQ(setS(kStream), 1);
    ASSERT_EQ(setOp(kStream, 245.6, 6932575), 1);
    const double lf = StrLf(kStream), h = StrH(kStream);
    define(kStream, gas, 30);
    setMP(kStream, 1, 2, 153);
    ASSERT_EQ(setS(kStream), 1);
    putKO(kStream, 1);
    putKO(kStream, 0);
    ASSERT_EQ(setOp(kStream, 245.6, 6932575), 1);
    EXPECT_EQ(StrLf(kStream), lf);
    EXPECT_EQ(StrH(kStream), h);
}

TEST_F(Solids, SolidPropertyFunctions) {
    defineSolid(kStream, {{kWater, 1.0}}, 51, 150, 2);
    ASSERT_EQ(setOp(kStream, 250, 101325), 1);
    // All solid: the solid flows are the stream's.
    EXPECT_NEAR(StrSH(kStream), StrH(kStream), 1e-9 * std::fabs(StrH(kStream)));
    EXPECT_NEAR(StrSS(kStream), StrS(kStream), 1e-9 * std::fabs(StrS(kStream)));
    // 1 kg/s of stream: specific values equal the flows.
    EXPECT_NEAR(StrSSH(kStream), StrSH(kStream), 1e-9 * std::fabs(StrSH(kStream)));
    EXPECT_NEAR(StrSSS(kStream), StrSS(kStream), 1e-9 * std::fabs(StrSS(kStream)));
    const double rho = StrSD(kStream);
    EXPECT_NEAR(rho, (52.967 - 0.0075822 * 250) * 18.01528, 0.5) << "ChemSep solid density of water";
    EXPECT_NEAR(EStrSD(kStream, 250, 101325), rho, 1e-9);
    // Heat capacity: the temperature derivative of the solid enthalpy.  Its
    // level follows from the liquid reference and a constant heat-capacity
    // difference: within 30 % of ice's 1.94 kJ/(kg K) at 250 K (Feistel &
    // Wagner, J. Phys. Chem. Ref. Data 35 (2006) 1021), see docs/solids.md.
    const double cp = StrSCp(kStream);
    EXPECT_NEAR(cp, 1.94, 0.3 * 1.94);
    EXPECT_NEAR(EStrSCp(kStream, 250, 101325), cp, 1e-9);
    ASSERT_EQ(setOp(kStream, 250.01, 101325), 1);
    const double hUp = StrSSH(kStream);
    ASSERT_EQ(setOp(kStream, 249.99, 101325), 1);
    EXPECT_NEAR((hUp - StrSSH(kStream)) / 0.02, cp, 1e-5 * cp);
    // Heat of fusion: liquid just above minus solid just below the melting point
    // (333.5 kJ/kg, IAPWS; the database gives 6001.74 kJ/kmol).
    ASSERT_EQ(setOp(kStream, 273.15 + 1e-6, 101325), 1);
    const double hl = StrH(kStream);
    ASSERT_EQ(setOp(kStream, 273.15 - 1e-6, 101325), 1);
    ASSERT_EQ(StrPt(kStream, 1), 2);
    EXPECT_NEAR(hl - StrSSH(kStream), 6001.74 / 18.01528, 0.01);
    // Mixed phases: the flows add up.
    defineSolid(kStream, {{kWater, 0.9}, {kMethanol, 0.1}}, 51, 150, 2);
    ASSERT_EQ(setOp(kStream, 250, 101325), 1);
    EXPECT_NEAR(StrGH(kStream) + StrLH(kStream) + StrSH(kStream), StrH(kStream),
                1e-9 * std::fabs(StrH(kStream)));
}

TEST_F(Solids, DerivativeFunctionsOfTheSolidPhase) {
    define(kStream, {{kMethane, 0.5}, {kEthane, 0.3}, {kPropane, 0.2}}, 50);
    setMP(kStream, 1, 2, 150);
    ASSERT_EQ(setS(kStream), 1);
    DPinit(3, kStream);
    double x[3] = {0.3, 0.5, 0.2};
    const double T = 80, P = 3e5;
    double F[3], dT[3], dP[3], r[3][3];
    double* dx[3] = {r[0], r[1], r[2]};
    ASSERT_EQ(StrFvd(3, 2, T, P, x, F, dT, dP, dx), 1) << ErrMsg();
    double Fp[3], Fm[3];
    ASSERT_EQ(StrFv(3, 2, T + 1e-3, P, x, Fp), 1);
    ASSERT_EQ(StrFv(3, 2, T - 1e-3, P, x, Fm), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(dT[i], (Fp[i] - Fm[i]) / 2e-3, 1e-6 * std::fabs(dT[i]));
    ASSERT_EQ(StrFv(3, 2, T, P + 10, x, Fp), 1);
    ASSERT_EQ(StrFv(3, 2, T, P - 10, x, Fm), 1);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(dP[i], (Fp[i] - Fm[i]) / 20, 1e-6 * std::fabs(dP[i]));
    for (auto& row : r)
        for (double v : row)
            EXPECT_EQ(v, 0.0);
    // Enthalpy, entropy, volume.
    using Plain = int (*)(int, int, double, double, double*, double*);
    using WithD = int (*)(int, int, double, double, double*, double*, double*, double*, double*);
    const std::pair<Plain, WithD> fns[] = {{StrHv, StrHvd}, {StrSv, StrSvd}, {StrVv, StrVvd}};
    for (auto [plain, withD] : fns) {
        double X, XT, XP, Xx[3], a, b;
        ASSERT_EQ(withD(3, 2, T, P, x, &X, &XT, &XP, Xx), 1) << ErrMsg();
        ASSERT_EQ(plain(3, 2, T + 1e-3, P, x, &a), 1);
        ASSERT_EQ(plain(3, 2, T - 1e-3, P, x, &b), 1);
        EXPECT_NEAR(XT, (a - b) / 2e-3, 1e-6 * std::fabs(XT) + 1e-12);
        ASSERT_EQ(plain(3, 2, T, P + 100, x, &a), 1);
        ASSERT_EQ(plain(3, 2, T, P - 100, x, &b), 1);
        EXPECT_NEAR(XP, (a - b) / 200, 1e-6 * std::fabs(XP) + 1e-12);
        for (int m = 0; m < 3; ++m) {
            const double keep = x[m];
            x[m] = keep + 1e-6;
            ASSERT_EQ(plain(3, 2, T, P, x, &a), 1);
            x[m] = keep - 1e-6;
            ASSERT_EQ(plain(3, 2, T, P, x, &b), 1);
            x[m] = keep;
            EXPECT_NEAR(Xx[m], (a - b) / 2e-6, 1e-5 * std::fabs(Xx[m]) + 1e-6);
        }
    }
}

TEST_F(Solids, BadInput) {
    defineSolid(kStream, {{kWater, 1.0}}, 51, 150, 2);
    DPinit(3, kStream);
    double x[1] = {1.0}, F[1];
    EXPECT_EQ(StrFv(3, 3, 250, 1e5, x, F), 0);
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_EQ(StrFv(3, 2, -5, 1e5, x, F), 0);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(EStrSD(kStream, 250, -1)));
    setErrFlag(0);
    // A solid model that needs a missing fluid model fails only where solids are needed.
    define(kStream, {{kWater, 0.5}, {kMethane, 0.5}}, 50);
    ASSERT_EQ(setS(kStream), 1);
    ASSERT_EQ(setOp(kStream, 300, 1e5), 1) << ErrMsg();
    EXPECT_TRUE(std::isnan(StrSCp(kStream)));
    EXPECT_NE(std::string(ErrMsg()).find("no solid"), std::string::npos) << ErrMsg();
    setErrFlag(0);
}

TEST_F(Solids, ThreadsOnTheirOwnStreamsAgreeWithOneThread) {
    const Mixture mix = {{kWater, 0.8}, {kMethanol, 0.2}};
    defineSolid(kStream, mix, 51, 150, 2);
    ASSERT_EQ(setOp(kStream, 240, 101325), 1) << ErrMsg();
    const double serial = StrPf(kStream, 2), density = StrSD(kStream);
    ASSERT_GT(serial, 0.0);
    constexpr int kThreads = 8;
    std::vector<double> beta(kThreads, 0.0), rho(kThreads, 0.0);
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t)
        pool.emplace_back([&, t] {
            const int s = kStream + 1 + t;
            defineSolid(s, mix, 51, 150, 2);
            for (int k = 0; k < 20; ++k) {
                if (setOp(s, 240, 101325) != 1) return;
                beta[t] = StrPf(s, 2);
                rho[t] = StrSD(s);
            }
        });
    for (auto& th : pool)
        th.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(beta[t], serial) << t;
        EXPECT_EQ(rho[t], density) << t;
    }
}

TEST_F(Solids, EnthalpyFlashesThroughFreezing) {
    // Pure water: between ice and liquid at the melting point, both coexist.
    defineSolid(kStream, {{kWater, 1.0}}, 51, 150, 2);
    ASSERT_EQ(setOp(kStream, 273.0, 101325), 1);
    const double hs = StrH(kStream);
    ASSERT_EQ(setOp(kStream, 273.3, 101325), 1);
    const double hl = StrH(kStream);
    const double target = hs + 0.3 * (hl - hs);
    const double T = HPF(kStream, 101325, target, 270);
    ASSERT_GT(T, 0) << ErrMsg();
    EXPECT_NEAR(T, 273.15, 1e-6);
    EXPECT_NEAR(StrH(kStream), target, 1e-9 * std::fabs(target));
    ASSERT_EQ(getPNr(), 2);
    EXPECT_EQ(StrPt(kStream, 1), 1);
    EXPECT_EQ(StrPt(kStream, 2), 2);
    EXPECT_NEAR(StrPf(kStream, 2), 0.7, 0.01);
    // A mixture freezes over a range: the enthalpy flash returns the flash temperature.
    defineSolid(kStream, {{kWater, 0.9}, {kMethanol, 0.1}}, 51, 150, 2);
    ASSERT_EQ(setOp(kStream, 255, 101325), 1);
    const double h = StrH(kStream), solid = StrPf(kStream, 2);
    EXPECT_NEAR(HPF(kStream, 101325, h, 270), 255, 1e-6) << ErrMsg();
    EXPECT_NEAR(StrPf(kStream, 2), solid, 1e-6);
}

TEST_F(Solids, WaterFreezesAsPureIceBesideASolidSolution) {
    // Ice takes no hydrocarbons into its lattice: with the solid-solution
    // model water still freezes as a solid of its own, heptane and decane form
    // the solution.
    defineSolid(kStream, {{kMethane, 0.5}, {142825, 0.1}, {kNDecane, 0.2}, {kWater, 0.2}}, 51, 153, 2);
    ASSERT_EQ(setOp(kStream, 190, 1e5), 1) << ErrMsg();
    int ice = 0, solution = 0;
    for (int k = 1; k <= getPNr(); ++k) {
        if (StrPt(kStream, k) != 2) continue;
        if (getW(kStream, k, 4) > 0.999999) {
            ++ice;
            EXPECT_NEAR(StrPf(kStream, k), 0.2, 1e-6);
        } else {
            ++solution;
            EXPECT_LT(getW(kStream, k, 4), 1e-12) << "no water in the hydrocarbon solid";
            EXPECT_GT(getW(kStream, k, 2), 0.05) << "heptane dissolves in solid decane";
        }
    }
    EXPECT_EQ(ice, 1);
    EXPECT_EQ(solution, 1);
    // Pure ice with a dilute gas at 250 K.
    defineSolid(kStream, {{kMethane, 0.9}, {kEthane, 0.09}, {kWater, 0.01}}, 51, 153, 4);
    ASSERT_EQ(setOp(kStream, 250, 5e5), 1) << ErrMsg();
    EXPECT_NEAR(StrSD(kStream), (52.967 - 0.0075822 * 250) * 18.01528, 1e-6);
}
