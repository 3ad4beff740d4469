// Ideal-gas properties of components and the process-wide enthalpy and
// entropy bases (setHB, setSB).
//
// Base kind 1 (T0, v): every component as ideal gas at T0 and 101325 Pa has
// the specific enthalpy v kJ/kg (entropy v kJ/(kg K)).  Kind 2: formation
// values, every component as ideal gas at 298.15 K and 101325 Pa has its
// enthalpy (entropy) of formation from the elements.  The default is kind 1
// with T0 = 1 K, 5000 kJ/kg and 50 kJ/(kg K).
#pragma once

#include "components/database.h"

namespace zpk::thermo {

struct Base {
    int kind = 1;
    double T0 = 1.0;
    double value = 0.0;
};

Base enthalpyBase();
Base entropyBase();
// Throws zpk::Error for a kind other than 1 or 2 or a bad temperature.
void setEnthalpyBase(int kind, double T0, double value);
void setEntropyBase(int kind, double T0, double value);

// Molar ideal-gas enthalpy (J/mol = kJ/kmol) at T and entropy at (T, P)
// (J/(mol K)) of a pure component on the given base; cp in J/(mol K).
double idealEnthalpy(const components::Component& c, double T, const Base& b);
double idealEntropy(const components::Component& c, double T, double P, const Base& b);
double idealHeatCapacity(const components::Component& c, double T);

// The ideal entropy of a mixture includes -R sum x ln x (see docs/models.md).
inline constexpr bool kEntropyOfMixing = true;

}  // namespace zpk::thermo
