#include "units/units.h"

#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <span>

#include "core/error.h"

namespace zpk::units {

namespace {

using core::fail;

// Exact definitions of the non-SI units, each defined once here.
constexpr double kInch = 0.0254;                   // m
constexpr double kFoot = 0.3048;                   // m
constexpr double kPound = 0.45359237;              // kg
constexpr double kPoundForce = 4.4482216152605;    // N (lb x standard gravity 9.80665)
constexpr double kPsi = kPoundForce / (kInch * kInch);  // Pa (6894.757293168...)
constexpr double kAtm = 101325.0;                  // Pa
constexpr double kMmHg = 133.322387415;            // Pa (conventional millimetre of mercury)
constexpr double kTorr = kAtm / 760.0;             // Pa
constexpr double kKgfPerCm2 = 98066.5;             // Pa
constexpr double kBtu = 1.05505585262;             // kJ (International Table Btu)
constexpr double kCal = 4.1868e-3;                 // kJ (International Table calorie)
constexpr double kRankine = 1.0 / 1.8;             // K per degree F or R
constexpr double kHour = 3600.0;                   // s
constexpr double kDay = 86400.0;                   // s
constexpr double kUsGallon = 3.785411784e-3;       // m3
constexpr double kBarrel = 42 * kUsGallon;         // m3 (oil barrel)
constexpr double kFoot3 = kFoot * kFoot * kFoot;   // m3
constexpr double kDebyeInCm = 3.33564095198152e-30;  // C m per debye
constexpr double kHorsepower = 0.74569987158227022;  // kW (mechanical horsepower)
constexpr double kMile = 1609.344;                 // m
constexpr double kZeroCelsius = 273.15;            // K

constexpr UnitDef kTemperature[] = {
    {"K", 1, 0},
    {"C", 1, kZeroCelsius},
    {"R", kRankine, 0},
    {"mK", 1e-3, 0},
    {"uK", 1e-6, 0},
    {"nK", 1e-9, 0},
    {"kK", 1e3, 0},
    {"Re", 1.25, kZeroCelsius},                             // Reaumur
    {"Ro", 40.0 / 21.0, kZeroCelsius - 7.5 * 40.0 / 21.0},  // Roemer
    {"De", -2.0 / 3.0, kZeroCelsius + 100.0},               // Delisle
    {"N", 100.0 / 33.0, kZeroCelsius},                      // Newton
    {"mC", 1e-3, kZeroCelsius},
    {"F", kRankine, 459.67 * kRankine},
};
constexpr UnitDef kTemperatureDifference[] = {{"K", 1, 0}, {"C", 1, 0}, {"R", kRankine, 0}, {"F", kRankine, 0}};
constexpr UnitDef kPressure[] = {
    {"Pa", 1, 0},       {"kPa", 1e3, 0},    {"bar", 1e5, 0},        {"psia", kPsi, 0},
    {"MPa", 1e6, 0},    {"atm", kAtm, 0},   {"mbar", 100, 0},       {"mmHg", kMmHg, 0},
    {"torr", kTorr, 0}, {"inHg", kMmHg * 25.4, 0}, {"kgf/cm2", kKgfPerCm2, 0}, {"barg", 1e5, kAtm},
    {"psig", kPsi, kAtm}, {"hPa", 100, 0}, {"GPa", 1e9, 0},
};
constexpr UnitDef kPressureDifference[] = {
    {"Pa", 1, 0},   {"kPa", 1e3, 0},  {"bar", 1e5, 0},  {"psi", kPsi, 0},
    {"MPa", 1e6, 0}, {"atm", kAtm, 0}, {"mbar", 100, 0}, {"mmHg", kMmHg, 0},
};
constexpr UnitDef kMolarEnthalpy[] = {
    {"kJ/kmol", 1, 0}, {"J/mol", 1, 0}, {"kJ/mol", 1e3, 0}, {"kcal/kmol", kCal * 1e3, 0},
    {"Btu/lbmol", kBtu / kPound, 0}, {"MJ/kmol", 1e3, 0},
};
constexpr UnitDef kMolarEntropy[] = {
    {"kJ/(kmol K)", 1, 0}, {"J/(mol K)", 1, 0}, {"kcal/(kmol K)", kCal * 1e3, 0},
    {"Btu/(lbmol F)", kBtu / kPound / kRankine, 0},
};
constexpr UnitDef kEnthalpyFlow[] = {
    {"kJ/s", 1, 0},           {"W", 1e-3, 0},          {"MW", 1e3, 0},
    {"kJ/h", 1 / kHour, 0},   {"Btu/h", kBtu / kHour, 0}, {"MJ/h", 1e3 / kHour, 0},
    {"kcal/h", kCal * 1e3 / kHour, 0}, {"MMBtu/h", kBtu * 1e6 / kHour, 0}, {"GJ/h", 1e6 / kHour, 0},
    {"kW", 1, 0},
};
constexpr UnitDef kEntropyFlow[] = {
    {"kW/K", 1, 0},
    {"W/K", 1e-3, 0},
    {"kJ/(h K)", 1 / kHour, 0},
    {"Btu/(h F)", kBtu / kHour / kRankine, 0},
    {"MJ/(h K)", 1e3 / kHour, 0},
    {"kcal/(h K)", kCal * 1e3 / kHour, 0},
};
constexpr UnitDef kViscosity[] = {
    {"Pa s", 1, 0}, {"mPa s", 1e-3, 0}, {"cP", 1e-3, 0}, {"P", 0.1, 0}, {"uPa s", 1e-6, 0},
    {"lb/(ft s)", kPound / kFoot, 0}, {"lb/(ft h)", kPound / kFoot / kHour, 0}, {"kg/(m h)", 1 / kHour, 0},
};
constexpr UnitDef kKinematicViscosity[] = {
    {"m2/s", 1, 0}, {"cSt", 1e-6, 0}, {"St", 1e-4, 0}, {"ft2/s", kFoot * kFoot, 0}, {"mm2/s", 1e-6, 0},
};
constexpr UnitDef kMassFlow[] = {
    {"kg/s", 1, 0},         {"kg/h", 1 / kHour, 0},      {"t/h", 1e3 / kHour, 0},
    {"g/s", 1e-3, 0},       {"kg/min", 1 / 60.0, 0},     {"lb/s", kPound, 0},
    {"lb/h", kPound / kHour, 0}, {"t/d", 1e3 / kDay, 0}, {"lb/min", kPound / 60.0, 0},
    {"kg/d", 1 / kDay, 0},
};
constexpr UnitDef kMolarFlow[] = {
    {"kmol/s", 1, 0},   {"kmol/h", 1 / kHour, 0}, {"mol/s", 1e-3, 0},
    {"lbmol/h", kPound / kHour, 0}, {"lbmol/s", kPound, 0}, {"kmol/d", 1 / kDay, 0},
};
constexpr UnitDef kVolumeFlow[] = {
    {"m3/s", 1, 0},          {"m3/h", 1 / kHour, 0},       {"L/s", 1e-3, 0},
    {"L/min", 1e-3 / 60, 0}, {"ft3/s", kFoot3, 0},         {"ft3/h", kFoot3 / kHour, 0},
    {"gal/min", kUsGallon / 60, 0}, {"bbl/d", kBarrel / kDay, 0}, {"m3/d", 1 / kDay, 0},
};
constexpr UnitDef kThermalConductivity[] = {
    {"W/(m K)", 1, 0},
    {"Btu/(h ft F)", kBtu * 1e3 / kHour / kFoot / kRankine, 0},
    {"mW/(m K)", 1e-3, 0},
    {"kcal/(h m K)", kCal * 1e6 / kHour, 0},
    {"kW/(m K)", 1e3, 0},
};
constexpr UnitDef kMolarVolume[] = {
    {"m3/kmol", 1, 0}, {"L/mol", 1, 0}, {"cm3/mol", 1e-3, 0}, {"ft3/lbmol", kFoot3 / kPound, 0},
};
constexpr UnitDef kDensity[] = {
    {"kg/m3", 1, 0}, {"lb/ft3", kPound / kFoot3, 0}, {"g/cm3", 1e3, 0},
    {"g/L", 1, 0},   {"lb/gal", kPound / kUsGallon, 0}, {"kg/L", 1e3, 0},
};
constexpr UnitDef kMolarDensity[] = {
    {"kmol/m3", 1, 0}, {"mol/L", 1, 0}, {"mol/m3", 1e-3, 0}, {"lbmol/ft3", kPound / kFoot3, 0},
};
constexpr UnitDef kSurfaceTension[] = {
    {"N/m", 1, 0}, {"dyn/cm", 1e-3, 0}, {"mN/m", 1e-3, 0}, {"lbf/ft", kPoundForce / kFoot, 0},
};
constexpr UnitDef kSpecificHeat[] = {
    {"kJ/(kg K)", 1, 0}, {"Btu/(lb F)", kBtu / kPound / kRankine, 0}, {"J/(kg K)", 1e-3, 0},
    {"kcal/(kg K)", kCal * 1e3, 0}, {"J/(g K)", 1, 0},
};
constexpr UnitDef kSpecificEnthalpy[] = {
    {"kJ/kg", 1, 0}, {"Btu/lb", kBtu / kPound, 0}, {"J/kg", 1e-3, 0},
    {"kcal/kg", kCal * 1e3, 0}, {"J/g", 1, 0}, {"MJ/kg", 1e3, 0},
};
constexpr UnitDef kSpeed[] = {
    {"m/s", 1, 0}, {"ft/s", kFoot, 0}, {"km/h", 1 / 3.6, 0}, {"mph", kMile / kHour, 0},
};
constexpr UnitDef kSpecificEntropy[] = {
    {"kJ/(kg K)", 1, 0}, {"Btu/(lb F)", kBtu / kPound / kRankine, 0}, {"J/(kg K)", 1e-3, 0},
    {"kcal/(kg K)", kCal * 1e3, 0},
};
constexpr UnitDef kCompressibility[] = {
    {"1/Pa", 1, 0}, {"1/kPa", 1e-3, 0}, {"1/bar", 1e-5, 0}, {"1/MPa", 1e-6, 0}, {"1/psi", 1 / kPsi, 0},
};
constexpr UnitDef kExpansivity[] = {{"1/K", 1, 0}, {"1/F", 1 / kRankine, 0}};
constexpr UnitDef kJouleThomson[] = {
    {"K/Pa", 1, 0}, {"K/kPa", 1e-3, 0}, {"K/bar", 1e-5, 0}, {"K/MPa", 1e-6, 0}, {"F/psi", kRankine / kPsi, 0},
};
constexpr UnitDef kMolarMass[] = {{"kg/kmol", 1, 0}, {"g/mol", 1, 0}, {"lb/lbmol", 1, 0}};
constexpr UnitDef kPower[] = {
    {"kW", 1, 0}, {"W", 1e-3, 0}, {"MW", 1e3, 0}, {"hp", kHorsepower, 0},
    {"Btu/h", kBtu / kHour, 0}, {"kcal/h", kCal * 1e3 / kHour, 0},
};
constexpr UnitDef kSpecificVolume[] = {
    {"m3/kg", 1, 0}, {"L/kg", 1e-3, 0}, {"cm3/g", 1e-3, 0}, {"ft3/lb", kFoot3 / kPound, 0},
};
constexpr UnitDef kLength[] = {
    {"m", 1, 0}, {"mm", 1e-3, 0}, {"cm", 1e-2, 0}, {"km", 1e3, 0}, {"in", kInch, 0}, {"ft", kFoot, 0},
    {"mi", kMile, 0},
};
constexpr UnitDef kArea[] = {
    {"m2", 1, 0}, {"cm2", 1e-4, 0}, {"mm2", 1e-6, 0}, {"in2", kInch * kInch, 0}, {"ft2", kFoot * kFoot, 0},
};
constexpr UnitDef kVelocity[] = {
    {"m/s", 1, 0}, {"ft/s", kFoot, 0}, {"km/h", 1 / 3.6, 0}, {"mph", kMile / kHour, 0},
};
constexpr UnitDef kMassFlux[] = {
    {"kg/(m2 s)", 1, 0}, {"lb/(ft2 s)", kPound / (kFoot * kFoot), 0},
    {"lb/(ft2 h)", kPound / (kFoot * kFoot) / kHour, 0},
};
constexpr UnitDef kTime[] = {{"s", 1, 0}, {"min", 60, 0}, {"h", kHour, 0}, {"d", kDay, 0}, {"ms", 1e-3, 0}};
constexpr UnitDef kHeatTransfer[] = {
    {"W/(m2 K)", 1, 0},
    {"Btu/(h ft2 F)", kBtu * 1e3 / kHour / (kFoot * kFoot) / kRankine, 0},
    {"kcal/(h m2 K)", kCal * 1e6 / kHour, 0},
    {"kW/(m2 K)", 1e3, 0},
};
constexpr UnitDef kVolume[] = {
    {"m3", 1, 0}, {"L", 1e-3, 0}, {"cm3", 1e-6, 0}, {"ft3", kFoot3, 0}, {"gal", kUsGallon, 0}, {"bbl", kBarrel, 0},
};
constexpr UnitDef kMass[] = {{"kg", 1, 0}, {"g", 1e-3, 0}, {"t", 1e3, 0}, {"lb", kPound, 0}};
constexpr UnitDef kFugacity[] = {
    {"Pa", 1, 0}, {"kPa", 1e3, 0}, {"bar", 1e5, 0}, {"psia", kPsi, 0}, {"MPa", 1e6, 0}, {"atm", kAtm, 0},
};
constexpr UnitDef kDipole[] = {{"D", 1, 0}, {"C m", 1 / kDebyeInCm, 0}};
constexpr UnitDef kFraction[] = {{"-", 1, 0}, {"%", 1e-2, 0}, {"ppm", 1e-6, 0}, {"ppb", 1e-9, 0}};
constexpr UnitDef kEnergy[] = {
    {"kJ", 1, 0}, {"J", 1e-3, 0}, {"MJ", 1e3, 0}, {"kWh", kHour, 0}, {"Btu", kBtu, 0}, {"kcal", kCal * 1e3, 0},
};

constexpr int kCodes = kLastCode - kFirstCode + 1;

// Built-in units per quantity code, in code order 15..54.
constexpr std::span<const UnitDef> kBuiltin[kCodes] = {
    kTemperature,        kTemperatureDifference, kPressure,      kPressureDifference,  kMolarEnthalpy,
    kMolarEntropy,       kEnthalpyFlow,          kEntropyFlow,   kViscosity,           kKinematicViscosity,
    kMassFlow,           kMolarFlow,             kVolumeFlow,    kThermalConductivity, kMolarVolume,
    kDensity,            kMolarDensity,          kSurfaceTension, kSpecificHeat,       kSpecificEnthalpy,
    kSpeed,              kSpecificEntropy,       kCompressibility, kExpansivity,       kJouleThomson,
    kMolarMass,          kPower,                 kSpecificVolume, kLength,             kArea,
    kVelocity,           kMassFlux,              kTime,          kHeatTransfer,        kVolume,
    kMass,               kFugacity,              kDipole,        kFraction,            kEnergy,
};

// Units added at run time.  Factors are atomics so conversions never race
// with UMAU/UMRAU; names are read and written under the mutex.
struct AddedUnits {
    std::atomic<int> count{0};
    std::array<std::atomic<double>, kMaxUserUnits> factor{};
    std::array<std::atomic<double>, kMaxUserUnits> offset{};
    std::array<std::array<char, kMaxUnitName + 1>, kMaxUserUnits> name{};
};

struct Table {
    std::mutex mutex;  // serialises adding/removing units and reading added names
    std::array<AddedUnits, kCodes> added;
    std::array<std::atomic<int>, kCodes> selectedMinusOne{};  // 0 means unit 1
};

Table& table() {
    static Table* t = new Table;  // never destroyed: usable during shutdown
    return *t;
}

int index(int code) {
    if (!validCode(code))
        fail("quantity code " + std::to_string(code) + " is outside " + std::to_string(kFirstCode) + ".." +
             std::to_string(kLastCode));
    return code - kFirstCode;
}

// Factor and offset of a unit; throws on a bad unit number.
void lookup(int code, int unit, double& factor, double& offset) {
    const int i = index(code);
    const auto builtin = kBuiltin[i];
    const int nb = static_cast<int>(builtin.size());
    if (unit >= 1 && unit <= nb) {
        factor = builtin[unit - 1].factor;
        offset = builtin[unit - 1].offset;
        return;
    }
    const AddedUnits& a = table().added[i];
    const int k = unit - nb - 1;
    if (unit < 1 || k >= a.count.load(std::memory_order_acquire))
        fail("unit " + std::to_string(unit) + " of quantity " + std::to_string(code) + " is outside 1.." +
             std::to_string(nb + a.count.load()));
    factor = a.factor[k].load(std::memory_order_relaxed);
    offset = a.offset[k].load(std::memory_order_relaxed);
}

}  // namespace

bool validCode(int code) { return code >= kFirstCode && code <= kLastCode; }

int builtinCount(int code) { return static_cast<int>(kBuiltin[index(code)].size()); }

int unitCount(int code) {
    const int i = index(code);
    return static_cast<int>(kBuiltin[i].size()) + table().added[i].count.load(std::memory_order_acquire);
}

int current(int code) { return table().selectedMinusOne[index(code)].load(std::memory_order_relaxed) + 1; }

void select(int code, int unit) {
    const int i = index(code);
    double f, o;
    lookup(code, unit, f, o);  // validates the unit number
    table().selectedMinusOne[i].store(unit - 1, std::memory_order_relaxed);
}

void selectBase() {
    for (auto& s : table().selectedMinusOne) s.store(0, std::memory_order_relaxed);
}

std::string unitName(int code, int unit) {
    const int i = index(code);
    const auto builtin = kBuiltin[i];
    const int nb = static_cast<int>(builtin.size());
    if (unit >= 1 && unit <= nb) return std::string(builtin[unit - 1].name);
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const AddedUnits& a = t.added[i];
    const int k = unit - nb - 1;
    if (unit < 1 || k >= a.count.load())
        fail("unit " + std::to_string(unit) + " of quantity " + std::to_string(code) + " is outside 1.." +
             std::to_string(nb + a.count.load()));
    return std::string(a.name[k].data());
}

double toBase(int code, int unit, double value) {
    double f, o;
    lookup(code, unit, f, o);
    return value * f + o;
}

double fromBase(int code, int unit, double value) {
    double f, o;
    lookup(code, unit, f, o);
    return (value - o) / f;
}

double fromUser(int code, double userValue) { return toBase(code, current(code), userValue); }
double toUser(int code, double baseValue) { return fromBase(code, current(code), baseValue); }

int addUnit(int code, double factor, double offset, std::string_view name) {
    const int i = index(code);
    if (!std::isfinite(factor) || factor == 0) fail("factor " + std::to_string(factor) + " is not a finite nonzero number");
    if (!std::isfinite(offset)) fail("offset is not a finite number");
    if (name.empty() || name.size() > static_cast<std::size_t>(kMaxUnitName))
        fail("unit name must have 1.." + std::to_string(kMaxUnitName) + " characters");
    Table& t = table();
    std::lock_guard lock(t.mutex);
    AddedUnits& a = t.added[i];
    const int k = a.count.load();
    if (k >= kMaxUserUnits)
        fail("quantity " + std::to_string(code) + " already has " + std::to_string(kMaxUserUnits) + " added units");
    a.factor[k].store(factor, std::memory_order_relaxed);
    a.offset[k].store(offset, std::memory_order_relaxed);
    auto& dst = a.name[k];
    dst.fill('\0');
    std::memcpy(dst.data(), name.data(), name.size());
    a.count.store(k + 1, std::memory_order_release);
    return static_cast<int>(kBuiltin[i].size()) + k + 1;
}

int removeAddedUnits(int code) {
    const int i = index(code);
    Table& t = table();
    std::lock_guard lock(t.mutex);
    const int removed = t.added[i].count.exchange(0);
    const int nb = static_cast<int>(kBuiltin[i].size());
    int expected = t.selectedMinusOne[i].load();
    while (expected >= nb && !t.selectedMinusOne[i].compare_exchange_weak(expected, 0)) {
    }
    return removed;
}

}  // namespace zpk::units
