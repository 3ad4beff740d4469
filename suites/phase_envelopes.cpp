// Phase envelopes, constant phase-fraction lines, critical points and
// bubble/dew points.
//
// testPhaseDiagrams drives the envelope functions over 26 mixtures on one
// stream; only the agreement of PEPt with PELine (cases 3 and 4) and the line
// lengths of case 19 are checked.  testBubbleDewPoints checks a critical
// pressure, StrMDt, bubble and dew points and their consistency with the
// liquid-fraction flashes against fixed windows.
#include <cmath>
#include <cstddef>
#include <cstdio>

#include "stream_setup.h"
#include "testcode.h"
#include "zpk/zpk.h"

namespace {

using suites::Feed;

constexpr int pointCapacity = 50;
constexpr const char* envelopeMessage = "Error executing PELine(), PFLine(), PELnr(), PELT(), PELP()";

// How the models of a case are set (see setModels).
enum class Models {
    CubicSolid,       // setMP(S,1,0,c), setMP(S,1,1,c), setMP(S,1,2,150)
    CubicSolidH,      // the above, then setMP(S,2,0,c), setMP(S,2,1,c)
    CubicSolidHVap,   // the above without setMP(S,2,1,c)
    AllPhases,        // setModelAllPhases(S, c)
    FugacityEnthalpy, // setMP(S,1,0,c), setMP(S,1,1,c), setMP(S,2,0,c), setMP(S,2,1,c)
};

void setModels(testcode& t, int s, Models kind, int c) {
    switch (kind) {
    case Models::AllPhases:
        t.setModelAllPhases(s, c);
        return;
    case Models::FugacityEnthalpy:
        setMP(s, 1, 0, c);
        setMP(s, 1, 1, c);
        setMP(s, 2, 0, c);
        setMP(s, 2, 1, c);
        return;
    case Models::CubicSolid:
    case Models::CubicSolidH:
    case Models::CubicSolidHVap:
        setMP(s, 1, 0, c);
        setMP(s, 1, 1, c);
        setMP(s, 1, 2, 150);
        if (kind != Models::CubicSolid) setMP(s, 2, 0, c);
        if (kind == Models::CubicSolidH) setMP(s, 2, 1, c);
        return;
    }
}

// The case preparation shared by cases 3 to 26.
void prepareCase(testcode& t, int s, Models kind, int model, std::span<const Feed> parts, bool ko, bool sb) {
    initS(s);
    setWm(s, 1.0);
    setModels(t, s, kind, model);
    suites::putFeeds(t, s, parts);
    setS(s);
    if (ko) putKO(s, 1);
    if (sb) loadSB(s, 0);
}

// The points read one by one with PEPt must equal those PELine delivered.
void pointCheck(testcode& t, int s, double* first, double* second) {
    const int lines = PELNr(s);
    for (int j = 1; j <= lines; ++j) {
        PELT(s, j);
        PELP(s, j);
        const int points = PELine(s, j, first, second, pointCapacity);
        // The arrays hold pointCapacity points; a count beyond that is never read.
        for (int k = 1; k <= points && k <= pointCapacity; ++k) {
            if (std::fabs(second[k - 1] - PEPt(s, j, 1, k, pointCapacity)) > 1e-5)
                t.appendError(envelopeMessage);
            if (std::fabs(first[k - 1] - PEPt(s, j, 2, k, pointCapacity)) > 1e-5)
                t.appendError(envelopeMessage);
        }
    }
}

void criticalPoints(int s) {
    const int m = StrCPnr(s);
    for (int i = 1; i <= m; ++i) {
        StrPc(s, i);
        StrTc(s, i);
    }
}

// Envelope lines, one phase-fraction line and the critical points; with
// checkLengths (case 19) line 1 must hold at least 8 points and line 2 at
// least 50.
void envelopeRun(testcode& t, int s, double f, double* first, double* second, bool checkLengths) {
    const int lines = PELNr(s);
    for (int j = 1; j <= lines; ++j) {
        PELT(s, j);
        PELP(s, j);
        const int points = PELine(s, j, first, second, pointCapacity);
        if (checkLengths) {
            if (j == 1 && points < 8) t.appendError(envelopeMessage);
            if (j == 2 && points < 50) t.appendError(envelopeMessage);
        }
    }
    PFLine(s, 1, f, first, second, pointCapacity);
    criticalPoints(s);
}

using T = testcode;

// Natural gases used by several cases (positions in the order given).
constexpr Feed gasG1[] = {
    {&T::water, 0.0093},    {&T::carbonDioxide, 0.0035}, {&T::methane, 0.0235},  {&T::ethane, 0.3678},
    {&T::propane, 0.0754},  {&T::isobutane, 0.0684},     {&T::nbutane, 0.02},    {&T::isopentane, 0.0428},
    {&T::npentane, 0.0238}, {&T::nhexane, 0.0276},       {&T::nheptane, 0.3379},
};
constexpr Feed gasG2[] = {
    {&T::water, 0.0001},      {&T::nitrogen, 0.0145}, {&T::carbonDioxide, 0.0215}, {&T::methane, 0.8067},
    {&T::ethane, 0.0634},     {&T::propane, 0.0311},  {&T::isobutane, 0.0063},     {&T::nbutane, 0.0114},
    {&T::isopentane, 0.0046}, {&T::npentane, 0.0049}, {&T::nhexane, 0.0355},
};
constexpr Feed gasG3Benzene[] = {
    {&T::water, 0.0001},      {&T::nitrogen, 0.0074}, {&T::carbonDioxide, 0.0286}, {&T::methane, 0.3783},
    {&T::ethane, 0.08},       {&T::propane, 0.084},   {&T::isobutane, 0.0241},     {&T::nbutane, 0.0504},
    {&T::isopentane, 0.0258}, {&T::npentane, 0.0289}, {&T::benzene, 0.2924},
};
constexpr Feed gasG3Hexane[] = {
    {&T::water, 0.0001},      {&T::nitrogen, 0.0074}, {&T::carbonDioxide, 0.0286}, {&T::methane, 0.3783},
    {&T::ethane, 0.08},       {&T::propane, 0.084},   {&T::isobutane, 0.0241},     {&T::nbutane, 0.0504},
    {&T::isopentane, 0.0258}, {&T::npentane, 0.0289}, {&T::nhexane, 0.2924},
};
constexpr Feed gasG4[] = {
    {&T::water, 0.662},       {&T::nitrogen, 0.0026}, {&T::carbonDioxide, 0.01}, {&T::methane, 0.132},
    {&T::ethane, 0.027},      {&T::propane, 0.0277},  {&T::isobutane, 0.0079},   {&T::nbutane, 0.0164},
    {&T::isopentane, 0.0084}, {&T::npentane, 0.0094}, {&T::nhexane, 0.0966},
};

constexpr Feed case3[] = {
    {&T::methane, 0.90191},   {&T::ethane, 0.049601},    {&T::propane, 0.024094},
    {&T::nbutane, 0.0092115}, {&T::npentane, 0.0035429}, {&T::carbonDioxide, 0.0013159},
    {&T::nitrogen, 0.004049}, {&T::water, 0.0060735},
};
constexpr Feed case4[] = {{&T::methane, 0.99}, {&T::helium, 0.01}};

// Envelope cases 5 to 26: model set-up, positions, putKO(S,1), loadSB(S,0)
// and the fraction of the phase-fraction line.
struct EnvelopeCase {
    int number;
    Models kind;
    int model;
    std::span<const Feed> parts;
    bool ko;
    bool sb;
    double f;
};

constexpr Feed case5[] = {
    {&T::methane, 0}, {&T::nbutane, 0.4}, {&T::ndecane, 0.4}, {&T::water, 0.4}, {&T::ethanol, 0.4},
};
constexpr Feed case6[] = {{&T::methane, 0.7}, {&T::carbonDioxide, 0.15}, {&T::hydrogenSulfide, 0.15}};
constexpr Feed case7[] = {
    {&T::water, 0.0291029},      {&T::nitrogen, 0.00470047}, {&T::carbonDioxide, 0.0210021},
    {&T::methane, 0.725073},     {&T::ethane, 0.0790079},    {&T::propane, 0.0370037},
    {&T::isobutane, 0.00570057}, {&T::nbutane, 0.0138014},   {&T::isopentane, 0.00440044},
    {&T::npentane, 0.00660066},  {&T::nhexane, 0.00840084},  {&T::nheptane, 0.0652065},
};
constexpr Feed case10[] = {
    {&T::ethane, 0},         {&T::propane, 1.02795e-9}, {&T::isobutane, 0.0160022},
    {&T::nbutane, 0.349077}, {&T::nhexane, 0.634921},
};
constexpr Feed case12[] = {{&T::carbonDioxide, 0.0987}, {&T::hydrogenSulfide, 0.4023}, {&T::methane, 0.499}};
constexpr Feed case13[] = {
    {&T::carbonDioxide, 0.11442}, {&T::hydrogenSulfide, 0.00611713},
    {&T::nitrogen, 0.00220618},   {&T::methane, 0.479543},
    {&T::ethane, 0.166165},       {&T::propane, 0.146209},
    {&T::isobutane, 0.0225632},   {&T::nbutane, 0.0441235},
    {&T::isopentane, 0.00772162}, {&T::npentane, 0.00822302},
    {&T::water, 0.00270758},
};
constexpr Feed case15[] = {
    {&T::methane, 0.42}, {&T::ethane, 0.2},   {&T::propane, 0.1}, {&T::isobutane, 0.1},
    {&T::nhexane, 0.1},  {&T::ndecane, 0.05}, {&T::water, 0.03},
};
constexpr Feed case18[] = {
    {&T::methane, 0.78},       {&T::ethane, 0.1},     {&T::propane, 0.05},
    {&T::carbonDioxide, 0.02}, {&T::isobutane, 0.03}, {&T::water, 0.02},
};
constexpr Feed case19[] = {{&T::methane, 0.8}, {&T::ndecane, 0.2}};
constexpr Feed case20[] = {{&T::methane, 0.52}, {&T::hydrogenSulfide, 0.48}};
constexpr Feed case21[] = {{&T::methane, 0.9}, {&T::hydrogenSulfide, 0.1}};
constexpr Feed case22[] = {{&T::methane, 0.85}, {&T::hydrogenSulfide, 0.15}};
constexpr Feed case23[] = {
    {&T::methane, 0.19797},          {&T::ethane, 0.0253807},     {&T::propane, 0.0126904},
    {&T::carbonDioxide, 0.00507614}, {&T::isobutane, 0.00761421}, {&T::water, 0.751269},
};
constexpr Feed case26[] = {{&T::methane, 0.999}, {&T::nbutane, 0.001}};

constexpr EnvelopeCase envelopeCases[] = {
    // case, model set-up, model code, positions, putKO(S,1), loadSB(S,0), phase fraction f
    {5, Models::CubicSolid, 55, case5, true, true, 0.5},
    {6, Models::CubicSolidHVap, 30, case6, true, true, 0.5},
    {7, Models::CubicSolid, 60, case7, true, true, 0.3},
    {8, Models::CubicSolidH, 51, gasG1, true, true, 0.3},
    {9, Models::CubicSolidH, 30, gasG2, true, true, 0.05},
    {10, Models::CubicSolidH, 30, case10, true, false, 0.5},
    {11, Models::CubicSolid, 60, gasG3Benzene, true, false, 0.05},
    {12, Models::CubicSolid, 50, case12, true, true, 0.5},
    {13, Models::AllPhases, 7, case13, true, true, 0.05},
    {14, Models::AllPhases, 7, gasG3Hexane, true, true, 0.05},
    {15, Models::AllPhases, 7, case15, true, true, 0.05},
    {16, Models::AllPhases, 7, gasG2, true, true, 0.05},
    {17, Models::AllPhases, 7, gasG4, true, true, 0.05},
    {18, Models::CubicSolidH, 30, case18, true, true, 0.5},
    {19, Models::CubicSolid, 50, case19, true, true, 0.05},
    {20, Models::CubicSolid, 30, case20, true, true, 0.02},
    {21, Models::CubicSolid, 30, case21, true, true, 0.05},
    {22, Models::CubicSolid, 30, case22, true, true, 0.05},
    {23, Models::CubicSolidH, 30, case23, true, true, 0.5},
    {24, Models::AllPhases, 7, gasG1, true, true, 0.05},
    {25, Models::AllPhases, 7, gasG4, true, true, 0.05},
    {26, Models::AllPhases, 7, case26, false, true, 0.05},
};

} // namespace

void testcode::testPhaseDiagrams() {
    const int s = streamBase() + 1;
    double first[pointCapacity] = {};
    double second[pointCapacity] = {};

    resetUnits();

    // Case 1: dew-point sweep of a binary given by raw database codes.
    initS(s);
    setWm(s, 1.0);
    setMP(s, 1, 0, 1);
    setMP(s, 1, 1, 31);
    putZ(s, 1, 0.8265);
    putZ(s, 2, 0.1735);
    putCC(s, 1, 486);
    putCC(s, 2, 1631);
    setS(s);
    loadSB(s, 0);
    for (int step = 1; step <= 50; ++step)
        LfPF(s, 100000.0 + 100.0 * step, 1e-6);

    // Case 2: T-x diagram of n-pentane and ethanol at 1 MPa.
    initS(s);
    setWm(s, 1.0);
    setMP(s, 1, 0, 55);
    setMP(s, 1, 1, 55);
    constexpr Feed pentaneEthanol[] = {{&T::npentane, 0.5}, {&T::ethanol, 0.5}};
    suites::putFeeds(*this, s, pentaneEthanol);
    setS(s);
    loadSB(s, 0);
    putZ(s, 1, 0.85);
    putZ(s, 2, 0.15);
    setS(s);
    for (int i = 1; i <= 21; ++i) {
        const double x = (i - 1) * 0.05;
        putZ(s, 1, x);
        putZ(s, 2, 1 - x);
        setS(s);
        LfPF(s, 1000000, 0.999999);
        LfPF(s, 1000000, 1.0000000000287557e-6);
    }

    // Case 3: natural gas with water; envelope points one by one.
    prepareCase(*this, s, Models::AllPhases, 6, case3, true, true);
    pointCheck(*this, s, first, second);

    // Case 4: methane with helium; points, one phase-fraction line, critical points.
    prepareCase(*this, s, Models::FugacityEnthalpy, 315, case4, false, true);
    pointCheck(*this, s, first, second);
    PFLine(s, 1, 0.5, first, second, pointCapacity);
    criticalPoints(s);

    // Cases 5 to 26: envelope runs; case 19 checks its line lengths.
    for (const EnvelopeCase& c : envelopeCases) {
        prepareCase(*this, s, c.kind, c.model, c.parts, c.ko, c.sb);
        envelopeRun(*this, s, c.f, first, second, c.number == 19);
    }
}

namespace {

// Failure messages of testBubbleDewPoints: a fixed text and the check's tag.
void bubbleDewFailure(testcode& t, const char* tag) {
    std::snprintf(t.message, testcode::messageSize, "Error executing tStrMDt(), BPF(), DPF()%s", tag);
    t.appendError(t.message);
}

// SRK fugacities of vapour and liquid only.
void srkFugacities(int s) {
    setMP(s, 1, 0, 30);
    setMP(s, 1, 1, 30);
}

constexpr Feed criticalGas[] = {
    {&T::ethane, 0.0504627},  {&T::propane, 0.18793},   {&T::isobutane, 0.0395092},
    {&T::nbutane, 0.0131697}, {&T::nhexane, 0.0131697}, {&T::methane, 0.695759},
};
constexpr Feed loadOnlyGas[] = {{&T::methane, 0.8}, {&T::ethane, 0.17}, {&T::noctane, 0.03}};
constexpr Feed sourGas[] = {{&T::hydrogenSulfide, 0.15}, {&T::methane, 0.7}, {&T::carbonDioxide, 0.15}};

// Binary interaction entries of the sour gas: positions a and b, model, value.
struct Interaction {
    int a;
    int b;
    int model;
    double value;
};
constexpr Interaction sourGasInteractions[] = {
    {3, 2, 30, 0.097},
    {3, 1, 30, 0.102},
    {1, 2, 30, 0.085},
};

} // namespace

void testcode::testBubbleDewPoints() {
    const int s = streamBase() + 1;

    resetUnits();

    // Critical pressure of a light natural gas.
    initS(s);
    setWm(s, 1.0);
    srkFugacities(s);
    suites::putFeeds(*this, s, criticalGas);
    setS(s);
    const double pc = StrPc(s, 1);
    if (pc < 11200000 || pc > 11400000) bubbleDewFailure(*this, "2a");

    // Stored interaction parameters loaded, not checked.
    initS(s);
    setWm(s, 1.0);
    srkFugacities(s);
    suites::putFeeds(*this, s, loadOnlyGas);
    setS(s);
    loadSB(s, 0);
    StrPc(s, 1);

    // Sour gas with explicit interaction parameters.
    initS(s);
    setWm(s, 1.0);
    srkFugacities(s);
    suites::putFeeds(*this, s, sourGas);
    int n = 1;
    for (const Interaction& e : sourGasInteractions) {
        putCi(s, n, e.a);
        putCj(s, n, e.b);
        putMB(s, n, e.model);
        putBIP(s, n, 0, e.value);
        ++n;
    }
    setS(s);

    const double t = StrMDt(s);
    if (t < 256.2 || t > 256.8) bubbleDewFailure(*this, "1");

    const double tb = BPF(s, 7880000);
    if (tb < 231 || tb > 233) bubbleDewFailure(*this, "2");
    if (std::fabs(tb - LfPF(s, 7880000, 0.999999)) > 0.01) bubbleDewFailure(*this, "2");
    const double p1 = LfTF(s, 231.2, 0.99999);
    if (std::fabs(231.2 - LfPF(s, p1, 0.99999)) > 0.1) bubbleDewFailure(*this, "2");
    const double p2 = LfTF(s, 256.2, 1e-4);
    if (std::fabs(256.2 - LfPF(s, p2, 1e-4)) > 0.1) bubbleDewFailure(*this, "2");

    const double td = DPF(s, 8500000);
    if (td < 253.2 || td > 254.5) bubbleDewFailure(*this, "3");
}
