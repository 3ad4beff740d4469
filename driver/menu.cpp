// Start-up and the operator menu of proptest.
#include <cstdio>
#include <cstring>
#include <iostream>

#include "driver.h"
#include "platform.h"
#include "zpk/zpk.h"
#include "zpk/zpkx.h"

int threadCount = 0;
int cycleCount = 0;
std::thread threadSlots[threadSlotCount];

namespace {

// The main thread writes only while no run is active, so it needs no lock.
void write(const char* text) {
    std::fputs(text, stdout);
    std::fflush(stdout);
}

// Reads one integer with formatted extraction.  False at end of input or
// when the input is not a number (or does not fit an int).
bool readInt(int& value) {
    std::cin >> value;
    return !std::cin.fail();
}

void printAdvice() {
    const unsigned h = std::thread::hardware_concurrency();
    std::printf("based on results from std::thread::hardware_concurrency() module\r\n"
                "your machine could execute up to %u threads simultaneously,\r\n"
                "however, since CPUs can support multiple logical threads per physical core\r\n"
                "we recommend to do not exceed %u concurrent threads\r\n",
                h, h / 2);
    std::fflush(stdout);
}

void runThreads(int count) {
    for (int i = 0; i < count; ++i) threadSlots[i] = std::thread(runThreadCycle, i + 1);
    for (int j = 0; j < count; ++j) threadSlots[j].join();
}

// The runs overwrite the library's stream definitions; reload the defaults.
void reloadDefaults() {
    char path[pathBufferSize];
    if (defaultsPath(getDATAF(), path)) AFOpen(path);
}

// Menu choice 1.  Returns false when no thread count could be read.
bool testRun(int choice) {
    write("Enter Number of (Concurrent) Threads (1-50)  -> ");
    int n = 0;
    if (!readInt(n)) return false;
    threadCount = n;
    cycleCount = choice;
    if (n < 1) {
        threadCount = 1;
        runSingleCycle();
    } else if (n == 1) {
        runSingleCycle();
    } else {
        if (n >= maxThreads) threadCount = maxThreads;
        runThreads(threadCount);
    }
    reloadDefaults();
    return true;
}

} // namespace

bool defaultsPath(const char* folder, char* path) {
    static constexpr char fileName[] = "def.zpk";
    if (folder == nullptr) return false;
    const std::size_t folderLength = std::strlen(folder);
    if (folderLength + sizeof fileName > pathBufferSize) return false;
    std::memcpy(path, folder, folderLength);
    std::memcpy(path + folderLength, fileName, sizeof fileName);
    return true;
}

int proptestMain() {
    // Anything the library writes to standard error is discarded.
    (void)std::freopen(nullDevice(), "w", stderr);
    useBinaryStandardOutput();
    printAdvice();
    for (;;) {
        write("Enter 0 : Exit ; 1 : Test Zelta Properties ; 2 = Test Zelta Editor ->");
        int choice = 0;
        if (!readInt(choice)) return 1;
        if (choice <= 0) return 1;
        if (choice == 1) {
            if (!testRun(choice)) return 1;
        } else if (choice == 2) {
            edSS();
        }
    }
}
