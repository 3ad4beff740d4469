// The component functions of the C interface over the shipped data file.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cmath>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "components/database.h"
#include "zpk/zpk.h"

namespace {

// The 40 components the test battery looks up by CAS number.
const int kFixtureCas[] = {74828,   74840,   74986,  75285,  106978,  78784,   109660,  110543,
                           142825,  111659,  111842, 124185, 1120214, 112403,  629505,  629594,
                           629629,  544763,  629787, 593453, 629925,  112958,  7727379, 7782447,
                           7440597, 7732185, 64175,  67561,  7664417, 7783064, 124389,  108883,
                           74851,   111273,  71432,  67641,  71363,   1333740, 75150,   110827};

class ComponentApi : public ::testing::Test {
  protected:
    void SetUp() override { setErrFlag(0); }
    std::string message() { return ErrMsg() ? std::string(ErrMsg()) : std::string(); }
};

TEST_F(ComponentApi, DatabaseLoadsWithEnoughComponents) {
    ASSERT_EQ(zpk::components::loadError(), "");
    // The stream store has 2000 streams and the archive test puts indices i
    // and i + 1 into stream i, so 2001 must exist; 2100 leaves room.
    EXPECT_GE(getFCNr(), 2100);
    EXPECT_EQ(getErrFlag(), 0);
}

TEST_F(ComponentApi, CasRoundTripOverWholeDatabase) {
    const int n = getFCNr();
    std::set<int> seen;
    for (int i = 1; i <= n; ++i) {
        const int cas = CompID(i);
        ASSERT_GT(cas, 0) << "index " << i;
        ASSERT_EQ(CompCID(cas), i) << "CAS " << cas;
        ASSERT_TRUE(seen.insert(cas).second) << "duplicate CAS " << cas;
    }
    EXPECT_EQ(getErrFlag(), 0) << message();
}

TEST_F(ComponentApi, FixtureComponentsPresentWithCoreConstants) {
    for (int cas : kFixtureCas) {
        const int i = CompCID(cas);
        ASSERT_GT(i, 0) << "CAS " << cas << ": " << message();
        EXPECT_GT(CompMw(i), 1.0) << cas;
        EXPECT_GT(CompTc(i), 1.0) << cas;
        EXPECT_GT(CompPc(i), 1e5) << cas;
        EXPECT_FALSE(std::isnan(CompAc(i))) << cas;
        EXPECT_FALSE(std::isnan(CompHf(i))) << cas;
        EXPECT_FALSE(std::isnan(CompGf(i))) << cas;
        const auto* c = zpk::components::byIndex(i);
        ASSERT_NE(c, nullptr);
        EXPECT_NE(c->cp.form, 0) << cas << " has no ideal-gas heat capacity";
        // Upper-case names as users expect them.
        const std::string name = CompN(i);
        for (char ch : name)
            EXPECT_FALSE(ch >= 'a' && ch <= 'z') << name;
    }
    EXPECT_EQ(getErrFlag(), 0) << message();
}

TEST_F(ComponentApi, CommonNames) {
    EXPECT_STREQ(CompN(CompCID(7732185)), "WATER");
    EXPECT_STREQ(CompN(CompCID(74828)), "METHANE");
    EXPECT_STREQ(CompN(CompCID(124389)), "CARBON DIOXIDE");
    EXPECT_STREQ(CompN(CompCID(106978)), "N-BUTANE");
    EXPECT_STREQ(CompN(CompCID(7783064)), "HYDROGEN SULFIDE");
    EXPECT_STREQ(CompF(CompCID(7732185)), "H2O");
    EXPECT_STREQ(CompF(CompCID(74828)), "CH4");
    EXPECT_STREQ(CompF(CompCID(124389)), "CO2");
}

TEST_F(ComponentApi, NamesAreUniqueAndFitTheReportedLengths) {
    const int n = getFCNr();
    const int nl = CompCNL(), fl = CompCFL();
    std::set<std::string> names;
    for (int i = 1; i <= n; ++i) {
        const std::string name = CompN(i);
        EXPECT_FALSE(name.empty()) << i;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
        // plain printable ASCII in every text (callers get bytes, not encodings)
        for (const char* t : {CompN(i), CompN1(i), CompN2(i), CompF(i)})
            for (const char* p = t; *p; ++p)
                EXPECT_TRUE(*p >= 0x20 && *p <= 0x7e) << i << ": " << t;
        EXPECT_LE(static_cast<int>(name.size()), nl);
        EXPECT_LE(static_cast<int>(std::strlen(CompN1(i))), nl);
        EXPECT_LE(static_cast<int>(std::strlen(CompN2(i))), nl);
        EXPECT_LE(static_cast<int>(std::strlen(CompF(i))), fl);
    }
}

TEST_F(ComponentApi, MethaneFormationValuesPerKg) {
    const int m = CompCID(74828);
    EXPECT_NEAR(CompMw(m), 16.04, 16.04 * 0.01);
    EXPECT_NEAR(CompHf(m), -4664, 4664 * 0.01);
    EXPECT_NEAR(CompGf(m), -3164, 3164 * 0.01);
}

TEST_F(ComponentApi, FormationEntropyFromTheElementsPerKg) {
    // Ethane: Hf = -83.8 kJ/mol, Gf = -31.9 kJ/mol (NBS/CODATA tables), so
    // the entropy of formation is -174 J/(mol K) = -5.79 kJ/(kg K); the
    // absolute entropy (229 J/(mol K)) must not be what CompSf returns.
    EXPECT_NEAR(CompSf(CompCID(74840)), -5.79, 0.06);
    // Elements in their reference state have none.
    EXPECT_NEAR(CompSf(CompCID(7727379)), 0.0, 1e-9);
    EXPECT_EQ(getErrFlag(), 0) << message();
}

TEST_F(ComponentApi, ReferenceConstantsOfLightGases) {
    // Critical constants of the reference equations of state.
    const int m = CompCID(74828), w = CompCID(7732185);
    EXPECT_NEAR(CompTc(m), 190.564, 1e-3);
    EXPECT_NEAR(CompPc(m), 4.5992e6, 100);
    EXPECT_NEAR(CompAc(m), 0.01142, 1e-4);
    EXPECT_NEAR(CompTc(w), 647.096, 1e-3);
    EXPECT_NEAR(CompPc(w), 22.064e6, 1e3);
    EXPECT_NEAR(CompAc(w), 0.3443, 1e-3);
    EXPECT_NEAR(CompNb(w), 373.12, 0.1);
    EXPECT_NEAR(CompMp(w), 273.15, 0.2);
}

TEST_F(ComponentApi, RawIndicesUsedByTheBatteryExist) {
    for (int i : {486, 500, 1631, 2000, 2001}) {
        EXPECT_GT(CompID(i), 0) << i;
        EXPECT_GT(CompTc(i), 0) << i;
        EXPECT_GT(CompPc(i), 0) << i;
    }
    EXPECT_GT(CompCID(75796), 0); // methyltrichlorosilane, used by a liquid-density check
    EXPECT_EQ(getErrFlag(), 0) << message();
}

TEST_F(ComponentApi, UnknownCasIsAnError) {
    EXPECT_EQ(CompCID(1234567), 0); // check digit wrong: no such substance
    EXPECT_NE(getErrFlag(), 0);
    EXPECT_NE(message().find("CompCID"), std::string::npos) << message();
    EXPECT_NE(message().find("1234567"), std::string::npos) << message();
    setErrFlag(0);
    EXPECT_EQ(CompCID(0), 0);
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_EQ(CompCID(-74828), 0);
    EXPECT_NE(getErrFlag(), 0);
}

TEST_F(ComponentApi, BadIndexFailsEveryFunctionWithItsName) {
    const int n = getFCNr();
    for (int bad : {0, -1, n + 1}) {
        struct Case {
            const char* name;
            bool failed;
        };
        const Case cases[] = {
            {"CompID", CompID(bad) == 0},
            {"CompN", CompN(bad) == nullptr},
            {"CompN1", CompN1(bad) == nullptr},
            {"CompN2", CompN2(bad) == nullptr},
            {"CompF", CompF(bad) == nullptr},
            {"CompMw", std::isnan(CompMw(bad))},
            {"CompTc", std::isnan(CompTc(bad))},
            {"CompPc", std::isnan(CompPc(bad))},
            {"CompAc", std::isnan(CompAc(bad))},
            {"CompVc", std::isnan(CompVc(bad))},
            {"CompDm", std::isnan(CompDm(bad))},
            {"CompRg", std::isnan(CompRg(bad))},
            {"CompSol", std::isnan(CompSol(bad))},
            {"CompHf", std::isnan(CompHf(bad))},
            {"CompGf", std::isnan(CompGf(bad))},
            {"CompSf", std::isnan(CompSf(bad))},
            {"CompNb", std::isnan(CompNb(bad))},
            {"CompMp", std::isnan(CompMp(bad))},
            {"CompVP", std::isnan(CompVP(bad, 300))},
            {"CompHV", std::isnan(CompHV(bad, 300))},
            {"CompLD", std::isnan(CompLD(bad, 300))},
            {"CompSD", std::isnan(CompSD(bad, 300))},
            {"CompLV", std::isnan(CompLV(bad, 300))},
            {"CompGV", std::isnan(CompGV(bad, 300))},
            {"CompLC", std::isnan(CompLC(bad, 300))},
            {"CompGC", std::isnan(CompGC(bad, 300))},
            {"CompSC", std::isnan(CompSC(bad, 300))},
            {"CompST", std::isnan(CompST(bad, 300))},
            {"CompHG", std::isnan(CompHG(bad, 300, 1e5))},
            {"CompHL", std::isnan(CompHL(bad, 300, 1e5))},
            {"CompHS", std::isnan(CompHS(bad, 300, 1e5))},
            {"CompSG", std::isnan(CompSG(bad, 300, 1e5))},
            {"CompSL", std::isnan(CompSL(bad, 300, 1e5))},
            {"CompSS", std::isnan(CompSS(bad, 300, 1e5))},
        };
        for (const auto& c : cases)
            EXPECT_TRUE(c.failed) << c.name << " index " << bad;
    }
    // The message names the function and the index.
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(CompTc(n + 1)));
    EXPECT_NE(message().find("CompTc"), std::string::npos) << message();
    EXPECT_NE(message().find(std::to_string(n + 1)), std::string::npos) << message();
    setErrFlag(0);
    EXPECT_EQ(CompN(0), nullptr);
    EXPECT_NE(message().find("CompN"), std::string::npos) << message();
}

TEST_F(ComponentApi, MissingConstantIsNaNWithMessage) {
    // Find a component without a dipole moment and one without a
    // solubility parameter: both must fail, not read 0.
    const int n = getFCNr();
    int without = 0;
    for (int i = 1; i <= n && !without; ++i)
        if (std::isnan(zpk::components::byIndex(i)->dipole)) without = i;
    ASSERT_GT(without, 0);
    EXPECT_TRUE(std::isnan(CompDm(without)));
    EXPECT_NE(getErrFlag(), 0);
    EXPECT_NE(message().find("CompDm"), std::string::npos);
}

TEST_F(ComponentApi, TemperatureCorrelations) {
    const int w = CompCID(7732185), m = CompCID(74828), b = CompCID(71432);
    EXPECT_NEAR(CompVP(w, 373.15), 101325, 101325 * 0.01);
    EXPECT_NEAR(CompHV(w, 373.15), 2257, 2257 * 0.01); // kJ/kg
    EXPECT_NEAR(CompLD(w, 298.15), 997, 997 * 0.01);   // kg/m3
    EXPECT_NEAR(CompLD(m, 111.7), 422.4, 422.4 * 0.01);
    EXPECT_NEAR(CompLV(w, 298.15), 8.9e-4, 8.9e-4 * 0.03); // Pa s
    EXPECT_NEAR(CompST(w, 298.15), 0.0720, 0.0720 * 0.02); // N/m
    EXPECT_NEAR(CompGV(m, 300), 1.12e-5, 1.12e-5 * 0.03);  // Pa s
    EXPECT_NEAR(CompLC(w, 300), 0.61, 0.61 * 0.03);        // W/(m K)
    EXPECT_NEAR(CompGC(m, 300), 0.0343, 0.0343 * 0.05);    // W/(m K)
    EXPECT_NEAR(CompVP(b, 353.2), 101325, 101325 * 0.02);
    EXPECT_EQ(getErrFlag(), 0) << message();
    // Heat of vaporisation vanishes at the critical point; above it there is
    // no vaporisation (tests/ranges/component_functions_test.cpp).
    EXPECT_EQ(CompHV(w, CompTc(w)), 0.0);
    EXPECT_EQ(getErrFlag(), 0) << message();
    EXPECT_TRUE(std::isnan(CompHV(w, 700)));
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(CompVP(w, -5)));
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(CompVP(w, std::nan(""))));
    EXPECT_NE(getErrFlag(), 0);
}

// Solid conductivity: ice against measurements (about 2.2 W/(m K) at the
// melting point, rising as 1/T: 2.4 near 250 K, Slack 1980); other solids
// and temperatures where ice does not exist fail with their reason.
TEST_F(ComponentApi, SolidThermalConductivity) {
    const int w = CompCID(7732185), m = CompCID(74828);
    EXPECT_NEAR(CompSC(w, 273.15), 2.2, 2.2 * 0.05);
    EXPECT_NEAR(CompSC(w, 250.0), 2.4, 2.4 * 0.05);
    EXPECT_GT(CompSC(w, 150.0), CompSC(w, 250.0));
    EXPECT_EQ(getErrFlag(), 0) << message();
    EXPECT_TRUE(std::isnan(CompSC(w, 300.0))); // liquid water
    EXPECT_EQ(getErrFlag(), 1);
    EXPECT_NE(message().find("273.16"), std::string::npos) << message();
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(CompSC(m, 80.0))); // no data for solid methane
    EXPECT_EQ(getErrFlag(), 2);
    EXPECT_NE(message().find("METHANE"), std::string::npos) << message();
    setErrFlag(0);
}

TEST_F(ComponentApi, UserListSortedByName) {
    const int n = getFCNr();
    EXPECT_EQ(sortUL(0), n);
    ASSERT_EQ(getULnr(), n);
    std::string previous;
    for (int p = 1; p <= n; ++p) {
        const int i = ULtocode(p);
        ASSERT_GE(i, 1);
        ASSERT_EQ(codeToUL(i), p);
        const std::string name = CompN(i);
        EXPECT_LE(previous, name);
        previous = name;
    }
    EXPECT_EQ(getErrFlag(), 0) << message();
    EXPECT_EQ(ULtocode(0), 0);
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_EQ(ULtocode(n + 1), 0);
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    EXPECT_EQ(sortUL(7), 0);
    EXPECT_NE(getErrFlag(), 0);
    EXPECT_EQ(getULnr(), n); // a rejected mode leaves the list as it was
    // by CAS number
    setErrFlag(0);
    EXPECT_EQ(sortUL(2), n);
    for (int p = 2; p <= n; ++p)
        EXPECT_LT(CompID(ULtocode(p - 1)), CompID(ULtocode(p)));
    sortUL(0);
}

} // namespace

namespace {

// Element counts of a Hill formula ("C2H6O"); empty when an element is not
// one of those with a tabulated standard entropy below.
std::map<std::string, int> elements(const std::string& f) {
    std::map<std::string, int> out;
    std::size_t i = 0;
    while (i < f.size()) {
        if (!std::isupper(static_cast<unsigned char>(f[i]))) return {};
        std::string el(1, f[i++]);
        if (i < f.size() && std::islower(static_cast<unsigned char>(f[i]))) el += f[i++];
        int n = 0;
        while (i < f.size() && std::isdigit(static_cast<unsigned char>(f[i])))
            n = n * 10 + (f[i++] - '0');
        out[el] += n ? n : 1;
    }
    return out;
}

// Gf = Hf - T (S0 - sum S0(elements)) must hold for the stored values
// (whichever source they came from) to within the scatter of the sources.
TEST(ComponentData, FormationGibbsEnergyConsistentWithEntropies) {
    // CODATA standard entropies of the elements, J/(mol K) per atom.
    const std::map<std::string, double> s0 = {{"C", 5.74},        {"H", 130.68 / 2}, {"O", 205.152 / 2},
                                              {"N", 191.609 / 2}, {"S", 32.054},     {"Cl", 223.081 / 2},
                                              {"F", 202.791 / 2}};
    int checked = 0, off = 0;
    for (int i = 1; i <= zpk::components::count(); ++i) {
        const auto& c = *zpk::components::byIndex(i);
        if (std::isnan(c.hf) || std::isnan(c.gf) || std::isnan(c.s0)) continue;
        const auto el = elements(c.formula);
        if (el.empty()) continue;
        double sum = 0;
        bool known = true;
        for (const auto& [e, n] : el) {
            auto it = s0.find(e);
            if (it == s0.end())
                known = false;
            else
                sum += it->second * n;
        }
        if (!known) continue;
        ++checked;
        const double derived = c.hf - 298.15 * (c.s0 - sum); // kJ/kmol
        if (std::abs(derived - c.gf) > std::max(8000.0, 0.05 * std::abs(c.gf))) ++off;
    }
    EXPECT_GT(checked, 1000);
    EXPECT_LT(off, checked / 50) << off << " of " << checked << " inconsistent";
}

} // namespace

namespace {

// The stored correlations agree with the stored constants: vapour pressure
// at the normal boiling point is one atmosphere (within the scatter between
// the sources of Tb and of the correlation); liquid densities at 298 K
// are those of liquids; heats of vaporisation at Tb are positive and of the
// size Trouton's rule gives.
TEST(ComponentData, CorrelationsAgreeWithConstants) {
    using zpk::components::evaluate;
    int vpChecked = 0, vpOff = 0, ldChecked = 0, hvChecked = 0, hvOff = 0, stChecked = 0, stOff = 0;
    for (int i = 1; i <= zpk::components::count(); ++i) {
        const auto& c = *zpk::components::byIndex(i);
        if (c.vp.eq && !std::isnan(c.tb) && c.tb >= c.vp.tmin && c.tb <= c.vp.tmax) {
            ++vpChecked;
            const double p = evaluate(c.vp, c.tb);
            if (!(std::abs(p / 101325 - 1) < 0.3)) ++vpOff; // sources for Tb and P(T) differ
        }
        if (c.ld.eq && 298.15 >= c.ld.tmin && 298.15 <= c.ld.tmax) {
            ++ldChecked;
            const double rho = evaluate(c.ld, 298.15) * c.mw;
            EXPECT_GT(rho, 300) << c.name;
            EXPECT_LT(rho, 3500) << c.name;
        }
        if (c.st.eq) {
            // a quarter into the range, away from the critical point
            ++stChecked;
            const double sigma = evaluate(c.st, c.st.tmin + 0.25 * (c.st.tmax - c.st.tmin));
            if (!(sigma > 0.002 && sigma < 0.6)) ++stOff; // N/m; mercury is near 0.5
        }
        if (c.hv.eq && !std::isnan(c.tb) && c.tb >= c.hv.tmin && c.tb <= c.hv.tmax) {
            ++hvChecked;
            const double trouton = evaluate(c.hv, c.tb) / 1000.0 / c.tb; // J/(mol K)
            if (!(trouton > 40 && trouton < 140)) ++hvOff;
        }
    }
    EXPECT_GT(vpChecked, 800);
    EXPECT_LT(vpOff, vpChecked / 30) << vpOff << " of " << vpChecked;
    EXPECT_GT(ldChecked, 300);
    EXPECT_GT(hvChecked, 300);
    EXPECT_LT(hvOff, hvChecked / 30) << hvOff << " of " << hvChecked;
    EXPECT_GT(stChecked, 700);
    EXPECT_LT(stOff, stChecked / 50) << stOff << " of " << stChecked;
}

} // namespace

namespace {

class PhaseValues : public ::testing::Test {
  protected:
    void SetUp() override { setErrFlag(0); }
};

TEST_F(PhaseValues, GasIsTheIdealGasOnTheCurrentBase) {
    const int m = CompCID(74828);
    const auto& c = *zpk::components::byIndex(m);
    // Differences do not depend on the base.
    EXPECT_NEAR(CompHG(m, 300, 1e5) - CompHG(m, 200, 1e5), zpk::components::idealDeltaH(c, 200, 300) / c.mw,
                1e-9);
    EXPECT_NEAR(CompHG(m, 300, 1e5), CompHG(m, 300, 5e6), 1e-12); // ideal gas: no pressure effect
    EXPECT_NEAR(CompSG(m, 300, 1e5) - CompSG(m, 300, 2e5), 8.31446261815324 * std::log(2.0) / c.mw, 1e-9);
    EXPECT_NEAR(CompSG(m, 400, 1e5) - CompSG(m, 300, 1e5), zpk::components::idealDeltaS(c, 300, 400) / c.mw,
                1e-9);
    EXPECT_EQ(getErrFlag(), 0) << ErrMsg();
}

TEST_F(PhaseValues, LiquidIsGasLessTheHeatOfVaporisation) {
    const int w = CompCID(7732185);
    const double hv = CompHV(w, 373.15);
    EXPECT_NEAR(CompHG(w, 373.15, 101325) - CompHL(w, 373.15, 101325), hv, 1e-9);
    EXPECT_NEAR(CompSG(w, 373.15, 101325) - CompSL(w, 373.15, 101325), hv / 373.15, 1e-9);
    // above the critical temperature there is no latent heat
    EXPECT_NEAR(CompHG(w, 700, 3e7), CompHL(w, 700, 3e7), 1e-9);
    EXPECT_EQ(getErrFlag(), 0) << ErrMsg();
}

TEST_F(PhaseValues, SolidIsLiquidLessTheHeatOfFusion) {
    const int w = CompCID(7732185);
    const auto& c = *zpk::components::byIndex(w);
    ASSERT_NEAR(c.hfus / c.mw, 333.5, 3.0); // ice: 6.01 kJ/mol
    EXPECT_NEAR(CompHL(w, 260, 1e5) - CompHS(w, 260, 1e5), c.hfus / c.mw, 1e-9);
    EXPECT_NEAR(CompSL(w, 260, 1e5) - CompSS(w, 260, 1e5), c.hfus / c.mw / c.tm, 1e-12);
    EXPECT_EQ(getErrFlag(), 0) << ErrMsg();
}

TEST_F(PhaseValues, BadArgumentsAndMissingDataFail) {
    const int w = CompCID(7732185);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(CompSG(w, 300, 0)));
    EXPECT_NE(std::string(ErrMsg()).find("pressure"), std::string::npos);
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(CompHG(w, -3, 1e5)));
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    // a component without a heat-capacity fit has no gas enthalpy
    int without = 0;
    for (int i = 1; i <= getFCNr() && !without; ++i)
        if (zpk::components::byIndex(i)->cp.form == 0) without = i;
    ASSERT_GT(without, 0);
    EXPECT_TRUE(std::isnan(CompHG(without, 300, 1e5)));
    EXPECT_NE(getErrFlag(), 0);
    setErrFlag(0);
    // a component without a heat of fusion has no solid values
    int noFusion = 0;
    for (int i = 1; i <= getFCNr() && !noFusion; ++i) {
        const auto& c = *zpk::components::byIndex(i);
        if (std::isnan(c.hfus) && c.cp.form != 0 && c.hv.eq != 0) noFusion = i;
    }
    ASSERT_GT(noFusion, 0);
    EXPECT_TRUE(std::isnan(CompHS(noFusion, 200, 1e5)));
    EXPECT_NE(std::string(ErrMsg()).find("heat of fusion"), std::string::npos) << ErrMsg();
}

} // namespace

namespace {

// Results follow the caller's unit settings; temperature arguments are read
// in the temperature unit.  Restores unit set 1 at the end.
TEST(ComponentUnits, ValuesFollowTheUnitSettings) {
    setErrFlag(0);
    const int m = CompCID(74828), w = CompCID(7732185);
    const double tcK = CompTc(m), pcPa = CompPc(m), ldSI = CompLD(w, 298.15);
    ASSERT_EQ(setUMC(15, 13), 1); // degrees Fahrenheit
    ASSERT_EQ(setUMC(17, 4), 1);  // psia
    ASSERT_EQ(setUMC(30, 2), 1);  // lb/ft3
    EXPECT_NEAR(CompTc(m), tcK * 1.8 - 459.67, 1e-9);
    EXPECT_NEAR(CompPc(m), pcPa / 6894.757293168, 1e-6);
    EXPECT_NEAR(CompVP(w, 212.0), 101325 / 6894.757293168, 0.15); // 212 F is the normal boiling point
    EXPECT_NEAR(CompLD(w, 298.15 * 1.8 - 459.67), ldSI / 16.01846337, 1e-6);
    EXPECT_EQ(getErrFlag(), 0) << ErrMsg();
    for (int code = 15; code <= 54; ++code)
        setUMC(code, 1);
    EXPECT_NEAR(CompTc(m), tcK, 1e-12);
}

// Lookups, names and the user list from many threads at once (run under
// TSan by the sanitizer build): every thread sees the same database and the
// user list is rebuilt concurrently without tearing.
TEST(ComponentThreads, ConcurrentLookupsAndUserList) {
    const int n = getFCNr();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            setErrFlag(0);
            for (int i = 1 + t; i <= n; i += 8) {
                if (CompCID(CompID(i)) != i) ++failures;
                const char* name = CompN(i);
                if (!name || !*name) ++failures;
                if (std::isnan(CompTc(i))) ++failures;
            }
            if (t % 2 == 0 && sortUL(0) != n) ++failures; // same mode: same list
            const int len = getULnr();
            for (int p = 1; p <= len; p += 97)
                if (codeToUL(ULtocode(p)) != p) ++failures;
            if (getErrFlag() != 0) ++failures;
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(failures.load(), 0);
    sortUL(0);
}

} // namespace
