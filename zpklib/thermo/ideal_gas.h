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
#include "models/phase_model.h"

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

// Ideal gas of one component of a stream: the database's, or the ideal part
// of a reference formulation (component `index` of `own`), which also brings
// its molar mass.  The bases above apply to either in the same way.
struct IdealGasSource {
    const components::Component* c = nullptr;
    const models::FormulationIdealGas* own = nullptr;
    int index = 0;
    double mw() const;                        // kg/kmol
    double cp(double T) const;                // J/(mol K)
    double deltaH(double T0, double T) const; // J/mol
    double deltaS(double T0, double T) const; // J/(mol K), constant pressure
};
double idealEnthalpy(const IdealGasSource& g, double T, const Base& b);
double idealEntropy(const IdealGasSource& g, double T, double P, const Base& b);

// The ideal entropy of a mixture includes -R sum x ln x (see docs/models.md).
inline constexpr bool kEntropyOfMixing = true;

} // namespace zpk::thermo
