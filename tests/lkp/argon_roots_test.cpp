// Model 91 on a fluid with a negative acentric factor (argon, omega =
// -0.00219): the reference fluid enters the interpolation with a negative
// weight, and a vapour must still put both fluids on their vapour roots.
// Between about 137.5 and 142.5 K the simple fluid has a liquid root and a
// vapour root while the reference fluid (n-octane at the same reduced state)
// is far below its vapour pressure; mixing roots there gave a compressibility
// above 1 at 10 kPa.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

constexpr int kArgon = 7440371;
constexpr double kRgas = 8.314462618; // J/(mol K)

class ArgonGas : public testsupport::UnitSet1Test {
  protected:
    void SetUp() override {
        UnitSet1Test::SetUp();
        testsupport::defineAllProperties(41, 91, {kArgon}, {1.0});
        ASSERT_EQ(setS(41), 1) << ErrMsg();
    }
    // Compressibility factor of the gas at (T, P) from its density.
    double z(double T, double P) {
        const double rho = EStrGD(41, T, P); // kg/m3
        EXPECT_TRUE(std::isfinite(rho)) << T << " K " << P << " Pa: " << ErrMsg();
        return P * StrMw(41) * 1e-3 / (rho * kRgas * T);
    }
};

// Z(T) on isobars through the band where the roots were mixed: below 1 (the
// gas is far below its Boyle temperature), rising with T, and without kinks
// (second differences on a 0.5 K grid stay at the level of the curvature).
TEST_F(ArgonGas, CompressibilityIsSmoothAcrossTheBandOfMixedRoots) {
    for (double P : {1e4, 1e5, 1e6}) {
        std::vector<double> zs;
        for (double T = 130.0; T <= 150.0 + 1e-9; T += 0.5)
            zs.push_back(z(T, P));
        const double scale = 1.0 - zs.front(); // departure from the ideal gas at 130 K
        for (std::size_t k = 0; k < zs.size(); ++k) {
            const double T = 130 + 0.5 * k;
            EXPECT_LT(zs[k], 1.0) << P << " Pa, T = " << T;
            if (k > 0) {
                EXPECT_GT(zs[k], zs[k - 1]) << P << " Pa, T = " << T;
            }
            if (k > 0 && k + 1 < zs.size()) {
                EXPECT_LT(std::fabs(zs[k + 1] - 2 * zs[k] + zs[k - 1]), 0.01 * scale)
                    << P << " Pa, T = " << T;
            }
        }
    }
}

// Heat capacities are continuous there too (the mixed roots put cp 3 % and
// cv 6 % off inside the band): second differences on a 1 K grid across both
// edges of the band stay small.
TEST_F(ArgonGas, HeatCapacitiesAreSmoothAcrossTheBand) {
    for (double P : {1e4, 1e5, 1e6}) {
        std::vector<double> cp, cv;
        for (double T = 133.0; T <= 147.0 + 1e-9; T += 1.0) {
            cp.push_back(EStrGCp(41, T, P));
            cv.push_back(EStrGCv(41, T, P));
        }
        for (std::size_t k = 1; k + 1 < cp.size(); ++k) {
            EXPECT_NEAR(cp[k], 0.5 * (cp[k - 1] + cp[k + 1]), 2e-3 * cp[k]) << P << " Pa, T = " << 133 + k;
            EXPECT_NEAR(cv[k], 0.5 * (cv[k - 1] + cv[k + 1]), 2e-3 * cv[k]) << P << " Pa, T = " << 133 + k;
        }
    }
}

// The ideal-gas limit: Z -> 1 as P -> 0 at every temperature of the band,
// with the slope of the second virial coefficient (Z - 1 proportional to P).
TEST_F(ArgonGas, CompressibilityTendsToOneAtLowPressure) {
    for (double T : {130.0, 137.8, 140.0, 142.0, 150.0}) {
        const double z1 = z(T, 1.0), z100 = z(T, 100.0);
        EXPECT_NEAR(z1, 1.0, 1e-6) << T;
        EXPECT_LT(z100, 1.0) << T;
        EXPECT_NEAR((1.0 - z100) / 100.0, (1.0 - z(T, 200.0)) / 200.0, 1e-3 * (1.0 - z100) / 100.0) << T;
    }
}

} // namespace
