// battery-report: runs the 31 steps of the proptest cycle one at a time and
// prints, per step, the error entries recorded and the wall time:
//   step 7 testHydrates entries=3 ms=120
//   ...
//   total entries=K ms=T
// Options: --threads N (1..50, each step runs concurrently in N threads),
// --entries (print each step's entries, indented, after its line),
// --steps a,b,c (run only these step numbers, e.g. to skip slow ones).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "report.h"

namespace {

int usage() {
    std::fprintf(stderr, "usage: battery-report [--threads N] [--entries] [--steps a,b,c]   (N from 1 to 50)\n");
    return 2;
}

bool parseThreads(const char* text, int& threads) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 1 || value > 50) return false;
    threads = static_cast<int>(value);
    return true;
}

// Comma-separated step numbers, each from 1 to cycleStepCount.
bool parseSteps(const char* text, std::set<int>& steps) {
    while (*text) {
        char* end = nullptr;
        const long value = std::strtol(text, &end, 10);
        if (end == text || value < 1 || value > cycleStepCount) return false;
        steps.insert(static_cast<int>(value));
        if (*end == ',') ++end;
        else if (*end != '\0') return false;
        text = end;
    }
    return !steps.empty();
}

} // namespace

int main(int argc, char** argv) {
    int threads = 1;
    bool printEntries = false;
    std::set<int> only;  // empty: every step
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            if (!parseThreads(argv[++i], threads)) return usage();
        } else if (std::strncmp(argv[i], "--threads=", 10) == 0) {
            if (!parseThreads(argv[i] + 10, threads)) return usage();
        } else if (std::strcmp(argv[i], "--steps") == 0 && i + 1 < argc) {
            if (!parseSteps(argv[++i], only)) return usage();
        } else if (std::strcmp(argv[i], "--entries") == 0) {
            printEntries = true;
        } else {
            return usage();
        }
    }

    const auto start = std::chrono::steady_clock::now();
    long long totalEntries = 0;
    for (int s = 0; s < cycleStepCount; ++s) {
        if (!only.empty() && !only.count(s + 1)) continue;
        const CycleStep& step = cycleSteps[s];
        const batteryreport::StepResult result = batteryreport::runStep(step, threads);
        totalEntries += result.entries;
        std::printf("%s\n", batteryreport::stepLine(s + 1, step, result).c_str());
        if (printEntries) {
            for (std::size_t t = 0; t < result.errorTexts.size(); ++t) {
                for (const std::string& entry : batteryreport::splitEntries(result.errorTexts[t])) {
                    if (threads > 1) {
                        std::printf("    thread %zu: %s\n", t + 1, entry.c_str());
                    } else {
                        std::printf("    %s\n", entry.c_str());
                    }
                }
            }
        }
        std::fflush(stdout);
    }
    const auto totalMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("total entries=%lld ms=%lld\n", totalEntries, static_cast<long long>(totalMs));
    return 0;
}
