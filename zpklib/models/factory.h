// The model registry: builds the phase model of a model code for a stream's
// components and interaction entries.  Codes without a builder report
// "not available" (the catalogue still lists them, see catalogue.h).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "components/database.h"
#include "models/phase_model.h"
#include "streams/store.h"

namespace zpk::models {

struct ModelInputs {
    std::vector<PureConstants> pure;
    std::vector<std::int64_t> cas;         // CAS number of each position
    std::vector<const components::Component*> comps;  // database records (may be empty in tests)
    std::vector<streams::BipEntry> bips;   // positions 1-based, as stored
    int bipLoadLevel = -1;                 // loadSB level, -1 none
};

// True when a builder exists for the code.
bool canBuild(int code);
// Builds the model; throws zpk::Error (code kNotImplemented) when no builder exists.
std::shared_ptr<const PhaseModel> buildPhaseModel(int code, const ModelInputs& in);

// Stored k_ij of a pair for the SRK (srk = true) or PR family; false when the
// table has no entry.  The table is read once from data/bip_cubic.tsv.
bool storedKij(std::int64_t casA, std::int64_t casB, bool srk, double& kij);

// Temperature dependence of the cubic interaction entries:
//   k_ij(T) = p0 + p1 (T / T0 - 1) + p2 (T0 / T - 1),  T0 = 298.15 K,
// so that parameter 0 is the value at 298.15 K.
inline constexpr double kKijReferenceT = 298.15;

}  // namespace zpk::models
