// Window checks of the isothermal flash procedures: a failed check records
// one message made of a fixed prefix followed directly by the check's label.
// Comparisons are strict, so a bound itself and a value that is not a number
// pass.
#pragma once

#include <cstdio>

#include "testcode.h"

namespace suites {

class LabelledChecks {
  public:
    LabelledChecks(testcode& fixture, const char* prefix) : fixture_(fixture), prefix_(prefix) {}

    void fail(const char* label) {
        std::snprintf(fixture_.message, sizeof fixture_.message, "%s%s", prefix_, label);
        fixture_.appendError(fixture_.message);
    }
    // Fails when value < lo or value > hi.
    void window(double value, double lo, double hi, const char* label) {
        if (value < lo || value > hi) fail(label);
    }
    // Fails when value < lo.
    void failBelow(double value, double lo, const char* label) {
        if (value < lo) fail(label);
    }
    // Fails when value > hi.
    void failAbove(double value, double hi, const char* label) {
        if (value > hi) fail(label);
    }

  private:
    testcode& fixture_;
    const char* prefix_;
};

} // namespace suites
