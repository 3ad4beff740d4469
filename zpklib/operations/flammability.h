// Flammability limits of a stream in air: the lowest and highest fraction of
// the stream in a stream-air mixture that propagates a flame.
//
// The stream is taken whole and entirely as gas (the fuel released and mixed
// with air).  Its combustible components are combined by Le Chatelier's rule
//   1 / L_c = sum_i y_i / L_i,   y_i = z_i / f_c,  f_c = sum of the combustible z_i,
// and the inert components (water, carbon dioxide, nitrogen, oxygen, sulphur
// dioxide, noble gases) count as part of the stream that dilutes the fuel:
// the limit of the whole stream is L = L_c / f_c (the same for the upper
// limit).  Component limits at 25 C come from data/flammability.tsv; at
// another temperature they follow the modified Burgess-Wheeler rule of
// Zabetakis, Lambiris and Scott,
//   L_i(T) = L_i(25 C) - 0.75 (T - 298.15 K) / dHc_i,
//   U_i(T) = U_i(25 C) + 0.75 (T - 298.15 K) / dHc_i,
// limits in percent, dHc_i the net heat of combustion in kcal/mol.  Pressure
// is not applied.  docs/fuel.md gives the sources and the limits of the
// method.
#pragma once

#include <vector>

#include "equilibrium/engine.h"

namespace zpk::operations {

enum class FlammabilityLimit { Lower, Upper };

// Temperature of the tabulated limits, K.
inline constexpr double kLimitTableTemperature = 298.15;

// Le Chatelier's rule: the limit of a mixture of combustibles with fractions
// y (need not be normalised) and limits L: sum y / sum (y_i / L_i).
double leChatelier(const std::vector<double>& y, const std::vector<double>& limits);

// A component's limit (mole fraction) moved from 25 C to T by the modified
// Burgess-Wheeler rule; netHeat in J/mol.
double limitAtTemperature(double limit25, FlammabilityLimit which, double T, double netHeat);

// Lower or upper flammability limit of the stream's feed at temperature T:
// mole fraction of the stream in the stream-air mixture.  An upper limit of
// 1 or more is reported as 1 (flammable up to the undiluted stream).  Throws
// zpk::Error: kBadArgument when the stream has no combustible component or a
// combustible component has no tabulated limit (its name and CAS number in
// the message); kCalculation when the stream cannot burn in air (its lower
// limit reaches 1: too much inert) or the temperature correction leaves no
// flammable range.
double flammabilityLimit(const engine::StreamSystem& sys, FlammabilityLimit which, double T);

} // namespace zpk::operations
