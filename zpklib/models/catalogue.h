// The catalogue of thermodynamic models: code, name, family and which
// (property, phase) pairs each model serves.  Read-only data, safe from any
// thread.
//
// Properties: 1 fugacity, 2 enthalpy, 3 entropy, 4 volume.
// Phases: 0 vapour, 1 liquid, 2 solid, 3 hydrate.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace zpk::models {

enum class Family : int {
    Ideal = 1,        // model 1: ideal-gas vapour, liquid from vapour pressure and regular solution
    Activity = 2,     // gE models: serve liquid fugacity only
    Cubic = 3,        // cubic equations of state with van der Waals mixing
    CubicGE = 4,      // cubic equations with gE-based mixing rules
    Association = 5,  // CPA
    OtherEOS = 6,     // BWRS, Lee-Kesler-Ploecker
    Reference = 7,    // multiparameter reference equations (IAPWS-95, GERG-2008)
    Solid = 8,        // solid phase models
    Hydrate = 9,      // hydrate phase models
};

inline constexpr int kMaxBinaryParameterNames = 4;

struct ModelInfo {
    int code;
    std::string_view name;
    Family family;
    unsigned serves;  // bit (property - 1) * 4 + phase
    int pureParameters;  // pure-component parameters the model needs
    // Names of the parameters of a binary interaction entry (index 0..);
    // empty names end the list.
    std::array<std::string_view, kMaxBinaryParameterNames> binaryParameters;

    int binaryParameterCount() const;
};

// All models in ascending code order.
std::span<const ModelInfo> all();
// Model with this code, or nullptr.
const ModelInfo* find(int code);
// True when the model exists and serves property (1..4) in phase (0..3).
bool serves(int code, int property, int phase);

}  // namespace zpk::models
