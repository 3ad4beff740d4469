// Public critical constants (Tc K, Pc Pa, acentric factor, molar mass kg/kmol)
// used by the engine tests; values as tabulated in Poling, Prausnitz and
// O'Connell, "The Properties of Gases and Liquids", 5th ed., Appendix A.
#pragma once

#include "models/phase_model.h"

namespace zpk::testdata {

inline models::PureConstants methane() { return {190.56, 4.599e6, 0.011, 16.043, 0.2892}; }
inline models::PureConstants ethane() { return {305.32, 4.872e6, 0.099, 30.070, 0.2808}; }
inline models::PureConstants propane() { return {369.83, 4.248e6, 0.152, 44.097, 0.2766}; }
inline models::PureConstants nbutane() { return {425.12, 3.796e6, 0.200, 58.123, 0.2730}; }
inline models::PureConstants nhexane() { return {507.6, 3.025e6, 0.301, 86.177, 0.2635}; }
inline models::PureConstants nitrogen() { return {126.2, 3.398e6, 0.037, 28.014, 0.2900}; }
inline models::PureConstants co2() { return {304.12, 7.374e6, 0.225, 44.010, 0.2722}; }
inline models::PureConstants h2s() { return {373.53, 8.963e6, 0.094, 34.082, 0.2855}; }
inline models::PureConstants water() { return {647.14, 22.064e6, 0.344, 18.015, 0.2338}; }

}  // namespace zpk::testdata
