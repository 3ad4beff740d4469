// Stand-ins for the 31 test procedures, for driver and tool tests: they
// record which procedure ran and, when told to, record failures.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace stub {

// testHydrates records this many entries "stub failure".
extern std::atomic<int> hydrateEntries;
// testRegression records entries until the error text is full.
extern std::atomic<bool> fillErrorText;
// testArchives records "base=<stream base>".
extern std::atomic<bool> reportBase;
// testAnalyticDerivatives waits (up to 20 s) until this many runs have asked
// the library for their stream base, so that the runs of a threaded test run
// overlap as they do with the real, much longer procedures.
extern std::atomic<int> awaitRuns;

// Names of the procedures called so far, in call order (all threads).
std::vector<std::string> calledProcedures();
void reset();

} // namespace stub
