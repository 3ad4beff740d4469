// The engine's benchmark cases, shared by the Google Benchmark program and
// the profiling driver: the battery's sixteen-component natural gas (SRK,
// 245.6 K, 6932575 Pa, two phases) and methane / n-hexane / water with a
// second liquid allowed (SRK with stored k_ij, 155.91 K, 1.3 MPa, three phases).
#pragma once

#include "tests/support/stream_defs.h"
#include "zpk/zpk.h"

namespace zpk::bench {

using testsupport::Feed;

inline const Feed& kGas16 = testsupport::kNaturalGas16;
inline constexpr double kGasT = 245.6, kGasP = 6932575;

inline const Feed kThreePhase = {{74828, 0.9}, {110543, 0.099}, {7732185, 0.001}};
inline constexpr double kThreePhaseT = 155.91, kThreePhaseP = 1300000;

// Definition of a stream of the given components (CAS number, fraction) with
// one model for every property and phase, the putKO options and the loadSB
// level (-1: none).
inline streams::StreamDef makeDef(const Feed& comps, int model, int options, int sb) {
    streams::StreamDef d = testsupport::streamDef(comps, model);
    d.options = options;
    d.bipLoadLevel = sb;
    return d;
}

inline streams::StreamDef gas16Def() {
    return makeDef(kGas16, 30, 0, -1);
}
inline streams::StreamDef threePhaseDef() {
    return makeDef(kThreePhase, 30, 1, 0);
}

// The battery's natural gas of the hydrate round trips (methane 0.932,
// ethane 0.042, propane 0.0161, nitrogen 0.0049, CO2 0.003, water 0.0021),
// or its variant with methanol (water 0.0015, methanol 0.0006), stored k_ij
// (loadSB 3); fluid model CPA-HV (115, solid 151, hydrate 170) or PR-HV (60,
// solid 150, hydrate 171).  Arguments: model (0 CPA-HV, 1 PR-HV), methanol
// (0 or 1).
inline streams::StreamDef hydrateGasDef(int model, bool methanol) {
    const Feed dry = {{74828, 0.932},  {74840, 0.042},    {74986, 0.0161}, {7727379, 0.0049},
                      {124389, 0.003}, {7732185, 0.0021}, {67561, 0.0}};
    const int fluid = model == 0 ? 115 : 60;
    auto d = makeDef(methanol ? testsupport::kHydrateGasWithMethanol : dry, fluid, 0, 3);
    for (auto& row : d.models) {
        row[2] = model == 0 ? 151 : 150;
        row[3] = model == 0 ? 170 : 171;
    }
    return d;
}

// Defines stream s through the C interface (units: K, Pa, kJ/kmol), with a
// mass flow (kg/s) where one is given (the unit operations).
inline void defineStream(int s, const Feed& comps, int model, double massFlow = 0) {
    initS(s);
    if (massFlow > 0) setWm(s, massFlow);
    int pos = 1;
    for (auto [cas, z] : comps) {
        putCC(s, pos, CompCID(static_cast<int>(cas)));
        putZ(s, pos, z);
        ++pos;
    }
    for (int prop = 1; prop <= 4; ++prop)
        for (int ph = 0; ph <= 1; ++ph)
            setMP(s, prop, ph, model);
    setS(s);
}

} // namespace zpk::bench
