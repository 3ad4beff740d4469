// Densities and derived properties against measured or tabulated values:
// data set 3 (densities, heat capacities, expansivities, compressibilities,
// solid and LNG densities), 4 (flash points), 6 (speed of sound, heat
// capacities, Joule-Thomson coefficients and a two-phase sweep), 7 (pure
// component data of methane) and 8 (LPG liquid density and molar mass).
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "stream_setup.h"
#include "testcode.h"
#include "zpk/zpk.h"

namespace {

using suites::Feed;

using T = testcode;
using Property = double (*)(int);

// ---------------------------------------------------------------------------
// Data set 3

constexpr const char* set3Message = "Error executing tStEStr()";

// A property read after setOp: compared with ref (relative, tolerance tol),
// or only read.
struct Reading {
    Property property;
    double ref;
    double tol;
    bool compared;
};

constexpr Reading check(Property p, double ref, double tol) {
    return {p, ref, tol, true};
}
constexpr Reading readOnly(Property p) {
    return {p, 0, 0, false};
}

// setOp(S, T, P), then the readings in order (unused slots stay empty).
struct StateRow {
    double T;
    double P;
    Reading readings[5];
};

struct StateSpan {
    const StateRow* first;
    int n;
    const StateRow* begin() const { return first; }
    const StateRow* end() const { return first + n; }
};

template <std::size_t N> constexpr StateSpan rowsOf(const StateRow (&a)[N]) {
    return StateSpan{a, static_cast<int>(N)};
}

// clang-format off
constexpr StateRow methaneStates[] = {
    {300, 10000000, {check(StrGD, 75.175, 0.05), check(StrGCp, 3.0023, 0.015)}},
    {500, 30000000, {check(StrGD, 107.66, 0.05), check(StrGCp, 3.2738, 0.015)}},
    {100, 1000000,  {check(StrLD, 439.67, 0.05), check(StrLCp, 3.4202, 0.07), check(StrLVE, 0.0031174, 0.15), check(StrLIC, 1.7067e-9, 0.07), check(StrLCv, 2.1251, 0.05)}},
    {120, 1500000,  {check(StrLD, 411.33, 0.05), check(StrLCp, 3.5301, 0.05), check(StrLVE, 0.0036977, 0.05), check(StrLIC, 2.6448e-9, 0.15), check(StrLCv, 2.0219, 0.07)}},
    {160, 3000000,  {check(StrLD, 341.12, 0.05), check(StrLCp, 4.2441, 0.07), check(StrLVE, 0.0068422, 0.25), check(StrLIC, 9.3637e-9, 0.5),  check(StrLCv, 1.899, 0.07)}},
    {170, 4000000,  {check(StrLD, 319.53, 0.05), check(StrLCp, 4.6687, 0.1),  check(StrLVE, 0.0087406, 0.3),  check(StrLIC, 1.4638e-8, 0.6),  check(StrLCv, 1.8919, 0.06)}},
    {180, 4000000,  {check(StrLD, 285.13, 0.06), check(StrLCp, 6.1611, 0.2),  check(StrLVE, 0.015673, 0.4),   check(StrLIC, 3.6653e-8, 0.6),  check(StrLCv, 1.9304, 0.05)}},
};

constexpr StateRow waterStates[] = {
    {290, 500000,   {check(StrLD, 998, 0.05), check(StrLCp, 4.1853, 0.15), check(StrLVE, 0.00017296, 0.05), check(StrLIC, 4.6439e-10, 0.7), check(StrLCv, 4.1665, 0.4)}},
    {390, 2000000,  {check(StrLD, 946, 0.05), check(StrLCp, 4.23, 0.05),   check(StrLVE, 0.00083666, 0.4),  check(StrLIC, 5.2034e-10, 0.7), check(StrLCv, 3.6796, 0.4)}},
    {550, 10000000, {check(StrLD, 761, 0.1),  check(StrLCp, 5.14, 0.2),    check(StrLVE, 0.00236, 0.5),     check(StrLIC, 1.965e-9, 0.3),   check(StrLCv, 3.0865, 0.22)}},
};

constexpr StateRow compound75796States[] = {
    {300, 100000, {check(StrLD, 1254, 0.05)}},
};

constexpr StateRow methanePropaneStates[] = {
    {200, 3700000, {check(StrLD, 469.66, 0.05), check(StrLCp, 2.7677, 0.05), check(StrLCv, 1.5588, 0.08), check(StrLIC, 4.0769e-9, 0.25)}},
    {160, 1700000, {check(StrLD, 524.39, 0.05), check(StrLCp, 2.5341, 0.05), readOnly(StrLCv),            readOnly(StrLIC)}},
    {300, 4000000, {check(StrLD, 443.37, 0.05), check(StrLCp, 3.0559, 0.06), check(StrLCv, 1.7117, 0.06), readOnly(StrLIC)}},
};

constexpr StateRow waterMethanolSolid[]  = {{230, 100000, {check(StrSD, 922, 0.005)}}};
constexpr StateRow alkaneSolid[]         = {{190, 100000, {check(StrSD, 894, 0.005)}}};
constexpr StateRow hydrateFormerSolid[]  = {{250, 500000, {check(StrSD, 920, 0.005)}}};
// clang-format on

constexpr Feed methanePure[] = {{&T::methane, 1.0}};
constexpr Feed waterPure[] = {{&T::water, 1.0}};
constexpr Feed methanePropane[] = {{&T::methane, 0.6}, {&T::propane, 0.4}};
constexpr Feed waterMethanol[] = {{&T::water, 0.8}, {&T::methanol, 0.2}};
constexpr Feed methaneHeptaneDecane[] = {{&T::methane, 0.1}, {&T::nheptane, 0.4}, {&T::ndecane, 0.5}};
constexpr Feed methaneEthaneWater[] = {{&T::methane, 0.8}, {&T::ethane, 0.09}, {&T::water, 0.01}};
// Liquefied natural gas, in mole percent (passed as such).
constexpr Feed lng[] = {
    {&T::nitrogen, 0.8},   {&T::methane, 74.3}, {&T::ethane, 16.5},     {&T::propane, 6.5},
    {&T::isobutane, 0.84}, {&T::nbutane, 0.89}, {&T::isopentane, 0.07}, {&T::npentane, 0.07},
};

// Model calls of data set 3, made after setS.
enum class Set3Models {
    M51,           // fugacity, volume and enthalpy models 51 for vapour and liquid
    M51NoEnthalpy, // the fugacity and volume calls of M51 only
    M51Solid150,   // M51 fugacity/volume with solid model 150 and hydrate model 171
    M51Solid153,   // the same with solid model 153
};

void setSet3Models(int s, Set3Models m) {
    switch (m) {
    case Set3Models::M51:
    case Set3Models::M51NoEnthalpy:
        setMP(s, 1, 0, 51);
        setMP(s, 1, 1, 51);
        setMP(s, 4, 0, 51);
        setMP(s, 4, 1, 51);
        if (m == Set3Models::M51) {
            setMP(s, 2, 0, 51);
            setMP(s, 2, 1, 51);
        }
        return;
    case Set3Models::M51Solid150:
    case Set3Models::M51Solid153: {
        const int c = m == Set3Models::M51Solid150 ? 150 : 153;
        setMP(s, 1, 0, 51);
        setMP(s, 1, 1, 51);
        setMP(s, 1, 2, c);
        setMP(s, 1, 3, 171);
        setMP(s, 4, 0, 51);
        setMP(s, 4, 1, 51);
        setMP(s, 4, 2, c);
        setMP(s, 4, 3, 171);
        return;
    }
    }
}

constexpr int none = -1;

// One stream of data set 3: composition, models, loadSB and putKO values
// (none when not called) and its states.
struct Set3Stream {
    std::span<const Feed> parts;
    Set3Models models;
    int loadSB;
    int putKO;
    StateSpan states;
};

// clang-format off
constexpr Set3Stream set3Fluids[] = {
    {methanePure,    Set3Models::M51, 0, none, rowsOf(methaneStates)},
    {waterPure,      Set3Models::M51, 0, none, rowsOf(waterStates)},
};
constexpr Set3Stream set3Mixture =
    {methanePropane, Set3Models::M51, 0, none, rowsOf(methanePropaneStates)};
constexpr Set3Stream set3Solids[] = {
    {waterMethanol,        Set3Models::M51Solid150, 3,    2, rowsOf(waterMethanolSolid)},
    {methaneHeptaneDecane, Set3Models::M51Solid153, none, 2, rowsOf(alkaneSolid)},
    {methaneEthaneWater,   Set3Models::M51Solid153, none, 4, rowsOf(hydrateFormerSolid)},
};
// clang-format on

void runStates(testcode& t, int s, StateSpan states) {
    for (const StateRow& row : states) {
        setOp(s, row.T, row.P);
        for (const Reading& r : row.readings) {
            if (!r.property) break;
            const double x = r.property(s);
            if (r.compared && std::fabs(x / r.ref - 1) > r.tol) t.appendError(set3Message);
        }
    }
}

void runSet3Stream(testcode& t, int s, const Set3Stream& c) {
    initS(s);
    setWm(s, 1.0);
    suites::putFeeds(t, s, c.parts);
    setS(s);
    setSet3Models(s, c.models);
    if (c.loadSB != none) loadSB(s, c.loadSB);
    if (c.putKO != none) putKO(s, c.putKO);
    runStates(t, s, c.states);
}

// LNG densities with EStrLD (no setOp): before each check a full model set
// F(c) when fullSet is not none, then the liquid volume model, then putKO(S,0)
// when resetOptions.
struct LngStep {
    int fullSet;
    int liquidVolumeModel;
    bool resetOptions;
    double T;
    double P;
    double ref;
    double tol;
};

// clang-format off
constexpr LngStep lngSteps[] = {
    {30,   30, false, 110.15, 116000, 513, 0.05},
    {none, 30, false, 125.15, 285000, 493, 0.05},
    {50,   50, false, 110.15, 116000, 513, 0.12},
    {none, 51, true,  110.15, 116000, 513, 0.03},
    {none, 50, false, 125.15, 285000, 493, 0.15},
    {none, 51, true,  125.15, 285000, 493, 0.03},
};
// clang-format on

void fullModelSet(int s, int c) {
    setMP(s, 1, 0, c);
    setMP(s, 1, 1, c);
    setMP(s, 4, 0, c);
    setMP(s, 4, 1, c);
}

} // namespace

void testcode::testFluidProperties3() {
    const int s = streamBase() + 1;

    for (const Set3Stream& c : set3Fluids)
        runSet3Stream(*this, s, c);

    // The compound with CAS 75-79-6, looked up where it is used.
    initS(s);
    setWm(s, 1.0);
    putZ(s, 1, 1.0);
    putCC(s, 1, CompCID(75796));
    setS(s);
    setSet3Models(s, Set3Models::M51NoEnthalpy);
    loadSB(s, 0);
    runStates(*this, s, rowsOf(compound75796States));

    runSet3Stream(*this, s, set3Mixture);
    for (const Set3Stream& c : set3Solids)
        runSet3Stream(*this, s, c);

    initS(s);
    setWm(s, 1.0);
    suites::putFeeds(*this, s, lng);
    setS(s);
    for (const LngStep& step : lngSteps) {
        if (step.fullSet != none) fullModelSet(s, step.fullSet);
        setMP(s, 4, 1, step.liquidVolumeModel);
        if (step.resetOptions) putKO(s, 0);
        const double d = EStrLD(s, step.T, step.P);
        if (std::fabs(d / step.ref - 1) > step.tol) appendError(set3Message);
    }
}

namespace {

// Relative check in the form |x - r| / |r| > tol.
bool deviates(double x, double r, double tol) {
    return std::fabs(x - r) / std::fabs(r) > tol;
}

} // namespace

void testcode::testFluidProperties4() {
    const int s = streamBase() + 1;

    resetUnits();

    initS(s);
    setWm(s, 5.0);
    setMP(s, 1, 0, 130);
    setMP(s, 1, 1, 130);
    setMP(s, 4, 0, 51);
    setMP(s, 4, 1, 51);
    putZ(s, 1, 0);
    putZ(s, 2, 1.0);
    putCC(s, 1, water);
    putCC(s, 2, methanol);
    setS(s);
    if (deviates(StrFLP(s), 283.5, 0.01)) appendError(" strFLP() 1.1");

    putZ(s, 1, 0.8);
    putZ(s, 2, 0.2);
    setS(s);
    if (deviates(StrFLP(s), 308, 0.02)) appendError(" strFLP() 1.2");

    initS(s);
    setWm(s, 5.0);
    setMP(s, 1, 0, 10);
    setMP(s, 1, 1, 10);
    setMP(s, 4, 0, 51);
    setMP(s, 4, 1, 51);
    putZ(s, 1, 0.2);
    putZ(s, 2, 0.3);
    putZ(s, 3, 0.5);
    putCC(s, 1, noctane);
    putCC(s, 2, methanol);
    putCC(s, 3, propane);
    setS(s);
    loadSB(s, 0);
    StrFLP(s);

    initS(s);
    setWm(s, 5.0);
    setMP(s, 1, 0, 130);
    setMP(s, 1, 1, 130);
    putZ(s, 1, 0.8);
    putZ(s, 2, 0.2);
    putCC(s, 1, noctane);
    putCC(s, 2, methanol);
    setS(s);
    loadSB(s, 0);
    if (deviates(StrFLP(s), 275.15, 0.03)) appendError(" strFLP() 1.3");
}

namespace {

// A property at the current operating point against its reference, in the
// form |1 - x / r| > tol, with its own message.
struct Set6Check {
    Property property;
    double ref;
    const char* message;
};

constexpr double set6Tolerance = 0.001;

// clang-format off
constexpr Set6Check gasChecks[] = {
    {StrGSS, 294.8,    "Error testing StrGSS"},
    {StrGCp, 1.8769,   "Error testing StrGCp"},
    {StrGCv, 1.6366,   "Error testing StrGCv"},
    {StrGJT, 9.379e-6, "Error testing StrJT"},
};
constexpr Set6Check liquidChecks[] = {
    {StrLSS, 1665.3,      "Error testing StrLSS"},
    {StrLCp, 1.947,       "Error testing StrLCp"},
    {StrLCv, 1.4979,      "Error testing StrLCv"},
    {StrLJT, -6.7347e-7,  "Error testing StrJT"},
};
// clang-format on

template <std::size_t N> void runSet6Checks(testcode& t, int s, const Set6Check (&checks)[N]) {
    for (const Set6Check& c : checks)
        if (std::fabs(1 - c.property(s) / c.ref) > set6Tolerance) t.appendError(c.message);
}

void defineSet6Stream(testcode& t, int s, double z1, double z2, int second) {
    initS(s);
    setWm(s, 1.0);
    t.setModelAllPhases(s, 6);
    putZ(s, 1, z1);
    putZ(s, 2, z2);
    putCC(s, 1, t.methane);
    putCC(s, 2, second);
    setS(s);
}

} // namespace

void testcode::testFluidProperties6() {
    const int s = streamBase() + 1;

    resetUnits();
    defineSet6Stream(*this, s, 0.3, 0.7, propane);

    setOp(s, 330, 100000);
    runSet6Checks(*this, s, gasChecks);

    setOp(s, 150, 100000);
    runSet6Checks(*this, s, liquidChecks);

    setOp(s, 230, 2000000);
    if (std::fabs(1 - StrMSS(s) / 71.176) > set6Tolerance) appendError("Error testing StrMSS");

    // Two-phase sweep.  The fraction grows by repeated addition of 0.01, which
    // in double arithmetic gives 100 passes (f from 0 to about 0.99).
    defineSet6Stream(*this, s, 0.9, 0.1, nhexane);
    for (double f = 0; f <= 1; f += 0.01) {
        const double temperature = LfPF(s, 2000000, f);
        if (temperature < 1) appendError("Error testing StrMSS");
        const double sound = EStrMSS(s, temperature, 2000000);
        if (sound < 35 || sound > 1000) appendError("Error testing StrMSS");
    }
}

void testcode::testFluidProperties7() {
    if (deviates(CompMw(methane), 16.04, 0.01)) appendError("Error testing tCompData()");
    if (deviates(CompHf(methane), -4664, 0.01)) appendError("Error testing tCompData()");
    if (deviates(CompGf(methane), -3164, 0.01)) appendError("Error testing tCompData()");
}

namespace {

void mixtureFailure(testcode& t, const char* tag) {
    std::snprintf(t.message, testcode::messageSize, "Error executing tMixFunct() : %s", tag);
    t.appendError(t.message);
}

constexpr Feed lpg[] = {
    {&T::ethane, 0.0043},   {&T::propane, 0.54608},    {&T::isobutane, 0.10673},
    {&T::nbutane, 0.32994}, {&T::isopentane, 0.00989}, {&T::npentane, 0.00306},
};

} // namespace

void testcode::testFluidProperties8() {
    const int s = streamBase() + 1;

    resetUnits();
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 7);
    suites::putFeeds(*this, s, lpg);
    setS(s);
    setOp(s, 293.15, 7000000);

    const double density = StrLD(s);
    if (density < 580 || density > 590) mixtureFailure(*this, "100");
    const double molarMass = StrLMw(s);
    if (molarMass < 50 || molarMass > 51) mixtureFailure(*this, "101");
}
