// Runs the battery step by step and measures each step: the error entries it
// records and its wall time.  Used by the battery-report tool.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cycle.h"

namespace batteryreport {

struct StepResult {
    int entries = 0;            // entries recorded, summed over the threads
    std::int64_t ms = 0;        // wall time of the step
    std::vector<std::string> errorTexts; // one error text per thread, in thread order
};

// Runs one step on fresh fixtures with fresh error texts: on the calling
// thread with stream base 0 when threads is 1, else concurrently in
// `threads` new threads, each with its own getASNr() base.  The time covers
// only the procedure calls (fixtures are built before the clock starts).
StepResult runStep(const CycleStep& step, int threads);

// Number of entries in an error text (each starts with "\r\ncycle ").
int countEntries(const std::string& errorText);

// The entries of an error text without their leading line end and trailing blank.
std::vector<std::string> splitEntries(const std::string& errorText);

// "step 7 testHydrates entries=3 ms=120" (number counted from 1).
std::string stepLine(int number, const CycleStep& step, const StepResult& result);

} // namespace batteryreport
