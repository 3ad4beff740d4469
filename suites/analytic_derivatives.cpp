// Analytic derivative tests: the derivative functions StrFvd, StrHvd, StrSvd
// and StrVvd against central finite differences of StrFv, StrHv, StrSv and
// StrVv, and enthalpy, entropy and volume against the temperature and
// pressure derivatives of the fugacities.  Every sub-test stops at its first
// failed check and then records exactly one message.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <span>

#include "stream_setup.h"
#include "testcode.h"
#include "zpk/zpk.h"

namespace {

using suites::Bip;
using suites::Feed;

constexpr double gasConstant = 8314.4;
constexpr int maxComponents = 4;
constexpr const char* failureFormat = "Error executing tDProp() , model : %s ";

// ---------------------------------------------------------------------------
// Mixture cases of tDProp.  Interaction rows: {entry k, position i, position j,
// parameter index, value}; every entry is evaluated with the model under test.

constexpr Feed tolueneWaterHexane[] = {
    {&testcode::toluene, 0.1635},
    {&testcode::water, 0.8264},
    {&testcode::nhexane, 0.0101},
};
constexpr Feed ethanePropaneHexane[] = {
    {&testcode::ethane, 0.6},
    {&testcode::propane, 0.3},
    {&testcode::nhexane, 0.1},
};
constexpr Feed tolueneWaterHexaneMethane[] = {
    {&testcode::toluene, 0.6},
    {&testcode::water, 0.03},
    {&testcode::nhexane, 0.1},
    {&testcode::methane, 0.27},
};
constexpr Feed carbonDioxideEthanePropaneMethane[] = {
    {&testcode::carbonDioxide, 0.1},
    {&testcode::ethane, 0.1},
    {&testcode::propane, 0.1},
    {&testcode::methane, 0.7},
};

constexpr Bip case1Bips[] = {
    {1, 1, 2, 1, 500},
    {1, 1, 2, 2, -230},
};
constexpr Bip case2Bips[] = {
    {1, 1, 2, 0, -200},
    {1, 1, 2, 1, 500},
    {2, 2, 3, 3, 0.37},
};
constexpr Bip case3Bips[] = {
    {1, 1, 2, 0, 0.01},
    {1, 1, 2, 1, -0.035},
    {1, 1, 2, 2, 0.067},
    {1, 1, 2, 3, -0.086},
};
constexpr Bip case4Bips[] = {
    {1, 1, 2, 1, -200},  {1, 1, 2, 2, 500},  {1, 1, 2, 3, 100},  {1, 1, 2, 4, -200},
    {1, 1, 2, 5, 0.012}, {2, 2, 3, 0, 0.37}, {3, 2, 4, 0, 0.43}, {4, 3, 4, 0, -0.13},
};
constexpr Bip case5Bips[] = {
    {1, 1, 2, 0, -200}, {1, 1, 2, 1, 500}, {2, 2, 3, 2, 0.37}, {3, 2, 4, 2, 0.43}, {4, 3, 4, 2, -0.13},
};

struct MixtureCase {
    std::span<const Feed> feeds;
    std::span<const Bip> bips;
    double pressure; // flash pressure, Pa
};

constexpr MixtureCase mixtureCases[] = {
    {tolueneWaterHexane, case1Bips, 101327},        {tolueneWaterHexane, case2Bips, 101327},
    {ethanePropaneHexane, case3Bips, 300000},       {tolueneWaterHexaneMethane, case4Bips, 101327},
    {tolueneWaterHexaneMethane, case5Bips, 101327}, {carbonDioxideEthanePropaneMethane, {}, 1000000},
};

// ---------------------------------------------------------------------------
// Finite differences.

using PlainFunction = int (*)(int, int, double, double, double*, double*);
using DerivativeFunction = int (*)(int, int, double, double, double*, double*, double*, double*, double*);

enum class Variable { composition, temperature, pressure };

// Step h = max(minimum, |v| * factor), with one factor per kind of variable.
struct Steps {
    double minimum;
    double composition;
    double temperature;
    double pressure;
};

// A state of one phase, evaluated through derivative slot 1.
struct Point {
    int phase;
    double T;
    double P;
    double* x;
    int n;
};

// Central differences of a plain function (width values per call) in every
// composition element, then in temperature, then in pressure.  For each
// derivative and each value i, check(variable, m, i, numerical, plus) decides
// whether it passes (plus: the value at v + h).  A zero library result or a
// failed check ends the comparison with false.  Composition elements move one
// at a time, are not renormalised and get back their previous value.
template <class Check>
bool compareWithDifferences(PlainFunction plain, const Point& at, int width, const Steps& steps,
                            Check check) {
    double plus[maxComponents] = {};
    double minus[maxComponents] = {};
    auto compare = [&](Variable variable, int m, double h) {
        for (int i = 0; i < width; ++i)
            if (!check(variable, m, i, (plus[i] - minus[i]) / (2 * h), plus[i])) return false;
        return true;
    };

    for (int m = 0; m < at.n; ++m) {
        const double saved = at.x[m];
        const double h = std::max(steps.minimum, std::fabs(saved) * steps.composition);
        at.x[m] = saved + h;
        if (plain(1, at.phase, at.T, at.P, at.x, plus) == 0) {
            at.x[m] = saved;
            return false;
        }
        at.x[m] = saved - h;
        const int minusResult = plain(1, at.phase, at.T, at.P, at.x, minus);
        at.x[m] = saved;
        if (minusResult == 0 || !compare(Variable::composition, m, h)) return false;
    }

    double h = std::max(steps.minimum, std::fabs(at.T) * steps.temperature);
    if (plain(1, at.phase, at.T + h, at.P, at.x, plus) == 0 ||
        plain(1, at.phase, at.T - h, at.P, at.x, minus) == 0 || !compare(Variable::temperature, 0, h))
        return false;

    h = std::max(steps.minimum, std::fabs(at.P) * steps.pressure);
    return plain(1, at.phase, at.T, at.P + h, at.x, plus) != 0 &&
           plain(1, at.phase, at.T, at.P - h, at.x, minus) != 0 && compare(Variable::pressure, 0, h);
}

// Relative deviation checks; strict, so a quotient equal to the tolerance and
// a quotient that is not a number pass.
bool passesRelativeToAnalytic(double analytic, double numerical, double tolerance) {
    return !(std::fabs((analytic - numerical) / analytic) > tolerance);
}
bool passesRelativeToNumerical(double numerical, double analytic, double tolerance) {
    return !(std::fabs((numerical - analytic) / numerical) > tolerance);
}

// Values and analytic derivatives of the fugacities F_i = f_i / x_i.
struct Fugacities {
    double F[maxComponents] = {};
    double dFdT[maxComponents] = {};
    double dFdP[maxComponents] = {};
    double rows[maxComponents][maxComponents] = {}; // rows[m][i] = dF_i / dx_m
    double* dFdx[maxComponents] = {rows[0], rows[1], rows[2], rows[3]};

    bool evaluate(const Point& at) { return StrFvd(1, at.phase, at.T, at.P, at.x, F, dFdT, dFdP, dFdx) != 0; }
    double analytic(Variable variable, int m, int i) const {
        switch (variable) {
        case Variable::composition:
            return rows[m][i];
        case Variable::temperature:
            return dFdT[i];
        case Variable::pressure:
            break;
        }
        return dFdP[i];
    }
};

// Value and analytic derivatives of one molar property (H, S or V).
struct ScalarProperty {
    double X = 0;
    double dXdT = 0;
    double dXdP = 0;
    double dXdx[maxComponents] = {};

    bool evaluate(DerivativeFunction derivative, const Point& at) {
        return derivative(1, at.phase, at.T, at.P, at.x, &X, &dXdT, &dXdP, dXdx) != 0;
    }
    double analytic(Variable variable, int m) const {
        switch (variable) {
        case Variable::composition:
            return dXdx[m];
        case Variable::temperature:
            return dXdT;
        case Variable::pressure:
            break;
        }
        return dXdP;
    }
};

// ---------------------------------------------------------------------------
// tDProp

// Residual enthalpy, entropy and volume from the fugacity derivatives.
struct Residuals {
    double H = 0;
    double S = 0;
    double V = 0;
};

// Raise every element below 0.05 to 0.05, then divide by the sum.
void clampAndNormalise(double* x, int n) {
    for (int i = 0; i < n; ++i)
        if (x[i] < 0.05) x[i] = 0.05;
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += x[i];
    for (int i = 0; i < n; ++i)
        x[i] /= sum;
}

struct DPropChecks {
    const bool (&accepted)[5][2]; // [property][phase]
    double c;                     // tolerance of the derivative checks
    double d;                     // tolerance of the consistency checks, 0 = off
    Steps steps;
    int groupsRun = 0;

    // Enthalpy or entropy: the model under test against the reference stream
    // (slot 2, always its vapour phase), then the derivatives.
    bool residualGroup(DerivativeFunction derivative, PlainFunction plain, const Point& at, double residual) {
        ScalarProperty property;
        if (!property.evaluate(derivative, at)) return false;
        double reference = 0;
        plain(2, 0, at.T, at.P, at.x, &reference);
        if (std::fabs(residual) > 1e-5 && d > 1e-12 && std::fabs((property.X - reference) / residual - 1) > d)
            return false;
        return compareScalar(plain, property, at);
    }

    bool compareScalar(PlainFunction plain, const ScalarProperty& property, const Point& at) {
        return compareWithDifferences(
            plain, at, 1, steps, [&](Variable v, int m, int, double numerical, double) {
                return passesRelativeToAnalytic(property.analytic(v, m), numerical, c);
            });
    }

    // The four property groups of one phase, each only when its model was accepted.
    bool phase(const Point& at) {
        const int p = at.phase;
        Residuals residual;
        if (accepted[1][p]) {
            ++groupsRun;
            Fugacities fugacities;
            if (!fugacities.evaluate(at)) return false;
            if (d > 0) {
                double sumH = 0, sumS = 0, sumV = 0;
                for (int i = 0; i < at.n; ++i) {
                    const double F = fugacities.F[i];
                    if (!(F > 0)) continue;
                    sumH += at.x[i] * (fugacities.dFdT[i] / F);
                    sumS += at.x[i] * (at.T * fugacities.dFdT[i] / F + std::log(F / at.P));
                    sumV += at.x[i] * (fugacities.dFdP[i] / F);
                }
                residual.H = -gasConstant * at.T * at.T * sumH / 1000;
                residual.S = -gasConstant * sumS / 1000;
                residual.V = gasConstant * at.T * sumV;
            }
            const bool passed = compareWithDifferences(
                StrFv, at, at.n, steps, [&](Variable v, int m, int i, double numerical, double) {
                    return passesRelativeToAnalytic(fugacities.analytic(v, m, i), numerical, c);
                });
            if (!passed) return false;
        }
        if (accepted[2][p]) {
            ++groupsRun;
            if (!residualGroup(StrHvd, StrHv, at, residual.H)) return false;
        }
        if (accepted[3][p]) {
            ++groupsRun;
            if (!residualGroup(StrSvd, StrSv, at, residual.S)) return false;
        }
        if (accepted[4][p]) {
            ++groupsRun;
            ScalarProperty volume;
            if (!volume.evaluate(StrVvd, at)) return false;
            // The residual sum is the whole molar volume: no reference stream.
            if (std::fabs(residual.V) > 1e-5 && d > 1e-12 &&
                std::fabs((volume.X - residual.V) / volume.X) > d)
                return false;
            if (!compareScalar(StrVv, volume, at)) return false;
        }
        return true;
    }
};

bool runDProp(const testcode& fixture, int a, int b, int mixtureCase, double c, double d) {
    if (mixtureCase < 1 || mixtureCase > 6) return false; // no such mixture: nothing to test
    const int base = streamBase();
    const int s1 = base + 1;
    const int s2 = base + 2;
    const MixtureCase& mixture = mixtureCases[mixtureCase - 1];
    const int n = static_cast<int>(mixture.feeds.size());
    const double P = mixture.pressure;

    initS(s1);
    setWm(s1, 1.0);

    // The model under test where the library accepts it, else the fallback.
    static constexpr int pairs[8][2] = {{1, 0}, {1, 1}, {2, 0}, {2, 1}, {3, 0}, {3, 1}, {4, 0}, {4, 1}};
    bool accepted[5][2] = {};
    for (const auto& [property, phase] : pairs) {
        const int r = setMP(s1, property, phase, a);
        if (r == 0) setMP(s1, property, phase, b);
        accepted[property][phase] = r != 0;
    }

    suites::completeMixture(fixture, s1, mixture.feeds, a, mixture.bips);
    if (mixtureCase == 4 && isSDef(s1) == 0) return false;

    const double T = LfPF(s1, P, 0.5);
    if (mixtureCase == 4 && T < 1) return false;
    double x[maxComponents] = {};
    for (int i = 1; i <= n; ++i)
        x[i - 1] = getX(s1, i);

    // Reference stream: the same definition with model 1 for enthalpy and
    // entropy, whose vapour phase gives the ideal-gas values.
    StrCopy(s2, s1);
    setMP(s2, 2, 1, 1);
    setMP(s2, 2, 0, 1);
    setMP(s2, 3, 1, 1);
    setMP(s2, 3, 0, 1);
    setS(s2);

    const double e = std::pow(2e-16, 0.25);
    DPinit(1, s1);
    DPinit(2, s2);

    clampAndNormalise(x, n);
    DPropChecks checks{accepted, c, d, Steps{e, e, e, e}};
    if (!checks.phase(Point{1, T, P, x, n})) return false;

    const double vapourT = LfPF(s1, P, 0.5);
    double y[maxComponents] = {};
    for (int i = 1; i <= n; ++i)
        y[i - 1] = getY(s1, i);
    clampAndNormalise(y, n);
    if (!checks.phase(Point{0, vapourT, P, y, n})) return false;

    return checks.groupsRun > 0;
}

// ---------------------------------------------------------------------------
// tDPropSolid

bool runDPropSolid(const testcode& fixture, int a, int b) {
    const int s1 = streamBase() + 1;
    initS(s1);
    setWm(s1, 1.0);
    setMP(s1, 1, 0, a);
    setMP(s1, 1, 1, a);
    setMP(s1, 1, 2, b);
    static constexpr Feed methaneEthane[] = {{&testcode::methane, 0.7}, {&testcode::ethane, 0.3}};
    suites::completeMixture(fixture, s1, methaneEthane);

    double x[2] = {0.6, 0.4};
    DPinit(1, s1);
    const Point at{2, 85, 500000, x, 2};
    Fugacities fugacities;
    if (!fugacities.evaluate(at)) return false;
    const Steps steps{1e-5, 1e-5, 1e-5, 1e-5};
    return compareWithDifferences(
        StrFv, at, 2, steps, [&](Variable v, int m, int i, double numerical, double) {
            const double tolerance = v == Variable::temperature ? 0.01 : 0.001;
            return passesRelativeToAnalytic(fugacities.analytic(v, m, i), numerical, tolerance);
        });
}

// ---------------------------------------------------------------------------
// tDPropHydrate

bool runDPropHydrate(const testcode& fixture, int model, double t) {
    const int s1 = streamBase() + 1;
    initS(s1);
    setWm(s1, 1.0);
    for (int property = 1; property <= 4; ++property)
        setMP(s1, property, 3, model);
    static constexpr Feed waterRich[] = {
        {&testcode::isobutane, 0.02},
        {&testcode::propane, 0.02},
        {&testcode::methane, 0.02},
        {&testcode::water, 0.94},
    };
    suites::completeMixture(fixture, s1, waterRich);

    double x[4] = {0.001, 0.01, 0.018, 0.971};
    DPinit(1, s1);
    const Point at{3, 270, 500000, x, 4};
    const Steps steps{1e-8, 1e-8, 1e-8, 1e-6};

    // Fugacity: composition derivatives only where N / F+ exceeds 0.001,
    // pressure derivatives only where |N| exceeds 1e-6.
    Fugacities fugacities;
    if (!fugacities.evaluate(at)) return false;
    const bool fugacitiesPass = compareWithDifferences(
        StrFv, at, 4, steps, [&](Variable v, int m, int i, double numerical, double plus) {
            const double analytic = fugacities.analytic(v, m, i);
            switch (v) {
            case Variable::composition:
                return !(numerical / plus > 0.001) || !(std::fabs((numerical - analytic) / analytic) > 0.001);
            case Variable::temperature:
                return passesRelativeToAnalytic(analytic, numerical, 0.01);
            case Variable::pressure:
                break;
            }
            return !(std::fabs(numerical) > 1e-6) || passesRelativeToNumerical(numerical, analytic, 0.005);
        });
    if (!fugacitiesPass) return false;

    // Enthalpy, entropy, volume: relative to the numerical value, composition
    // and temperature where N is not 0, pressure where |N| exceeds 1e-6.
    auto scalar = [&](DerivativeFunction derivative, PlainFunction plain) {
        ScalarProperty property;
        if (!property.evaluate(derivative, at)) return false;
        return compareWithDifferences(
            plain, at, 1, steps, [&](Variable v, int m, int, double numerical, double) {
                const bool compared = v == Variable::pressure ? std::fabs(numerical) > 1e-6 : numerical != 0;
                return !compared || passesRelativeToNumerical(numerical, property.analytic(v, m), t);
            });
    };
    return scalar(StrHvd, StrHv) && scalar(StrSvd, StrSv) && scalar(StrVvd, StrVv);
}

} // namespace

void testcode::testAnalyticDerivatives() {
    tDProp(91, 91, 3, 1e-4, 0.001, "LKP");
    tDProp(81, 81, 3, 1e-4, 0.001, "BWRS");
    tDProp(65, 65, 2, 0.001, 0.05, "PR Wilson MHV2");
    tDProp(67, 67, 2, 0.001, 0.05, "PR NRTL MHV2");
    tDProp(66, 66, 2, 0.001, 0.05, "PR UNIQUAC MHV2");
    tDProp(130, 1, 2, 1e-4, 0.05, "UNIFAC");
    tDProp(55, 55, 1, 5e-4, 0.05, "PR Wilson WS");
    tDProp(57, 57, 1, 5e-4, 0.05, "PR NRTL WS");
    tDProp(56, 56, 1, 5e-4, 0.05, "PR UNIQUAC WS");
    tDProp(12, 1, 2, 1e-5, 0.05, "UNIQUAC");
    tDProp(11, 1, 2, 1e-5, 0.05, "NRTL");
    tDProp(10, 1, 2, 1e-5, 0.05, "Wilson");
    tDProp(315, 315, 6, 1e-4, 0, "GERG 2008");
    tDProp(60, 60, 4, 1e-4, 0.005, "PR NRTL P-HV");
    tDProp(61, 61, 5, 1e-4, 0.005, "PR Wilson P-HV");
    tDProp(62, 62, 5, 1e-4, 0.005, "PR UNIQUAC P-HV");
    tDProp(72, 72, 5, 1e-4, 0.005, "PR UNIQUAC P-LCVM");
    tDProp(71, 71, 5, 1e-4, 0.005, "PR Wilson P-LCVM");
    tDProp(70, 70, 4, 1e-4, 0.005, "PR NRTL P-LCVM");
    DCPA(116, 51, 111, 2, "CPAPRNLVM");
    DCPA(115, 51, 111, 2, "CPAPRNHV");
    DCPA(111, 51, 111, 1, "CPAPR vs PRX");
    tDPropSolid(153, 153, "SSPRNHV");
    tDPropSolid(150, 150, "SPRNHV");
    tDPropSolid(151, 151, "SPRCPANHV");
    tDPropHydrate(171, 1e-5, "HPRNHV_M");
    tDPropHydrate(170, 1e-5, "HPRCPANHV_M");
    tDProp(50, 50, 3, 1e-5, 0.001, "PR VDW");
    tDProp(30, 30, 3, 1e-5, 0.001, "SRK VDW");
    tDProp(51, 51, 3, 1e-5, 0.001, "PRX VDW");
    tDProp(1, 1, 1, 1e-5, 0, "Regular");
}

void testcode::tDProp(int model, int fallback, int mixtureCase, double derivativeTolerance,
                      double consistencyTolerance, const char* name) {
    resetUnits();
    if (!runDProp(*this, model, fallback, mixtureCase, derivativeTolerance, consistencyTolerance)) {
        std::snprintf(message, sizeof message, failureFormat, name);
        appendError(message);
    }
}

void testcode::tDPropSolid(int fluidModel, int solidModel, const char* name) {
    resetUnits();
    if (!runDPropSolid(*this, fluidModel, solidModel)) {
        std::snprintf(message, sizeof message, failureFormat, name);
        appendError(message);
    }
}

void testcode::tDPropHydrate(int hydrateModel, double tolerance, const char* name) {
    resetUnits();
    if (!runDPropHydrate(*this, hydrateModel, tolerance)) {
        std::snprintf(message, sizeof message, failureFormat, name);
        appendError(message);
    }
}
