// The catalogue of thermodynamic models: code, name, family and which
// (property, phase) pairs each model serves.  Read-only data, safe from any
// thread.
//
// Properties: 1 fugacity, 2 enthalpy, 3 entropy, 4 volume.
// Phases: 0 vapour, 1 liquid, 2 solid, 3 hydrate.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace zpk::models {

enum class Family : int {
    Ideal = 1,       // model 1: ideal-gas vapour, liquid from vapour pressure and regular solution
    Activity = 2,    // gE models: serve liquid fugacity only
    Cubic = 3,       // cubic equations of state with van der Waals mixing
    CubicGE = 4,     // cubic equations with gE-based mixing rules
    Association = 5, // CPA
    OtherEOS = 6,    // BWRS, Lee-Kesler-Ploecker
    Reference = 7,   // multiparameter reference equations (IAPWS-95, GERG-2008)
    Solid = 8,       // solid phase models
    Hydrate = 9,     // hydrate phase models
};

inline constexpr int kMaxBinaryParameterNames = 4;

// The states a fluid model is meant for (docs/models.md, "Validity
// ranges").  Inside [tMin, tMax] and up to pMax the model's results are its
// own.  Beyond, up to the extrapolation limits [tMinX, tMaxX] and pMaxX,
// results are still returned where extrapolation of the model is customary
// and the call reports a warning (error flag kExtrapolated); further out,
// and wherever the X limits equal the range, calls fail.  Besides,
// T >= tMinReduced * Tpc always, Tpc the feed's pseudo-critical temperature
// (mole-fraction mean of the critical temperatures); and a model whose
// liquid rests on pure-liquid vapour pressures (liquidBelowCritical) has no
// liquid above the highest critical temperature of the components.
struct ValidityRange {
    double tMin, tMax, pMax;    // K, K, Pa
    double tMinX, tMaxX, pMaxX; // extrapolation limits
    double tMinReduced;         // fraction of the pseudo-critical temperature
    bool liquidBelowCritical;
    bool extrapolates() const { return tMinX < tMin || tMaxX > tMax || pMaxX > pMax; }
};

// The stream's side of a range check: its feed's pseudo-critical
// temperature and highest component critical temperature (K).
struct CriticalScale {
    double tPseudo = 0, tcMax = 0;
};

// Outcome of checking one model at (T, P).
enum class RangeVerdict { Inside, Extrapolated, Outside };
struct RangeCheck {
    RangeVerdict verdict = RangeVerdict::Inside;
    std::string message; // why, when not inside: "1e+12 Pa is above the 1e+09 Pa limit of model 30 (SRK VDW)"
};

struct ModelInfo {
    int code;
    std::string_view name;
    Family family;
    unsigned serves;    // bit (property - 1) * 4 + phase
    int pureParameters; // pure-component parameters the model needs
    // Names of the parameters of a binary interaction entry (index 0..);
    // empty names end the list.
    std::array<std::string_view, kMaxBinaryParameterNames> binaryParameters;
    // Fluid phases only; solid and hydrate models carry none (nullptr).
    const ValidityRange* validity;

    int binaryParameterCount() const;
};

// All models in ascending code order.
std::span<const ModelInfo> all();
// Model with this code, or nullptr.
const ModelInfo* find(int code);
// True when the model exists and serves property (1..4) in phase (0..3).
bool serves(int code, int property, int phase);
// The range check of a model at (T, P) (K, Pa) for a vapour or a liquid
// phase (liquid = true) of a stream with the given critical scale.
RangeCheck checkRange(const ModelInfo& m, double T, double P, bool liquid, const CriticalScale& scale);

} // namespace zpk::models
