// Units of measure: quantity codes 15..54, each with a list of units.
//
// Unit 1 of every quantity is the library's base unit, in which all values
// are stored and computed.  A unit converts by
//     base = user * factor + offset
// (offset is nonzero only for affine temperature and gauge pressure units).
// The selected unit per quantity is process-wide (setUMC); reads and writes
// use atomics.  Built-in units are constant data; each quantity can take up
// to kMaxUserUnits added units (UMAU), removed again by UMRAU.
#pragma once

#include <string>
#include <string_view>

namespace zpk::units {

inline constexpr int kFirstCode = 15;
inline constexpr int kLastCode = 54;
inline constexpr int kMaxUserUnits = 8;
inline constexpr int kMaxUnitName = 31;

// Quantity codes.  Documented with their units in docs/units.md.
enum Quantity : int {
    Temperature = 15,           // K
    TemperatureDifference = 16, // K
    Pressure = 17,              // Pa
    PressureDifference = 18,    // Pa
    MolarEnthalpy = 19,         // kJ/kmol
    MolarEntropy = 20,          // kJ/(kmol K), also molar heat capacity
    EnthalpyFlow = 21,          // kJ/s (stream enthalpy, duties)
    EntropyFlow = 22,           // kW/K (stream entropy)
    Viscosity = 23,             // Pa s
    KinematicViscosity = 24,    // m2/s
    MassFlow = 25,              // kg/s
    MolarFlow = 26,             // kmol/s
    VolumeFlow = 27,            // m3/s
    ThermalConductivity = 28,   // W/(m K)
    MolarVolume = 29,           // m3/kmol
    Density = 30,               // kg/m3
    MolarDensity = 31,          // kmol/m3
    SurfaceTension = 32,        // N/m
    SpecificHeatCapacity = 33,  // kJ/(kg K)
    SpecificEnthalpy = 34,      // kJ/kg
    SpeedOfSound = 35,          // m/s
    SpecificEntropy = 36,       // kJ/(kg K)
    Compressibility = 37,       // 1/Pa
    Expansivity = 38,           // 1/K
    JouleThomson = 39,          // K/Pa
    MolarMass = 40,             // kg/kmol
    Power = 41,                 // kW
    SpecificVolume = 42,        // m3/kg
    Length = 43,                // m
    Area = 44,                  // m2
    Velocity = 45,              // m/s
    MassFlux = 46,              // kg/(m2 s)
    Time = 47,                  // s
    HeatTransferCoefficient = 48,  // W/(m2 K)
    Volume = 49,                // m3
    Mass = 50,                  // kg
    Fugacity = 51,              // Pa
    DipoleMoment = 52,          // debye
    Fraction = 53,              // - (mole or mass fraction)
    Energy = 54,                // kJ
};

struct UnitDef {
    std::string_view name;
    double factor;
    double offset;
};

// True for 15..54.
bool validCode(int code);
// Number of units of a quantity (built-in plus added); throws on a bad code.
int unitCount(int code);
// Unit currently selected for a quantity (process-wide).
int current(int code);
// Select a unit; throws zpk::Error on a bad code or unit.
void select(int code, int unit);
// Select unit 1 for every quantity.
void selectBase();
// Name of a unit (copy; safe while units are added or removed).
std::string unitName(int code, int unit);
// Conversion between a unit and the base unit.
double toBase(int code, int unit, double value);
double fromBase(int code, int unit, double value);
// The same for the selected unit: what the API layer uses.
//   fromUser: a value given by the caller -> base unit
//   toUser:   a base-unit value -> the caller's unit
double fromUser(int code, double userValue);
double toUser(int code, double baseValue);
// Add a unit (base = user * factor + offset); returns its number.
int addUnit(int code, double factor, double offset, std::string_view name);
// Remove every added unit of a quantity; a quantity whose selected unit was
// removed falls back to unit 1.  Returns how many were removed.
int removeAddedUnits(int code);
// Number of built-in units of a quantity.
int builtinCount(int code);

}  // namespace zpk::units
