#include "models/catalogue.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace zpk::models {

namespace {

// Masks of served (property, phase) pairs; bit (property - 1) * 4 + phase.
constexpr unsigned phaseMask(int phase) {
    unsigned m = 0;
    for (int p = 0; p < 4; ++p)
        m |= 1u << (p * 4 + phase);
    return m;
}
constexpr unsigned kFluid = phaseMask(0) | phaseMask(1);
constexpr unsigned kFluidAndSolid = kFluid | phaseMask(2);
constexpr unsigned kLiquidFugacity = 1u << 1;
constexpr unsigned kSolid = phaseMask(2);
constexpr unsigned kHydrate = phaseMask(3);

using F = Family;
using P = std::array<std::string_view, kMaxBinaryParameterNames>;

constexpr double kInf = std::numeric_limits<double>::infinity();
// Pressure ceiling of the fluid models (docs/models.md): 1 GPa, the highest
// pressure any fluid reference equation was fitted to (IAPWS-95, methane);
// beyond it no data exist to test a model against, most fluids are solid,
// and a cubic's liquid volume tends to its co-volume.
constexpr double kFluidPressureLimit = 1e9;

// The ranges, once per kind of model (see ValidityRange):
//   ideal gas with regular-solution liquid (1) and the activity liquids:
//   vapour pressures of the components give the liquid, so no liquid above
//   the highest Tc; no fluid below 0.2 of the pseudo-critical temperature
//   (the lowest reduced triple points of fluids are about 0.21);
constexpr ValidityRange kPsatLiquid{0, kInf, kFluidPressureLimit, 0, kInf, kFluidPressureLimit, 0.2, true};
//   cubic equations (van der Waals and gE mixing, CPA): T above 0.2 Tpc;
constexpr ValidityRange kCubic{0, kInf, kFluidPressureLimit, 0, kInf, kFluidPressureLimit, 0.2, false};
//   BWRS and Lee-Kesler-Ploecker: their generalised constants and the
//   Lee-Kesler tables start at a reduced temperature of 0.3;
constexpr ValidityRange kCorrespondingStates{0,   kInf, kFluidPressureLimit, 0, kInf, kFluidPressureLimit,
                                             0.3, false};
//   IAPWS-95: 273.16 K (melting line) to 1273 K up to 1000 MPa; the
//   formulation is customarily extrapolated (its authors show reasonable
//   behaviour to 5000 K and 100 GPa; subcooled liquid down to 200 K, where
//   the model stops seeking a vapour);
constexpr ValidityRange kIapws95{273.16, 1273.0, 1e9, 200.0, 5000.0, 1e11, 0, false};
//   GERG-2008: its extended range 60-700 K up to 70 MPa (normal range
//   90-450 K, 35 MPa); extrapolated like the reference equations it is made
//   of up to 2000 K and the fluid pressure limit, above 0.2 Tpc.
constexpr ValidityRange kGerg2008{60.0, 700.0, 7e7, 0, 2000.0, kFluidPressureLimit, 0.2, false};

// Ascending code order (find() relies on it).
constexpr ModelInfo kModels[] = {
    {1, "Regular", F::Ideal, kFluidAndSolid, 3, P{"aij"}, &kPsatLiquid},
    {10, "Wilson", F::Activity, kLiquidFugacity, 1, P{"Aij", "Aji"}, &kPsatLiquid},
    {11, "NRTL", F::Activity, kLiquidFugacity, 1, P{"Aij", "Aji", "alpha"}, &kPsatLiquid},
    {12, "UNIQUAC", F::Activity, kLiquidFugacity, 3, P{"Aij", "Aji"}, &kPsatLiquid},
    {30, "SRK VDW", F::Cubic, kFluid, 3, P{"kij", "kijT"}, &kCubic},
    {31, "SRKX VDW", F::Cubic, kFluid, 4, P{"kij", "kijT"}, &kCubic},
    {50, "PR VDW", F::Cubic, kFluid, 3, P{"kij", "kijT"}, &kCubic},
    {51, "PRX VDW", F::Cubic, kFluid, 4, P{"kij", "kijT"}, &kCubic},
    {55, "PR Wilson WS", F::CubicGE, kFluid, 4, P{"kij", "Aij", "Aji"}, &kCubic},
    {56, "PR UNIQUAC WS", F::CubicGE, kFluid, 6, P{"kij", "Aij", "Aji"}, &kCubic},
    {57, "PR NRTL WS", F::CubicGE, kFluid, 4, P{"kij", "Aij", "Aji", "alpha"}, &kCubic},
    {60, "PR NRTL P-HV", F::CubicGE, kFluid, 4, P{"Aij", "Aji", "alpha"}, &kCubic},
    {61, "PR Wilson P-HV", F::CubicGE, kFluid, 4, P{"Aij", "Aji"}, &kCubic},
    {62, "PR UNIQUAC P-HV", F::CubicGE, kFluid, 6, P{"Aij", "Aji"}, &kCubic},
    {65, "PR Wilson MHV2", F::CubicGE, kFluid, 4, P{"Aij", "Aji"}, &kCubic},
    {66, "PR UNIQUAC MHV2", F::CubicGE, kFluid, 6, P{"Aij", "Aji"}, &kCubic},
    {67, "PR NRTL MHV2", F::CubicGE, kFluid, 4, P{"Aij", "Aji", "alpha"}, &kCubic},
    {70, "PR NRTL P-LCVM", F::CubicGE, kFluid, 4, P{"Aij", "Aji", "alpha"}, &kCubic},
    {71, "PR Wilson P-LCVM", F::CubicGE, kFluid, 4, P{"Aij", "Aji"}, &kCubic},
    {72, "PR UNIQUAC P-LCVM", F::CubicGE, kFluid, 6, P{"Aij", "Aji"}, &kCubic},
    {81, "BWRS", F::OtherEOS, kFluid, 3, P{"kij"}, &kCorrespondingStates},
    {91, "LKP", F::OtherEOS, kFluid, 3, P{"kij"}, &kCorrespondingStates},
    {111, "CPAPR", F::Association, kFluid, 5, P{"kij", "kijT"}, &kCubic},
    {115, "CPAPRNHV", F::Association, kFluid, 5, P{"kij", "Aij", "Aji", "alpha"}, &kCubic},
    {116, "CPAPRNLVM", F::Association, kFluid, 5, P{"kij", "Aij", "Aji", "alpha"}, &kCubic},
    {130, "UNIFAC", F::Activity, kLiquidFugacity, 0, P{}, &kPsatLiquid},
    {150, "SPRNHV", F::Solid, kSolid, 3, P{}, nullptr},
    {151, "SPRCPANHV", F::Solid, kSolid, 5, P{}, nullptr},
    {153, "SSPRNHV", F::Solid, kSolid, 3, P{}, nullptr},
    {170, "HPRCPANHV_M", F::Hydrate, kHydrate, 5, P{}, nullptr},
    {171, "HPRNHV_M", F::Hydrate, kHydrate, 3, P{}, nullptr},
    {300, "IAPWS-95", F::Reference, kFluid, 0, P{}, &kIapws95},
    {315, "GERG-2008", F::Reference, kFluid, 0, P{}, &kGerg2008},
};

} // namespace

int ModelInfo::binaryParameterCount() const {
    int n = 0;
    while (n < kMaxBinaryParameterNames && !binaryParameters[n].empty())
        ++n;
    return n;
}

std::span<const ModelInfo> all() {
    return kModels;
}

const ModelInfo* find(int code) {
    auto it = std::lower_bound(std::begin(kModels), std::end(kModels), code,
                               [](const ModelInfo& m, int c) { return m.code < c; });
    return it != std::end(kModels) && it->code == code ? &*it : nullptr;
}

bool serves(int code, int property, int phase) {
    if (property < 1 || property > 4 || phase < 0 || phase > 3) return false;
    const ModelInfo* m = find(code);
    return m != nullptr && (m->serves >> ((property - 1) * 4 + phase) & 1u) != 0;
}

namespace {

std::string number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

} // namespace

RangeCheck checkRange(const ModelInfo& m, double T, double P, bool liquid, const CriticalScale& scale) {
    RangeCheck r;
    if (m.validity == nullptr) return r;
    const ValidityRange& v = *m.validity;
    const std::string model = "model " + std::to_string(m.code) + " (" + std::string(m.name) + ")";
    auto outside = [&](std::string why) {
        r.verdict = RangeVerdict::Outside;
        r.message = std::move(why);
        return r;
    };
    const double floor = v.tMinReduced * scale.tPseudo;
    if (T < floor)
        return outside(number(T) + " K is below the " + number(floor) + " K limit of " + model + " (" +
                       number(v.tMinReduced) + " of the pseudo-critical temperature " +
                       number(scale.tPseudo) + " K)");
    if (liquid && v.liquidBelowCritical && T > scale.tcMax)
        return outside("a liquid at " + number(T) + " K is above the highest critical temperature " +
                       number(scale.tcMax) + " K of the components; " + model + " has no liquid there");
    if (T < v.tMinX)
        return outside(number(T) + " K is below the " + number(v.tMinX) + " K limit of " + model);
    if (T > v.tMaxX)
        return outside(number(T) + " K is above the " + number(v.tMaxX) + " K limit of " + model);
    if (P > v.pMaxX)
        return outside(number(P) + " Pa is above the " + number(v.pMaxX) + " Pa limit of " + model);
    std::string why;
    if (T < v.tMin)
        why = number(T) + " K is below the " + number(v.tMin) + " K";
    else if (T > v.tMax)
        why = number(T) + " K is above the " + number(v.tMax) + " K";
    else if (P > v.pMax)
        why = number(P) + " Pa is above the " + number(v.pMax) + " Pa";
    if (!why.empty()) {
        r.verdict = RangeVerdict::Extrapolated;
        r.message = why + " limit of the range of " + model + " (result extrapolated)";
    }
    return r;
}

} // namespace zpk::models
