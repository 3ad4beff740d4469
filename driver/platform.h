// The few operating-system services proptest needs, for Windows and POSIX:
// the null device, untranslated standard output, and a millisecond clock
// from the high-resolution counter.
#pragma once

#include <cstdint>

// Name of the device that discards everything written to it.
const char* nullDevice();

// Makes standard output pass bytes unchanged.  The program writes its own
// CR LF line ends; the Windows runtime's text mode would turn each "\r\n"
// into "\r\r\n".  Nothing to do on POSIX.
void useBinaryStandardOutput();

// Converts a counter reading c at frequency f (ticks per second) to whole
// milliseconds: nanoseconds are c * 100 when f is 10,000,000, otherwise
// (c / f) * 1e9 + ((c % f) * 1e9) / f, all in integers; milliseconds are
// nanoseconds / 1,000,000.  The split keeps the products inside 64 bits.
std::int64_t counterToMilliseconds(std::int64_t counter, std::int64_t frequency);

// The monotonic clock in whole milliseconds (QueryPerformanceCounter on
// Windows; CLOCK_MONOTONIC on POSIX, read as a nanosecond counter).
std::int64_t nowMilliseconds();
