// One test run: fixture, stream base, the cycles with their progress lines,
// the timing and the summary that goes into the shared report.
#include <cstdio>
#include <cstring>
#include <memory>

#include "cycle.h"
#include "driver.h"
#include "platform.h"
#include "testcode.h"
#include "zpk/zpk.h"

char reportText[reportTextSize];
int runningThreads = 0;
std::mutex consoleMutex;

namespace {

// The summary frame is short; the line buffer holds it plus the longest
// error text the fixture can produce.
constexpr std::size_t summaryFrameSize = 256;
constexpr std::size_t lineBufferSize = testcode::errorTextSize + summaryFrameSize;

struct RunBuffers {
    char errorText[testcode::errorTextSize];
    char line[lineBufferSize];
};

// Writes text to standard output and flushes it so that piped output is
// complete even if the program ends abruptly.  Caller holds consoleMutex.
void writeUnlocked(const char* text) {
    std::fwrite(text, 1, std::strlen(text), stdout);
    std::fflush(stdout);
}

void run(int threadNumber, bool threaded) {
    // Large buffers live on the heap: worker threads may have small stacks.
    auto buffers = std::make_unique<RunBuffers>();
    testcode fixture;
    buffers->errorText[0] = '\0';
    fixture.setErrorText(buffers->errorText);

    if (threaded) {
        std::lock_guard lock(consoleMutex);
        // The first run to start while none is running opens a new report.
        if (runningThreads == 0) reportText[0] = '\0';
        ++runningThreads;
    }
    setStreamBase(threaded ? getASNr() : 0);
    if (!threaded) reportText[0] = '\0';
    defErrMsg(0);

    const int cycleLimit = cycleCount;
    const std::int64_t start = nowMilliseconds();
    for (int cycle = 1; cycle <= cycleLimit; ++cycle) {
        fixture.cycle = cycle;
        for (const CycleStep& step : cycleSteps) {
            std::snprintf(buffers->line, lineBufferSize, "Thread=%i Cycle=%i %s", threadNumber, cycle,
                          progressText(step, threaded));
            printLocked(buffers->line);
            (fixture.*step.procedure)();
        }
    }
    const std::int64_t seconds = (nowMilliseconds() - start) / 1000;

    formatSummary(buffers->line, lineBufferSize, threadNumber, cycleLimit < 1 ? 0 : cycleLimit, seconds,
                  buffers->errorText);
    if (threaded) {
        std::lock_guard lock(consoleMutex);
        appendSummary(reportText, reportTextSize, buffers->line);
        // The last run to finish writes the report of all runs.
        if (--runningThreads == 0) writeUnlocked(reportText);
    } else {
        appendSummary(reportText, reportTextSize, buffers->line);
        printLocked(reportText);
    }
}

} // namespace

void runSingleCycle() { run(1, false); }

void runThreadCycle(int threadNumber) { run(threadNumber, true); }

void printLocked(const char* text) {
    std::lock_guard lock(consoleMutex);
    writeUnlocked(text);
}

std::size_t formatSummary(char* buffer, std::size_t size, int threadNumber, int cycles, std::int64_t seconds,
                          const char* errorText) {
    if (size == 0) return 0;
    const int secondsValue = static_cast<int>(seconds);
    int length;
    if (std::strlen(errorText) < 6) {
        length = std::snprintf(buffer, size,
                               "Thread=%i Number of tests=%i\r\ntotal time=%i seconds\r\nNo errors !\r\n",
                               threadNumber, cycles, secondsValue);
    } else {
        length = std::snprintf(buffer, size, "Thread=%i Number of tests=%i\r\ntotal time=%i seconds %s\r\n",
                               threadNumber, cycles, secondsValue, errorText);
    }
    if (length < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return static_cast<std::size_t>(length) < size ? static_cast<std::size_t>(length) : size - 1;
}

bool appendSummary(char* report, std::size_t capacity, const char* summary) {
    const std::size_t used = strnlen(report, capacity);
    const std::size_t length = std::strlen(summary);
    if (used + length >= capacity) return false;
    std::memcpy(report + used, summary, length + 1);
    return true;
}
