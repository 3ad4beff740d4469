// Flammability limits: tabulated pure-component limits, Le Chatelier's rule
// for a mixture worked by hand, inert dilution, the temperature correction
// and the failures (no combustible, no data, too much inert, bad input).
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

#include "zpk/zpk.h"

namespace {

constexpr int kMethane = 74828, kEthane = 74840, kPropane = 74986, kNitrogen = 7727379, kCO2 = 124389,
              kMethylpentane = 107835;

// Stream s with the given components (CAS, amount) and the default models.
void define(int s, std::initializer_list<std::pair<int, double>> comps) {
    ASSERT_NE(initS(s), 0);
    int k = 1;
    for (auto [cas, z] : comps) {
        ASSERT_NE(putZ(s, k, z), 0);
        ASSERT_NE(putCC(s, k, CompCID(cas)), 0);
        ++k;
    }
    ASSERT_NE(setS(s), 0) << ErrMsg();
}

class Flammability : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int q = 15; q <= 54; ++q)
            setUMC(q, 1);
        setErrFlag(0);
    }
    void TearDown() override { SetUp(); }
    static constexpr int s = 1950;
};

} // namespace

TEST_F(Flammability, PureComponentsGiveTheirTabulatedLimits) {
    // IEC 60079-20-1:2010: methane 4.4 to 17 %, propane 1.7 to 10.9 %.
    define(s, {{kMethane, 1}});
    EXPECT_DOUBLE_EQ(StrFML(s), 0.044);
    EXPECT_DOUBLE_EQ(StrFMH(s), 0.17);
    define(s, {{kPropane, 1}});
    EXPECT_DOUBLE_EQ(StrFML(s), 0.017);
    EXPECT_DOUBLE_EQ(StrFMH(s), 0.109);
    EXPECT_EQ(getErrFlag(), 0) << ErrMsg();
    // No operating point is needed, and the fraction unit applies (code 53, %).
    ASSERT_NE(setUMC(53, 2), 0);
    EXPECT_NEAR(StrFML(s), 1.7, 1e-12);
}

TEST_F(Flammability, MixtureFollowsLeChateliersRule) {
    define(s, {{kMethane, 0.6}, {kEthane, 0.3}, {kPropane, 0.1}});
    // By hand from the IEC limits: 1 / (0.6/0.044 + 0.3/0.024 + 0.1/0.017)
    // and 1 / (0.6/0.17 + 0.3/0.155 + 0.1/0.109).
    EXPECT_NEAR(StrFML(s), 0.0312317, 1e-7);
    EXPECT_NEAR(StrFMH(s), 0.1566827, 1e-7);
    // Amounts need not be normalised.
    define(s, {{kMethane, 6}, {kEthane, 3}, {kPropane, 1}});
    EXPECT_NEAR(StrFML(s), 0.0312317, 1e-7);
}

TEST_F(Flammability, InertsDiluteTheCombustiblePart) {
    define(s, {{kMethane, 0.5}, {kNitrogen, 0.3}, {kCO2, 0.2}});
    EXPECT_NEAR(StrFML(s), 0.088, 1e-15);
    EXPECT_NEAR(StrFMH(s), 0.34, 1e-15);
    // An upper limit beyond the undiluted stream reads 1.
    define(s, {{kMethane, 0.1}, {kNitrogen, 0.9}});
    EXPECT_NEAR(StrFML(s), 0.44, 1e-15);
    EXPECT_EQ(StrFMH(s), 1.0);
    // A stream whose lower limit would need more than itself does not burn.
    define(s, {{kMethane, 0.03}, {kNitrogen, 0.97}});
    EXPECT_TRUE(std::isnan(StrFML(s)));
    EXPECT_EQ(getErrFlag(), 3);
    EXPECT_NE(std::string(ErrMsg()).find("does not burn in air"), std::string::npos) << ErrMsg();
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(StrFMH(s)));
}

TEST_F(Flammability, TemperatureWidensTheRange) {
    define(s, {{kMethane, 1}});
    // At 25 C the E forms give the table.
    EXPECT_DOUBLE_EQ(EStrFML(s, 298.15, 101325), 0.044);
    // Burgess-Wheeler as modified by Zabetakis: 0.75 %/K times kcal/mol over
    // the net heat of combustion, methane 802.3 kJ/mol (NIST), at 200 C; the
    // database's formation enthalpies give 802.6 kJ/mol, within 0.1 %.
    const double shift = 0.0075 * 4.184 * 175 / 802.3;
    EXPECT_NEAR(EStrFML(s, 473.15, 101325), 0.044 - shift, 1e-3 * shift);
    EXPECT_NEAR(EStrFMH(s, 473.15, 101325), 0.17 + shift, 1e-3 * shift);
    EXPECT_GT(EStrFML(s, 250, 101325), 0.044);
    EXPECT_LT(EStrFMH(s, 250, 101325), 0.17);
    // The temperature unit applies; pressure is not applied.
    EXPECT_DOUBLE_EQ(EStrFML(s, 473.15, 5e6), EStrFML(s, 473.15, 101325));
    const double kelvin = EStrFML(s, 473.15, 101325);
    ASSERT_NE(setUMC(15, 2), 0);
    EXPECT_DOUBLE_EQ(EStrFML(s, 200, 101325), kelvin);
    // Far above the range of the correction the lower limit vanishes.
    EXPECT_TRUE(std::isnan(EStrFML(s, 2000, 101325)));
    EXPECT_EQ(getErrFlag(), 3);
}

TEST_F(Flammability, FailuresNameTheReason) {
    define(s, {{kNitrogen, 1}});
    EXPECT_TRUE(std::isnan(StrFML(s)));
    EXPECT_EQ(getErrFlag(), 1);
    EXPECT_EQ(std::string(ErrMsg()), "StrFML: the stream has no combustible component");
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(EStrFMH(s, 300, 101325)));

    define(s, {{kMethane, 0.9}, {kMethylpentane, 0.1}});
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(StrFMH(s)));
    EXPECT_EQ(std::string(ErrMsg()),
              "StrFMH: no lower flammability limit for 2-METHYLPENTANE (CAS 107-83-5)");

    define(s, {{kMethane, 1}});
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(EStrFML(s, -3, 101325)));
    EXPECT_TRUE(std::isnan(EStrFML(s, 300, 0)));
    EXPECT_TRUE(std::isnan(EStrFML(s, NAN, 101325)));
    EXPECT_EQ(getErrFlag(), 1);
    ASSERT_NE(initS(s), 0);
    EXPECT_TRUE(std::isnan(StrFML(s))); // not defined
    EXPECT_TRUE(std::isnan(StrFML(0))); // no such stream
}
