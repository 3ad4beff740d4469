// Hard states for the isothermal flash and the saturation functions:
// within 1 % of mixture critical points, around the cricondenbar and the
// cricondentherm (retrograde region), narrow-boiling mixtures, pure
// components on their saturation line, three phases with much and with
// trace water, CO2-rich and H2S-rich gases, components at 1e-10.  Every
// call either returns a state that passes the invariants of invariants.h or
// fails cleanly (failure value, error flag, message naming the function);
// a wrong success fails the test.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "api/engine_common.h"
#include "invariants.h"
#include "tests/support/api_streams.h"
#include "zpk/zpk.h"

namespace {

using namespace testsupport;
using robustness::invariantFailure;
using robustness::RootRule;

constexpr int kIsopentane = 78784, kNPentane = 109660;

struct Gas {
    Gas(Mixture m, int code, int koOptions = 0) : mix(std::move(m)), model(code), options(koOptions) {}
    Mixture mix;
    int model;
    int options;                                   // putKO
    std::vector<std::pair<int, int>> bipPositions; // explicit k_ij entries
    std::vector<double> bipValues;
};

void defineGas(int s, const Gas& g) {
    define(s, g.mix, g.model);
    for (int p = 2; p <= 4; ++p) {
        setMP(s, p, 0, g.model);
        setMP(s, p, 1, g.model);
    }
    for (std::size_t n = 0; n < g.bipValues.size(); ++n) {
        const int e = static_cast<int>(n) + 1;
        putCi(s, e, g.bipPositions[n].first);
        putCj(s, e, g.bipPositions[n].second);
        putMB(s, e, g.model);
        putBIP(s, e, 0, g.bipValues[n]);
    }
    ASSERT_EQ(setS(s), 1) << ErrMsg();
    if (g.options) putKO(s, g.options);
}

using States = std::vector<std::pair<double, double>>; // (T K, P Pa)

// Points around (T, P): every combination of the factors.
void around(States& out, double T, double P, std::initializer_list<double> ft,
            std::initializer_list<double> fp) {
    if (!(T > 0) || !(P > 0)) return;
    for (double a : ft)
        for (double b : fp)
            out.push_back({T * a, P * b});
}

std::string where(const char* fn, double a, double b) {
    std::ostringstream o;
    o << fn << "(" << a << ", " << b << ")";
    return o.str();
}

// A failure must be clean: NaN or 0, the flag set, a message of the function.
void expectClean(bool failed, const std::string& call, const char* fn) {
    if (!failed) return;
    EXPECT_NE(getErrFlag(), 0) << call << " failed without setting the error flag";
    const std::string msg = ErrMsg();
    EXPECT_EQ(msg.rfind(std::string(fn) + ":", 0), 0u) << call << ": message \"" << msg << "\"";
    std::printf("[  failed  ] %s: %s\n", call.c_str(), msg.c_str());
    setErrFlag(0);
}

// Counts of what the checks met, for the report of each group.
struct Tally {
    int states = 0, succeeded = 0, failedCleanly = 0;
};

// Isothermal flash at each state: invariants or a clean failure.
void checkFlashes(int s, const States& states, Tally& t) {
    for (const auto& [T, P] : states) {
        ++t.states;
        setErrFlag(0);
        const std::string call = where("setOp", T, P);
        if (setOp(s, T, P) != 1) {
            ++t.failedCleanly;
            expectClean(true, call, "setOp");
            continue;
        }
        ++t.succeeded;
        const auto ctx = zpk::api::currentContext(s);
        EXPECT_EQ(getPNr(), static_cast<int>(ctx.st->phases.size())) << call;
        const std::string why = invariantFailure(*ctx.sys, *ctx.st, RootRule::Stable);
        EXPECT_EQ(why, "") << call << " returned " << ctx.st->phases.size() << " phase(s)";
    }
}

// Saturation state just computed by fn: the liquid fraction asked for and
// the invariants with each phase on the root of its kind.
void checkSaturation(int s, double value, double f, const std::string& call, const char* fn, Tally& t) {
    ++t.states;
    if (std::isnan(value)) {
        ++t.failedCleanly;
        expectClean(true, call, fn);
        return;
    }
    ++t.succeeded;
    EXPECT_EQ(getErrFlag(), 0) << call;
    const auto ctx = zpk::api::currentContext(s);
    EXPECT_NEAR(zpk::engine::liquidFraction(*ctx.st), f, 1e-8) << call;
    EXPECT_GE(ctx.st->phases.size(), 2u) << call;
    robustness::Tolerances tol;
    tol.tangentPlane = 1e-7; // the incipient phase sits on the tangent plane
    const std::string why = invariantFailure(*ctx.sys, *ctx.st, RootRule::OfKind, tol);
    EXPECT_EQ(why, "") << call << " = " << value;
}

// DPF, BPF and LfPF at each pressure, LfTF at each temperature.
void checkSaturations(int s, const std::vector<double>& pressures, const std::vector<double>& temperatures,
                      Tally& t) {
    for (double P : pressures) {
        checkSaturation(s, DPF(s, P), 0.0, where("DPF", s, P), "DPF", t);
        checkSaturation(s, BPF(s, P), 1.0, where("BPF", s, P), "BPF", t);
        checkSaturation(s, LfPF(s, P, 0.5), 0.5, where("LfPF", P, 0.5), "LfPF", t);
    }
    for (double T : temperatures)
        checkSaturation(s, LfTF(s, T, 0.5), 0.5, where("LfTF", T, 0.5), "LfTF", t);
}

// HPF to an enthalpy halfway between the states 0.5 K below and above T
// at P: a result meets the enthalpy and passes the invariants, or the call
// fails cleanly.
void checkEnthalpyFlash(int s, double T, double P, Tally& t) {
    setErrFlag(0);
    if (setOp(s, T - 0.5, P) != 1) return;
    const double h0 = StrH(s);
    if (setOp(s, T + 0.5, P) != 1) return;
    const double h = 0.5 * (h0 + StrH(s));
    ++t.states;
    const std::string call = where("HPF", P, h);
    const double result = HPF(s, P, h, T);
    if (std::isnan(result)) {
        ++t.failedCleanly;
        expectClean(true, call, "HPF");
        return;
    }
    ++t.succeeded;
    EXPECT_NEAR(StrH(s), h, 1e-8 * std::max(1.0, std::fabs(h))) << call;
    const auto ctx = zpk::api::currentContext(s);
    robustness::Tolerances tol;
    tol.tangentPlane = 1e-7;
    EXPECT_EQ(invariantFailure(*ctx.sys, *ctx.st, RootRule::OfKind, tol), "") << call << " = " << result;
}

class HardStates : public UnitSet1Test {
  protected:
    static constexpr int s = 73;
    void TearDown() override {
        UnitSet1Test::TearDown();
        std::printf("[   tally  ] %d calls: %d returned a result, %d failed cleanly\n", tally.states,
                    tally.succeeded, tally.failedCleanly);
    }
    // States within 1 % of the first critical point, around the
    // cricondenbar and the cricondentherm, and saturation calls at their
    // pressures and temperatures.
    void envelopeStates(const Gas& g) {
        defineGas(s, g);
        States st;
        std::vector<double> ps, ts;
        const double tc = StrTc(s, 1), pc = StrPc(s, 1);
        setErrFlag(0);
        around(st, tc, pc, {0.99, 0.995, 1.0, 1.005, 1.01}, {0.99, 1.0, 1.01});
        const double cbt = StrCBt(s), cbp = StrCBp(s), ctt = StrCTt(s), ctp = StrCTp(s);
        ASSERT_EQ(getErrFlag(), 0) << ErrMsg();
        around(st, cbt, cbp, {0.99, 1.0, 1.01}, {0.995, 0.999, 1.001});
        around(st, ctt, ctp, {0.999, 1.0, 1.001}, {0.99, 1.0, 1.01});
        checkFlashes(s, st, tally);
        for (double f : {0.99, 0.999, 1.001})
            ps.push_back(cbp * f);
        if (pc > 0) ps.push_back(pc * 0.995);
        for (double f : {0.999, 1.001})
            ts.push_back(ctt * f);
        if (tc > 0) ts.push_back(tc * 0.995);
        checkSaturations(s, ps, ts, tally);
    }
    Tally tally;
};

Gas sourGas() {
    Gas g({{kH2S, 0.15}, {kMethane, 0.7}, {kCO2, 0.15}}, 30);
    g.bipPositions = {{3, 2}, {3, 1}, {1, 2}};
    g.bipValues = {0.097, 0.102, 0.085};
    return g;
}

Gas elevenComponentGas() {
    return Gas({{kWater, 0.0001},
                {kNitrogen, 0.0145},
                {kCO2, 0.0215},
                {kMethane, 0.8067},
                {kEthane, 0.0634},
                {kPropane, 0.0311},
                {kIsobutane, 0.0063},
                {kNButane, 0.0114},
                {kIsopentane, 0.0046},
                {kNPentane, 0.0049},
                {kNHexane, 0.0355}},
               50);
}

} // namespace

TEST_F(HardStates, SixteenComponentGasNearCriticalAndRetrograde) {
    envelopeStates(Gas(sixteenComponentGas(), 30));
}

TEST_F(HardStates, ElevenComponentGasNearCriticalAndRetrograde) {
    envelopeStates(elevenComponentGas());
}

TEST_F(HardStates, SourGasNearCriticalAndRetrograde) {
    envelopeStates(sourGas());
}

TEST_F(HardStates, CarbonDioxideRichGas) {
    envelopeStates(Gas({{kCO2, 0.9}, {kMethane, 0.08}, {kNButane, 0.02}}, 50));
}

TEST_F(HardStates, HydrogenSulfideRichGas) {
    envelopeStates(Gas({{kH2S, 0.8}, {kMethane, 0.15}, {kCO2, 0.05}}, 30));
}

// Two isomers of close boiling points: a two-phase band a few kelvin wide.
TEST_F(HardStates, NarrowBoilingMixture) {
    defineGas(s, Gas({{kIsopentane, 0.5}, {kNPentane, 0.5}}, 50));
    States st;
    for (double P : {1e5, 5e5, 2e6}) {
        const double tb = BPF(s, P), td = DPF(s, P);
        ASSERT_EQ(getErrFlag(), 0) << ErrMsg();
        ASSERT_LT(tb, td);
        for (double T : {tb - 0.01, tb, 0.5 * (tb + td), td, td + 0.01})
            st.push_back({T, P});
    }
    checkFlashes(s, st, tally);
    checkSaturations(s, {1e5, 5e5, 2e6, 3.3e6}, {350, 400, 450}, tally);
}

// Pure components on their saturation line, from 0.6 to 0.999 of the
// critical temperature: exactly at, and 1e-9 relative above and below, the
// saturation pressure.
TEST_F(HardStates, PureComponentsOnTheSaturationLine) {
    for (int cas : {kMethane, kCO2, kNHexane, kWater}) {
        defineGas(s, Gas({{cas, 1.0}}, 50));
        const double tc = CompTc(CompCID(cas));
        States st;
        std::vector<double> ps;
        for (double r : {0.6, 0.8, 0.95, 0.99, 0.999}) {
            const double T = r * tc, P = LfTF(s, T, 0.5);
            ASSERT_EQ(getErrFlag(), 0) << cas << " " << ErrMsg();
            for (double f : {1.0, 1 + 1e-9, 1 - 1e-9})
                st.push_back({T, P * f});
            ps.push_back(P);
        }
        checkFlashes(s, st, tally);
        for (std::size_t k = 0; k < st.size(); k += 3)
            checkEnthalpyFlash(s, st[k].first, st[k].second, tally);
        checkSaturations(s, ps, {}, tally);
    }
}

// Methane, n-hexane and water with a second liquid allowed: water as a
// trace, as in the battery, and as half of the feed.
TEST_F(HardStates, ThreePhasesWithWater) {
    for (double water : {1e-5, 0.001, 0.5}) {
        const double rest = 1 - water;
        defineGas(s, Gas({{kMethane, 0.9 * rest}, {kNHexane, 0.1 * rest}, {kWater, water}}, 30, 1));
        States st;
        for (double T : {155.91, 200.0, 250.0, 300.0, 350.0, 420.0})
            for (double P : {1e5, 1.3e6, 5e6, 2e7})
                st.push_back({T, P});
        checkFlashes(s, st, tally);
        checkSaturations(s, {1.3e6}, {300}, tally);
    }
}

// A component at 1e-10 of the feed (n-decane in a methane-ethane gas).
TEST_F(HardStates, ComponentAtOneInTenBillion) {
    defineGas(s, Gas({{kMethane, 0.9}, {kEthane, 0.1 - 1e-10}, {kNDecane, 1e-10}}, 30));
    States st;
    for (double T : {120.0, 150.0, 180.0, 200.0, 250.0, 300.0})
        for (double P : {1e5, 2e6, 5e6})
            st.push_back({T, P});
    checkFlashes(s, st, tally);
    checkSaturations(s, {1e5, 2e6, 4.5e6}, {150, 180}, tally);
}

// The battery's gas G2 with 100 ppm water and PR around its first dew point
// (the hydrocarbon one at 5 MPa, the water dew point above the
// cricondenbar): below a water dew point a nearly pure water phase
// condenses out of the dense gas, also where no second liquid is asked for.
TEST_F(HardStates, WaterDewPointOfAWetGas) {
    Gas g = elevenComponentGas();
    defineGas(s, g);
    States st;
    std::vector<double> ps;
    for (double P : {5e6, 15e6, 20e6}) {
        const double td = PfPF(s, P, 0.0, 1, 1);
        ASSERT_EQ(getErrFlag(), 0) << ErrMsg();
        for (double dt : {-5.0, -1.0, -0.1, 0.1, 1.0})
            st.push_back({td + dt, P});
    }
    checkFlashes(s, st, tally);
    for (const auto& [T, P] : st)
        checkEnthalpyFlash(s, T, P, tally);
}
