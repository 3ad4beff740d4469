// proptest as a process with scripted standard input.  "Probe" runs use the
// driver over the zpk double and stand-in procedures, so their output is
// known byte for byte; "Proptest" runs use the real program and library and
// check the structure of the output only, since the real procedures record
// whatever the library gets wrong.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "process.h"

namespace {

const std::string menuPrompt = "Enter 0 : Exit ; 1 : Test Zelta Properties ; 2 = Test Zelta Editor ->";
const std::string threadPrompt = "Enter Number of (Concurrent) Threads (1-50)  -> ";

const char* const progressTexts[31] = {
    "Test analytic derivatives dFg, dH, dS, dV / dT, dP\r\n",
    "Test Isothermal Flash data set 1\r\n",
    "Test Isothermal Flash data set 2\r\n",
    "Test Isothermal Flash data set 3\r\n",
    "Test vapor-liquid, vapor-liquid-liquid phase diagrams\r\n",
    "Test phase equilibria bubble / dew points data set 1\r\n",
    "Test Hydrate phase equilibria including inhibitors\r\n",
    "Test data regression procedures\r\n",
    "Test fluid properties (against experimental values) data set 1\r\n",
    "Test fluid properties (against experimental values) data set 2\r\n",
    "Test fluid properties (against experimental values) data set 3\r\n",
    "Test fluid properties (against experimental values) data set 4\r\n",
    "Test fluid properties (against experimental values) data set 5\r\n",
    "Test fluid properties (against experimental values) data set 6\r\n",
    "Test fluid properties (against experimental values) data set 7\r\n",
    "Test fluid properties (against experimental values) data set 8\r\n",
    "Test Unit conversions\r\n",
    "Test distillation (vapor-liquid, lquid-liquid)\r\n",
    "Test Nozzle\r\n",
    "Test Mixer\r\n",
    "Test Flash operations (H)\r\n",
    "Test Flash operations (S)\r\n",
    "Test Flash operations (V)\r\n",
    "Test Flash operations (Mixed)\r\n",
    "Test water and steam properties, data set 1\r\n",
    "Test water and steam properties, data set 2\r\n",
    "Test vapor-liquid-liquid separator\r\n",
    "Test phase separator\r\n",
    "Test predefined thermo packages\r\n",
    "Test database access\r\n",
    "Test operations on archives\r\n",
};

std::string progressText(int step, bool threaded) {
    if (step == 25 && !threaded) return "Test ater and steam properties, data set 2\r\n";
    return progressTexts[step];
}

std::string advice() {
    const unsigned h = std::thread::hardware_concurrency();
    return "based on results from std::thread::hardware_concurrency() module\r\n"
           "your machine could execute up to " +
           std::to_string(h) +
           " threads simultaneously,\r\n"
           "however, since CPUs can support multiple logical threads per physical core\r\n"
           "we recommend to do not exceed " +
           std::to_string(h / 2) + " concurrent threads\r\n";
}

std::string cleanSummary(int thread) {
    return "Thread=" + std::to_string(thread) + " Number of tests=1\r\ntotal time=0 seconds\r\nNo errors !\r\n";
}

std::string singleRunLines() {
    std::string out;
    for (int s = 0; s < 31; ++s) out += "Thread=1 Cycle=1 " + progressText(s, false);
    return out;
}

ProcessResult probe(const std::string& input, std::vector<std::string> args = {}) {
    return runProcess(PROBE_PATH, args, input);
}

ProcessResult proptest(const std::string& input) { return runProcess(PROPTEST_PATH, {}, input); }

std::string trailer(int opens, int bases, int runs, const std::string& path = "") {
    return "#probe AFOpen=" + std::to_string(opens) + " getASNr=" + std::to_string(bases) +
           " defErrMsg=" + std::to_string(runs) + " CompCID=" + std::to_string(40 * runs) +
           " path=" + (opens > 0 ? path : "") + "\n";
}

// The pieces of a run's output: progress lines per thread, summaries per
// thread in report order.
struct Parsed {
    std::map<int, std::vector<std::string>> progress; // thread -> progress texts in order
    std::vector<int> summaryThreads;                  // thread numbers of the summaries, in order
    std::vector<std::string> summaries;
    std::size_t lastProgressEnd = 0;
    std::size_t firstSummary = std::string::npos;
};

Parsed parse(const std::string& out) {
    Parsed p;
    const std::string tag = "Thread=";
    for (std::size_t at = out.find(tag); at != std::string::npos; at = out.find(tag, at + 1)) {
        std::size_t pos = at + tag.size();
        const std::size_t digits = out.find_first_not_of("0123456789", pos);
        const int thread = std::stoi(out.substr(pos, digits - pos));
        if (out.compare(digits, 9, " Cycle=1 ") == 0) {
            const std::size_t end = out.find("\r\n", digits) + 2;
            p.progress[thread].push_back(out.substr(digits + 9, end - digits - 9));
            p.lastProgressEnd = end;
        } else if (out.compare(digits, 17, " Number of tests=") == 0) {
            p.summaryThreads.push_back(thread);
            const std::size_t next = out.find(tag, digits);
            const std::size_t menu = out.find(menuPrompt, digits);
            p.summaries.push_back(out.substr(at, std::min(next, menu) - at));
            if (p.firstSummary == std::string::npos) p.firstSummary = at;
        }
    }
    return p;
}

void expectCompleteCycle(const std::vector<std::string>& lines, bool threaded) {
    ASSERT_EQ(lines.size(), 31u);
    for (int s = 0; s < 31; ++s) EXPECT_EQ(lines[s], progressText(s, threaded)) << "step " << s + 1;
}

// ---- menu and start-up -----------------------------------------------------

TEST(ProbeMenu, ZeroEndsWithStatusOneAfterAdviceAndOnePrompt) {
    const auto r = probe("0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, advice() + menuPrompt + trailer(0, 0, 0));
}

TEST(ProbeMenu, NegativeChoiceEndsWithStatusOne) {
    const auto r = probe("-1\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, advice() + menuPrompt + trailer(0, 0, 0));
}

TEST(ProbeMenu, ChoicesAboveTwoShowTheMenuAgainSilently) {
    const auto r = probe("3\n7\n0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, advice() + menuPrompt + menuPrompt + menuPrompt + trailer(0, 0, 0));
}

TEST(ProbeMenu, EndOfInputOrTextAtTheMenuEndsWithStatusOne) {
    for (const std::string input : {"", "\n  \n", "abc\n", "99999999999\n"}) {
        const auto r = probe(input);
        EXPECT_EQ(r.status, 1) << input;
        EXPECT_EQ(r.output, advice() + menuPrompt + trailer(0, 0, 0)) << input;
    }
}

TEST(ProbeMenu, EndOfInputOrTextAtTheThreadPromptEndsWithStatusOne) {
    for (const std::string input : {"1\n", "1\nxyz\n1\n"}) {
        const auto r = probe(input);
        EXPECT_EQ(r.status, 1) << input;
        EXPECT_EQ(r.output, advice() + menuPrompt + threadPrompt + trailer(0, 0, 0)) << input;
    }
}

TEST(ProbeMenu, EditorChoiceCallsTheEditorAndDoesNotReloadDefaults) {
    const auto r = probe("2\n0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, advice() + menuPrompt + "[stream editor]\r\n" + menuPrompt + trailer(0, 0, 0));
}

// ---- single-thread runs ----------------------------------------------------

TEST(ProbeSingleRun, OneThreadRunsOnTheMainThreadByteForByte) {
    const auto r = probe("1\n1\n0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, advice() + menuPrompt + threadPrompt + singleRunLines() + cleanSummary(1) + menuPrompt +
                            trailer(1, 0, 1, "/probe/data/def.zpk"));
}

TEST(ProbeSingleRun, CountsBelowOneGiveASingleThreadRun) {
    for (const std::string n : {"0", "-5"}) {
        const auto r = probe("1\n" + n + "\n0\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.output, advice() + menuPrompt + threadPrompt + singleRunLines() + cleanSummary(1) +
                                menuPrompt + trailer(1, 0, 1, "/probe/data/def.zpk"))
            << n;
    }
}

TEST(ProbeSingleRun, RecordedErrorsFollowTheSeconds) {
    const auto r = probe("1\n1\n0\n", {"--errors", "2"});
    EXPECT_EQ(r.status, 1);
    const std::string summary = "Thread=1 Number of tests=1\r\ntotal time=0 seconds \r\ncycle 1 stub failure "
                                "\r\ncycle 1 stub failure \r\n";
    EXPECT_EQ(r.output, advice() + menuPrompt + threadPrompt + singleRunLines() + summary + menuPrompt +
                            trailer(1, 0, 1, "/probe/data/def.zpk"));
}

TEST(ProbeSingleRun, SingleRunUsesStreamBaseZero) {
    const auto r = probe("1\n1\n0\n", {"--bases"});
    EXPECT_NE(r.output.find("total time=0 seconds \r\ncycle 1 base=0 \r\n"), std::string::npos);
}

TEST(ProbeSingleRun, FolderThatFillsThePathBufferExactlyIsReloaded) {
    // 504 characters + "def.zpk" + terminator = 512.
    const auto r = probe("1\n1\n0\n", {"--datadir", "504"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("#probe AFOpen=1 "), std::string::npos);
    EXPECT_NE(r.output.find(std::string(503, 'd') + "/def.zpk\n"), std::string::npos);
}

TEST(ProbeSingleRun, FolderTooLongForThePathBufferSkipsTheReload) {
    const auto r = probe("1\n1\n0\n", {"--datadir", "505"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find(trailer(0, 0, 1)), std::string::npos);
}

TEST(ProbeSingleRun, EveryRunEndsWithItsOwnReload) {
    const auto r = probe("1\n1\n2\n1\n0\n0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find(trailer(2, 0, 2, "/probe/data/def.zpk")), std::string::npos);
    // Each single run reports only its own summary.
    const Parsed p = parse(r.output);
    EXPECT_EQ(p.summaryThreads, (std::vector<int>{1, 1}));
}

// ---- threaded runs -------------------------------------------------------

void expectThreadedRun(const ProcessResult& r, int threads) {
    EXPECT_EQ(r.status, 1);
    const std::string head = advice() + menuPrompt + threadPrompt;
    ASSERT_EQ(r.output.compare(0, head.size(), head), 0);
    const Parsed p = parse(r.output);
    ASSERT_EQ(static_cast<int>(p.progress.size()), threads);
    for (int t = 1; t <= threads; ++t) {
        SCOPED_TRACE("thread " + std::to_string(t));
        expectCompleteCycle(p.progress.at(t), true);
    }
    // One report after all progress lines, one summary per thread.
    ASSERT_EQ(static_cast<int>(p.summaryThreads.size()), threads);
    EXPECT_GT(p.firstSummary, p.lastProgressEnd - 1);
    std::set<int> seen(p.summaryThreads.begin(), p.summaryThreads.end());
    EXPECT_EQ(static_cast<int>(seen.size()), threads);
    EXPECT_EQ(*seen.begin(), 1);
    EXPECT_EQ(*seen.rbegin(), threads);
    for (std::size_t i = 0; i < p.summaries.size(); ++i)
        EXPECT_EQ(p.summaries[i], cleanSummary(p.summaryThreads[i]));
    EXPECT_NE(r.output.find(cleanSummary(p.summaryThreads.back()) + menuPrompt +
                            trailer(1, threads, threads, "/probe/data/def.zpk")),
              std::string::npos);
}

// The stand-in procedures take no time, so the probe makes the runs overlap
// (--overlap) as the real battery's do; otherwise an early thread could
// finish before the next one starts and write a report of its own.
TEST(ProbeThreadedRun, TwoThreadsNumberedOneAndTwo) {
    expectThreadedRun(probe("1\n2\n0\n", {"--overlap", "2"}), 2);
}

TEST(ProbeThreadedRun, FourThreadsWriteOneReportWithFourSummaries) {
    expectThreadedRun(probe("1\n4\n0\n", {"--overlap", "4"}), 4);
}

TEST(ProbeThreadedRun, SeventyFiveThreadsAreClampedToFifty) {
    expectThreadedRun(probe("1\n75\n0\n", {"--overlap", "50"}), 50);
}

TEST(ProbeThreadedRun, EachThreadSeesItsOwnStreamBase) {
    const auto r = probe("1\n4\n0\n", {"--bases", "--overlap", "4"});
    std::set<std::string> bases;
    for (const std::string& s : parse(r.output).summaries) {
        const std::size_t at = s.find("base=");
        ASSERT_NE(at, std::string::npos) << s;
        bases.insert(s.substr(at, s.find(' ', at) - at));
    }
    EXPECT_EQ(bases, (std::set<std::string>{"base=1000", "base=2000", "base=3000", "base=4000"}));
}

TEST(ProbeThreadedRun, SummariesThatDoNotFitAreDroppedWhole) {
    // Each full summary is about 9990 characters: two fit into 20000, the
    // other two are left out, never cut.
    const auto r = probe("1\n4\n0\n", {"--fill", "--overlap", "4"});
    EXPECT_EQ(r.status, 1);
    const Parsed p = parse(r.output);
    ASSERT_EQ(p.summaries.size(), 2u);
    for (const std::string& s : p.summaries) {
        EXPECT_EQ(s.size(), std::string("Thread=1 Number of tests=1\r\ntotal time=0 seconds ").size() + 9920 + 2);
        EXPECT_EQ(s.substr(s.size() - 4), "t \r\n");
    }
}

TEST(ProbeThreadedRun, ANewRunStartsANewReport) {
    // The first run waits for 3 runs, the second for 3 + 2.
    const auto r = probe("1\n3\n1\n2\n0\n", {"--overlap", "3"});
    EXPECT_EQ(r.status, 1);
    const Parsed p = parse(r.output);
    ASSERT_EQ(p.summaryThreads.size(), 5u);
    std::multiset<int> first(p.summaryThreads.begin(), p.summaryThreads.begin() + 3);
    std::multiset<int> second(p.summaryThreads.begin() + 3, p.summaryThreads.end());
    EXPECT_EQ(first, (std::multiset<int>{1, 2, 3}));
    EXPECT_EQ(second, (std::multiset<int>{1, 2}));
}

// ---- the real program --------------------------------------------------
// Full runs of the real battery take as long as the library needs (minutes
// under the sanitizers), so they carry the label "slow".

void expectRealRun(const ProcessResult& r, int threads) {
    EXPECT_EQ(r.status, 1);
    const std::string head = advice() + menuPrompt + threadPrompt;
    ASSERT_EQ(r.output.compare(0, head.size(), head), 0);
    const Parsed p = parse(r.output);
    ASSERT_EQ(static_cast<int>(p.progress.size()), threads);
    for (int t = 1; t <= threads; ++t) {
        SCOPED_TRACE("thread " + std::to_string(t));
        expectCompleteCycle(p.progress.at(t), threads > 1);
    }
    EXPECT_GE(p.summaries.size(), 1u);
    EXPECT_LE(static_cast<int>(p.summaries.size()), threads);
    for (const std::string& s : p.summaries) {
        EXPECT_NE(s.find(" Number of tests=1\r\ntotal time="), std::string::npos) << s.substr(0, 80);
    }
    const std::string tail = menuPrompt;
    EXPECT_EQ(r.output.compare(r.output.size() - tail.size(), tail.size(), tail), 0);
}

TEST(ProptestSlow, SingleThreadRunCompletesTheCycle) { expectRealRun(proptest("1\n1\n0\n"), 1); }

TEST(ProptestSlow, FourThreadRunCompletesEveryCycle) { expectRealRun(proptest("1\n4\n0\n"), 4); }

TEST(ProptestSlow, FiftyThreadRunCompletesEveryCycle) { expectRealRun(proptest("1\n50\n0\n"), 50); }

TEST(Proptest, MenuZeroEndsWithStatusOne) {
    const auto r = proptest("0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.output, advice() + menuPrompt);
}

TEST(Proptest, EditorSharesStandardInputWithTheMenu) {
    // The editor skips the rest of the menu line, quits on 0, and the menu
    // then reads the next 0.
    const auto r = proptest("2\n0\n0\n");
    EXPECT_EQ(r.status, 1);
    const std::string head = advice() + menuPrompt + "zpk stream editor\r\n";
    EXPECT_EQ(r.output.compare(0, head.size(), head), 0);
    const std::string tail = "leaving the stream editor\r\n" + menuPrompt;
    ASSERT_GE(r.output.size(), tail.size());
    EXPECT_EQ(r.output.substr(r.output.size() - tail.size()), tail);
}

TEST(Proptest, EndOfInputInsideTheEditorReturnsToTheMenuWhichEnds) {
    const auto r = proptest("2\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("zpk stream editor"), std::string::npos);
}

} // namespace
