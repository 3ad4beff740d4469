// Per-component temperature functions: a property of the saturated liquid
// (or of the phase change) does not exist above the critical temperature,
// and no property exists at or below 0 K or at a temperature that is not a
// number.  Such calls fail with NaN and a message instead of extrapolating
// the correlation.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using Fn = double (*)(int, double);

struct Named {
    const char* name;
    Fn fn;
};

class ComponentFunctions : public testsupport::UnitSet1Test {
  protected:
    int water = 0;
    void SetUp() override {
        UnitSet1Test::SetUp();
        water = CompCID(testsupport::kWater);
        ASSERT_GT(water, 0);
    }
    void expectFailure(const Named& f, double T, const char* what) {
        setErrFlag(0);
        EXPECT_TRUE(std::isnan(f.fn(water, T))) << f.name << " at " << T;
        EXPECT_EQ(getErrFlag(), 1) << f.name << " at " << T;
        const std::string m = ErrMsg();
        EXPECT_EQ(m.rfind(std::string(f.name) + ":", 0), 0u) << m;
        EXPECT_NE(m.find(what), std::string::npos) << m;
        setErrFlag(0);
    }
};

// Vapour pressure, heat of vaporisation, saturated liquid density and
// viscosity, liquid thermal conductivity and surface tension stop at Tc
// (647.096 K for water): 1000 K gave a "vapour pressure" of 5.56e8 Pa.
TEST_F(ComponentFunctions, SaturationPropertiesFailAboveTheCriticalTemperature) {
    const Named saturation[] = {{"CompVP", CompVP}, {"CompHV", CompHV}, {"CompLD", CompLD},
                                {"CompLV", CompLV}, {"CompLC", CompLC}, {"CompST", CompST}};
    for (const Named& f : saturation) {
        EXPECT_TRUE(std::isfinite(f.fn(water, 500.0))) << f.name << ": " << ErrMsg();
        expectFailure(f, 1000.0, "critical temperature");
        expectFailure(f, 650.0, "critical temperature");
    }
    // At Tc itself the heat of vaporisation and the surface tension vanish.
    EXPECT_EQ(CompHV(water, CompTc(water)), 0.0) << ErrMsg();
    EXPECT_EQ(getErrFlag(), 0);
}

// Gas properties exist at every temperature above 0 K.
TEST_F(ComponentFunctions, GasPropertiesExistAboveTheCriticalTemperature) {
    EXPECT_TRUE(std::isfinite(CompGV(water, 1000.0))) << ErrMsg();
    EXPECT_TRUE(std::isfinite(CompGC(water, 1000.0))) << ErrMsg();
    EXPECT_EQ(getErrFlag(), 0);
}

TEST_F(ComponentFunctions, TemperaturesThatAreNotPhysicalFail) {
    const Named all[] = {{"CompVP", CompVP}, {"CompHV", CompHV}, {"CompLD", CompLD},
                         {"CompSD", CompSD}, {"CompLV", CompLV}, {"CompGV", CompGV},
                         {"CompLC", CompLC}, {"CompGC", CompGC}, {"CompST", CompST}};
    for (const Named& f : all)
        for (double T :
             {0.0, -5.0, std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()})
            expectFailure(f, T, "temperature");
}

// In another temperature unit the limit is the same temperature.
TEST_F(ComponentFunctions, TheLimitFollowsTheTemperatureUnit) {
    const int celsius = 2; // unit 2 of quantity 15
    ASSERT_EQ(setUMC(15, celsius), 1) << ErrMsg();
    const double tc = CompTc(water);
    EXPECT_NEAR(tc, 647.096 - 273.15, 1e-3);
    EXPECT_TRUE(std::isfinite(CompVP(water, tc - 1.0))) << ErrMsg();
    EXPECT_TRUE(std::isnan(CompVP(water, tc + 1.0)));
    EXPECT_NE(std::string(ErrMsg()).find("critical temperature"), std::string::npos) << ErrMsg();
}

} // namespace
