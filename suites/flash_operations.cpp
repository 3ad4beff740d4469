// Flash operation tests: return tests of the pressure-enthalpy, -entropy and
// -volume flashes, an adiabatic mixing balance, and a mixed case that rebuilds
// a stream's enthalpy from its phases with the direct property functions.
#include <cmath>
#include <cstdio>
#include <vector>

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

void defineLightHydrocarbons(testcode& t, int stream, double massFlow) {
    initS(stream);
    setWm(stream, massFlow);
    t.setModelAllPhases(stream, 6);
    putComposition(stream, {0.02, 0.55, 0.41, 0.02}, {t.ethane, t.propane, t.isobutane, t.nbutane});
    setS(stream);
}

// Binary interaction entry n between positions i and j, SRK parameter k.
void putInteraction(int stream, int n, int i, int j, double k) {
    putCi(stream, n, i);
    putCj(stream, n, j);
    putMB(stream, n, 30);
    putBIP(stream, n, 0, k);
}

void defineSourGas(testcode& t, int stream, double massFlow) {
    initS(stream);
    setWm(stream, massFlow);
    setMP(stream, 1, 0, 30);
    setMP(stream, 1, 1, 30);
    putComposition(stream, {0.7, 0.15, 0.15}, {t.methane, t.carbonDioxide, t.hydrogenSulfide});
    putInteraction(stream, 1, 1, 2, 0.097);
    putInteraction(stream, 2, 1, 3, 0.085);
    putInteraction(stream, 3, 2, 3, 0.102);
    setS(stream);
}

void definePure(testcode& t, int stream, double massFlow, int modelSet, int component) {
    initS(stream);
    setWm(stream, massFlow);
    t.setModelAllPhases(stream, modelSet);
    putComposition(stream, {1.0}, {component});
    setS(stream);
}

void defineNitrogen(testcode& t, int stream, double massFlow) {
    definePure(t, stream, massFlow, 6, t.nitrogen);
}

void defineWater(testcode& t, int stream, double massFlow) {
    definePure(t, stream, massFlow, 32, t.water);
}

void defineHeavyCut(testcode& t, int stream, double massFlow) {
    initS(stream);
    setWm(stream, massFlow);
    t.setModelAllPhases(stream, 6);
    putComposition(stream, {0.3, 0.4, 0.3}, {t.nheptane, t.nhexane, t.noctane});
    setS(stream);
}

// Failure of a relative check written as |1 - result / reference| > tolerance.
bool deviates(double result, double reference, double tolerance) {
    return std::fabs(1.0 - result / reference) > tolerance;
}

} // namespace

void testcode::testFlashH() {
    const int s1 = streamBase() + 1;
    const int s2 = streamBase() + 2;
    const int s3 = streamBase() + 3;
    const int s4 = streamBase() + 4;
    resetUnits();

    defineLightHydrocarbons(*this, s1, 3.0);
    LfPF(s1, 2000000, 0.5);
    double h = StrH(s1);
    HPF(s1, 3000000, h, 0);
    if (deviates(StrH(s1), h, 1e-5)) appendError("Error testing HPF() Mixture");

    defineSourGas(*this, s1, 1.0);
    setOp(s1, 240, 7000000);
    h = StrH(s1) + 544.5261;
    HPF(s1, 7930000, h, 233);
    if (deviates(StrH(s1), h, 1e-5)) appendError("Error testing HPF() Mixture");

    defineNitrogen(*this, s1, 4.3);
    setOp(s1, 400, 5000000);
    h = StrH(s1) + 100;
    HPF(s1, 7000000, h, 200);
    if (deviates(StrH(s1), h, 1e-5)) appendError("Error testing HPF() Pure");

    // Adiabatic mixing: the enthalpy of the mixed stream is the sum of the parts.
    defineLightHydrocarbons(*this, s2, 45.0);
    setOp(s2, 290, 1723689);
    const double hA = StrH(s2);
    defineHeavyCut(*this, s3, 38.0);
    setOp(s3, 370, 1723689);
    const double hB = StrH(s3);
    MixF(s2, s2, s3, 0, 0);
    StrH(s2);
    StrMw(s2);
    getWm(s2);
    defineNitrogen(*this, s4, 18.0);
    setOp(s4, 400, 5000000);
    const double hC = StrH(s4);
    MixF(s2, s2, s4, 0, 0);
    setOp(s2, getT(s2), 1723689);
    const double hM = StrH(s2);
    if (deviates(hB + hA + hC, hM, 1e-5)) appendError("Error testing Mix");

    // Twice, so that each unit code that deviates is recorded twice.
    checkUnits();
    checkUnits();
}

void testcode::testFlashS() {
    const int s1 = streamBase() + 1;
    resetUnits();

    defineNitrogen(*this, s1, 1.0);
    setOp(s1, 400, 5000000);
    double s = StrS(s1) + 0.01;
    SPF(s1, 7000000, s, 0);
    if (deviates(StrS(s1), s, 1e-5)) appendError("Error testing SPF() Pure");

    defineLightHydrocarbons(*this, s1, 1.0);
    setOp(s1, 400, 3000000);
    s = StrS(s1) + 0.01;
    SPF(s1, 4000000, s, 0);
    if (deviates(StrS(s1), s, 1e-5)) appendError("Error testing SPF() Mixture");

    defineLightHydrocarbons(*this, s1, 1.0);
    LfPF(s1, 2000000, 0.5);
    s = StrS(s1);
    SPF(s1, 3000000, s, 0);
    if (deviates(StrS(s1), s, 1e-5)) appendError("Error testing SPF() Mixture");

    checkUnits();
}

void testcode::testFlashV() {
    const int s1 = streamBase() + 1;
    resetUnits();

    // Pure fluids: the volume midway between just below and just above the
    // saturation temperature must flash back to that temperature.
    auto pureReturnTest = [&] {
        const double t0 = LfPF(s1, 2000000, 0.5);
        setOp(s1, t0 - 0.01, 2000000);
        const double v1 = StrV(s1);
        setOp(s1, t0 + 0.01, 2000000);
        const double v2 = StrV(s1);
        const double v = (v1 + v2) * 0.5;
        const double t = VPF(s1, 2000000, v, 0);
        if (std::fabs((t - t0) / t0) > 1e-5) appendError("Error testing VPF() Pure");
    };
    defineWater(*this, s1, 1.0);
    pureReturnTest();
    defineNitrogen(*this, s1, 1.0);
    pureReturnTest();

    defineLightHydrocarbons(*this, s1, 1.0);
    const double t0 = LfPF(s1, 2000000, 0.5);
    const double v = StrV(s1);
    const double t = VPF(s1, 2000000, v, 0);
    if (std::fabs((t - t0) / t0) > 1e-5) appendError("Error testing VPF() Mixture");

    checkUnits();
}

void testcode::testFlashMixed() {
    const int s1 = streamBase() + 1;
    const int s2 = streamBase() + 2;
    constexpr int n = 3;
    resetUnits();

    // First case: the enthalpy of a two-phase state rebuilt from its phases.
    initS(s1);
    setWm(s1, 1);
    setMP(s1, 1, 0, 50);
    setMP(s1, 1, 1, 50);
    setMP(s1, 2, 0, 50);
    setMP(s1, 2, 1, 50);
    putZ(s1, 1, 1);
    putZ(s1, 2, 1);
    putZ(s1, 3, 1);
    putCC(s1, 1, CompCID(74828));
    putCC(s1, 2, CompCID(74840));
    putCC(s1, 3, CompCID(74986));
    setS(s1);
    loadSB(s1, 0);
    putZ(s1, 1, 0.2);
    putZ(s1, 2, 0.3);
    putZ(s1, 3, 0.5);
    const double mw = StrMw(s1);
    DPinit(1, s1);

    double pc = StrPc(s1, 1);
    if (pc < 1000000) {
        std::snprintf(message, sizeof message, "CASE_21 first case, pc %g", pc);
        appendError(message);
    }

    struct Phase {
        double fraction;
        int type;
        double w[n];
    };
    double P = 100000;
    const double pressureStep = (0.99 * pc - 100000) / 9;
    for (int i = 1; i <= 10; ++i, P += pressureStep) {
        const double t = PfPF(s1, P, 0.5, 0, 1);
        if (t < 1) {
            std::snprintf(message, sizeof message, "CASE_21 first case, PfPF() P = %g", P);
            appendError(message);
            continue;
        }
        std::vector<Phase> kept;
        const int phases = getPNr();
        for (int h = 1; h <= phases; ++h) {
            const double f = StrPf(s1, h);
            if (f > 0) {
                Phase phase{f, StrPt(s1, h), {}};
                for (int j = 1; j <= n; ++j)
                    phase.w[j - 1] = getW(s1, h, j);
                kept.push_back(phase);
            }
        }
        StrH(s1);

        double sum = 0;
        for (Phase& phase : kept) {
            double H = 0, dHdT = 0, dHdP = 0, dHdx[n] = {};
            StrHvd(1, phase.type, t, P, phase.w, &H, &dHdT, &dHdP, dHdx);
            sum += H * phase.fraction;
        }
        sum /= mw;

        setOp(s1, 293.15, 100000);
        const double t1 = HPF(s1, P, sum, 0);
        if (std::fabs((t1 - t) / t) > 0.001) {
            std::snprintf(message, sizeof message, "CASE_21 first case, HPF ; pt %i ; H %g ; t1 %g", i, sum,
                          t1);
            appendError(message);
        }
    }

    // Second case: the direct property functions at a fixed state.
    initS(s1);
    setWm(s1, 1);
    for (int p = 1; p <= 4; ++p) {
        setMP(s1, p, 0, 50);
        setMP(s1, p, 1, 50);
    }
    putComposition(s1, {0.1, 0.3, 0.6}, {methane, ethane, propane});
    setS(s1);
    loadSB(s1, 0);
    DPinit(1, s1);
    {
        double x[n] = {0.1, 0, 0.9};
        double F[n] = {}, dFdT[n] = {}, dFdP[n] = {};
        double rows[n][n] = {};
        double* dFdx[n] = {rows[0], rows[1], rows[2]};
        if (StrFvd(1, 1, 300, 100000, x, F, dFdT, dFdP, dFdx) == 0)
            appendError("Error executing CASE_21 StrFvd method");
        double X = 0, dXdT = 0, dXdP = 0, dXdx[n] = {};
        if (StrHvd(1, 1, 300, 100000, x, &X, &dXdT, &dXdP, dXdx) == 0)
            appendError("Error executing CASE_21 StrHvd method");
        if (StrSvd(1, 1, 300, 100000, x, &X, &dXdT, &dXdP, dXdx) == 0)
            appendError("Error executing CASE_21 StrSvd method");
    }

    // Return tests from 99 starting states between 1 % and about 150 % of the
    // critical temperature and pressure; every failing pass is recorded.
    const double tc = StrTc(s1, 1);
    pc = StrPc(s1, 1);
    auto startAt = [&](int k) { setOp(s1, (0.01 + 0.015 * k) * tc, (0.01 + 0.015 * k) * pc); };

    setOp(s1, 0.99 * tc, 0.99 * pc);
    StrLf(s1);
    const double h0 = StrH(s1);
    for (int k = 0; k <= 98; ++k) {
        startAt(k);
        HPF(s1, 0.99 * pc, h0, 0);
        if (std::fabs((StrH(s1) - h0) / h0) > 1e-6) appendError("Error executing CASE_21 HPF methods");
    }

    setOp(s1, 0.99 * tc, 0.99 * pc);
    const double v0 = StrV(s1);
    for (int k = 1; k <= 99; ++k) {
        startAt(k);
        VPF(s1, 0.99 * pc, v0, 0);
        if (std::fabs((StrV(s1) - v0) / v0) > 1e-6) appendError("Error executing CASE_21 VPF methods");
    }

    setOp(s1, 0.99 * tc, 0.99 * pc);
    const double s0 = StrS(s1);
    for (int k = 1; k <= 99; ++k) {
        startAt(k);
        SPF(s1, 0.99 * pc, s0, 0);
        if (std::fabs((StrS(s1) - s0) / s0) > 1e-6) appendError("Error executing CASE_21 SPF methods");
    }

    // Phase separation of a three-phase hydrocarbon-water state (not checked).
    initS(s1);
    setWm(s1, 1);
    for (int p = 1; p <= 3; ++p) {
        setMP(s1, p, 0, 50);
        setMP(s1, p, 1, 50);
    }
    putComposition(s1, {0.1, 0.3, 0.3, 0.3}, {methane, ethane, propane, water});
    setS(s1);
    loadSB(s1, 0);
    putKO(s1, 1);
    setOp(s1, 275, 2000000);
    for (int phase = 2; phase <= 3; ++phase) {
        if (StrPf(s1, phase) > 0) {
            PSep(s1, s2, phase);
            StrLV(s2);
            StrLCp(s2);
            StrLD(s2);
        }
    }
}
