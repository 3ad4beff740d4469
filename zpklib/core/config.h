// Fixed sizes and version of the library, reported by CFGInt/CFGReal.
#pragma once

namespace zpk::config {

inline constexpr int kVersionMajor = 0;
inline constexpr int kVersionMinor = 1;
inline constexpr int kVersionPatch = 0;
// Largest number of phases one flash reports (getFPNr).
inline constexpr int kMaxPhases = 6;
// Molar gas constant, kJ/(kmol K) (CODATA 2018, exact).
inline constexpr double kGasConstant = 8.314462618;
// Reference state of formation properties.
inline constexpr double kReferenceTemperature = 298.15;  // K
inline constexpr double kReferencePressure = 101325.0;   // Pa

}  // namespace zpk::config
