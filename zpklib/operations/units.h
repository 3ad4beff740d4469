// Simple unit operations on streams: adiabatic mixer, divider and phase
// separators.  Each works on copies of the streams and returns the new
// definitions and states that the C API writes back.
#pragma once

#include <memory>

#include "equilibrium/engine.h"
#include "streams/store.h"

namespace zpk::operations {

struct StreamResult {
    streams::StreamDef def;
    std::shared_ptr<const EquilibriumCache> state;
};

struct MixInput {
    streams::StreamDef def;
    std::shared_ptr<const EquilibriumCache> state;  // at its operating point
};

// Adiabatic mixing of two streams at the outlet pressure (the lower inlet
// pressure when outletP <= 0) with an added heat flow duty (kJ/s).  The
// outlet holds the union of the components (first input's order first), the
// first input's models and options and both inputs' interaction entries.
StreamResult mix(const MixInput& a, const MixInput& b, double outletP, double duty);

// The phase `phase` (1-based) of a stream as a stream of its own, at the
// feed's temperature and pressure, with the mass flow that phase carries.
StreamResult phaseProduct(const streams::StreamDef& feed, const EquilibriumCache& st, int phase);
// All phases of one kind (0 vapour, 1 liquid) of a stream together.
StreamResult kindProduct(const streams::StreamDef& feed, const EquilibriumCache& st, int kind);
// An empty product (no flow) of the feed's definition.
StreamResult emptyProduct(const streams::StreamDef& feed, const EquilibriumCache& st);

}  // namespace zpk::operations
