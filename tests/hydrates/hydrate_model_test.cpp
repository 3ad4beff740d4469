// The pieces of the hydrate model: constants read from the data tables,
// the empty-lattice and ice potentials (Gibbs-Helmholtz and Clapeyron
// identities) and the cavity occupation term.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "components/database.h"
#include "equilibrium/engine.h"
#include "equilibrium/hydrate.h"
#include "tests/support/stream_defs.h"

namespace {

using namespace zpk::hydrate;
constexpr double R = zpk::models::kR;

TEST(HydrateTables, StructuresAndGuests) {
    const Tables& t = tables();
    // Cavities per water: sI 2 small + 6 large per 46 H2O, sII 16 + 8 per 136.
    EXPECT_NEAR(t.lattice[0].nuSmall, 2.0 / 46, 1e-12);
    EXPECT_NEAR(t.lattice[0].nuLarge, 6.0 / 46, 1e-12);
    EXPECT_NEAR(t.lattice[1].nuSmall, 16.0 / 136, 1e-12);
    EXPECT_NEAR(t.lattice[1].nuLarge, 8.0 / 136, 1e-12);
    // The empty sII lattice is the more stable one at T0.
    EXPECT_LT(t.lattice[1].dmu0, t.lattice[0].dmu0);
    const GuestConstants* methane = t.guest(74828);
    ASSERT_NE(methane, nullptr);
    for (int s = 0; s < 2; ++s)
        for (int m = 0; m < 2; ++m)
            EXPECT_GT(methane->c[s][m].at(273.15), 0);
    // Propane is too large for any small cavity and for the sI large one.
    const GuestConstants* propane = t.guest(74986);
    ASSERT_NE(propane, nullptr);
    EXPECT_EQ(propane->c[0][0].at(273.15), 0);
    EXPECT_EQ(propane->c[0][1].at(273.15), 0);
    EXPECT_EQ(propane->c[1][0].at(273.15), 0);
    EXPECT_GT(propane->c[1][1].at(273.15), 0);
    EXPECT_EQ(t.guest(7732185), nullptr); // water is the host
    EXPECT_EQ(t.guest(67561), nullptr);   // methanol is no guest
}

TEST(HydrateLattice, ReferenceStateAndGibbsHelmholtz) {
    const LatticeConstants& l = tables().lattice[0];
    const double T0 = Tables::kT0;
    EXPECT_NEAR(emptyLatticePotential(l, T0, 0), l.dmu0 / (R * T0), 1e-12);
    // d(dmu/RT)/dT = -dh(T)/(R T^2), dh(T) = dh0 + dcp (T - T0).
    for (double T : {250.0, 273.15, 290.0}) {
        const double h = 1e-3;
        const double d =
            (emptyLatticePotential(l, T + h, 1e6) - emptyLatticePotential(l, T - h, 1e6)) / (2 * h);
        const double dh = l.dh0 + l.dcp * (T - T0);
        EXPECT_NEAR(d, -dh / (R * T * T) - l.dv * 1e6 / (R * T * T), 1e-8) << T;
    }
    // d(dmu/RT)/dP = dv/(R T).
    const double T = 280;
    const double d = (emptyLatticePotential(l, T, 2e7) - emptyLatticePotential(l, T, 1e7)) / 1e7;
    EXPECT_NEAR(d, l.dv / (R * T), 1e-15);
}

TEST(HydrateIce, MeltingPointAndClapeyronSlope) {
    const IceConstants& ice = tables().ice;
    EXPECT_NEAR(icePotential(ice, ice.tm, 101325), 0, 1e-14);
    EXPECT_LT(icePotential(ice, 263.15, 101325), 0); // ice below its melting point
    EXPECT_GT(icePotential(ice, 283.15, 101325), 0);
    // Slope at Tm: d(dmu/RT)/dT = dh_fus / (R Tm^2).
    const double h = 1e-3;
    const double d =
        (icePotential(ice, ice.tm + h, 101325) - icePotential(ice, ice.tm - h, 101325)) / (2 * h);
    EXPECT_NEAR(d, ice.dhFus / (R * ice.tm * ice.tm), 1e-7);
    // Melting line near 0.1 MPa: dT/dP = -0.0743 K/MPa (IAPWS R14-08
    // melting pressure of ice Ih); the model's constants give Tm dv / dh.
    const double P = 10e6;
    double lo = 270, hi = 276;
    for (int it = 0; it < 60; ++it) {
        const double mid = 0.5 * (lo + hi);
        (icePotential(ice, mid, P) < 0 ? lo : hi) = mid;
    }
    const double slope = (lo - ice.tm) / ((P - 101325) * 1e-6);
    EXPECT_NEAR(slope, -0.0743, 0.005);
}

TEST(HydrateOccupation, EmptyAndSaturatedCavities) {
    const Tables& t = tables();
    const std::vector<const GuestConstants*> guests{t.guest(74828), nullptr};
    const LatticeConstants& l = t.lattice[0];
    EXPECT_EQ(occupationTerm(l, Structure::I, guests, 273.15, {0.0, 1e6}), 0.0);
    double last = 0;
    for (double f : {1e4, 1e5, 1e6, 1e7, 1e8}) {
        const double v = occupationTerm(l, Structure::I, guests, 273.15, {f, 0.0});
        EXPECT_GT(v, last);
        last = v;
    }
    // At high fugacity every cavity is filled: the slope in ln f tends to
    // the cavities per water molecule.
    const double a = occupationTerm(l, Structure::I, guests, 273.15, {1e9, 0.0});
    const double b = occupationTerm(l, Structure::I, guests, 273.15, {2e9, 0.0});
    EXPECT_NEAR((b - a) / std::log(2.0), l.nuSmall + l.nuLarge, 2e-3);
}

} // namespace

namespace {

// Formation model of a wet gas with Peng-Robinson and the stored k_ij.
struct WetGas {
    std::shared_ptr<zpk::engine::StreamSystem> sys;
    std::vector<std::int64_t> cas;
    explicit WetGas(const testsupport::Feed& mix, int fluidModel = 50) {
        zpk::streams::StreamDef d = testsupport::streamDef(mix, fluidModel);
        for (const auto& [c, z] : mix)
            cas.push_back(c);
        d.bipLoadLevel = 3;
        sys = std::make_shared<zpk::engine::StreamSystem>(d);
    }
    FormationModel model() const { return FormationModel(sys->fluid(), sys->feed(), cas); }
};

} // namespace

// A few per cent of propane turn methane's hydrate into structure II and
// lower its formation pressure several-fold (methane + 3.2 % propane forms
// hydrate near 1.5 MPa at 278 K, Sloan and Koh 2008): the more stable
// structure is the one with the lower formation pressure.  Propane alone
// cannot form structure I at all.
TEST(HydrateStructures, TheMoreStableStructureFormsFirst) {
    const WetGas gas({{74828, 0.958}, {74986, 0.032}, {7732185, 0.01}});
    const FormationModel m = gas.model();
    const double pI = m.formationPressure(278.0, Choice::OnlyI),
                 pII = m.formationPressure(278.0, Choice::OnlyII);
    EXPECT_LT(pII, 0.5 * pI);
    EXPECT_NEAR(m.formationPressure(278.0, Choice::MostStable), pII, 1e-6 * pII);
    EXPECT_GT(pII, 0.8e6);
    EXPECT_LT(pII, 2.5e6);
    const WetGas propane({{74986, 0.99}, {7732185, 0.01}});
    EXPECT_EQ(propane.model().formationPressure(274.2, Choice::OnlyI), 0.0);
    EXPECT_GT(propane.model().formationPressure(274.2, Choice::OnlyII), 0.0);
}

// Each search starts on the formation line through the thread's previous
// formation point on the same fluid and feed (of either kind), from that
// search's last phases.  Along a formation line (as a caller tabulating it
// walks, or inverting HPFORM with HTFORM) every result equals the one of a
// search on a fresh thread, which starts at the fixed point from the feed;
// with PR and with CPA-HV on a natural gas with methanol.
TEST(HydrateSearch, StartFromThePreviousSearchEqualsColdStart) {
    for (int fluid : {50, 115}) {
        const WetGas gas(testsupport::kHydrateGasWithMethanol, fluid);
        const FormationModel m = gas.model();
        for (double T = 262.0; T <= 292.0; T += 6.0) {
            const double warm = m.formationPressure(T, Choice::MostStable);
            double cold = 0;
            std::thread([&] { cold = m.formationPressure(T, Choice::MostStable); }).join();
            EXPECT_NEAR(warm, cold, 1e-7 * cold) << fluid << " " << T;
        }
        for (double P = 1e6; P <= 2e7; P *= 2.2) {
            const double warm = m.formationTemperature(P, Choice::MostStable);
            double cold = 0;
            std::thread([&] { cold = m.formationTemperature(P, Choice::MostStable); }).join();
            EXPECT_NEAR(warm, cold, 1e-7 * cold) << fluid << " " << P;
        }
        for (double T = 290.0; T >= 250.0; T -= 10.0) {
            const double P = m.formationPressure(T, Choice::MostStable);
            const double back = m.formationTemperature(P, Choice::MostStable);
            double cold = 0;
            std::thread([&] { cold = m.formationTemperature(P, Choice::MostStable); }).join();
            EXPECT_NEAR(back, cold, 1e-7 * cold) << fluid << " " << T;
            EXPECT_NEAR(back, T, 1e-5) << fluid;
        }
    }
}

// The search steps on the warm phases' equilibrium without a stability test
// and verifies its result with the flash: every formation point is a root of
// the driving force on the flash from the feed (a fresh state), within the
// search's tolerance (1e-6 in ln P, 1e-4 K), also where a hydrocarbon
// liquid or a methanol-rich water phase forms and with the PR-HV fluid.
TEST(HydrateSearch, FormationPointsAreRootsOfTheVerifiedDrivingForce) {
    struct Case {
        testsupport::Feed mix;
        int fluid;
    };
    const Case cases[] = {
        {testsupport::kHydrateGasWithMethanol, 60},
        {{{74828, 0.6}, {74986, 0.2}, {106978, 0.15}, {7732185, 0.05}}, 50},
        {{{74828, 0.9}, {74840, 0.05}, {7732185, 0.03}, {67561, 0.02}}, 50},
    };
    for (const Case& c : cases) {
        const WetGas gas(c.mix, c.fluid);
        const FormationModel m = gas.model();
        for (double T : {268.0, 278.0, 288.0}) {
            const double P = m.formationPressure(T, Choice::MostStable);
            if (P == 0.0) continue;
            const double d = m.drivingForce(T, P, Choice::MostStable);
            EXPECT_LT(std::abs(d), 0.2 * 1e-6) << c.fluid << " " << T << " " << P;
            const double back = m.formationTemperature(P, Choice::MostStable);
            EXPECT_LT(std::abs(m.drivingForce(back, P, Choice::MostStable)), 0.02 * 1e-4)
                << c.fluid << " " << P;
        }
    }
}
