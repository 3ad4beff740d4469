// GERG-2008 through the stream functions: the formulation's ideal part,
// molar masses and gas constant make the stream's values those of the
// published check calculation (Kunz and Wagner 2012; the same natural gas and
// state as AGA Report No. 8 Part 2, 2017).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "models/gerg2008.h"
#include "zpk/zpk.h"

namespace {

namespace g = zpk::models::gerg2008;

// The 21 GERG components in the formulation's order and the check gas.
const std::vector<int> kCas = {74828,   7727379, 124389, 74840,   74986,   75285,   106978,
                               78784,   109660,  110543, 142825,  111659,  111842,  124185,
                               1333740, 7782447, 630080, 7732185, 7783064, 7440597, 7440371};
const std::vector<double> kGas = {0.77824, 0.02,    0.06,    0.08,    0.03,    0.0015,  0.003,
                                  0.0005,  0.00165, 0.00215, 0.00088, 0.00024, 0.00015, 0.00009,
                                  0.004,   0.005,   0.002,   0.0001,  0.0025,  0.007,   0.001};

class GergStream : public ::testing::Test {
  protected:
    static constexpr int kStream = 3;
    void SetUp() override {
        for (int code = 15; code <= 54; ++code)
            setUMC(code, 1);
        setErrFlag(0);
        ASSERT_EQ(initS(kStream), 1);
        ASSERT_EQ(setWm(kStream, 1.0), 1);
        for (std::size_t i = 0; i < kCas.size(); ++i) {
            ASSERT_EQ(putZ(kStream, static_cast<int>(i) + 1, kGas[i]), 1);
            ASSERT_EQ(putCC(kStream, static_cast<int>(i) + 1, CompCID(kCas[i])), 1);
        }
        ASSERT_EQ(setS(kStream), 1);
        for (int property = 1; property <= 4; ++property)
            for (int phase = 0; phase < 2; ++phase)
                ASSERT_EQ(setMP(kStream, property, phase, 315), 1);
    }
    // The check calculation's zero: every component as ideal gas at
    // 298.15 K and 101325 Pa has h = 0 and s = 0.
    static void checkBases() {
        ASSERT_EQ(setHB(1, 298.15, 0.0), 1);
        ASSERT_EQ(setSB(1, 298.15, 0.0), 1);
    }
    static void defaultBases() {
        setHB(1, 1.0, 5000.0);
        setSB(1, 1.0, 50.0);
    }
};

void near(double a, double b, double rel, const char* what) {
    EXPECT_NEAR(a, b, rel * std::fabs(b)) << what;
}

TEST_F(GergStream, CheckCalculationOfTheNaturalGasAt400K) {
    checkBases();
    ASSERT_EQ(setOp(kStream, 400.0, 50e6), 1);
    ASSERT_EQ(StrLf(kStream), 0.0);
    const double M = 20.5427445016; // g/mol, from the formulation's molar masses
    near(StrMw(kStream), M, 1e-12, "molar mass");
    near(StrGD(kStream), 12.79828626082062 * M, 1e-12, "density");
    near(StrGCv(kStream) * M, 39.02948218156372, 1e-10, "cv");
    near(StrGCp(kStream) * M, 58.45522051000366, 1e-10, "cp");
    near(StrGSS(kStream), 714.4248840596024, 1e-10, "speed of sound");
    // h and s carry constants of integration: the check program fixes its
    // own zero (ideal gas at 298.15 K and 101.325 kPa) and ends up 3.1e-5
    // J/mol above and 3.1e-8 J/(mol K) below the zero the bases give here;
    // every difference agrees (see docs/gerg2008.md).
    near(StrGH(kStream) * M, 1160.280160510973, 5e-8, "enthalpy");
    near(StrGJT(kStream), 7.155629581480913e-8, 1e-9, "Joule-Thomson coefficient (K/Pa)");
    // The check value's entropy contains the ideal entropy of mixing with the
    // formulation's R; the stream's is written with the engine's kR (one
    // gas constant for the fugacities of every model), 1.1e-6 of that term.
    double mixing = 0;
    for (double x : kGas)
        mixing -= x * std::log(x);
    const double s = -38.57590392409089 - (g::kRGerg - zpk::models::kR) * mixing;
    near(StrGS(kStream) * M, s, 1e-9, "entropy");
    defaultBases();
    EXPECT_EQ(getErrFlag(), 0);
}

// The ideal part: cp0 of the stream at low pressure is sum x cp0 of
// GERG-2008, and enthalpy and entropy differences along an isobar are its
// integrals.
TEST_F(GergStream, IdealPartOfTheFormulation) {
    double cp0 = 0;
    std::vector<int> pos;
    for (int c : kCas)
        pos.push_back(g::componentOf(c));
    const double T = 250.0;
    for (std::size_t i = 0; i < kCas.size(); ++i)
        cp0 += kGas[i] * g::idealCp(pos[i], T);
    ASSERT_EQ(setOp(kStream, T, 1.0), 1);
    near(StrGICp(kStream) * StrMw(kStream), cp0, 1e-12, "ideal-gas cp");
    for (int c : pos)
        for (double t : {60.0, 150.0, 300.0, 1000.0}) {
            const double h = 1e-4 * t;
            near((g::idealH(c, t + h) - g::idealH(c, t - h)) / (2 * h), g::idealCp(c, t), 1e-8, "dh/dT");
            near(t * (g::idealS(c, t + h) - g::idealS(c, t - h)) / (2 * h), g::idealCp(c, t), 1e-8,
                 "T ds/dT");
        }
}

} // namespace
