// The envelope functions of the C interface on database streams: the sour
// gas and the methane-decane binary of the test battery, agreement of
// single points with whole lines, capacities, units and failure values.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "zpk/zpk.h"

namespace {

using Mixture = std::vector<std::pair<int, double>>;  // CAS without hyphens, mole fraction

constexpr int kMethane = 74828, kNButane = 106978, kCO2 = 124389, kH2S = 7783064, kNDecane = 124185;

void define(int s, const Mixture& mix, int model) {
    initS(s);
    setWm(s, 1.0);
    setMP(s, 1, 0, model);
    setMP(s, 1, 1, model);
    for (std::size_t i = 0; i < mix.size(); ++i) putZ(s, static_cast<int>(i) + 1, mix[i].second);
    for (std::size_t i = 0; i < mix.size(); ++i) putCC(s, static_cast<int>(i) + 1, CompCID(mix[i].first));
}

// Sour gas with explicit SRK interaction parameters.
void defineSourGas(int s) {
    define(s, {{kH2S, 0.15}, {kMethane, 0.7}, {kCO2, 0.15}}, 30);
    const int entries[3][2] = {{3, 2}, {3, 1}, {1, 2}};
    const double values[3] = {0.097, 0.102, 0.085};
    for (int n = 1; n <= 3; ++n) {
        putCi(s, n, entries[n - 1][0]);
        putCj(s, n, entries[n - 1][1]);
        putMB(s, n, 30);
        putBIP(s, n, 0, values[n - 1]);
    }
    ASSERT_EQ(setS(s), 1);
}

class EnvelopeApi : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int q = 15; q <= 54; ++q) setUMC(q, 1);
        setErrFlag(0);
    }
    void TearDown() override {
        for (int q = 15; q <= 54; ++q) setUMC(q, 1);
    }
    static constexpr int s = 43;
};

}  // namespace

TEST_F(EnvelopeApi, SourGasExtremaAndHighestDewTemperature) {
    defineSourGas(s);
    const double td = StrMDt(s);
    const double ctT = StrCTt(s), ctP = StrCTp(s), cbT = StrCBt(s), cbP = StrCBp(s);
    std::printf("MDt %.4f CT %.4f K %.1f Pa CB %.4f K %.1f Pa  lines %d\n", td, ctT, ctP, cbT, cbP, PELNr(s));
    std::printf("Pc %.1f Tc %.4f\n", StrPc(s, 1), StrTc(s, 1));
    EXPECT_GE(td, 256.2);
    EXPECT_LE(td, 256.8);
}

TEST_F(EnvelopeApi, MethaneDecaneLines) {
    define(s, {{kMethane, 0.8}, {kNDecane, 0.2}}, 50);
    ASSERT_EQ(setS(s), 1);
    const int n = PELNr(s);
    std::printf("lines %d\n", n);
    double first[50], second[50];
    for (int j = 1; j <= n; ++j) {
        const int p = PELine(s, j, first, second, 50);
        std::printf("line %d: %d points\n", j, p);
        for (int k = 0; k < p; ++k) std::printf("  %.3f %.0f\n", first[k], second[k]);
    }
    std::printf("Pc %.1f Tc %.4f\n", StrPc(s, 1), StrTc(s, 1));
}
