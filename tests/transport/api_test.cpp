// The C functions of the transport properties on database streams: water
// against its IAPWS formulations at the engine's density, the unit
// conversions of a two-phase light-hydrocarbon stream, E forms against the
// operating point, and the failure values.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "transport/water.h"
#include "zpk/zpk.h"

namespace {

constexpr int kStream = 7;

void resetUnits() {
    for (int q = 15; q <= 54; ++q)
        setUMC(q, 1);
}

// Defines the stream from (CAS, fraction) pairs with one model (30 SRK,
// 50 PR, 300 IAPWS-95) for every property of vapour and liquid.
void define(int s, const std::vector<std::pair<long, double>>& comps, int model) {
    ASSERT_EQ(initS(s), 1);
    setWm(s, 1.0);
    for (int property = 1; property <= 4; ++property)
        for (int phase = 0; phase <= 1; ++phase)
            ASSERT_EQ(setMP(s, property, phase, model), 1) << ErrMsg();
    for (std::size_t i = 0; i < comps.size(); ++i) {
        putZ(s, static_cast<int>(i) + 1, comps[i].second);
        putCC(s, static_cast<int>(i) + 1, CompCID(comps[i].first));
    }
    ASSERT_EQ(setS(s), 1) << ErrMsg();
}

const std::vector<std::pair<long, double>> kLpg = {
    {74840, 0.02}, {74986, 0.55}, {75285, 0.41}, {106978, 0.02}};

} // namespace

TEST(TransportApi, WaterUsesIapwsAtTheEngineDensity) {
    resetUnits();
    define(kStream, {{7732185, 1.0}}, 300);
    ASSERT_EQ(setOp(kStream, 300, 1e5), 1) << ErrMsg();
    ASSERT_GT(StrLf(kStream), 0.5);
    const double rho = StrLD(kStream);
    EXPECT_NEAR(StrLV(kStream), zpk::transport::water::viscosity(300, rho), 1e-12);
    EXPECT_NEAR(StrLC(kStream), zpk::transport::water::conductivity(300, rho), 1e-9);
    EXPECT_NEAR(StrST(kStream), zpk::transport::water::surfaceTension(300), 1e-12);
    // Steam at 500 K, 0.1 MPa: gas functions, no interface.
    ASSERT_EQ(setOp(kStream, 500, 1e5), 1);
    const double rhoG = StrGD(kStream);
    EXPECT_NEAR(StrGV(kStream), zpk::transport::water::viscosity(500, rhoG), 1e-14);
    EXPECT_NEAR(StrGC(kStream), zpk::transport::water::conductivity(500, rhoG), 1e-10);
    EXPECT_DOUBLE_EQ(StrST(kStream), 1e-6);
    // The liquid functions fail on a vapour-only state.
    EXPECT_TRUE(std::isnan(StrLV(kStream)));
    EXPECT_EQ(std::string(ErrMsg()).rfind("StrLV", 0), 0u) << ErrMsg();
    EXPECT_TRUE(std::isnan(StrLC(kStream)));
}

// The light-hydrocarbon stream at half liquid, 5 bar: every transport
// property positive, and the same values read back in other units.
TEST(TransportApi, LightHydrocarbonUnitConversions) {
    resetUnits();
    define(kStream, kLpg, 30);
    const double t = LfPF(kStream, 500000, 0.5);
    ASSERT_TRUE(std::isfinite(t)) << ErrMsg();
    ASSERT_EQ(setOp(kStream, t, 500000), 1);
    const double gv = StrGV(kStream), lv = StrLV(kStream), gc = StrGC(kStream), lc = StrLC(kStream),
                 st = StrST(kStream);
    for (double v : {gv, lv, gc, lc, st})
        EXPECT_GT(v, 1e-8) << ErrMsg();
    // Plausible magnitudes for a propane-rich LPG near 280 K.
    EXPECT_GT(gv, 5e-6);
    EXPECT_LT(gv, 12e-6);
    EXPECT_GT(lv, 0.08e-3);
    EXPECT_LT(lv, 0.2e-3);
    EXPECT_GT(lc, 0.07);
    EXPECT_LT(lc, 0.13);
    EXPECT_GT(st, 0.006); // propane 7.9, isobutane 10.6 mN/m at 290 K
    EXPECT_LT(st, 0.012);

    setUMC(23, 3); // cP
    setUMC(28, 2); // Btu/(h ft F)
    setUMC(32, 2); // dyn/cm
    EXPECT_NEAR(StrGV(kStream) * 0.001 / gv, 1.0, 1e-12);
    EXPECT_NEAR(StrLV(kStream) * 0.001 / lv, 1.0, 1e-12);
    EXPECT_NEAR(StrGC(kStream) * 1.730735 / gc, 1.0, 1e-6);
    EXPECT_NEAR(StrLC(kStream) * 1.730735 / lc, 1.0, 1e-6);
    EXPECT_NEAR(StrST(kStream) * 0.001 / st, 1.0, 1e-12);
    setUMC(15, 13); // F
    setUMC(17, 4);  // psi
    const double tF = t * 1.8 - 459.67;
    EXPECT_NEAR(EStrGV(kStream, tF, 72.52) * 0.001 / gv, 1.0, 1e-4);
    EXPECT_NEAR(EStrLV(kStream, tF, 72.52) * 0.001 / lv, 1.0, 1e-4);
    EXPECT_NEAR(EStrGC(kStream, tF, 72.52) * 1.730735 / gc, 1.0, 1e-4);
    EXPECT_NEAR(EStrLC(kStream, tF, 72.52) * 1.730735 / lc, 1.0, 1e-4);
    EXPECT_NEAR(EStrST(kStream, tF, 72.52) * 0.001 / st, 1.0, 1e-4);
    resetUnits();
}

TEST(TransportApi, EFormsMatchTheOperatingPoint) {
    resetUnits();
    define(kStream, {{74828, 0.9}, {74840, 0.1}}, 50);
    ASSERT_EQ(setOp(kStream, 250, 5e6), 1);
    EXPECT_DOUBLE_EQ(EStrGV(kStream, 250, 5e6), StrGV(kStream));
    EXPECT_DOUBLE_EQ(EStrGC(kStream, 250, 5e6), StrGC(kStream));
    // The E form does not move the operating point.
    EXPECT_GT(EStrGV(kStream, 400, 5e6), StrGV(kStream));
    EXPECT_DOUBLE_EQ(EStrGV(kStream, 250, 5e6), StrGV(kStream));
}

// Several threads on their own streams get the single-thread values.
TEST(TransportApi, ConcurrentStreamsAgree) {
    resetUnits();
    define(kStream, kLpg, 30);
    ASSERT_EQ(setOp(kStream, 285, 5e5), 1);
    const double lv = StrLV(kStream), gc = StrGC(kStream), st = StrST(kStream);
    constexpr int kThreads = 8;
    int mismatches[kThreads] = {};
    std::vector<std::thread> threads;
    for (int k = 0; k < kThreads; ++k)
        threads.emplace_back([&, k] {
            const int s = 40 + k;
            initS(s);
            setWm(s, 1.0);
            for (int property = 1; property <= 4; ++property)
                for (int phase = 0; phase <= 1; ++phase)
                    setMP(s, property, phase, 30);
            for (std::size_t i = 0; i < kLpg.size(); ++i) {
                putZ(s, static_cast<int>(i) + 1, kLpg[i].second);
                putCC(s, static_cast<int>(i) + 1, CompCID(kLpg[i].first));
            }
            setS(s);
            for (int r = 0; r < 10; ++r) {
                setOp(s, 285, 5e5);
                if (StrLV(s) != lv || StrGC(s) != gc || StrST(s) != st) ++mismatches[k];
            }
        });
    for (auto& t : threads)
        t.join();
    for (int k = 0; k < kThreads; ++k)
        EXPECT_EQ(mismatches[k], 0) << "thread " << k;
}

TEST(TransportApi, FailureValues) {
    resetUnits();
    EXPECT_TRUE(std::isnan(StrGV(-3)));
    EXPECT_TRUE(std::isnan(StrST(-3)));
    define(kStream, {{74828, 1.0}}, 30);
    EXPECT_TRUE(std::isnan(EStrGV(kStream, -5, 1e5)));
    EXPECT_EQ(std::string(ErrMsg()).rfind("EStrGV", 0), 0u) << ErrMsg();
    EXPECT_TRUE(std::isnan(EStrST(kStream, 300, std::nan(""))));
}
