// Units: factors against independently computed values, round trips,
// affine temperature units, added units, the C functions.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "units/units.h"
#include "zpk/zpk.h"

namespace {

using namespace zpk::units;

class Units : public ::testing::Test {
  protected:
    void SetUp() override {
        selectBase();
        setErrFlag(0);
    }
    void TearDown() override {
        for (int c = kFirstCode; c <= kLastCode; ++c) removeAddedUnits(c);
        selectBase();
    }
};

// Index of the unit with this name (the tests address units by name so a
// reordering of the table shows up as a failure of the numbers the battery
// relies on, checked separately below).
int unitNamed(int code, const std::string& name) {
    for (int u = 1; u <= unitCount(code); ++u)
        if (unitName(code, u) == name) return u;
    return 0;
}

TEST_F(Units, UnitNumbersTheBatteryUses) {
    EXPECT_EQ(unitName(15, 13), "F");
    EXPECT_EQ(unitName(17, 4), "psia");
    EXPECT_EQ(unitName(21, 5), "Btu/h");
    EXPECT_EQ(unitName(22, 4), "Btu/(h F)");
    EXPECT_EQ(unitName(23, 3), "cP");
    EXPECT_EQ(unitName(25, 7), "lb/h");
    EXPECT_EQ(unitName(28, 2), "Btu/(h ft F)");
    EXPECT_EQ(unitName(30, 2), "lb/ft3");
    EXPECT_EQ(unitName(32, 2), "dyn/cm");
    EXPECT_GE(unitCount(33), 2);
    EXPECT_GE(unitCount(35), 2);
}

TEST_F(Units, BaseUnitsAreIdentity) {
    for (int c = kFirstCode; c <= kLastCode; ++c) {
        EXPECT_EQ(toBase(c, 1, 123.456), 123.456) << c;
        EXPECT_EQ(fromBase(c, 1, 123.456), 123.456) << c;
        EXPECT_FALSE(unitName(c, 1).empty()) << c;
    }
    EXPECT_EQ(unitName(15, 1), "K");
    EXPECT_EQ(unitName(17, 1), "Pa");
    EXPECT_EQ(unitName(21, 1), "kJ/s");
    EXPECT_EQ(unitName(22, 1), "kW/K");
    EXPECT_EQ(unitName(25, 1), "kg/s");
}

// Independent values: 1 psi = 6894.757293168 Pa; 1 lb = 0.45359237 kg;
// 1 Btu(IT) = 1055.05585262 J; 1 ft = 0.3048 m; 1 degree F = 5/9 K.
TEST_F(Units, FactorsMatchIndependentValues) {
    const double btuPerHourInKW = 1055.05585262 / 3600 / 1000;
    EXPECT_NEAR(toBase(Pressure, 4, 1.0), 6894.757293168, 1e-8);
    EXPECT_NEAR(toBase(EnthalpyFlow, 5, 1.0), btuPerHourInKW, 1e-16);
    EXPECT_NEAR(toBase(EnthalpyFlow, 5, 1.0) / 0.0002930711, 1, 1e-6);
    EXPECT_NEAR(toBase(EntropyFlow, 4, 1.0), btuPerHourInKW * 1.8, 1e-15);
    EXPECT_NEAR(toBase(EntropyFlow, 4, 1.0) / 0.000527528, 1, 1e-5);
    EXPECT_DOUBLE_EQ(toBase(Viscosity, 3, 1.0), 0.001);
    EXPECT_NEAR(fromBase(MassFlow, 7, 1.0), 3600 / 0.45359237, 1e-9);
    EXPECT_NEAR(fromBase(MassFlow, 7, 1.0) / 7936.64, 1, 1e-6);
    EXPECT_NEAR(toBase(ThermalConductivity, 2, 1.0), 1055.05585262 / 3600 / 0.3048 * 1.8, 1e-12);
    EXPECT_NEAR(toBase(ThermalConductivity, 2, 1.0) / 1.730735, 1, 1e-6);
    EXPECT_NEAR(toBase(Density, 2, 1.0), 0.45359237 / (0.3048 * 0.3048 * 0.3048), 1e-10);
    EXPECT_NEAR(toBase(Density, 2, 1.0) / 16.018, 1, 1e-4);
    EXPECT_DOUBLE_EQ(toBase(SurfaceTension, 2, 1.0), 0.001);
    EXPECT_NEAR(toBase(SpecificHeatCapacity, 2, 1.0), 4.1868, 1e-12);
    EXPECT_NEAR(toBase(SpeedOfSound, 2, 1.0), 0.3048, 1e-15);
    EXPECT_NEAR(toBase(MolarEnthalpy, unitNamed(MolarEnthalpy, "Btu/lbmol"), 1.0), 2.326, 1e-12);
}

TEST_F(Units, AffineTemperatureUnits) {
    const int C = unitNamed(Temperature, "C");
    EXPECT_NEAR(toBase(Temperature, 13, 32.0), 273.15, 1e-12);
    EXPECT_NEAR(toBase(Temperature, 13, 212.0), 373.15, 1e-12);
    EXPECT_NEAR(toBase(Temperature, 13, -459.67), 0.0, 1e-12);
    EXPECT_NEAR(fromBase(Temperature, 13, 300.0), 300 * 1.8 - 459.67, 1e-12);
    EXPECT_NEAR(toBase(Temperature, C, -40.0), toBase(Temperature, 13, -40.0), 1e-12);
    EXPECT_NEAR(toBase(Temperature, unitNamed(Temperature, "Re"), 80.0), 373.15, 1e-12);
    EXPECT_NEAR(toBase(Temperature, unitNamed(Temperature, "Ro"), 60.0), 373.15, 1e-12);
    EXPECT_NEAR(toBase(Temperature, unitNamed(Temperature, "De"), 0.0), 373.15, 1e-12);
    EXPECT_NEAR(toBase(Temperature, unitNamed(Temperature, "N"), 33.0), 373.15, 1e-12);
    // Differences are not affine.
    EXPECT_NEAR(toBase(TemperatureDifference, unitNamed(TemperatureDifference, "F"), 9.0), 5.0, 1e-12);
    // Gauge pressure.
    EXPECT_NEAR(toBase(Pressure, unitNamed(Pressure, "barg"), 0.0), 101325, 1e-9);
}

TEST_F(Units, RoundTripsOfEveryUnit) {
    for (int c = kFirstCode; c <= kLastCode; ++c)
        for (int u = 1; u <= unitCount(c); ++u)
            for (double v : {1e-9, 0.37, 1.0, 298.15, 7.3e6}) {
                // An affine unit loses the digits the offset absorbs: the
                // error scales with the base value expressed in the unit.
                const double zero = std::abs(toBase(c, u, 0.0) / (toBase(c, u, 1.0) - toBase(c, u, 0.0)));
                const double back = fromBase(c, u, toBase(c, u, v));
                EXPECT_NEAR(back, v, 1e-14 * (std::abs(v) + zero) + 1e-15 * std::abs(v) + 1e-300)
                    << c << " unit " << u;
            }
}

TEST_F(Units, SelectionDrivesUserConversions) {
    EXPECT_EQ(setUMC(15, 13), 1);
    EXPECT_EQ(getUMC(15), 13);
    EXPECT_NEAR(toUser(Temperature, 300.0), 80.33, 1e-12);
    EXPECT_NEAR(fromUser(Temperature, 80.33), 300.0, 1e-12);
    EXPECT_STREQ(getSUMS(15), "F");
    EXPECT_STREQ(getUMS(15, 0), "F");
    EXPECT_STREQ(getUMS(15, 1), "K");
    setUMC(17, 4);
    EXPECT_NEAR(getPatm(), 14.695948775513, 1e-9);
    setUMC(17, 1);
    EXPECT_EQ(getPatm(), 101325.0);
}

TEST_F(Units, CFunctionsRejectBadArguments) {
    EXPECT_EQ(setUMC(14, 1), 0);
    EXPECT_EQ(setUMC(55, 1), 0);
    EXPECT_EQ(setUMC(15, 0), 0);
    EXPECT_EQ(setUMC(15, getUMN(15) + 1), 0);
    EXPECT_NE(std::string(ErrMsg()).find("setUMC: unit"), std::string::npos) << ErrMsg();
    EXPECT_EQ(getUMC(15), 1) << "nothing changed";
    EXPECT_EQ(getUMN(99), 0);
    EXPECT_EQ(getUMS(15, 99), nullptr);
    EXPECT_TRUE(std::isnan(UMCR(1.0, 15, 99)));
    EXPECT_TRUE(std::isnan(UMCR(std::nan(""), 15, 1)));
}

TEST_F(Units, UMCRAndUMCS) {
    EXPECT_NEAR(UMCR(1.0, 17, 3), 1e5, 1e-9);  // bar -> Pa
    EXPECT_NEAR(UMCS(1e5, 17, 3), 1.0, 1e-15);
    setUMC(17, 5);
    EXPECT_NEAR(UMCS(2e6, 17, 0), 2.0, 1e-15) << "unit 0 is the selected unit";
}

TEST_F(Units, AddedUnits) {
    const int before = getUMN(43);
    const int u = UMAU(1852.0, 0.0, const_cast<char*>("nmi"), 43);
    ASSERT_EQ(u, before + 1);
    EXPECT_EQ(getUMN(43), before + 1);
    EXPECT_STREQ(getUMS(43, u), "nmi");
    EXPECT_NEAR(UMCR(2.0, 43, u), 3704.0, 1e-9);
    setUMC(43, u);
    EXPECT_EQ(UMAU(0.0, 0.0, const_cast<char*>("zero"), 43), 0) << "a zero factor";
    EXPECT_EQ(UMAU(1.0, 0.0, nullptr, 43), 0);
    EXPECT_EQ(UMAU(1.0, 0.0, const_cast<char*>(""), 43), 0);
    EXPECT_EQ(UMRAU(43), 1);
    EXPECT_EQ(getUMN(43), before);
    EXPECT_EQ(getUMC(43), 1) << "a removed selection falls back to unit 1";
    for (int k = 0; k < kMaxUserUnits; ++k) EXPECT_GT(UMAU(1.0 + k, 0.0, const_cast<char*>("x"), 44), 0);
    EXPECT_EQ(UMAU(1.0, 0.0, const_cast<char*>("y"), 44), 0) << "table full";
}

}  // namespace
