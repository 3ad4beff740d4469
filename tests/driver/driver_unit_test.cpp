// In-process tests of the driver's building blocks: the summary and report
// rules, the clock arithmetic, the path buffer, the cycle dispatch, and the
// battery-report step runner (over the zpk double and stand-in procedures).
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "cycle.h"
#include "driver.h"
#include "platform.h"
#include "report.h"
#include "stub_procedures.h"
#include "testcode.h"
#include "zpk_double.h"

namespace {

std::string summary(int thread, int cycles, std::int64_t seconds, const char* errors) {
    char buffer[11000];
    const std::size_t n = formatSummary(buffer, sizeof buffer, thread, cycles, seconds, errors);
    EXPECT_EQ(n, std::strlen(buffer));
    return buffer;
}

TEST(Summary, EmptyOrShortErrorTextCountsAsNoErrors) {
    const std::string clean = "Thread=3 Number of tests=1\r\ntotal time=12 seconds\r\nNo errors !\r\n";
    EXPECT_EQ(summary(3, 1, 12, ""), clean);
    EXPECT_EQ(summary(3, 1, 12, "12345"), clean);
    // Six characters are an error text.
    EXPECT_EQ(summary(3, 1, 12, "123456"), "Thread=3 Number of tests=1\r\ntotal time=12 seconds 123456\r\n");
}

TEST(Summary, ErrorsFollowTheSecondsOnLinesOfTheirOwn) {
    EXPECT_EQ(summary(1, 1, 0, "\r\ncycle 1 Error testing Mix \r\ncycle 1 error checking UM "),
              "Thread=1 Number of tests=1\r\ntotal time=0 seconds \r\ncycle 1 Error testing Mix \r\n"
              "cycle 1 error checking UM \r\n");
}

TEST(Summary, LongestErrorTextFitsTheLineBufferSizeTheRunUses) {
    std::string errors(testcode::errorTextSize - 1, 'x');
    std::vector<char> buffer(testcode::errorTextSize + 256);
    const std::size_t n =
        formatSummary(buffer.data(), buffer.size(), 50, 2147483647, 2147483647, errors.c_str());
    EXPECT_LT(n, buffer.size() - 1);
    EXPECT_EQ(std::string(buffer.data()).substr(n - errors.size() - 2), errors + "\r\n");
}

TEST(Summary, ShortBufferIsCutNotOverrun) {
    char buffer[20];
    std::memset(buffer, 'Z', sizeof buffer);
    const std::size_t n = formatSummary(buffer, 16, 1, 1, 0, "");
    EXPECT_EQ(n, 15u);
    EXPECT_EQ(buffer[15], '\0');
    EXPECT_EQ(buffer[16], 'Z');
}

TEST(Report, SummaryIsAppendedOnlyWhenItFitsWhole) {
    std::vector<char> report(reportTextSize, '\0');
    std::memset(report.data(), 'r', 19990);
    const std::string forty(40, 's');
    EXPECT_FALSE(appendSummary(report.data(), reportTextSize, forty.c_str()));
    EXPECT_EQ(std::strlen(report.data()), 19990u);
    EXPECT_TRUE(appendSummary(report.data(), reportTextSize, "123456789"));
    EXPECT_EQ(std::strlen(report.data()), 19999u);
    EXPECT_EQ(std::string(report.data() + 19990), "123456789");
    // Full: not even one more character.
    EXPECT_FALSE(appendSummary(report.data(), reportTextSize, "x"));
    EXPECT_TRUE(appendSummary(report.data(), reportTextSize, ""));
}

TEST(Report, SummariesAccumulateInOrder) {
    char report[64] = "";
    EXPECT_TRUE(appendSummary(report, sizeof report, "first;"));
    EXPECT_TRUE(appendSummary(report, sizeof report, "second;"));
    EXPECT_STREQ(report, "first;second;");
}

TEST(Clock, TenMegahertzCounterIsHundredNanosecondTicks) {
    EXPECT_EQ(counterToMilliseconds(9990000, 10000000), 999);
    EXPECT_EQ(counterToMilliseconds(10000000, 10000000), 1000);
    // Large readings (days of uptime) do not overflow.
    EXPECT_EQ(counterToMilliseconds(10000000LL * 86400 * 400, 10000000), 1000LL * 86400 * 400);
}

TEST(Clock, OtherFrequenciesSplitWholeSecondsAndRemainder) {
    constexpr std::int64_t ns = 1000000000;
    EXPECT_EQ(counterToMilliseconds(ns * 5 + 999999, ns), 5000);
    EXPECT_EQ(counterToMilliseconds(ns * 5 + 1000000, ns), 5001);
    // 3 MHz: 2999 ticks are 999.67 us, still 0 ms; 3000 ticks are 1 ms.
    EXPECT_EQ(counterToMilliseconds(2999, 3000000), 0);
    EXPECT_EQ(counterToMilliseconds(3000, 3000000), 1);
    // A 3 GHz counter after a year: (c % f) * 1e9 must not overflow.
    const std::int64_t f = 3000000000LL;
    EXPECT_EQ(counterToMilliseconds(f * 31536000 + f - 1, f), 31536000LL * 1000 + 999);
}

TEST(Clock, NowIsMonotonic) {
    const std::int64_t a = nowMilliseconds();
    const std::int64_t b = nowMilliseconds();
    EXPECT_GE(b, a);
}

TEST(Platform, NullDeviceAcceptsWrites) {
    std::FILE* f = std::fopen(nullDevice(), "w");
    ASSERT_NE(f, nullptr);
    EXPECT_GE(std::fputs("discarded", f), 0);
    EXPECT_EQ(std::fclose(f), 0);
}

#if defined(_WIN32)
// The runtime's text mode would write each "\r\n" as "\r\r\n".
TEST(Platform, StandardOutputIsSwitchedToBinaryMode) {
    useBinaryStandardOutput();
    // _setmode answers with the mode it replaces.
    EXPECT_EQ(_setmode(_fileno(stdout), _O_BINARY), _O_BINARY);
}
#endif

TEST(DefaultsPath, FolderPlusFileNameFillsAtMostTheBuffer) {
    char path[pathBufferSize + 8];
    std::memset(path, 'Z', sizeof path);
    const std::string fits(pathBufferSize - 8, 'd'); // + "def.zpk" + terminator = 512
    ASSERT_TRUE(defaultsPath(fits.c_str(), path));
    EXPECT_EQ(std::string(path), fits + "def.zpk");
    EXPECT_EQ(path[pathBufferSize], 'Z');

    std::memset(path, 'Z', sizeof path);
    const std::string tooLong(pathBufferSize - 7, 'd');
    EXPECT_FALSE(defaultsPath(tooLong.c_str(), path));
    EXPECT_EQ(path[0], 'Z');
    EXPECT_FALSE(defaultsPath(nullptr, path));
}

TEST(DefaultsPath, AppendsToTheFolderTextAsGiven) {
    char path[pathBufferSize];
    ASSERT_TRUE(defaultsPath("/usr/share/zpk/", path));
    EXPECT_STREQ(path, "/usr/share/zpk/def.zpk");
    ASSERT_TRUE(defaultsPath("", path));
    EXPECT_STREQ(path, "def.zpk");
}

class CycleDispatch : public ::testing::Test {
  protected:
    void SetUp() override {
        stub::reset();
        zpkdouble::reset();
    }
};

TEST_F(CycleDispatch, EveryStepCallsTheProcedureItNames) {
    testcode fixture;
    for (const CycleStep& step : cycleSteps) {
        stub::reset();
        (fixture.*step.procedure)();
        const auto called = stub::calledProcedures();
        ASSERT_EQ(called.size(), 1u) << step.procedureName;
        EXPECT_EQ(called[0], step.procedureName);
    }
}

namespace batteryreportTests {

using batteryreport::countEntries;
using batteryreport::runStep;
using batteryreport::splitEntries;

const CycleStep& stepNamed(const char* name) {
    for (const CycleStep& step : cycleSteps)
        if (std::strcmp(step.procedureName, name) == 0) return step;
    throw std::runtime_error(name);
}

TEST(BatteryReportEntries, CountsAndSplitsRecordedEntries) {
    const std::string text = "\r\ncycle 1 Error testing Mix \r\ncycle 1 error checking UM ";
    EXPECT_EQ(countEntries(text), 2);
    EXPECT_EQ(splitEntries(text), (std::vector<std::string>{"cycle 1 Error testing Mix", "cycle 1 error checking UM"}));
    EXPECT_EQ(countEntries(""), 0);
    EXPECT_TRUE(splitEntries("").empty());
}

TEST(BatteryReportEntries, StepLineHasTheFixedForm) {
    batteryreport::StepResult r;
    r.entries = 3;
    r.ms = 120;
    EXPECT_EQ(batteryreport::stepLine(7, cycleSteps[6], r), "step 7 testHydrates entries=3 ms=120");
    // Step 13 names the procedure it reuses.
    EXPECT_EQ(batteryreport::stepLine(13, cycleSteps[12], r), "step 13 testFluidProperties1 entries=3 ms=120");
}

class BatteryReportRun : public CycleDispatch {};

TEST_F(BatteryReportRun, SingleThreadRunsOnBaseZeroWithAFreshText) {
    stub::reportBase = true;
    stub::hydrateEntries = 3;
    auto archives = runStep(stepNamed("testArchives"), 1);
    EXPECT_EQ(archives.entries, 1);
    ASSERT_EQ(archives.errorTexts.size(), 1u);
    EXPECT_EQ(archives.errorTexts[0], "\r\ncycle 1 base=0 ");
    // Each step starts from an empty error text.
    auto hydrates = runStep(stepNamed("testHydrates"), 1);
    EXPECT_EQ(hydrates.entries, 3);
    EXPECT_EQ(zpkdouble::count("getASNr"), 0u);
    EXPECT_EQ(zpkdouble::count("defErrMsg"), 2u);
    EXPECT_EQ(zpkdouble::count("CompCID"), 80u);
}

TEST_F(BatteryReportRun, ThreadsEachRunTheStepOnTheirOwnBase) {
    std::atomic<int> next{0};
    zpkdouble::setHandler("getASNr",
                          zpkdouble::NumHandler([&](const std::vector<double>&) { return 100.0 * ++next; }));
    stub::reportBase = true;
    auto result = runStep(stepNamed("testArchives"), 5);
    EXPECT_EQ(result.entries, 5);
    ASSERT_EQ(result.errorTexts.size(), 5u);
    std::set<std::string> bases;
    for (const std::string& text : result.errorTexts) bases.insert(text);
    EXPECT_EQ(bases, (std::set<std::string>{"\r\ncycle 1 base=100 ", "\r\ncycle 1 base=200 ", "\r\ncycle 1 base=300 ",
                                            "\r\ncycle 1 base=400 ", "\r\ncycle 1 base=500 "}));
    EXPECT_EQ(stub::calledProcedures().size(), 5u);
}

TEST_F(BatteryReportRun, EntriesAreSummedOverThreadsAndCappedPerText) {
    stub::hydrateEntries = 2;
    EXPECT_EQ(runStep(stepNamed("testHydrates"), 4).entries, 8);
    stub::fillErrorText = true;
    // 40-character entries stop once the text reaches 9900 characters: 248.
    auto full = runStep(stepNamed("testRegression"), 1);
    EXPECT_EQ(full.entries, 248);
    EXPECT_EQ(full.errorTexts[0].size(), 9920u);
}

} // namespace batteryreportTests

} // namespace
