#include "models/catalogue.h"

#include <algorithm>

namespace zpk::models {

namespace {

// Masks of served (property, phase) pairs; bit (property - 1) * 4 + phase.
constexpr unsigned phaseMask(int phase) {
    unsigned m = 0;
    for (int p = 0; p < 4; ++p) m |= 1u << (p * 4 + phase);
    return m;
}
constexpr unsigned kFluid = phaseMask(0) | phaseMask(1);
constexpr unsigned kFluidAndSolid = kFluid | phaseMask(2);
constexpr unsigned kLiquidFugacity = 1u << 1;
constexpr unsigned kSolid = phaseMask(2);
constexpr unsigned kHydrate = phaseMask(3);

using F = Family;
using P = std::array<std::string_view, kMaxBinaryParameterNames>;

// Ascending code order (find() relies on it).
constexpr ModelInfo kModels[] = {
    {1, "Regular", F::Ideal, kFluidAndSolid, 3, P{"aij"}},
    {10, "Wilson", F::Activity, kLiquidFugacity, 1, P{"Aij", "Aji"}},
    {11, "NRTL", F::Activity, kLiquidFugacity, 1, P{"Aij", "Aji", "alpha"}},
    {12, "UNIQUAC", F::Activity, kLiquidFugacity, 3, P{"Aij", "Aji"}},
    {30, "SRK VDW", F::Cubic, kFluid, 3, P{"kij", "kijT"}},
    {31, "SRKX VDW", F::Cubic, kFluid, 4, P{"kij", "kijT"}},
    {50, "PR VDW", F::Cubic, kFluid, 3, P{"kij", "kijT"}},
    {51, "PRX VDW", F::Cubic, kFluid, 4, P{"kij", "kijT"}},
    {55, "PR Wilson WS", F::CubicGE, kFluid, 4, P{"kij", "Aij", "Aji"}},
    {56, "PR UNIQUAC WS", F::CubicGE, kFluid, 6, P{"kij", "Aij", "Aji"}},
    {57, "PR NRTL WS", F::CubicGE, kFluid, 4, P{"kij", "Aij", "Aji", "alpha"}},
    {60, "PR NRTL P-HV", F::CubicGE, kFluid, 4, P{"Aij", "Aji", "alpha"}},
    {61, "PR Wilson P-HV", F::CubicGE, kFluid, 4, P{"Aij", "Aji"}},
    {62, "PR UNIQUAC P-HV", F::CubicGE, kFluid, 6, P{"Aij", "Aji"}},
    {65, "PR Wilson MHV2", F::CubicGE, kFluid, 4, P{"Aij", "Aji"}},
    {66, "PR UNIQUAC MHV2", F::CubicGE, kFluid, 6, P{"Aij", "Aji"}},
    {67, "PR NRTL MHV2", F::CubicGE, kFluid, 4, P{"Aij", "Aji", "alpha"}},
    {70, "PR NRTL P-LCVM", F::CubicGE, kFluid, 4, P{"Aij", "Aji", "alpha"}},
    {71, "PR Wilson P-LCVM", F::CubicGE, kFluid, 4, P{"Aij", "Aji"}},
    {72, "PR UNIQUAC P-LCVM", F::CubicGE, kFluid, 6, P{"Aij", "Aji"}},
    {81, "BWRS", F::OtherEOS, kFluid, 3, P{"kij"}},
    {91, "LKP", F::OtherEOS, kFluid, 3, P{"kij"}},
    {111, "CPAPR", F::Association, kFluid, 5, P{"kij", "kijT"}},
    {115, "CPAPRNHV", F::Association, kFluid, 5, P{"kij", "Aij", "Aji", "alpha"}},
    {116, "CPAPRNLVM", F::Association, kFluid, 5, P{"kij", "Aij", "Aji", "alpha"}},
    {130, "UNIFAC", F::Activity, kLiquidFugacity, 0, P{}},
    {150, "SPRNHV", F::Solid, kSolid, 3, P{}},
    {151, "SPRCPANHV", F::Solid, kSolid, 5, P{}},
    {153, "SSPRNHV", F::Solid, kSolid, 3, P{}},
    {170, "HPRCPANHV_M", F::Hydrate, kHydrate, 5, P{}},
    {171, "HPRNHV_M", F::Hydrate, kHydrate, 3, P{}},
    {300, "IAPWS-95", F::Reference, kFluid, 0, P{}},
    {315, "GERG-2008", F::Reference, kFluid, 0, P{}},
};

}  // namespace

int ModelInfo::binaryParameterCount() const {
    int n = 0;
    while (n < kMaxBinaryParameterNames && !binaryParameters[n].empty()) ++n;
    return n;
}

std::span<const ModelInfo> all() { return kModels; }

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

}  // namespace zpk::models
