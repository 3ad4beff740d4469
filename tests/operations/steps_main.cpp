// operations-steps [--threads N] STEP...: runs the given battery steps (1 to
// 31) one at a time as battery-report does and prints each step line with
// its entries.  Used to follow the unit-operation steps without running the
// whole battery.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "report.h"

int main(int argc, char** argv) {
    int threads = 1;
    int ran = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            threads = std::atoi(argv[++i]);
            if (threads < 1 || threads > 50) return 2;
            continue;
        }
        const int s = std::atoi(argv[i]);
        if (s < 1 || s > cycleStepCount) {
            std::fprintf(stderr, "usage: operations-steps [--threads N] STEP...   (steps 1 to %d)\n",
                         cycleStepCount);
            return 2;
        }
        const batteryreport::StepResult r = batteryreport::runStep(cycleSteps[s - 1], threads);
        std::printf("%s\n", batteryreport::stepLine(s, cycleSteps[s - 1], r).c_str());
        for (std::size_t t = 0; t < r.errorTexts.size(); ++t)
            for (const auto& e : batteryreport::splitEntries(r.errorTexts[t]))
                std::printf("    %s\n", e.c_str());
        std::fflush(stdout);
        ++ran;
    }
    return ran ? 0 : 2;
}
