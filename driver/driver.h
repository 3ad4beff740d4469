// proptest: the console menu, the thread runner, the test cycle and the
// shared report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

// Menu and thread runner ---------------------------------------------------

// Thread count of the current or last run after clamping (1..50).
extern int threadCount;
// Cycles per run: set from the menu choice before each run, so always 1.
extern int cycleCount;
// A run with n threads uses slots 0..n-1; the 51st slot is never used.
inline constexpr int threadSlotCount = 51;
inline constexpr int maxThreads = 50;
extern std::thread threadSlots[threadSlotCount];

// Size of the buffer in which the path of "def.zpk" is assembled.
inline constexpr std::size_t pathBufferSize = 512;

// The program: start-up lines, then the menu loop.  Returns the exit status
// (1 when the operator ends the program, and also when standard input ends
// or yields something that is not a number at a prompt).
int proptestMain();

// Writes getDATAF() + "def.zpk" into `path` (pathBufferSize characters) and
// returns true, or returns false and leaves `path` untouched when the folder
// is unknown or the result would not fit.
bool defaultsPath(const char* folder, char* path);

// Test runs and report -----------------------------------------------------

inline constexpr std::size_t reportTextSize = 20000;
extern char reportText[reportTextSize];
// Threaded runs started and not yet finished; guarded by consoleMutex.
extern int runningThreads;
// Serialises all console output of the runs and guards reportText and
// runningThreads.  The library is never called while it is held.
extern std::mutex consoleMutex;

void runSingleCycle();
void runThreadCycle(int threadNumber);

// Writes text to standard output, unchanged, under consoleMutex.
void printLocked(const char* text);

// Formats a run's summary into buffer (size characters): "No errors !" when
// the error text has fewer than 6 characters, the error text otherwise.
// Returns the formatted length (cut to size - 1 if the buffer is short).
std::size_t formatSummary(char* buffer, std::size_t size, int threadNumber, int cycles,
                          std::int64_t seconds, const char* errorText);

// Appends summary to the zero-terminated report of the given capacity when
// both fit together with the terminator; a summary that does not fit is
// dropped whole.  Returns whether it was appended.
bool appendSummary(char* report, std::size_t capacity, const char* summary);
