// Isothermal flash tests, data sets 2 and 3.  Data set 2 flashes the same
// fluid under one predefined model set after another and expects the same
// phase behaviour from each; data set 3 checks critical points,
// cricondenbar and cricondentherm, retrograde phase-fraction flashes and
// liquid fractions against windows.  Every check is independent.
#include <cmath>

#include "labelled_checks.h"
#include "natural_gas.h"
#include "stream_setup.h"
#include "testcode.h"
#include "zpk/zpk.h"

namespace {

using suites::Bip;
using suites::Feed;

// A model set put in force with setModelAllPhases before a check, and the
// check's label.  keepModelSet: the set already in force stays, nothing is called.
constexpr int keepModelSet = 0;
struct SetAndLabel {
    int modelSet;
    const char* label;
};

// ---------------------------------------------------------------------------
// Data set 2

// Pure ethane just below its critical temperature: compressed liquid.
constexpr SetAndLabel ethaneCompressedLiquid[] = {
    {7, "24"}, {22, "24"}, {21, "24"}, {1, "25"}, {2, "26"}, {3, "27"}, {4, "28"}, {5, "29"},
};
// Pure ethane just above its critical temperature: no liquid.
constexpr SetAndLabel ethaneSupercritical[] = {
    {6, "30"}, {22, "31"}, {21, "30"}, {2, "31"}, {3, "32"}, {5, "33"}, {4, "34"}, {7, "35"},
};

constexpr Feed propaneEthane[] = {{&testcode::propane, 0.7563}, {&testcode::ethane, 0.2437}};
// Sweep A: superheated at 500 K.  Set 1 is in force from the definition.
constexpr SetAndLabel sweepSuperheated[] = {
    {keepModelSet, "38"}, {2, "39"},  {3, "40"}, {4, "41"}, {5, "42"}, {6, "43"},
    {22, "43"},           {21, "43"}, {7, "44"},
};
// Sweep B: one kelvin above the dew point.  Set 7 is still in force from sweep A.
constexpr SetAndLabel sweepAboveDewPoint[] = {
    {keepModelSet, "45"}, {2, "46"},  {3, "47"}, {4, "48"}, {5, "49"}, {6, "50"},
    {22, "50"},           {21, "50"}, {7, "51"},
};
// Sweep C: one kelvin below the bubble point; every set put in force anew.
constexpr SetAndLabel sweepBelowBubblePoint[] = {
    {1, "52"}, {2, "53"}, {3, "54"}, {4, "55"}, {5, "55"}, {6, "56"}, {22, "56"}, {21, "56"}, {7, "57"},
};

constexpr Feed liquefiedPetroleumGas[] = {{&testcode::ethane, 0.02},
                                          {&testcode::propane, 0.55},
                                          {&testcode::isobutane, 0.41},
                                          {&testcode::nbutane, 0.02}};
// Phase-fraction flash for a liquid fraction of 0.02.  Set 6 first ("58").
constexpr SetAndLabel liquidFractionSets[] = {
    {7, "59"}, {22, "59"}, {21, "59"}, {1, "60"}, {2, "61"}, {3, "62"}, {4, "63"}, {5, "64"},
};

// ---------------------------------------------------------------------------
// Data set 3

constexpr Feed methaneButane[] = {{&testcode::methane, 0.999}, {&testcode::nbutane, 0.001}};
constexpr Feed methaneEthane[] = {{&testcode::methane, 0.8}, {&testcode::ethane, 0.2}};
constexpr Feed methanePropane[] = {{&testcode::methane, 0.9}, {&testcode::propane, 0.1}};
constexpr Feed sourGas[] = {
    {&testcode::hydrogenSulfide, 0.15}, {&testcode::methane, 0.7}, {&testcode::carbonDioxide, 0.15}};
constexpr Bip sourGasBips[] = {{1, 3, 2, 0, 0.092}, {2, 3, 1, 0, 0.097}, {3, 1, 2, 0, 0.085}};
constexpr Feed waterAmmonia[] = {{&testcode::water, 0.6}, {&testcode::ammonia, 0.4}};
constexpr Bip waterAmmoniaBips[] = {{1, 1, 2, 0, 100}, {1, 1, 2, 1, 300}};

constexpr Feed pureEthane[] = {{&testcode::ethane, 1.0}};
constexpr Feed pureWater[] = {{&testcode::water, 1.0}};

// initS, optionally setWm(1.0), the all-phase model set, feeds, interaction
// entries and setS.
void defineMixture(testcode& fixture, int s, bool withMassFlow, int modelSet, std::span<const Feed> feeds,
                   int bipModel = 0, std::span<const Bip> bips = {}) {
    initS(s);
    if (withMassFlow) setWm(s, 1.0);
    fixture.setModelAllPhases(s, modelSet);
    suites::completeMixture(fixture, s, feeds, bipModel, bips);
}

} // namespace

void testcode::testIsothermalFlash2() {
    const int s = streamBase() + 1;
    suites::LabelledChecks check(*this, "Error executing setOp1() : ");
    resetUnits();
    auto useModelSet = [&](int modelSet) {
        if (modelSet != keepModelSet) setModelAllPhases(s, modelSet);
    };

    // 1. Pure ethane.
    defineMixture(*this, s, true, 6, pureEthane);
    const double T1 = CompTc(ethane) * 0.9999;
    const double P1 = CompPc(ethane) * 1.5;

    // 2. Compressed liquid under every model set.
    setOp(s, T1, P1);
    check.failBelow(StrLf(s), 0.999, "23");
    if (getMP(s, 1, 1) != 30) check.fail("23");
    for (const auto& [modelSet, label] : ethaneCompressedLiquid) {
        useModelSet(modelSet);
        setOp(s, T1, P1);
        check.failBelow(StrLf(s), 0.999, label);
    }

    // 3. Supercritical: no liquid.
    const double T2 = CompTc(ethane) * 1.0001;
    for (const auto& [modelSet, label] : ethaneSupercritical) {
        useModelSet(modelSet);
        setOp(s, T2, P1);
        check.failAbove(StrLf(s), 0.001, label);
    }

    // 4. Pure water with the model set put in force after setS.
    initS(s);
    setWm(s, 1.0);
    suites::completeMixture(*this, s, pureWater);
    setModelAllPhases(s, 32);
    setOp(s, 300, 5000000);
    check.failBelow(StrLf(s), 0.9999, "36");
    setOp(s, 900, 500000);
    check.failAbove(StrLf(s), 0.001, "37");

    // 5. Propane-ethane: a failed flash and the liquid fraction each give a
    // message with the same label.
    defineMixture(*this, s, true, 1, propaneEthane);
    for (const auto& [modelSet, label] : sweepSuperheated) {
        useModelSet(modelSet);
        if (setOp(s, 500, 286100) == 0) check.fail(label);
        check.failAbove(StrLf(s), 0.001, label);
    }
    for (const auto& [modelSet, label] : sweepAboveDewPoint) {
        useModelSet(modelSet);
        const double T = LfPF(s, 286100, 0) + 1;
        if (setOp(s, T, 286100) == 0) check.fail(label);
        check.failAbove(StrLf(s), 0.001, label);
    }
    for (const auto& [modelSet, label] : sweepBelowBubblePoint) {
        useModelSet(modelSet);
        const double T = LfPF(s, 286100, 1) - 1;
        if (setOp(s, T, 286100) == 0) check.fail(label);
        check.failBelow(StrLf(s), 0.999, label);
    }

    // 6. Liquefied petroleum gas: the phase-fraction flash must give the
    // liquid fraction it was asked for, within 1 % relative.
    defineMixture(*this, s, true, 6, liquefiedPetroleumGas);
    auto liquidFraction = [&](const char* label) {
        const double T = LfPF(s, 410000, 0.02);
        setOp(s, T, 410000);
        if (std::fabs(StrLf(s) - 0.02) / 0.02 > 0.01) check.fail(label);
    };
    liquidFraction("58");
    for (const auto& [modelSet, label] : liquidFractionSets) {
        useModelSet(modelSet);
        liquidFraction(label);
    }
}

void testcode::testIsothermalFlash3() {
    const int s = streamBase() + 1;
    suites::LabelledChecks check(*this, "Error executing setOp2() : ");
    resetUnits();

    // 1. Methane with a trace of n-butane: critical point, cricondenbar,
    // cricondentherm and three pressures of the dew curve below it.
    defineMixture(*this, s, true, 7, methaneButane);
    check.window(StrPc(s, 1), 4650000, 4690000, "17g");
    check.window(StrTc(s, 1), 191.4, 191.8, "17h");
    check.window(StrCBp(s), 4675000, 4695000, "17i");
    check.window(StrCBt(s), 191.4, 191.6, "17l");
    check.window(StrCTp(s), 2400000, 2600000, "17m");
    {
        const double cricondenthermT = StrCTt(s);
        check.window(cricondenthermT, 192, 193, "17n");
        const double T = cricondenthermT * 0.98849;
        check.window(PfTF(s, T, 1e-5, 1, 1), 1400000, 1500000, "17n");
        check.window(PfTF(s, T, 1e-5, 1, 2), 3600000, 3800000, "17n");
        check.window(PfTF(s, T, 1e-5, 1, 3), 4300000, 4500000, "17n");
    }

    // 2. The sixteen-component gas under set 7.
    defineMixture(*this, s, true, 7, suites::sixteenComponentGas);
    setOp(s, 243, 6932575);
    check.window(StrLf(s), 0.07, 0.08, "16");
    setOp(s, 330, 6932575);
    check.failAbove(StrLf(s), 0, "17");
    check.window(StrPc(s, 1), 6900000, 7000000, "17a");
    check.window(StrTc(s, 1), 214, 215, "17b");
    {
        const double cricondenbarP = StrCBp(s);
        check.window(cricondenbarP, 11800000, 12300000, "17c");
        check.window(StrCBt(s), 268, 272, "17d");
        const double P = cricondenbarP * 0.99;
        check.window(PfPF(s, P, 1e-6, 1, 1), 277, 282, "17d");
        check.window(PfPF(s, P, 1e-6, 1, 2), 260, 265, "17d");
    }
    check.window(StrCTp(s), 4300000, 4600000, "17e");
    check.window(StrCTt(s), 320, 330, "17f");

    // 3. The same gas under set 22, without setWm.
    defineMixture(*this, s, false, 22, suites::sixteenComponentGas);
    check.window(StrCTp(s), 5700000, 6100000, "17e1");
    check.window(StrCTt(s), 325, 331, "17e2");

    // 4. Methane-ethane under set 22, without setWm.
    defineMixture(*this, s, false, 22, methaneEthane);
    check.window(StrCTp(s), 5700000, 5900000, "17e3");
    check.window(StrCTt(s), 229, 231, "17e4");

    // 5. Methane-propane.
    defineMixture(*this, s, true, 7, methanePropane);
    setOp(s, 240, 8300000);
    check.window(StrLf(s), 0.04, 0.05, "18");
    setOp(s, 233.8, 7800000);
    check.window(StrLf(s), 0.16, 0.17, "19");

    // 6. Sour gas near its critical point.
    defineMixture(*this, s, true, 7, sourGas, 50, sourGasBips);
    setOp(s, 235, 7750000);
    check.window(StrLf(s), 0.23, 0.24, "19");
    setOp(s, 236, 7840000);
    check.window(StrLf(s), 0.2, 0.23, "20");
    setOp(s, 247, 8600000);
    check.window(StrLf(s), 0.035, 0.04, "21");

    // 7. Water-ammonia.
    defineMixture(*this, s, true, 2, waterAmmonia, 10, waterAmmoniaBips);
    setOp(s, 370, 200000);
    check.window(StrLf(s), 0.27, 0.28, "22");
}
