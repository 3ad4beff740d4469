#include "platform.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#else
#include <time.h>
#endif

const char* nullDevice() {
#if defined(_WIN32)
    return "NUL:";
#else
    return "/dev/null";
#endif
}

void useBinaryStandardOutput() {
#if defined(_WIN32)
    std::fflush(stdout);
    (void)_setmode(_fileno(stdout), _O_BINARY);
#endif
}

std::int64_t counterToMilliseconds(std::int64_t counter, std::int64_t frequency) {
    constexpr std::int64_t nanosecondsPerSecond = 1000000000;
    std::int64_t nanoseconds;
    if (frequency == 10000000) {
        // The usual Windows frequency: one tick is 100 ns.
        nanoseconds = counter * 100;
    } else {
        const std::int64_t whole = counter / frequency;
        const std::int64_t part = counter % frequency;
        nanoseconds = whole * nanosecondsPerSecond + part * nanosecondsPerSecond / frequency;
    }
    return nanoseconds / 1000000;
}

std::int64_t nowMilliseconds() {
#if defined(_WIN32)
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return counterToMilliseconds(counter.QuadPart, frequency.QuadPart);
#else
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    constexpr std::int64_t frequency = 1000000000;
    const std::int64_t counter = static_cast<std::int64_t>(now.tv_sec) * frequency + now.tv_nsec;
    return counterToMilliseconds(counter, frequency);
#endif
}
