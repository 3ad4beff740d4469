// Phase envelope and bubble/dew point procedures against the test double.
#include "suite_fixture.h"
#include "zpk/zpk.h"

namespace {

constexpr const char* envelopeMessage = "Error executing PELine(), PFLine(), PELnr(), PELT(), PELP()";

using PhaseDiagramsTest = SuiteTest;

// Every envelope line reports `points` points; the arrays hold value k-1 at
// index k-1 in both kinds, and PEPt reads the same values back.
void envelopeLines(int lines, std::function<int(int line)> points) {
    zpkdouble::setHandler("PEPt", [](const std::vector<double>& a) { return a.at(3) - 1; });
    zpkdouble::setReturn("PELNr", lines);
    zpkdouble::setHandler("PELine", [points](const zpkdouble::Call& c) {
        const int n = points(static_cast<int>(c.num.at(1)));
        double* first = c.array<double>(0);
        double* second = c.array<double>(1);
        for (int k = 0; k < n && k < 50; ++k)
            first[k] = second[k] = k;
        return static_cast<double>(n);
    });
}

TEST_F(PhaseDiagramsTest, PointsEqualToTheLinePassAndADeviationOfExactly1e5Passes) {
    envelopeLines(1, [](int) { return 8; });
    // Point 1 (value 0) deviates by exactly 1e-5 in both kinds; the other
    // points are equal.
    zpkdouble::setHandler("PEPt", [](const std::vector<double>& a) {
        const int k = static_cast<int>(a.at(3));
        return k == 1 ? 1e-5 : k - 1.0;
    });
    fixture->testPhaseDiagrams();
    EXPECT_TRUE(entries().empty());
}

TEST_F(PhaseDiagramsTest, EachDifferingKindOfAPointFailsOnce) {
    envelopeLines(1, [](int) { return 8; });
    // Point 3 differs in kind 1 only, point 2 in both kinds: three entries per
    // checked case (cases 3 and 4).
    zpkdouble::setHandler("PEPt", [](const std::vector<double>& a) {
        const int kind = static_cast<int>(a.at(2));
        const int k = static_cast<int>(a.at(3));
        if (k == 3 && kind == 1) return 2.0 + 2e-5;
        if (k == 2) return 1.0 + 2e-5;
        return k - 1.0;
    });
    fixture->testPhaseDiagrams();
    EXPECT_EQ(entries(), std::vector<std::string>(6, envelopeMessage));
    // PEPt is asked for (stream, line, kind, point from 1, capacity 50).
    const auto log = zpkdouble::calls("PEPt");
    ASSERT_EQ(log.size(), 32u);
    EXPECT_EQ(log[0].num, (std::vector<double>{1, 1, 1, 1, 50}));
    EXPECT_EQ(log[1].num, (std::vector<double>{1, 1, 2, 1, 50}));
    EXPECT_EQ(log[5].num, (std::vector<double>{1, 1, 2, 3, 50}));
}

TEST_F(PhaseDiagramsTest, NoLinesSkipsThePointsButNotThePhaseFractionLineAndCriticalPoints) {
    zpkdouble::setReturn("PELNr", 0);
    zpkdouble::setReturn("StrCPnr", 2);
    fixture->testPhaseDiagrams();
    EXPECT_EQ(zpkdouble::count("PELT"), 0u);
    EXPECT_EQ(zpkdouble::count("PELine"), 0u);
    EXPECT_EQ(zpkdouble::count("PEPt"), 0u);
    // Case 4 and the 22 envelope cases.
    EXPECT_EQ(zpkdouble::count("PELNr"), 24u);
    EXPECT_EQ(zpkdouble::count("PFLine"), 23u);
    EXPECT_EQ(zpkdouble::count("StrCPnr"), 23u);
    EXPECT_EQ(zpkdouble::count("StrPc"), 46u);
    EXPECT_EQ(zpkdouble::count("StrTc"), 46u);
    EXPECT_TRUE(entries().empty());
}

TEST_F(PhaseDiagramsTest, LineLengthsOfExactly8And50Pass) {
    envelopeLines(3, [](int line) { return line == 1 ? 8 : line == 2 ? 50 : 0; });
    fixture->testPhaseDiagrams();
    EXPECT_TRUE(entries().empty());
}

TEST_F(PhaseDiagramsTest, ShortLinesFailOnlyInTheLineLengthCase) {
    envelopeLines(3, [](int line) { return line == 1 ? 7 : line == 2 ? 49 : 0; });
    fixture->testPhaseDiagrams();
    EXPECT_EQ(entries(), std::vector<std::string>(2, envelopeMessage));
}

TEST_F(PhaseDiagramsTest, AMissingSecondLineIsNoError) {
    envelopeLines(1, [](int) { return 8; });
    fixture->testPhaseDiagrams();
    EXPECT_TRUE(entries().empty());
}

TEST_F(PhaseDiagramsTest, SweepsAndPhaseFractionsUseTheGivenArithmetic) {
    setStreamBase(40);
    fixture->testPhaseDiagrams();
    const auto lfpf = zpkdouble::calls("LfPF");
    // 50 dew points of case 1 and 2 x 21 points of case 2.
    ASSERT_EQ(lfpf.size(), 92u);
    EXPECT_EQ(lfpf[0].num, (std::vector<double>{41, 100100, 1e-6}));
    EXPECT_EQ(lfpf[49].num, (std::vector<double>{41, 105000, 1e-6}));
    EXPECT_EQ(lfpf[51].num, (std::vector<double>{41, 1000000, 1.0000000000287557e-6}));
    // The last composition of case 2 is x = 20 * 0.05 and 1 - x.
    const auto log = zpkdouble::calls();
    const long last = findCall(log, "putZ", {41, 1, 20 * 0.05});
    ASSERT_GE(last, 0);
    EXPECT_EQ(log[last + 1].num, (std::vector<double>{41, 2, 1 - 20 * 0.05}));
    // Case 1 passes the raw component codes; every call names stream 41.
    EXPECT_GE(findCall(log, "putCC", {41, 1, 486}), 0);
    EXPECT_GE(findCall(log, "putCC", {41, 2, 1631}), 0);
    for (const auto& c : zpkdouble::calls("initS"))
        EXPECT_EQ(c.num.at(0), 41);
    // Case 5 passes its fractions unscaled.
    EXPECT_GE(findCall(log, "putZ", {41, 5, 0.4}), 0);
}

using BubbleDewPointsTest = SuiteTest;

// Results inside every window of the procedure.
void bubbleDewResultsInWindows() {
    zpkdouble::setReturn("StrPc", 11300000);
    zpkdouble::setReturn("StrMDt", 256.5);
    zpkdouble::setReturn("BPF", 232);
    zpkdouble::setReturnSequence("LfPF", {232, 231.2, 256.2});
    zpkdouble::setReturn("DPF", 254);
}

TEST_F(BubbleDewPointsTest, ResultsInsideTheWindowsRecordNothing) {
    bubbleDewResultsInWindows();
    fixture->testBubbleDewPoints();
    EXPECT_TRUE(entries().empty());
}

TEST_F(BubbleDewPointsTest, WindowBoundsPass) {
    bubbleDewResultsInWindows();
    zpkdouble::setReturn("StrPc", 11400000);
    zpkdouble::setReturn("StrMDt", 256.2);
    zpkdouble::setReturn("BPF", 233);
    zpkdouble::setReturnSequence("LfPF", {233, 231.2, 256.2});
    zpkdouble::setReturn("DPF", 253.2);
    fixture->testBubbleDewPoints();
    zpkdouble::reset();
    bubbleDewResultsInWindows();
    zpkdouble::setReturn("StrPc", 11200000);
    zpkdouble::setReturn("StrMDt", 256.8);
    zpkdouble::setReturn("BPF", 231);
    zpkdouble::setReturnSequence("LfPF", {231, 231.2, 256.2});
    zpkdouble::setReturn("DPF", 254.5);
    fixture->testBubbleDewPoints();
    EXPECT_TRUE(entries().empty());
}

TEST_F(BubbleDewPointsTest, TheBubblePointTagCanAppearFourTimesInStepOrder) {
    bubbleDewResultsInWindows();
    zpkdouble::setReturn("StrPc", 11400001);
    zpkdouble::setReturn("StrMDt", 256.81);
    zpkdouble::setReturn("BPF", 230.9);
    zpkdouble::setReturnSequence("LfPF", {232, 231.4, 256.0});
    zpkdouble::setReturn("DPF", 254.6);
    fixture->testBubbleDewPoints();
    const std::string base = "Error executing tStrMDt(), BPF(), DPF()";
    EXPECT_EQ(entries(), (std::vector<std::string>{base + "2a", base + "1", base + "2", base + "2",
                                                   base + "2", base + "2", base + "3"}));
}

TEST_F(BubbleDewPointsTest, ResultsThatAreNotANumberPass) {
    for (const char* f : {"StrPc", "StrMDt", "BPF", "LfPF", "LfTF", "DPF"})
        zpkdouble::setReturn(f, notANumber);
    fixture->testBubbleDewPoints();
    EXPECT_TRUE(entries().empty());
}

TEST_F(BubbleDewPointsTest, ConsistencyChecksFlashAtTheComputedPoints) {
    bubbleDewResultsInWindows();
    zpkdouble::setReturnSequence("LfTF", {7000000, 9000000});
    fixture->testBubbleDewPoints();
    const auto lfpf = zpkdouble::calls("LfPF");
    ASSERT_EQ(lfpf.size(), 3u);
    EXPECT_EQ(lfpf[0].num, (std::vector<double>{1, 7880000, 0.999999}));
    EXPECT_EQ(lfpf[1].num, (std::vector<double>{1, 7000000, 0.99999}));
    EXPECT_EQ(lfpf[2].num, (std::vector<double>{1, 9000000, 1e-4}));
    const auto lftf = zpkdouble::calls("LfTF");
    ASSERT_EQ(lftf.size(), 2u);
    EXPECT_EQ(lftf[0].num, (std::vector<double>{1, 231.2, 0.99999}));
    EXPECT_EQ(lftf[1].num, (std::vector<double>{1, 256.2, 1e-4}));
}

TEST_F(BubbleDewPointsTest, InteractionEntriesAreSetBeforeTheSourGasIsCompleted) {
    fixture->testBubbleDewPoints();
    const auto log = zpkdouble::calls();
    const long first = findCall(log, "putCi", {1, 1, 3});
    ASSERT_GE(first, 0);
    const std::vector<std::pair<std::string, std::vector<double>>> expected = {
        {"putCi", {1, 1, 3}}, {"putCj", {1, 1, 2}}, {"putMB", {1, 1, 30}}, {"putBIP", {1, 1, 0, 0.097}},
        {"putCi", {1, 2, 3}}, {"putCj", {1, 2, 1}}, {"putMB", {1, 2, 30}}, {"putBIP", {1, 2, 0, 0.102}},
        {"putCi", {1, 3, 1}}, {"putCj", {1, 3, 2}}, {"putMB", {1, 3, 30}}, {"putBIP", {1, 3, 0, 0.085}},
        {"setS", {1}},        {"StrMDt", {1}},
    };
    ASSERT_LE(first + expected.size(), log.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(log[first + i].name, expected[i].first) << i;
        EXPECT_EQ(log[first + i].num, expected[i].second) << i;
    }
    // The sour gas: hydrogen sulfide, methane, carbon dioxide.
    EXPECT_EQ(log[first - 1].num, (std::vector<double>{1, 3, 124389}));
}

} // namespace
