// Consistency of an association (CPA) model: it must give the same
// fugacities and volumes, with the same analytic derivatives, as a comparison
// model wherever the two coincide, and its analytic volume and fugacity
// derivatives must agree with finite differences for a water, ethanol and
// acetone mixture.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "testcode.h"
#include "zpk/zpk.h"

namespace {

constexpr int maxComponents = 3;

// Outputs of StrFvd: per component value and T, P derivatives; dFdx[m][i] is
// dF_i/dx_m.
struct Fugacities {
    double F[maxComponents] = {};
    double dFdT[maxComponents] = {};
    double dFdP[maxComponents] = {};
    double rows[maxComponents][maxComponents] = {};
    double* dFdx[maxComponents] = {rows[0], rows[1], rows[2]};

    bool evaluate(int slot, int phase, double T, double P, double* x) {
        return StrFvd(slot, phase, T, P, x, F, dFdT, dFdP, dFdx) != 0;
    }
};

// Outputs of StrVvd: the volume, its T and P derivatives and dV/dx_m.
struct Volume {
    double V = 0, dVdT = 0, dVdP = 0;
    double dVdx[maxComponents] = {};

    bool evaluate(int slot, int phase, double T, double P, double* x) {
        return StrVvd(slot, phase, T, P, x, &V, &dVdT, &dVdP, dVdx) != 0;
    }
};

// u (from the first-named stream) and w agree within t unless |u - w| / |u| > t.
bool agree(double u, double w, double t) {
    return !(std::fabs(u - w) / std::fabs(u) > t);
}

// Relative to the analytic value A: fails when |(A - N) / A| > t.
bool matches(double analytic, double numerical, double t) {
    return !(std::fabs((analytic - numerical) / analytic) > t);
}

double step(double value, double e) {
    return std::max(e, std::fabs(value) * e);
}

// The CPA set-up of a stream: volume and fugacity models of both phases.
void cpaSetup(int stream, int model) {
    initS(stream);
    setWm(stream, 1.0);
    setMP(stream, 4, 1, model);
    setMP(stream, 4, 0, model);
    setMP(stream, 1, 1, model);
    setMP(stream, 1, 0, model);
}

// One binary interaction entry k between positions i and j with up to two
// parameters (index 0 and, when given, index 1).
struct Entry {
    int i, j;
    int parameters;
    double value[2];
};

void putEntries(int stream, int model, const Entry (&entries)[3]) {
    for (int k = 1; k <= 3; ++k) {
        const Entry& entry = entries[k - 1];
        putCi(stream, k, entry.i);
        putCj(stream, k, entry.j);
        putMB(stream, k, model);
        for (int index = 0; index < entry.parameters; ++index)
            putBIP(stream, k, index, entry.value[index]);
    }
}

// clang-format off
constexpr Entry sourTernaryCase2[3] = {{1, 2, 1, {0.082}}, {1, 3, 1, {-0.056}}, {2, 3, 1, {-0.06}}};
constexpr Entry twoParameterEntries[3] = {{1, 2, 2, {0.12, -0.097}}, {1, 3, 2, {-0.076, 0.104}}, {2, 3, 2, {0.046, -0.193}}};
constexpr Entry polarTernaryCase2[3] = {{1, 2, 1, {0.02}}, {1, 3, 1, {-0.036}}, {2, 3, 1, {0.027}}};
// clang-format on

void defineSourTernary(const testcode& t, int stream, int model, int mixtureCase) {
    cpaSetup(stream, model);
    putZ(stream, 1, 0.15);
    putZ(stream, 2, 0.7);
    putZ(stream, 3, 0.15);
    putCC(stream, 1, t.hydrogenSulfide);
    putCC(stream, 2, t.methane);
    putCC(stream, 3, t.carbonDioxide);
    putEntries(stream, model, mixtureCase == 2 ? sourTernaryCase2 : twoParameterEntries);
    setS(stream);
}

// Volume derivatives of slot 1 by forward differences at (T, P, x), from the
// analytic result v; temperature step max(1e-5, |T| 1e-5), pressure step
// max(1, |P| 1e-5).
bool volumeTemperature(int phase, double T, double P, double* x, const Volume& v) {
    const double hT = step(T, 1e-5);
    double Vp = 0;
    if (StrVv(1, phase, T + hT, P, x, &Vp) == 0) return false;
    return matches(v.dVdT, (Vp - v.V) / hT, 0.01);
}

bool volumePressure(int phase, double T, double P, double* x, const Volume& v) {
    const double hP = std::max(1.0, std::fabs(P) * 1e-5);
    double Vp = 0;
    if (StrVv(1, phase, T, P + hP, x, &Vp) == 0) return false;
    return matches(v.dVdP, (Vp - v.V) / hP, 0.01);
}

// Central differences of StrVv(slot) in x_m; check(m, N) judges the result.
template <class Check>
bool volumeComposition(int slot, int phase, double T, double P, double* x, double e, Check check) {
    for (int m = 0; m < maxComponents; ++m) {
        const double saved = x[m];
        const double h = step(saved, e);
        double Vp = 0, Vm = 0;
        x[m] = saved + h;
        const bool okPlus = StrVv(slot, phase, T, P, x, &Vp) != 0;
        if (okPlus) x[m] = saved - h;
        const bool okMinus = okPlus && StrVv(slot, phase, T, P, x, &Vm) != 0;
        x[m] = saved;
        if (!okMinus) return false;
        if (!check(m, (Vp - Vm) / (2 * h))) return false;
    }
    return true;
}

// Central differences of StrFv(slot) in x_m; check(m, i, N, F+) judges each
// component i.
template <class Check>
bool fugacityComposition(int slot, int phase, double T, double P, double* x, double e, Check check) {
    for (int m = 0; m < maxComponents; ++m) {
        const double saved = x[m];
        const double h = step(saved, e);
        double Fp[maxComponents] = {}, Fm[maxComponents] = {};
        x[m] = saved + h;
        const bool okPlus = StrFv(slot, phase, T, P, x, Fp) != 0;
        if (okPlus) x[m] = saved - h;
        const bool okMinus = okPlus && StrFv(slot, phase, T, P, x, Fm) != 0;
        x[m] = saved;
        if (!okMinus) return false;
        for (int i = 0; i < maxComponents; ++i)
            if (!check(m, i, (Fp[i] - Fm[i]) / (2 * h), Fp[i])) return false;
    }
    return true;
}

// Fugacity derivatives of slot 1 (the model under test) against central
// differences: temperature, pressure, then composition.
bool fugacityDerivatives(int phase, double T, double P, double* x) {
    Fugacities f;
    if (!f.evaluate(1, phase, T, P, x)) return false;
    double Fp[maxComponents] = {}, Fm[maxComponents] = {};

    const double hT = step(T, 1e-5);
    if (StrFv(1, phase, T + hT, P, x, Fp) == 0) return false;
    if (StrFv(1, phase, T - hT, P, x, Fm) == 0) return false;
    for (int i = 0; i < maxComponents; ++i)
        if (!matches(f.dFdT[i], (Fp[i] - Fm[i]) / (2 * hT), 0.05)) return false;

    const double hF = step(P, 1e-5);
    if (StrFv(1, phase, T, P + hF, x, Fp) == 0) return false;
    if (StrFv(1, phase, T, P - hF, x, Fm) == 0) return false;
    for (int i = 0; i < maxComponents; ++i)
        if (!matches(f.dFdP[i], (Fp[i] - Fm[i]) / (2 * hF), 0.05)) return false;

    // A composition derivative that is small against the fugacity itself
    // never fails, however large its relative error.
    return fugacityComposition(1, phase, T, P, x, 1e-5, [&](int m, int i, double N, double Fplus) {
        const double E = f.dFdx[m][i] - N;
        return !(std::fabs(E) > 0.001 * std::fabs(Fplus) && std::fabs(E / f.dFdx[m][i]) > 0.1);
    });
}

bool runDCPA(const testcode& t, int a, int b, int c, int mixtureCase) {
    const int s1 = streamBase() + 1;
    const int s2 = streamBase() + 2;
    const int s3 = streamBase() + 3;
    for (int q = 15; q <= 54; ++q)
        setUMC(q, 1);

    // Pure water: the model under test against the base CPA model.
    if (mixtureCase == 2) {
        for (auto [stream, model] : {std::pair{s2, c}, std::pair{s3, a}}) {
            cpaSetup(stream, model);
            putZ(stream, 1, 1.0);
            putCC(stream, 1, t.water);
            setS(stream);
        }
        double x[1] = {1.0};
        DPinit(2, s2);
        DPinit(3, s3);
        for (int k = 0; k < 30; ++k) {
            const double T = 220 + 3 * k;
            Fugacities u, w;
            if (!u.evaluate(2, 1, T, 100000, x)) return false;
            if (!w.evaluate(3, 1, T, 100000, x)) return false;
            if (!agree(u.F[0], w.F[0], 1e-8)) return false;
        }
    }

    // A mixture without associating components: the model under test (S3)
    // against the model without association (S2).
    defineSourTernary(t, s2, b, mixtureCase);
    defineSourTernary(t, s3, a, mixtureCase);
    const double P = 6000000;
    const double T = LfPF(s2, P, 0.5);
    double x[maxComponents];
    for (int i = 1; i <= maxComponents; ++i)
        x[i - 1] = getX(s2, i);
    DPinit(2, s2);
    DPinit(3, s3);
    for (int phase : {1, 0}) {
        Volume u, w;
        if (!u.evaluate(2, phase, T, P, x)) return false;
        if (!w.evaluate(3, phase, T, P, x)) return false;
        if (!agree(u.V, w.V, 1e-8) || !agree(u.dVdT, w.dVdT, 1e-8) || !agree(u.dVdP, w.dVdP, 1e-8))
            return false;
        if (!volumeComposition(3, phase, T, P, x, 1e-6, [&](int m, double N) {
                return !(std::fabs((w.dVdx[m] - N) / u.dVdx[m]) > 0.001);
            }))
            return false;

        Fugacities fu, fw;
        if (!fu.evaluate(2, phase, T, P, x)) return false;
        if (!fw.evaluate(3, phase, T, P, x)) return false;
        for (int i = 0; i < maxComponents; ++i) {
            if (!agree(fu.F[i], fw.F[i], 1e-8) || !agree(fu.dFdT[i], fw.dFdT[i], 1e-8) ||
                !agree(fu.dFdP[i], fw.dFdP[i], 1e-8))
                return false;
        }
        if (!fugacityComposition(3, phase, T, P, x, 1e-6, [&](int m, int i, double N, double) {
                return matches(fw.dFdx[m][i], N, 0.001);
            }))
            return false;
    }

    // Water, ethanol and acetone: an associating mixture.
    double T2 = 0, P2 = 0;
    if (mixtureCase == 1) {
        cpaSetup(s1, a);
        putZ(s1, 1, 0.3);
        putZ(s1, 2, 0.2);
        putZ(s1, 3, 0.5);
        putEntries(s1, a, twoParameterEntries);
        putCC(s1, 1, t.water);
        putCC(s1, 2, t.ethanol);
        putCC(s1, 3, t.acetone);
        setS(s1);
        T2 = LfPF(s1, 300000, 0.9);
        for (int i = 1; i <= maxComponents; ++i)
            x[i - 1] = getX(s1, i);
        DPinit(1, s1);
        P2 = 300000;
    } else {
        for (auto [stream, model] : {std::pair{s2, c}, std::pair{s1, a}}) {
            cpaSetup(stream, model);
            putCC(stream, 1, t.water);
            putCC(stream, 2, t.ethanol);
            putCC(stream, 3, t.acetone);
            putZ(stream, 1, 0.3);
            putZ(stream, 2, 0.2);
            putZ(stream, 3, 0.5);
            putEntries(stream, model, polarTernaryCase2);
            setS(stream);
        }
        T2 = LfPF(s2, 200000, 0.9);
        for (int i = 1; i <= maxComponents; ++i)
            x[i - 1] = getX(s2, i);
        DPinit(1, s1);
        DPinit(2, s2);
        P2 = 200000;

        // The model under test against the base CPA model, liquid phase.
        Volume u, w;
        if (!u.evaluate(2, 1, T2, P2, x)) return false;
        if (!w.evaluate(1, 1, T2, P2, x)) return false;
        if (!agree(u.V, w.V, 0.001) || !agree(u.dVdT, w.dVdT, 0.001) || !agree(u.dVdP, w.dVdP, 0.001))
            return false;
        Fugacities fu, fw;
        if (!fu.evaluate(2, 1, T2, P2, x)) return false;
        if (!fw.evaluate(1, 1, T2, P2, x)) return false;
        for (int i = 0; i < maxComponents; ++i) {
            if (!agree(fu.F[i], fw.F[i], 0.001) || !agree(fu.dFdT[i], fw.dFdT[i], 0.001) ||
                !agree(fu.dFdP[i], fw.dFdP[i], 0.001))
                return false;
        }
    }

    // Analytic derivatives of the model under test against finite differences.
    Volume vapour;
    if (!vapour.evaluate(1, 0, T2, P2, x)) return false;
    if (!volumePressure(0, T2, P2, x, vapour)) return false;
    if (!volumeTemperature(0, T2, P2, x, vapour)) return false;
    if (!volumeComposition(1, 0, T2, P2, x, 1e-5,
                           [&](int m, double N) { return matches(vapour.dVdx[m], N, 0.01); }))
        return false;

    Volume liquid;
    if (!liquid.evaluate(1, 1, T2, P2, x)) return false;
    if (!volumeComposition(1, 1, T2, P2, x, 1e-5,
                           [&](int m, double N) { return matches(liquid.dVdx[m], N, 0.01); }))
        return false;
    if (!volumeTemperature(1, T2, P2, x, liquid)) return false;
    if (!volumePressure(1, T2, P2, x, liquid)) return false;

    if (!fugacityDerivatives(0, T2, P2, x)) return false;
    return fugacityDerivatives(1, T2, P2, x);
}

} // namespace

void testcode::DCPA(int model, int comparisonModel, int baseModel, int mixtureCase, const char* name) {
    if (!runDCPA(*this, model, comparisonModel, baseModel, mixtureCase)) {
        std::snprintf(message, sizeof message, "Error executing DCPA() %s ", name);
        appendError(message);
    }
}
