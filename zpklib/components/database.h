// The pure-component database: constants of every component the library
// knows, loaded once from data/components.tsv and read-only afterwards (so it
// is safe to read from any thread without locking).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zpk::components {

// Ideal-gas isobaric heat capacity; form and units documented in docs/components.md.
struct IdealGasCp {
    int form = 0;                 // 0: none available
    std::vector<double> coeffs;   // meaning depends on form
    double tmin = 0, tmax = 0;    // validity range of the fit, K
};

// One component.  Missing values are NaN (never silently invented).
struct Component {
    int index = 0;                // 1-based library index (the component code)
    std::int64_t cas = 0;         // CAS number without hyphens, e.g. 74828
    std::string name;             // upper case, e.g. "METHANE", "WATER"
    std::string name1, name2;     // alternative names (may be empty)
    std::string formula;
    double mw;                    // kg/kmol
    double tc, pc, vc, omega;     // K, Pa, m3/kmol, -
    double tb, tm;                // normal boiling and melting points, K
    double hf, gf, sf;            // ideal gas at 298.15 K, 101325 Pa: kJ/kmol, kJ/kmol, kJ/(kmol K)
    double dipole;                // debye
    double rg;                    // radius of gyration, m
    double zra;                   // Rackett compressibility
    IdealGasCp cp;
};

// Number of components (the largest valid index).
int count();
// Component with 1-based index, or nullptr when out of range.
const Component* byIndex(int index);
// Index of the component with this CAS number, or 0 when unknown.
int indexOfCas(std::int64_t cas);
// Ideal-gas molar heat capacity and its integrals (kJ/(kmol K), kJ/kmol):
// cp(T), H(T) - H(T0), S(T) - S(T0) at constant pressure.  NaN when unavailable.
double idealCp(const Component& c, double T);
double idealDeltaH(const Component& c, double T0, double T);
double idealDeltaS(const Component& c, double T0, double T);

}  // namespace zpk::components
