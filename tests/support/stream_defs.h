// Stream definitions for white-box tests and benchmarks of the engine (no C
// interface involved): components by CAS number and mole fraction, one model
// code for every property and phase; callers change single models, options
// or the k_ij level on the result.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>
#include <vector>

#include "components/database.h"
#include "streams/store.h"

namespace testsupport {

using Feed = std::vector<std::pair<std::int64_t, double>>; // CAS without hyphens, mole fraction

inline zpk::streams::StreamDef streamDef(const Feed& comps, int model) {
    zpk::streams::StreamDef d;
    for (auto [cas, z] : comps) {
        d.codes.push_back(zpk::components::indexOfCas(cas));
        d.z.push_back(z);
    }
    for (auto& row : d.models)
        row.fill(model);
    d.defined = true;
    return d;
}

// The battery's sixteen-component natural gas (its SRK flash at 245.6 K,
// 6932575 Pa has two phases).
inline const Feed kNaturalGas16 = {
    {74828, 0.858264838},   {74840, 0.073530495},   {74986, 0.024027488},  {75285, 0.004152653},
    {106978, 0.007765367},  {78784, 2.45226e-6},    {109660, 0.002596633}, {110543, 0.002392935},
    {142825, 0.001470121},  {111659, 0.002655538},  {111842, 5.27638e-5},  {124185, 5.27638e-5},
    {7727379, 0.002935327}, {124389, 0.0020100624}, {7783064, 1e-9},       {7732185, 1e-9}};

// The battery's natural gas of the hydrate cases with methanol (nitrogen,
// CO2, water 0.0015, methanol 0.0006).
inline const Feed kHydrateGasWithMethanol = {{74828, 0.932},    {74840, 0.0425}, {74986, 0.0161},
                                             {7727379, 0.0043}, {124389, 0.003}, {7732185, 0.0015},
                                             {67561, 0.0006}};

} // namespace testsupport
