// proptest's driver over the recording zpk double and stand-in procedures.
// Options (the real proptest reads none) set what the stand-ins and the
// double do:
//   --errors N     testHydrates records N entries
//   --fill         testRegression fills the error text
//   --bases        testArchives records the run's stream base
//   --datadir N    getDATAF() returns a folder name of N characters
//   --overlap N    the first procedure waits until N runs have started
// At exit a trailer line reports the library calls the driver made:
//   #probe AFOpen=<n> getASNr=<n> defErrMsg=<n> CompCID=<n> path=<last AFOpen path>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "driver.h"
#include "stub_procedures.h"
#include "zpk_double.h"

namespace {

void trailer() {
    const auto opens = zpkdouble::calls("AFOpen");
    std::printf("#probe AFOpen=%zu getASNr=%zu defErrMsg=%zu CompCID=%zu path=%s\n", opens.size(),
                zpkdouble::count("getASNr"), zpkdouble::count("defErrMsg"), zpkdouble::count("CompCID"),
                opens.empty() ? "" : opens.back().text.at(0).c_str());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    std::string dataFolder = "/probe/data/";
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--errors" && i + 1 < argc) {
            stub::hydrateEntries = std::atoi(argv[++i]);
        } else if (option == "--fill") {
            stub::fillErrorText = true;
        } else if (option == "--bases") {
            stub::reportBase = true;
        } else if (option == "--overlap" && i + 1 < argc) {
            stub::awaitRuns = std::atoi(argv[++i]);
        } else if (option == "--datadir" && i + 1 < argc) {
            const int length = std::atoi(argv[++i]);
            dataFolder = std::string(static_cast<std::size_t>(length - 1), 'd') + "/";
        } else {
            std::fprintf(stdout, "unknown option %s\n", option.c_str());
            return 99;
        }
    }
    zpkdouble::setTextReturn("getDATAF", dataFolder);
    zpkdouble::setReturn("getUMC", 1.0);
    // Distinct stream blocks per calling thread: 1000, 2000, ...
    static std::atomic<int> blocks{0};
    zpkdouble::setHandler("getASNr", zpkdouble::NumHandler([](const std::vector<double>&) {
                              return 1000.0 * ++blocks;
                          }));
    std::atexit(trailer);
    return proptestMain();
}
