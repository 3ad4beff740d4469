// Ideal-gas heat capacity: every stored form, its closed-form or quadrature
// integrals against an independent numerical integration, and the physical
// behaviour outside the fit range.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "components/database.h"

namespace {

using namespace zpk::components;
constexpr double R = 8.314462618;

// Methane in each form (coefficients of the public fits the data file uses).
Component withCp(int form, std::vector<double> coeffs, double tmin, double tmax, double cp0 = 4 * R) {
    Component c{};
    c.name = "TEST";
    c.cp0 = cp0;
    c.cp.form = form;
    c.cp.coeffs = std::move(coeffs);
    c.cp.tmin = tmin;
    c.cp.tmax = tmax;
    return c;
}

std::vector<Component> allForms() {
    return {
        withCp(CpDippr16, {33151.9, -1220.001, 12.0907, -0.000384791, 9.896403e-08}, 10, 1500),
        withCp(CpAlyLee, {33298, 79933, 2086.9, 41602, 991.96}, 50, 1500),
        withCp(CpPolynomial, {4.568 * R, -0.008975 * R, 3.631e-5 * R, -3.407e-8 * R, 1.091e-11 * R}, 50,
               1000),
        withCp(CpPlanckEinstein,
               {8.314472, 4.00088, 0.76315, 820.659, 0.0046, 178.41, 8.74432, 1062.82, -4.46921, 1090.53}, 0,
               0),
        withCp(CpTRC, {R, 4, 22350000, 2018, 32.767, -31.098, 1346090000, 1229, 473}, 50, 5000),
    };
}

// Independent reference: composite Simpson rule in ln T with many points.
double simpson(const Component& c, double a, double b, bool entropy, int n = 20000) {
    const double sa = std::log(a), sb = std::log(b), h = (sb - sa) / n;
    auto g = [&](double s) {
        const double t = std::exp(s);
        return entropy ? idealCp(c, t) : idealCp(c, t) * t;
    };
    double sum = g(sa) + g(sb);
    for (int i = 1; i < n; ++i)
        sum += g(sa + i * h) * (i % 2 ? 4 : 2);
    return sum * h / 3;
}

class CpForms : public ::testing::TestWithParam<int> {};

TEST_P(CpForms, IntegralsMatchNumericalIntegration) {
    const Component c = allForms()[static_cast<std::size_t>(GetParam())];
    // Ranges below, across and above the fit range.
    const double ranges[][2] = {{1, 5},         {2, 60},     {1, 300},     {45, 55}, {100, 330},
                                {298.15, 1000}, {900, 1600}, {1400, 3000}, {5, 2500}};
    for (const auto& r : ranges) {
        const double h = idealDeltaH(c, r[0], r[1]);
        const double s = idealDeltaS(c, r[0], r[1]);
        EXPECT_NEAR(h, simpson(c, r[0], r[1], false), 1e-7 * std::abs(h) + 1e-9)
            << "form " << c.cp.form << " H " << r[0] << ".." << r[1];
        EXPECT_NEAR(s, simpson(c, r[0], r[1], true), 1e-7 * std::abs(s) + 1e-9)
            << "form " << c.cp.form << " S " << r[0] << ".." << r[1];
    }
}

TEST_P(CpForms, IntegralsAreAntisymmetricAndAdditive) {
    const Component c = allForms()[static_cast<std::size_t>(GetParam())];
    EXPECT_DOUBLE_EQ(idealDeltaH(c, 300, 300), 0.0);
    EXPECT_NEAR(idealDeltaH(c, 700, 20), -idealDeltaH(c, 20, 700), 1e-9);
    EXPECT_NEAR(idealDeltaS(c, 700, 20), -idealDeltaS(c, 20, 700), 1e-12);
    EXPECT_NEAR(idealDeltaH(c, 3, 900), idealDeltaH(c, 3, 250) + idealDeltaH(c, 250, 900), 1e-8);
    EXPECT_NEAR(idealDeltaS(c, 3, 900), idealDeltaS(c, 3, 250) + idealDeltaS(c, 250, 900), 1e-11);
}

TEST_P(CpForms, ContinuousAndPhysicalEverywhere) {
    const Component c = allForms()[static_cast<std::size_t>(GetParam())];
    double previous = idealCp(c, 0.5);
    for (double t = 0.5; t <= 3000; t *= 1.01) {
        const double cp = idealCp(c, t);
        ASSERT_TRUE(std::isfinite(cp)) << t;
        // never below a monatomic gas, never absurd
        EXPECT_GE(cp, 2.5 * R * 0.999) << "form " << c.cp.form << " T " << t;
        EXPECT_LT(cp, 200.0) << "form " << c.cp.form << " T " << t;
        // no jumps: 1 % steps in T change Cp by at most a few per cent
        EXPECT_LT(std::abs(cp - previous), 0.03 * previous) << "form " << c.cp.form << " T " << t;
        previous = cp;
    }
    // value and slope continuous at the ends of the fit range
    for (double edge : {c.cp.tmin, c.cp.tmax}) {
        if (edge <= 0) continue;
        const double e = 1e-6 * edge;
        EXPECT_NEAR(idealCp(c, edge - e), idealCp(c, edge + e), 1e-5 * idealCp(c, edge))
            << "form " << c.cp.form << " at " << edge;
        const double left = (idealCp(c, edge - e) - idealCp(c, edge - 1e-3 * edge)) / (1e-3 * edge - e);
        const double right = (idealCp(c, edge + 1e-3 * edge) - idealCp(c, edge + e)) / (1e-3 * edge - e);
        EXPECT_NEAR(left, right, 0.02 * std::abs(right) + 2e-3)
            << "form " << c.cp.form << " slope at " << edge;
    }
}

INSTANTIATE_TEST_SUITE_P(AllForms, CpForms, ::testing::Range(0, 5));

TEST(CpLowTemperature, BlendLevelsOffToTheLimit) {
    // DIPPR 107 fit starting at 50 K: below, the blend approaches cp0.
    const Component c = allForms()[1];
    EXPECT_NEAR(idealCp(c, 0.01), 4 * R, 1e-3);
    const double at = idealCp(c, 50);
    for (double t = 0.5; t < 50; t += 0.5) {
        const double cp = idealCp(c, t);
        EXPECT_GE(cp, 4 * R - 1e-9) << t;
        EXPECT_LE(cp, at + 1e-9) << t;
    }
    // Without a usable limit (cp0 above the fit's value) Cp stays constant.
    Component flat = withCp(CpPolynomial, {20.0}, 100, 1000, 4 * R);
    EXPECT_DOUBLE_EQ(idealCp(flat, 10), 20.0);
    EXPECT_NEAR(idealDeltaH(flat, 10, 100), 20.0 * 90, 1e-9);
}

TEST(CpLowTemperature, PolynomialIsNotExtrapolatedWildly) {
    // A polynomial that turns negative below its range and falls above it.
    Component c = withCp(CpPolynomial, {-50, 1.0, -0.001}, 100, 600, 3.5 * R);
    EXPECT_GT(idealCp(c, 20), 3.5 * R - 1e-9);
    EXPECT_NEAR(idealCp(c, 1000), idealCp(c, 600), 1e-9); // slope at 600 K is negative: held constant
}

TEST(CpInvalid, NaNForMissingFormOrBadTemperature) {
    Component none{};
    EXPECT_TRUE(std::isnan(idealCp(none, 300)));
    EXPECT_TRUE(std::isnan(idealDeltaH(none, 300, 400)));
    const Component c = allForms()[0];
    EXPECT_TRUE(std::isnan(idealCp(c, 0)));
    EXPECT_TRUE(std::isnan(idealCp(c, -1)));
    EXPECT_TRUE(std::isnan(idealDeltaH(c, 0, 300)));
    EXPECT_TRUE(std::isnan(idealDeltaS(c, 300, std::nan(""))));
}

TEST(CpDatabase, EveryStoredFitIsPhysicalAndIntegratesConsistently) {
    const int n = count();
    ASSERT_GT(n, 0);
    int withFit = 0;
    for (int i = 1; i <= n; ++i) {
        const Component& c = *byIndex(i);
        if (c.cp.form == CpNone) continue;
        ++withFit;
        for (double t : {2.0, 20.0, 100.0, 298.15, 500.0, 1000.0, 2000.0}) {
            const double cp = idealCp(c, t);
            ASSERT_TRUE(std::isfinite(cp)) << c.name << " T " << t;
            EXPECT_GT(cp, 2.5 * R * 0.98) << c.name << " (" << c.cas << ") T " << t;
        }
        const double h = idealDeltaH(c, 10, 1200);
        EXPECT_NEAR(h, simpson(c, 10, 1200, false, 2000), 1e-6 * std::abs(h)) << c.name;
    }
    EXPECT_GT(withFit, 900);
}

TEST(CpDatabase, MethaneNearReferenceValues) {
    // Ideal-gas Cp of methane at 298.15 K is 35.7 J/(mol K) (JANAF 35.69);
    // H(298.15) - H(0) is 10.0 kJ/mol.
    const Component& m = *byIndex(indexOfCas(74828));
    EXPECT_NEAR(idealCp(m, 298.15), 35.69, 0.15);
    EXPECT_NEAR(idealDeltaH(m, 1, 298.15), 10016 - 4 * R, 60);
}

} // namespace
