// The engine's C functions: argument handling, per-thread phase counts,
// derivative functions against differences, and identical results when many
// threads work on their own streams at once.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cmath>
#include <functional>
#include <thread>
#include <vector>

#include "zpk/zpk.h"

namespace {

void units() {
    for (int q = 15; q <= 54; ++q)
        setUMC(q, 1);
}

// Methane / propane with SRK for all properties.
void defineGas(int s, double methane = 0.3) {
    initS(s);
    setWm(s, 1.0);
    for (int p = 1; p <= 4; ++p) {
        setMP(s, p, 0, 30);
        setMP(s, p, 1, 30);
    }
    putZ(s, 1, methane);
    putZ(s, 2, 1 - methane);
    putCC(s, 1, CompCID(74828));
    putCC(s, 2, CompCID(74986));
    ASSERT_EQ(setS(s), 1) << ErrMsg();
}

} // namespace

TEST(EngineApi, FailedCallsReturnTheFailureValueAndAMessage) {
    units();
    setErrFlag(0);
    initS(7);
    EXPECT_EQ(setOp(7, 300, 1e5), 0); // not defined
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    defineGas(7);
    EXPECT_EQ(setOp(7, -5, 1e5), 0);
    EXPECT_TRUE(std::isnan(StrH(7)));           // no operating point yet
    EXPECT_TRUE(std::isnan(LfPF(7, 1e5, 1.5))); // fraction outside [0, 1]
    setErrFlag(0);
    EXPECT_EQ(setOp(7, 330, 1e5), 1);
    EXPECT_EQ(getErrFlag(), 0);
}

TEST(EngineApi, PhaseCountIsPerThread) {
    units();
    defineGas(8);
    defineGas(9);
    ASSERT_EQ(setOp(8, 150, 1e5), 1);
    EXPECT_EQ(getPNr(), 2);
    int other = -1;
    std::thread t([&] {
        setOp(9, 330, 1e5);
        other = getPNr();
    });
    t.join();
    EXPECT_EQ(other, 1);
    EXPECT_EQ(getPNr(), 2);
}

TEST(EngineApi, PhasePartsAddUpAndFlashesReturn) {
    units();
    defineGas(10);
    ASSERT_TRUE(std::isfinite(LfPF(10, 1e5, 0.4)));
    EXPECT_NEAR(StrLf(10), 0.4, 1e-9);
    const double h = StrH(10), s = StrS(10);
    EXPECT_NEAR((StrGH(10) + StrLH(10)) / h, 1.0, 1e-12);
    EXPECT_NEAR((StrGS(10) + StrLS(10)) / s, 1.0, 1e-12);
    setOp(10, 300, 1e5);
    HPF(10, 1e5, h, 0);
    EXPECT_NEAR(StrH(10) / h, 1.0, 1e-9);
    EXPECT_NEAR(StrLf(10), 0.4, 1e-6);
    // The mixer conserves enthalpy.
    defineGas(11, 0.8);
    setOp(11, 300, 2e5);
    const double h11 = StrH(11);
    ASSERT_EQ(MixF(12, 10, 11, 0, 0), 1) << ErrMsg();
    EXPECT_NEAR(getWm(12), 2.0, 1e-12);
    EXPECT_NEAR(StrH(12) / (h + h11), 1.0, 1e-8);
}

TEST(EngineApi, DerivativeFunctionsMatchDifferences) {
    units();
    defineGas(13);
    DPinit(1, 13);
    double x[2] = {0.4, 0.6};
    for (int phase : {0, 1}) {
        const double T = phase ? 150 : 300, P = 1e5;
        double F[2], dT[2], dP[2], r0[2], r1[2];
        double* dx[2] = {r0, r1};
        ASSERT_EQ(StrFvd(1, phase, T, P, x, F, dT, dP, dx), 1) << ErrMsg();
        double Fp[2], Fm[2];
        const double h = 1e-4 * T;
        StrFv(1, phase, T + h, P, x, Fp);
        StrFv(1, phase, T - h, P, x, Fm);
        for (int i = 0; i < 2; ++i)
            EXPECT_NEAR((Fp[i] - Fm[i]) / (2 * h), dT[i], 1e-6 * std::fabs(dT[i]) + 1e-9);
        double H, HT, HP, Hx[2], a, b;
        ASSERT_EQ(StrHvd(1, phase, T, P, x, &H, &HT, &HP, Hx), 1);
        for (int m = 0; m < 2; ++m) {
            const double e = 1e-6;
            x[m] += e;
            StrHv(1, phase, T, P, x, &a);
            x[m] -= 2 * e;
            StrHv(1, phase, T, P, x, &b);
            x[m] += e;
            EXPECT_NEAR((a - b) / (2 * e), Hx[m], 1e-5 * std::fabs(Hx[m]) + 1e-3);
        }
    }
    EXPECT_EQ(StrFv(5, 0, 300, 1e5, x, x), 0); // slot 5 is not bound
}

TEST(EngineApi, StreamModelsFollowEveryChangeOfTheDefinition) {
    // A stream keeps its models between calls; each change of its
    // definition after a call must be seen by the next one, which must equal
    // a stream defined from scratch with every change so far.
    units();
    const std::vector<std::function<void(int)>> changes = {
        [](int s) { putZ(s, 1, 0.6), putZ(s, 2, 0.4); },
        [](int s) {
            for (int p = 1; p <= 4; ++p)
                for (int ph = 0; ph <= 1; ++ph)
                    setMP(s, p, ph, 50);
        },
        [](int s) { putCi(s, 1, 1), putCj(s, 1, 2), putMB(s, 1, 50), putBIP(s, 1, 0, 0.12); },
        [](int s) { putBIP(s, 1, 0, -0.05); },
        [](int s) { putCC(s, 2, CompCID(74840)); },
    };
    const double T = 230, P = 3e6;
    defineGas(21);
    ASSERT_EQ(setOp(21, T, P), 1) << ErrMsg();
    double before = StrH(21);
    for (std::size_t k = 0; k < changes.size(); ++k) {
        changes[k](21);
        ASSERT_EQ(setS(21), 1) << ErrMsg();
        ASSERT_EQ(setOp(21, T, P), 1) << ErrMsg();
        const double h = StrH(21);
        defineGas(22);
        for (std::size_t q = 0; q <= k; ++q)
            changes[q](22);
        ASSERT_EQ(setS(22), 1) << ErrMsg();
        ASSERT_EQ(setOp(22, T, P), 1) << ErrMsg();
        EXPECT_EQ(h, StrH(22)) << "change " << k;
        EXPECT_GT(std::fabs(h - before), 1e-6 * std::fabs(before)) << "change " << k << " not seen";
        before = h;
    }
}

TEST(EngineApi, ManyThreadsGiveTheSerialResults) {
    units();
    auto work = [](int s, double* out) {
        defineGas(s, 0.25 + 0.01 * (s % 5));
        setOp(s, 160, 2e5);
        out[0] = StrH(s);
        out[1] = LfPF(s, 3e5, 0.3);
        out[2] = StrS(s);
    };
    constexpr int kThreads = 12;
    std::vector<std::array<double, 3>> serial(kThreads), parallel(kThreads);
    for (int k = 0; k < kThreads; ++k)
        work(100 + k, serial[k].data());
    std::vector<std::thread> pool;
    for (int k = 0; k < kThreads; ++k)
        pool.emplace_back([&, k] { work(200 + k, parallel[k].data()); });
    for (auto& t : pool)
        t.join();
    for (int k = 0; k < kThreads; ++k)
        for (int j = 0; j < 3; ++j)
            EXPECT_EQ(serial[k][j], parallel[k][j]) << k << " " << j;
}

TEST(EngineApi, EnthalpyAndEntropyFollowAChangeOfTheirBases) {
    // The components' offsets on the current base are kept per stream and
    // base: a change of base shows in the next read, and the old base
    // brings the old values back.
    units();
    defineGas(12);
    ASSERT_EQ(setOp(12, 298.15, 100.0), 1); // nearly the ideal gas
    const double h = StrH(12), s = StrS(12);
    ASSERT_EQ(setHB(1, 298.15, 0.0), 1);
    ASSERT_EQ(setSB(1, 298.15, 0.0), 1);
    // Ideal gas at 298.15 K on a zero base there: h is the residual only.
    EXPECT_LT(std::fabs(StrH(12)), 1e-4 * std::fabs(h));
    EXPECT_NE(StrS(12), s);
    ASSERT_EQ(setHB(1, 1.0, 5000.0), 1);
    ASSERT_EQ(setSB(1, 1.0, 50.0), 1);
    EXPECT_EQ(StrH(12), h);
    EXPECT_EQ(StrS(12), s);
}
