// Fuel properties of a stream: flash point of a liquid, Reid vapour pressure
// and heating value.
//
// Flash point (closed cup, 101325 Pa): the temperature at which the vapour in
// equilibrium with the liquid reaches its lower flammability limit.  With Le
// Chatelier's rule for the flammable vapour and the lower limit of each
// component expressed by its own flash point, the condition reads
//   sum_i f_i(T, x) / f_i,ref = 1,
// f_i the component's fugacity in the liquid (x_i gamma_i Psat_i for an
// activity-coefficient liquid) and f_i,ref the pure liquid's fugacity at the
// component's flash point (Psat_i at T_fp,i for gamma-phi liquids), so that a
// pure component flashes exactly at its tabulated flash point.  Components
// with a lower flammability limit but no flash point (gases) use
// f_i,ref = LFL_i * 101325 Pa.  Components with neither are not flammable and
// act through the activity coefficients only.  The model is that of Liaw et
// al. (2002); data in data/flammability.tsv.
//
// Reid vapour pressure: the pressure at 37.8 C (100 F) at which the stream
// splits into vapour and liquid with a vapour to liquid volume ratio of 4
// (method 1, the air-free form of the Reid test), or the bubble point
// pressure at 37.8 C (method 2, true vapour pressure).
//
// Heating value: enthalpy released per unit mass when the stream burns
// completely with oxygen, reactants and products at the same temperature,
// carbon to CO2, hydrogen to H2O, nitrogen to N2, sulphur to SO2; gross with
// the water formed condensed, net with it as vapour.
#pragma once

#include <cstdint>
#include <vector>

#include "equilibrium/engine.h"

namespace zpk::operations {

// Tabulated flammability data of one component: closed-cup flash point (K)
// and lower and upper flammability limits in air at 25 C and 101325 Pa (mole
// fractions); NaN when unknown.
struct Flammability {
    double flashPoint;
    double lowerLimit;
    double upperLimit;
};

// Data of a component by CAS number (data/flammability.tsv); false when the
// table has no entry for it.  Throws zpk::Error (kFileError) when the data
// file cannot be read.
bool flammability(std::int64_t cas, Flammability& out);

// True for the components that do not burn in air: water, carbon dioxide,
// nitrogen, oxygen, sulphur dioxide and the noble gases.
bool isInert(std::int64_t cas);

// Net heat of combustion (J/mol, positive when heat is released) of one
// component as an ideal gas at T, reactants and products at T, water formed
// as vapour; 0 for an inert component.  Throws zpk::Error (kBadArgument) for
// a component with an element other than C, H, O, N, S or without a
// formation enthalpy.
double netHeatOfCombustion(const components::Component& c, double T);

// Pressure of the flash-point test, Pa.
inline constexpr double kFlashPointPressure = 101325.0;

// Flash point (K) of a liquid of composition x (need not be normalised)
// described by the stream system's liquid model.  Throws zpk::Error:
// kBadArgument when no component of the liquid is flammable, kCalculation
// when no flash point exists between 20 K and 1000 K or the liquid's vapour
// pressure reaches 101325 Pa first (it boils before it flashes).
double flashPoint(const engine::StreamSystem& sys, const std::vector<double>& x);

// Temperature of the Reid vapour pressure, 100 F in K.
inline constexpr double kReidTemperature = 310.9277777777778;
inline constexpr double kReidVolumeRatio = 4.0;

// Reid vapour pressure (Pa) of the stream's feed; method 0 or 1: volume
// ratio 4, method 2: bubble point pressure, both at 37.8 C.  Throws
// zpk::Error (kBadArgument for another method, kCalculation without
// solution).
double reidVapourPressure(const engine::StreamSystem& sys, int method);

struct HeatingValue {
    double gross = 0, net = 0; // J/mol of the stream
    double mw = 0;             // kg/kmol of the stream
};

// Heating value of the ideal gas of the stream's feed at temperature T
// (reactants and products at T).  Water, carbon dioxide, nitrogen, oxygen,
// sulphur dioxide and the noble gases are inert.  Throws zpk::Error
// (kBadArgument) for a component with an element other than C, H, O, N, S
// or without a formation enthalpy.
HeatingValue idealHeatingValue(const engine::StreamSystem& sys, double T);

// Heating value with the fuel in its equilibrium state at (T, P): the ideal
// gas value plus the fuel's enthalpy departure (a liquid fuel releases its
// heat of vaporisation less).
HeatingValue heatingValue(const engine::StreamSystem& sys, double T, double P);

} // namespace zpk::operations
