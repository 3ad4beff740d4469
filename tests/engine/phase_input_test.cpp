// A phase state given by the caller (putPt, putPf, putW, setValidPhase,
// isValidPhase): a flash result handed to another stream reproduces its
// properties, the setters continue a flash result, inconsistent input is
// rejected with the reason, and changes of the stream drop the state.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "zpk/zpk.h"

namespace {

constexpr double kT = 250, kP = 1e6; // methane 0.3 + propane 0.7 splits here

void unitSet1() {
    for (int q = 15; q <= 54; ++q)
        setUMC(q, 1);
}

// Methane / propane with SRK for all properties; no operating point.
void defineGas(int s) {
    initS(s);
    for (int p = 1; p <= 4; ++p) {
        setMP(s, p, 0, 30);
        setMP(s, p, 1, 30);
    }
    putZ(s, 1, 0.3);
    putZ(s, 2, 0.7);
    putCC(s, 1, CompCID(74828));
    putCC(s, 2, CompCID(74986));
    ASSERT_EQ(setS(s), 1) << ErrMsg();
}

struct PhaseRead {
    int kind;
    double beta;
    std::vector<double> x;
};

std::vector<PhaseRead> readPhases(int s, int n) {
    std::vector<PhaseRead> r;
    for (int k = 1; k <= n; ++k)
        r.push_back({StrPt(s, k), StrPf(s, k), {getW(s, k, 1), getW(s, k, 2)}});
    return r;
}

void writePhases(int s, const std::vector<PhaseRead>& phases) {
    for (std::size_t k = 0; k < phases.size(); ++k) {
        const int ph = static_cast<int>(k) + 1;
        ASSERT_EQ(putPt(s, ph, phases[k].kind), 1) << ErrMsg();
        ASSERT_EQ(putPf(s, ph, phases[k].beta), 1) << ErrMsg();
        for (std::size_t i = 0; i < phases[k].x.size(); ++i)
            ASSERT_EQ(putW(s, ph, static_cast<int>(i) + 1, phases[k].x[i]), 1) << ErrMsg();
    }
}

void expectRel(double a, double b, double tol, const char* what) {
    EXPECT_LE(std::fabs(a - b), tol * std::fabs(b)) << what << ": " << a << " vs " << b;
}

class PhaseInput : public ::testing::Test {
  protected:
    void SetUp() override {
        unitSet1();
        setErrFlag(0);
        defineGas(src);
        ASSERT_EQ(setOp(src, kT, kP), 1) << ErrMsg();
        ASSERT_EQ(getPNr(), 2);
        phases = readPhases(src, 2);
    }
    void TearDown() override { setErrFlag(0); }
    std::string message() const { return ErrMsg(); }
    static constexpr int src = 1960, dst = 1961;
    std::vector<PhaseRead> phases;
};

} // namespace

TEST_F(PhaseInput, FlashResultHandedToAnotherStreamGivesItsProperties) {
    defineGas(dst);
    ASSERT_EQ(putT(dst, kT), 1);
    ASSERT_EQ(putP(dst, kP), 1);
    writePhases(dst, phases);
    EXPECT_EQ(isValidPhase(dst, 1), 0);
    EXPECT_EQ(isSopDef(dst), 0);
    ASSERT_EQ(setValidPhase(dst, 2), 1) << message();
    EXPECT_EQ(isValidPhase(dst, 1), 1);
    EXPECT_EQ(isValidPhase(dst, 2), 1);
    EXPECT_EQ(isValidPhase(dst, 3), 0);
    EXPECT_EQ(isSopDef(dst), 1);
    expectRel(StrH(dst), StrH(src), 1e-12, "StrH");
    expectRel(StrS(dst), StrS(src), 1e-12, "StrS");
    expectRel(StrV(dst), StrV(src), 1e-12, "StrV");
    expectRel(StrGD(dst), StrGD(src), 1e-12, "StrGD");
    expectRel(StrLD(dst), StrLD(src), 1e-12, "StrLD");
    expectRel(StrLCp(dst), StrLCp(src), 1e-12, "StrLCp");
    expectRel(getY(dst, 1), getY(src, 1), 1e-12, "getY");
    expectRel(getX(dst, 2), getX(src, 2), 1e-12, "getX");
    expectRel(StrPf(dst, 2), StrPf(src, 2), 1e-12, "StrPf");
    EXPECT_EQ(StrPt(dst, 1), StrPt(src, 1));
    EXPECT_EQ(getErrFlag(), 0) << message();

    // A flash replaces the given state; so does a change of the definition.
    ASSERT_EQ(setOp(dst, 400, kP), 1);
    EXPECT_EQ(isValidPhase(dst, 2), 0);
    writePhases(dst, phases);
    ASSERT_EQ(putT(dst, kT), 1);
    ASSERT_EQ(setValidPhase(dst, 2), 1) << message();
    ASSERT_EQ(putZ(dst, 1, 0.3), 1);
    EXPECT_EQ(isValidPhase(dst, 1), 0);
    EXPECT_EQ(setValidPhase(dst, 2), 0); // the definition change dropped the input
    EXPECT_NE(message().find("phase 1 has not been given"), std::string::npos) << message();
}

TEST_F(PhaseInput, SettersContinueAFlashResult) {
    EXPECT_EQ(isValidPhase(src, 2), 1);
    const double h = StrH(src);
    // A new fraction for phase 1 only: the stream's state is no longer valid...
    ASSERT_EQ(putPf(src, 1, phases[0].beta), 1);
    EXPECT_EQ(isValidPhase(src, 1), 0);
    EXPECT_EQ(isSopDef(src), 0);
    EXPECT_TRUE(std::isnan(StrH(src)));
    setErrFlag(0);
    // ...until validated; the other values came from the flash.
    ASSERT_EQ(setValidPhase(src, 2), 1) << message();
    expectRel(StrH(src), h, 1e-12, "StrH");
    // A single phase: the whole stream as liquid (the phases beyond n are ignored).
    ASSERT_EQ(putPt(src, 1, 1), 1);
    ASSERT_EQ(putPf(src, 1, 1.0), 1);
    ASSERT_EQ(putW(src, 1, 1, 0.3), 1);
    ASSERT_EQ(putW(src, 1, 2, 0.7), 1);
    ASSERT_EQ(setValidPhase(src, 1), 1) << message();
    EXPECT_EQ(isValidPhase(src, 2), 0);
    EXPECT_DOUBLE_EQ(StrLf(src), 1.0);
    EXPECT_EQ(StrPt(src, 1), 1);
}

TEST_F(PhaseInput, InconsistentInputIsRejectedWithTheReason) {
    defineGas(dst);
    ASSERT_EQ(putT(dst, kT), 1);
    ASSERT_EQ(putP(dst, kP), 1);
    // Material balance: the phases swap their compositions.
    std::vector<PhaseRead> swapped = phases;
    std::swap(swapped[0].x, swapped[1].x);
    writePhases(dst, swapped);
    EXPECT_EQ(setValidPhase(dst, 2), 0);
    EXPECT_EQ(message().rfind("setValidPhase: material balance of position 1 (METHANE): the phases hold ", 0),
              0u)
        << message();
    EXPECT_EQ(isValidPhase(dst, 1), 0);
    EXPECT_TRUE(std::isnan(StrH(dst)));

    struct Case {
        std::vector<PhaseRead> phases;
        int n;
        const char* reason;
    };
    const PhaseRead v = phases[0], l = phases[1];
    const std::vector<Case> cases = {
        {{v, {l.kind, l.beta + 1e-6, l.x}}, 2, "phase fractions of phases 1..2 sum to"},
        {{v, {l.kind, l.beta, {l.x[0], l.x[1] + 1e-6}}}, 2, "phase 2: mole fractions sum to"},
        {{v, {0, l.beta, l.x}}, 2, "phase 2 is a second vapour phase"},
        {{v, {3, l.beta, l.x}}, 2, "phase 2 is a hydrate: stream has no hydrate model"},
        {{v}, 2, "phase 2 has not been given"},
    };
    for (const Case& c : cases) {
        defineGas(dst);
        writePhases(dst, c.phases);
        setErrFlag(0);
        EXPECT_EQ(setValidPhase(dst, c.n), 0) << c.reason;
        EXPECT_NE(message().find(c.reason), std::string::npos) << message();
        EXPECT_EQ(isValidPhase(dst, 1), 0);
    }
    // A phase without a kind, a fraction or a composition.
    defineGas(dst);
    ASSERT_EQ(putPf(dst, 1, 1.0), 1);
    EXPECT_EQ(setValidPhase(dst, 1), 0);
    EXPECT_NE(message().find("phase 1 has no kind (putPt)"), std::string::npos) << message();
    ASSERT_EQ(putPt(dst, 1, 0), 1);
    EXPECT_EQ(setValidPhase(dst, 1), 0);
    EXPECT_NE(message().find("phase 1 has no composition (putW)"), std::string::npos) << message();
}

TEST_F(PhaseInput, BadArgumentsChangeNothing) {
    const double h = StrH(src);
    EXPECT_EQ(putPt(src, 1, 4), 0);
    EXPECT_EQ(putPt(src, 0, 1), 0);
    EXPECT_EQ(putPt(src, 7, 1), 0);
    EXPECT_EQ(putPf(src, 1, 1.5), 0);
    EXPECT_EQ(putPf(src, 1, -0.1), 0);
    EXPECT_EQ(putPf(src, 1, NAN), 0);
    EXPECT_EQ(putW(src, 1, 3, 0.5), 0); // the stream has two positions
    EXPECT_EQ(putW(src, 1, 0, 0.5), 0);
    EXPECT_EQ(putW(src, 1, 1, 2.0), 0);
    EXPECT_EQ(putPt(0, 1, 1), 0);
    EXPECT_EQ(getErrFlag(), 1);
    EXPECT_EQ(message().rfind("putPt: ", 0), 0u) << message();
    // The flash result is still there.
    EXPECT_EQ(isValidPhase(src, 2), 1);
    EXPECT_DOUBLE_EQ(StrH(src), h);
    EXPECT_EQ(isValidPhase(src, 0), 0);
    EXPECT_EQ(isValidPhase(src, 7), 0);
    EXPECT_EQ(setValidPhase(src, 0), 0);
    EXPECT_EQ(setValidPhase(src, 7), 0);
    // A stream that is not defined.
    initS(dst);
    setErrFlag(0);
    ASSERT_EQ(putPt(dst, 1, 0), 1);
    EXPECT_EQ(setValidPhase(dst, 1), 0);
    EXPECT_EQ(getErrFlag(), 2);
}
