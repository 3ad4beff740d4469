// Unit operation tests: polytropic compression and nozzle flow, stream
// mixing, and phase splitting into product streams.
#include <cmath>
#include <cstddef>

#include "testcode.h"
#include "zpk/zpk.h"

namespace {

// putZ for every position, then putCC for every position (positions from 1).
template <std::size_t N>
void putComposition(int stream, const double (&fractions)[N], const int (&components)[N]) {
    for (std::size_t i = 0; i < N; ++i)
        putZ(stream, static_cast<int>(i + 1), fractions[i]);
    for (std::size_t i = 0; i < N; ++i)
        putCC(stream, static_cast<int>(i + 1), components[i]);
}

// putCC then putZ, position by position.
template <std::size_t N>
void putCompositionInterleaved(int stream, const double (&fractions)[N], const int (&components)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
        putCC(stream, static_cast<int>(i + 1), components[i]);
        putZ(stream, static_cast<int>(i + 1), fractions[i]);
    }
}

// One model for every property (1 to 4), vapour then liquid.
void setModelVapourLiquid(int stream, int model) {
    for (int p = 1; p <= 4; ++p) {
        setMP(stream, p, 0, model);
        setMP(stream, p, 1, model);
    }
}

void putInteraction(int stream, int n, int i, int j, double k) {
    putCi(stream, n, i);
    putCj(stream, n, j);
    putMB(stream, n, 30);
    putBIP(stream, n, 0, k);
}

enum class Order { FractionsThenComponents, Interleaved };

// A stream for the nozzle and compressor blocks: one model for all phases.
template <std::size_t N>
void defineAllPhases(int stream, double massFlow, int model, const double (&fractions)[N],
                     const int (&components)[N], Order order = Order::FractionsThenComponents) {
    initS(stream);
    setWm(stream, massFlow);
    setModelVapourLiquid(stream, model);
    if (order == Order::Interleaved)
        putCompositionInterleaved(stream, fractions, components);
    else
        putComposition(stream, fractions, components);
    setS(stream);
}

void defineSourGas(testcode& t, int stream, double massFlow) {
    initS(stream);
    setWm(stream, massFlow);
    setModelVapourLiquid(stream, 30);
    putComposition(stream, {0.7, 0.15, 0.15}, {t.methane, t.carbonDioxide, t.hydrogenSulfide});
    putInteraction(stream, 1, 1, 2, 0.097);
    putInteraction(stream, 2, 1, 3, 0.085);
    putInteraction(stream, 3, 2, 3, 0.102);
    setS(stream);
}

template <std::size_t N>
void defineModelSet(testcode& t, int stream, double massFlow, int modelSet, const double (&fractions)[N],
                    const int (&components)[N]) {
    initS(stream);
    setWm(stream, massFlow);
    t.setModelAllPhases(stream, modelSet);
    putComposition(stream, fractions, components);
    setS(stream);
}

void defineWetLightGas(testcode& t, int stream, double massFlow) {
    defineModelSet(t, stream, massFlow, 6, {0.2, 0.5, 0.2, 0.1}, {t.ethane, t.propane, t.nbutane, t.water});
    putKO(stream, 1);
}

void defineLightHydrocarbons(testcode& t, int stream, double massFlow) {
    defineModelSet(t, stream, massFlow, 6, {0.02, 0.55, 0.41, 0.02},
                   {t.ethane, t.propane, t.isobutane, t.nbutane});
}

void defineHeavyCut(testcode& t, int stream, double massFlow) {
    defineModelSet(t, stream, massFlow, 6, {0.3, 0.4, 0.3}, {t.nheptane, t.nhexane, t.noctane});
}

void defineNitrogen(testcode& t, int stream, double massFlow) {
    defineModelSet(t, stream, massFlow, 6, {1.0}, {t.nitrogen});
}

} // namespace

void testcode::testNozzle() {
    const int s1 = streamBase() + 1;
    resetUnits();
    // Relative check: fails when |1 - result / reference| exceeds the tolerance.
    auto check = [&](double result, double reference, double tolerance, const char* text) {
        if (std::fabs(1.0 - result / reference) > tolerance) appendError(text);
    };

    // Block 1: carbon dioxide, GERG-2008; rating (efficiency for a given
    // outlet temperature) and design (outlet temperature for that efficiency).
    defineAllPhases(s1, 8.43, 315, {1.0}, {carbonDioxide});
    setOp(s1, 310, 7585000);
    const double b = PSPF(s1, 41370000, 2, 460);
    check(b, 0.64399, 1e-4, "Error testing PSPF() case 1 rating CO2");
    check(getT(s1), 460, 1e-4, "Error testing PSPF() case 1 rating CO2");
    check(getP(s1), 41370000, 1e-4, "Error testing PSPF() case 1 rating CO2");
    setOp(s1, 310, 7585000);
    check(PSPF(s1, 41370000, 1, b), 460, 1e-4, "Error testing PSPF() case 1 design CO2");

    // Block 2: ethylene, LKP (the messages name CO2).
    defineAllPhases(s1, 4.32, 91, {1.0}, {ethylene});
    setOp(s1, 310, 2500000);
    const double c = PSPF(s1, 30000000, 2, 535);
    check(c, 0.7466, 1e-4, "Error testing PSPF()rating CO2");
    setOp(s1, 310, 2500000);
    check(PSPF(s1, 30000000, 1, c), 535, 1e-4, "Error testing PSPF() design CO2");
    setOp(s1, 310, 2500000);
    check(PSPF(s1, 30000000, 3, c), 534.762, 0.001, "Error testing PSPF() design CO2");

    // Block 3: methane with a trace of n-butane, PR.
    defineAllPhases(s1, 3.67, 50, {0.999, 0.001}, {methane, nbutane});
    setOp(s1, 300, 2000000);
    check(PSPF(s1, 3000000, 1, 0.7), 342.3, 1e-4, "Error testing PSPF() design Mixture");

    // Block 4: sour gas, SRK; the second call differs only in the mass flow.
    defineSourGas(*this, s1, 3.67);
    setOp(s1, 220, 2000000);
    check(PSPF(s1, 7000000, 3, 0.7), 293.928, 0.01, "Error testing PSPF() design Mixture");
    setWm(s1, 2.454e-6);
    setOp(s1, 220, 2000000);
    check(PSPF(s1, 7000000, 3, 0.7), 293.921, 0.01, "Error testing PSPF() design Mixture");

    // Block 5: steam, IAPWS-95, from saturated states.
    defineAllPhases(s1, 11.56, 300, {1.0}, {water});
    LfPF(s1, 2000000, 0.01);
    check(PSPF(s1, 6000000, 3, 0.7), 660.33, 0.01, "Error testing PSPF() design Steam");
    LfPF(s1, 1000000, 0.5);
    check(PSPF(s1, 7000000, 3, 0.54), 558.978, 0.001, "Error testing PSPF() design Steam");

    // Nozzle result per unit of mass flow; the result is read before getWm.
    auto perMassFlow = [&](double result) { return result / getWm(s1); };

    // Block 6: methane with a trace of n-butane, PR, HEM nozzle.
    defineAllPhases(s1, 1.23, 50, {0.999, 0.001}, {methane, nbutane}, Order::Interleaved);
    setOp(s1, 340, 2000000);
    const double d = ISPF(s1, 101327, 1, 0);
    check(perMassFlow(d), 3.097e-4, 0.001, "Error testing ISPF() case 0 HEM mixture");
    check(getT(s1), 289.59, 0.001, "Error testing ISPF() case 0 HEM mixture");

    // Block 7: five hydrocarbons, SRK, HEM and HNE nozzles.
    defineAllPhases(s1, 1.23, 30, {0.0812325, 0.302521, 0.0840336, 0.214753, 0.31746},
                    {ethane, propane, isobutane, nbutane, nhexane}, Order::Interleaved);
    setOp(s1, 340, 2000000);
    check(perMassFlow(ISPF(s1, 101327, 1, 0)), 4.155e-5, 0.001, "Error testing ISPF() case 0 HEM mixture");
    check(getT(s1), 274.985, 0.001, "Error testing ISPF() case 0 HEM mixture");
    setOp(s1, 340, 2000000);
    check(perMassFlow(ISPF(s1, 101327, 2, 0.6)), 3.66736e-5, 0.001,
          "Error testing ISPF() case 0 HNE mixture");
    check(getT(s1), 274.561, 0.001, "Error testing ISPF() case 0 HNE mixture");

    // Block 8: n-heptane, PR (the message names methanol); the whole result.
    defineAllPhases(s1, 419.519, 50, {1.0}, {nheptane});
    setOp(s1, 373.539, 107255);
    check(ISPF(s1, 101327, 1, 0), 2.1102, 0.01, "Error testing ISPF() case 1 HEM Methanol");

    // Block 9: methanol, PR.
    defineAllPhases(s1, 1.23, 50, {1.0}, {methanol});
    setOp(s1, 403.15, 840000);
    check(perMassFlow(ISPF(s1, 101327, 2, 0.6)), 8.79584e-5, 0.001,
          "Error testing ISPF() case 1 HNE Methanol");
    check(getT(s1), 337.863, 0.001, "Error testing ISPF() case 1 HNE Methanol");
    setOp(s1, 403.15, 840000);
    check(perMassFlow(ISPF(s1, 101327, 1, 0)), 3.255e-4, 0.001, "Error testing ISPF() case 1 HEM Methanol");
    check(getT(s1), 337.863, 0.001, "Error testing ISPF() case 1 HEM Methanol");

    // Block 10: sour gas, SRK.
    defineSourGas(*this, s1, 2.573e-4);
    setOp(s1, 250, 7800000);
    check(perMassFlow(ISPF(s1, 101000, 1, 0)), 4.6352e-5, 0.002, "Error testing ISPF() case 2 HEM Mixture");
    check(getT(s1), 174.295, 0.002, "Error testing ISPF() case 2 HEM Mixture");
    setOp(s1, 250, 7800000);
    check(perMassFlow(ISPF(s1, 101000, 2, 0.6)), 4.73169e-5, 1e-4, "Error testing ISPF() case 2 HNE Mixture");
    check(getT(s1), 171.903, 0.002, "Error testing ISPF() case 2 HNE Mixture");

    // Block 11: steam, IAPWS-95.
    defineAllPhases(s1, 2.85, 300, {1.0}, {water});
    setOp(s1, 615.2, 15000000);
    check(perMassFlow(ISPF(s1, 101327, 1, 0)), 2.34779e-5, 0.001, "Error testing ISPF() case 3 HEM Steam");
    check(getT(s1), 373.124, 0.001, "Error testing ISPF() case 3 HEM Steam");
    setOp(s1, 615.2, 15000000);
    check(perMassFlow(ISPF(s1, 101327, 2, 0.6)), 1.68846e-5, 0.001, "Error testing ISPF() case 3 HNE Steam");
    check(getT(s1), 373.124, 0.001, "Error testing ISPF() case 3 HNE Steam");

    checkUnits();
}

void testcode::testMixer() {
    const int s1 = streamBase() + 1;
    const int s2 = streamBase() + 2;
    const int s3 = streamBase() + 3;
    resetUnits();

    // Two gases whose mass flow is set after the operating point.
    initS(s1);
    setModelAllPhases(s1, 6);
    putComposition(s1, {0.8, 0.2}, {methane, ethane});
    setS(s1);
    setOp(s1, 300, 100000);
    setWm(s1, 10);
    StrH(s1);
    initS(s2);
    setModelAllPhases(s2, 6);
    putComposition(s2, {0.4, 0.6}, {propane, nitrogen});
    setS(s2);
    setOp(s2, 300, 100000);
    setWm(s2, 20);
    StrH(s2);

    MixF(s3, s1, s2, 0, 0);
    StrH(s3);
    getWm(s3);
    if (std::fabs((getZ(s3, 1) - 0.3819) / 0.3819) > 0.001) appendError("Error executing Mix()");

    // Adiabatic mixing: enthalpies add up.
    defineLightHydrocarbons(*this, s1, 45);
    setOp(s1, 290, 1723689);
    const double e = StrH(s1);
    defineHeavyCut(*this, s2, 38);
    setOp(s2, 370, 1723689);
    const double f = StrH(s2);
    MixF(s1, s1, s2, 0, 0);
    const double g = StrH(s1);
    if (std::fabs(1 - (e + f) / g) > 1e-5) appendError("Error executing Mix()");

    defineNitrogen(*this, s3, 18);
    setOp(s3, 400, 5000000);
    const double h = StrH(s3);
    MixF(s1, s1, s3, 0, 0);
    getT(s1);
    const double l = StrH(s1);
    if (std::fabs(1 - (e + f + h) / l) > 1e-5) appendError("Error executing Mix()");

    checkUnits();
}

void testcode::testVLLSeparator() {
    const int s1 = streamBase() + 1;
    const int s2 = streamBase() + 2;
    const int s3 = streamBase() + 3;
    const int s4 = streamBase() + 4;
    resetUnits();

    defineWetLightGas(*this, s1, 1000);
    setOp(s1, 280, 500000);
    VLLSep(s1, s2, s3, s4);
    auto checkRange = [&](double value, double lo, double hi) {
        if (value < lo || value > hi) appendError("Error executing VLLSep()");
    };
    checkRange(getWm(s2), 615, 630);
    checkRange(getWm(s3), 330, 340);
    checkRange(getWm(s4), 41, 44);

    checkUnits();
}

void testcode::testPhaseSeparator() {
    const int s1 = streamBase() + 1;
    const int s2 = streamBase() + 2;
    resetUnits();

    defineWetLightGas(*this, s1, 1000);
    setOp(s1, 280, 500000);
    auto checkRange = [&](double value) {
        if (value < 615 || value > 630) appendError("Error executing PSep()");
    };
    GSep(s1, s2);
    checkRange(getWm(s2));
    PSep(s1, s2, 1);
    checkRange(getWm(s2));

    checkUnits();
}
