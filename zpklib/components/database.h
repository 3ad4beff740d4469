// The pure-component database: constants of every component the library
// knows, loaded once from data/components.tsv and read-only afterwards (so it
// is safe to read from any thread without locking).
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace zpk::components {

// Ideal-gas isobaric heat capacity; form and units documented in docs/components.md.
struct IdealGasCp {
    int form = 0;               // 0: none available
    std::vector<double> coeffs; // meaning depends on form
    double tmin = 0, tmax = 0;  // validity range of the fit, K
};

// Ideal-gas heat-capacity forms stored in the data file.
enum CpForm : int {
    CpNone = 0,
    CpDippr16 = 1,        // J/(kmol K): A + exp(B/T + C + D T + E T^2)
    CpAlyLee = 2,         // J/(kmol K): DIPPR 107, A + B (C/T / sinh(C/T))^2 + D (E/T / cosh(E/T))^2
    CpPolynomial = 3,     // kJ/(kmol K): sum a_i T^i
    CpPlanckEinstein = 4, // kJ/(kmol K): R [c0 + sum n_k u^2 e^u / (e^u -+ 1)^2], u = |theta_k| / T
    CpTRC = 5             // kJ/(kmol K): R [a0 + a1/T^2 exp(-a2/T) + a3 y^2 + (a4 - a5/(T-a7)^2) y^8],
                          //   y = (T - a7)/(T + a6) above a7, else 0 (coefficients R, a0..a7)
};

// A temperature correlation of the DIPPR family (equation number and
// coefficients A, B, C, ... as in the source, SI per kmol), with its range.
struct Correlation {
    int eq = 0;                // 0: not available
    std::vector<double> c;     // A, B, C, D, E, F (F holds Tc for equation 106)
    double tmin = 0, tmax = 0; // K
};

// One component.  Missing values are NaN (never silently invented).
struct Component {
    int index = 0;            // 1-based library index (the component code)
    std::int64_t cas = 0;     // CAS number without hyphens, e.g. 74828
    std::string name;         // upper case, e.g. "METHANE", "WATER"
    std::string name1, name2; // alternative names (may be empty)
    std::string formula;
    double mw;                // kg/kmol
    double tc, pc, vc, omega; // K, Pa, m3/kmol, -
    double tb, tm;            // normal boiling and melting points, K
    double hf, gf, sf;        // ideal gas at 298.15 K, standard state: enthalpy and Gibbs energy
                              // of formation, kJ/kmol, and entropy of formation from the
                              // elements, (hf - gf) / 298.15 K, kJ/(kmol K)
    double dipole;            // debye
    double rg;                // radius of gyration, m
    double zra;               // Rackett compressibility
    IdealGasCp cp;
    // Added fields (all optional, NaN / eq 0 when unknown).
    double s0 = 0;            // absolute ideal-gas entropy at 298.15 K, 1 bar, kJ/(kmol K)
    double sol = 0;           // Hildebrand solubility parameter at 298.15 K, (J/m3)^0.5
    double cp0 = 0;           // ideal-gas Cp limit approached below the fit range, kJ/(kmol K)
    Correlation vp;           // vapour pressure, Pa
    Correlation ld;           // saturated liquid density, kmol/m3
    Correlation hv;           // heat of vaporisation, J/kmol
    Correlation lcp;          // liquid heat capacity, J/(kmol K)
    Correlation lvisc, gvisc; // liquid / low-pressure gas viscosity, Pa s
    Correlation lk, gk;       // liquid / low-pressure gas thermal conductivity, W/(m K)
    Correlation st;           // surface tension, N/m
    Correlation sd;           // solid density, kmol/m3
    Correlation scp;          // solid heat capacity, J/(kmol K)
    double hfus = 0;          // heat of fusion at the melting point, kJ/kmol
};

// Number of components (the largest valid index); 0 when the data could not be loaded.
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

// Empty when the database loaded; otherwise why it did not.
const std::string& loadError();
// The file the database was read from (empty when none was found).
const std::string& dataFile();
// Longest name and longest formula in the database (characters).
int maxNameLength();
int maxFormulaLength();

// Value of a correlation at T (SI per kmol as stored); NaN when unavailable
// or not finite.  Temperatures outside the fit range are extrapolated.
double evaluate(const Correlation& k, double T);

// Parses a component table in the data-file format.  Returns false and sets
// `error` (with the line number) on the first malformed line; indices must
// run 1, 2, 3, ... and CAS numbers must be unique.
bool parseTable(std::istream& in, std::vector<Component>& out, std::string& error);
// Reads and parses one data file; false with the reason ("cannot open ...",
// or the parse error prefixed with the path) otherwise.
bool loadFile(const std::string& path, std::vector<Component>& out, std::string& error);

} // namespace zpk::components
