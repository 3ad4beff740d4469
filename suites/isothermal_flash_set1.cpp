// Isothermal flash tests, data set 1: sixteen mixtures on one stream, flashed
// at given temperature and pressure (some also with critical-point,
// cricondenbar, cricondentherm and saturation calculations), each result
// held against a window.  Every check is independent.
#include "labelled_checks.h"
#include "natural_gas.h"
#include "stream_setup.h"
#include "testcode.h"
#include "zpk/zpk.h"

namespace {

using suites::Bip;
using suites::Feed;

// Feeds in position order; interaction rows {entry, i, j, parameter index, value}.

constexpr int hydrateMultiphaseModels[] = {111, 111, 151, 170};
constexpr Feed hydrateMultiphase[] = {
    {&testcode::methane, 0.93},    {&testcode::ethane, 0.0403},       {&testcode::propane, 0.0161},
    {&testcode::nitrogen, 0.0054}, {&testcode::carbonDioxide, 0.007}, {&testcode::water, 0.001},
    {&testcode::methanol, 0.0002},
};

constexpr int iceTwoFluidsModels[] = {60, 60, 150, 171};
constexpr Feed iceTwoFluids[] = {
    {&testcode::nitrogen, 0.05},   {&testcode::carbonDioxide, 0.01}, {&testcode::hydrogenSulfide, 0.05},
    {&testcode::methane, 0.25},    {&testcode::ethane, 0.001},       {&testcode::propane, 0.101},
    {&testcode::isobutane, 0.001}, {&testcode::ntetradecane, 0.001}, {&testcode::npentadecane, 0.001},
    {&testcode::water, 0.535},
};

constexpr int criticalPointModels[] = {56, 56};
constexpr Feed criticalPoint[] = {{&testcode::methane, 0.3}, {&testcode::carbonDioxide, 0.7}};
constexpr Bip criticalPointBips[] = {{1, 1, 2, 0, 0.034}, {1, 1, 2, 1, -100}, {1, 1, 2, 2, 200}};

constexpr int sourGasCriticalModels[] = {30, 30};
constexpr Feed sourGasCritical[] = {
    {&testcode::ndecane, 0},          {&testcode::methane, 0.7},          {&testcode::noctane, 0},
    {&testcode::carbonDioxide, 0.15}, {&testcode::hydrogenSulfide, 0.15}, {&testcode::nundecane, 0},
};
constexpr Bip sourGasCriticalBips[] = {{1, 2, 4, 0, 0.12}, {2, 4, 5, 0, 0.12}, {3, 2, 5, 0, 0.08}};

constexpr Feed hexanolWater[] = {{&testcode::hexanol, 0.1}, {&testcode::water, 0.9}};

constexpr Feed lightHydrocarbonsWater[] = {
    {&testcode::ethane, 0.2}, {&testcode::propane, 0.5}, {&testcode::nbutane, 0.2}, {&testcode::water, 0.1}};

constexpr Feed methaneHexane[] = {{&testcode::methane, 0.9}, {&testcode::nhexane, 0.1}};

constexpr Feed methaneHexaneWater[] = {
    {&testcode::methane, 0.9}, {&testcode::nhexane, 0.099}, {&testcode::water, 0.001}};

constexpr Feed hotGas[] = {
    {&testcode::methane, 0.9489},  {&testcode::ethane, 0.0305},   {&testcode::propane, 0.0104},
    {&testcode::nbutane, 0.0045},  {&testcode::npentane, 0.0013}, {&testcode::carbonDioxide, 0.0021},
    {&testcode::nitrogen, 0.0019}, {&testcode::nhexane, 0.0004},  {&testcode::water, 1e-6},
};

constexpr Feed wetGas[] = {
    {&testcode::methane, 0.90191},   {&testcode::ethane, 0.049601},    {&testcode::propane, 0.024094},
    {&testcode::nbutane, 0.0092115}, {&testcode::npentane, 0.0035429}, {&testcode::carbonDioxide, 0.0013159},
    {&testcode::nitrogen, 0.004049}, {&testcode::water, 0.0060735},
};

constexpr Feed methanePropane[] = {{&testcode::methane, 0.9}, {&testcode::propane, 0.1}};

constexpr Feed sourGasHeavyEnds[] = {
    {&testcode::ndecane, 0},
    {&testcode::nitrogen, 0},
    {&testcode::hydrogenSulfide, 0.4023},
    {&testcode::noctane, 0},
    {&testcode::methane, 0.4989},
    {&testcode::nundecane, 0},
    {&testcode::carbonDioxide, 0.0988},
    {&testcode::ndodecane, 0},
};
constexpr Bip sourGasHeavyEndsBips[] = {{1, 7, 5, 0, 0.097}, {2, 7, 3, 0, 0.102}, {3, 3, 5, 0, 0.085}};

constexpr Feed sourGas[] = {
    {&testcode::hydrogenSulfide, 0.15}, {&testcode::methane, 0.7}, {&testcode::carbonDioxide, 0.15}};
constexpr Bip sourGasBips[] = {{1, 3, 2, 0, 0.097}, {2, 3, 1, 0, 0.102}, {3, 1, 2, 0, 0.085}};

constexpr Feed methanePropaneEqual[] = {{&testcode::methane, 0.5}, {&testcode::propane, 0.5}};
constexpr Bip methanePropaneZeroBips[] = {{1, 1, 2, 0, 0}};

} // namespace

void testcode::testIsothermalFlash1() {
    const int s = streamBase() + 1;
    suites::LabelledChecks check(*this, "Error executing setOp() : ");
    resetUnits();

    // 1. Hydrate multiphase: vapour first, nearly all feed in it, a hydrate
    // among the next two phases.
    initS(s);
    setWm(s, 1.0);
    suites::setFugacityModels(s, hydrateMultiphaseModels);
    suites::completeMixture(*this, s, hydrateMultiphase);
    loadSB(s, 3);
    putKO(s, 4);
    setOp(s, 277.7, 8000000);
    if (StrPt(s, 1) != 0) check.fail("99b1 Hydrate Multiphase");
    check.failBelow(StrPf(s, 1), 0.99, "99b1 Hydrate Multiphase");
    if (!(StrPt(s, 2) == 3 || StrPt(s, 3) == 3)) check.fail("99b1 Hydrate Multiphase");

    // 2. Ice and two fluid phases: phase fractions summed by phase kind.
    initS(s);
    setWm(s, 1.0);
    suites::setFugacityModels(s, iceTwoFluidsModels);
    suites::completeMixture(*this, s, iceTwoFluids);
    loadSB(s, 1);
    putKO(s, 2);
    setOp(s, 269, 2400000);
    {
        const int phases = getPNr();
        double vapour = 0, liquid = 0, solid = 0;
        for (int i = 1; i <= phases; ++i) {
            const int kind = StrPt(s, i);
            if (kind == 0)
                vapour += StrPf(s, i);
            else if (kind == 1)
                liquid += StrPf(s, i);
            else if (kind == 2)
                solid += StrPf(s, i);
        }
        if (phases < 1 || vapour < 0.4 || vapour > 0.45) check.fail("7a");
        check.window(liquid, 0.03, 0.05, "7a");
        check.window(solid, 0.5, 0.55, "7a");
    }

    // 3. Critical point, not checked.
    initS(s);
    setWm(s, 1.0);
    suites::setFugacityModels(s, criticalPointModels);
    suites::completeMixture(*this, s, criticalPoint, 56, criticalPointBips);
    StrPc(s, 1);
    StrTc(s, 1);

    // 4. Sour gas critical data.
    initS(s);
    setWm(s, 1.0);
    suites::setFugacityModels(s, sourGasCriticalModels);
    suites::completeMixture(*this, s, sourGasCritical, 30, sourGasCriticalBips);
    check.window(StrPc(s, 1), 7885000, 7900000, "12a");
    check.window(StrTc(s, 1), 231.7, 231.95, "12b");
    check.window(StrCBp(s), 8600000, 8850000, "12c");
    check.window(StrCBt(s), 240, 250, "12d");
    check.window(StrCTp(s), 6900000, 7200000, "12e");
    check.window(StrCTt(s), 255, 256, "12f");

    // 5. Hexanol-water bubble point.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 5);
    suites::completeMixture(*this, s, hexanolWater);
    check.window(LfPF(s, 101327, 0.99999), 367, 371, "50a1");

    // 6. Light hydrocarbons with water: the water-rich third phase.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, lightHydrocarbonsWater);
    loadSB(s, 0);
    putKO(s, 1);
    setOp(s, 280, 500000);
    check.window(StrPf(s, 3), 0.09, 0.11, "1");

    // 7. Methane-hexane, not checked.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, methaneHexane);
    putKO(s, 1);
    setOp(s, 186.2, 4100000);
    StrPf(s, 2);

    // 8. Methane-hexane-water, three phases.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, methaneHexaneWater);
    putKO(s, 1);
    loadSB(s, 0);
    setOp(s, 155.91, 1300000);
    check.window(StrPf(s, 1), 0.1, 0.2, "3");
    check.window(StrPf(s, 2), 0.8, 0.9, "3");
    check.window(StrPf(s, 3), 0.0008, 0.0015, "3");

    // 9. Sixteen-component gas: two-phase, then all vapour.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, suites::sixteenComponentGas);
    setOp(s, 245.6, 6932575);
    check.window(StrLf(s), 0.065, 0.067, "4");
    setOp(s, 330, 6932575);
    check.failAbove(StrLf(s), 0, "5");

    // 10. Hot gas: no liquid.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, hotGas);
    setOp(s, 912.06, 9703448);
    check.failAbove(StrLf(s), 0, "8");

    // 11. Wet gas.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, wetGas);
    putKO(s, 1);
    setOp(s, 215, 5100374);
    check.window(StrLf(s), 0.13, 0.15, "9");
    check.window(StrPf(s, 3), 0.005, 0.007, "9");

    // 12. Methane-propane.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, methanePropane);
    setOp(s, 240, 8300000);
    check.window(StrLf(s), 0.07, 0.08, "10");
    setOp(s, 226, 7737000);
    check.window(StrLf(s), 0.38, 0.4, "11");

    // 13. Sour gas with heavy ends.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, sourGasHeavyEnds, 30, sourGasHeavyEndsBips);
    putKO(s, 1);
    setOp(s, 208.5, 5522300);
    check.window(StrLf(s), 0.59, 0.62, "12");

    // 14. Sour gas, three phases.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, sourGas, 30, sourGasBips);
    putKO(s, 1);
    setOp(s, 150, 1000000);
    check.window(StrPf(s, 1), 0.6, 0.7, "5a1");
    check.window(StrPf(s, 2), 0.25, 0.35, "5a1");
    check.failBelow(StrPf(s, 3), 0.03, "5a1");

    // 15. The same sour gas near its critical point, without the option.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 6);
    suites::completeMixture(*this, s, sourGas, 30, sourGasBips);
    setOp(s, 233.68, 7884000);
    check.window(StrLf(s), 0.28, 0.29, "12");
    setOp(s, 232.54, 7952700);
    check.window(StrLf(s), 0.01, 0.99, "12");
    setOp(s, 232.65, 7870000);
    check.window(StrLf(s), 0.35, 0.37, "13");
    setOp(s, 234.6, 7884000);
    check.window(StrLf(s), 0.24, 0.26, "13");
    {
        const double T = LfPF(s, 8800000, 1e-5);
        setOp(s, T, 8800000);
        check.window(StrLf(s), 5e-6, 2e-5, "14");
    }

    // 16. Methane-propane with a zero interaction parameter.
    initS(s);
    setWm(s, 1.0);
    setModelAllPhases(s, 7);
    suites::completeMixture(*this, s, methanePropaneEqual, 50, methanePropaneZeroBips);
    setOp(s, 308, 8600000);
    check.window(StrLf(s), 0.88, 0.89, "15");
}
