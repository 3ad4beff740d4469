// Steady-state distillation column of equilibrium stages (stage 1 at the
// bottom, stage N at the top): feeds, a bottom liquid and a top vapour
// product, optional liquid or vapour side draws, an optional reboiler on
// stage 1 and partial condenser on stage N, each fixed by a specification.
// The MESH equations of all stages are solved together by Newton's method
// (Naphtali-Sandholm form: stage temperatures and component flows).  See
// docs/column.md.
#pragma once

#include <memory>
#include <vector>

#include "equilibrium/engine.h"
#include "operations/units.h"
#include "streams/store.h"

namespace zpk::operations {

struct ColumnFeed {
    streams::StreamDef def;
    std::shared_ptr<const EquilibriumCache> state; // at its operating point
    int stage = 1;                                 // 1 .. N
};

// A side draw: a fixed molar flow, given as a fraction of the total molar
// feed, of the vapour (kind 0) or liquid (kind 1) leaving a stage.
struct ColumnDraw {
    int stage = 1;
    int kind = 1;
    double amount = 0;
};

// Where a specification applies.
enum ColumnPlace : int { kCondenser = 1, kReboiler = 2, kBottomProduct = 3, kTopProduct = 4 };
// What it fixes.
enum ColumnQuantity : int {
    kFlowRatio = 1,    // reflux ratio L/D, boil-up ratio V/B, or product over the other product
    kFeedFraction = 2, // product molar flow over the total molar feed
    kInternalRatio =
        3, // reflux over the vapour entering the condenser, boil-up over the liquid entering the reboiler
    kTemperature = 4,  // temperature of the top or bottom stage (K)
    kMoleFraction = 5, // mole fraction of a component in the product
    kDuty = 6,         // heat removed in the condenser or added in the reboiler (kJ/s)
    kRecovery = 7,     // share of a component's feed flow leaving in the product
};

struct ColumnSpec {
    int place = kCondenser;
    int quantity = kFlowRatio;
    int component = 0; // 1-based position in the column's component list (fraction and recovery)
    double value = 0;  // base units
};

// Converged stage profile, reusable as the start of a later calculation.
struct ColumnProfile {
    std::vector<int> codes; // component codes of the column
    int stages = 0;
    std::vector<double> x; // per stage: T, then liquid and vapour component flows (kmol/s)
};

struct ColumnInput {
    int stages = 0;
    std::vector<double> pressure;   // Pa, stage 1 .. N
    std::vector<double> heat;       // kJ/s added on each stage besides reboiler and condenser
    std::vector<double> efficiency; // Murphree vapour efficiency of each stage (0, 1]
    std::vector<double> guessT;     // K per stage, 0: none
    std::vector<ColumnFeed> feeds;
    std::vector<ColumnDraw> draws;
    std::vector<ColumnSpec> specs;        // 0, 1 or 2
    const ColumnProfile* start = nullptr; // previous solution to start from, or null
};

struct ColumnResult {
    streams::StreamDef def; // the column's components (first feed's, then those only later feeds have)
    StreamResult top, bottom;
    std::vector<StreamResult> draws;
    double reboilerDuty = 0, condenserDuty = 0; // kJ/s added, removed
    std::vector<double> topFlows, bottomFlows;  // component molar flows, kmol/s
    std::vector<double> T;                      // stage temperatures, K
    ColumnProfile profile;
    int iterations = 0;
};

// Solves the column; throws zpk::Error (kBadArgument for inconsistent input,
// kCalculation when Newton's method does not converge).
ColumnResult solveColumn(const ColumnInput& in);

} // namespace zpk::operations
