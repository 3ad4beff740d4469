// Isothermal flashes of the battery's reference mixtures, microseconds per
// flash: the sixteen-component natural gas (SRK, 245.6 K, 6932575 Pa, two
// phases) and methane / n-hexane / water with a second liquid allowed
// (SRK with stored k_ij, 155.91 K, 1.3 MPa, three phases).
#include <benchmark/benchmark.h>

#include "components/database.h"
#include "equilibrium/engine.h"
#include "equilibrium/tp_flash.h"

using namespace zpk;

namespace {

streams::StreamDef makeDef(std::initializer_list<std::pair<long, double>> comps, int model, int options, int sb) {
    streams::StreamDef d;
    for (auto [cas, z] : comps) {
        d.codes.push_back(components::indexOfCas(cas));
        d.z.push_back(z);
    }
    for (auto& row : d.models) row.fill(model);
    d.options = options;
    d.bipLoadLevel = sb;
    d.defined = true;
    return d;
}

void flashLoop(benchmark::State& state, const streams::StreamDef& def, double T, double P) {
    engine::StreamSystem sys(def);
    equilibrium::FlashResult r;
    for (auto _ : state) {
        equilibrium::flashTP(sys.fluid(), T, P, sys.feed().data(), r);
        benchmark::DoNotOptimize(r.phases.data());
    }
    state.counters["phases"] = static_cast<double>(r.phases.size());
}

void NaturalGas16(benchmark::State& state) {
    const auto def = makeDef({{74828, 0.858264838}, {74840, 0.073530495}, {74986, 0.024027488},
                              {75285, 0.004152653}, {106978, 0.007765367}, {78784, 2.45226e-6},
                              {109660, 0.002596633}, {110543, 0.002392935}, {142825, 0.001470121},
                              {111659, 0.002655538}, {111842, 5.27638e-5}, {124185, 5.27638e-5},
                              {7727379, 0.002935327}, {124389, 0.0020100624}, {7783064, 1e-9}, {7732185, 1e-9}},
                             30, 0, -1);
    flashLoop(state, def, 245.6, 6932575);
}

void MethaneHexaneWater3(benchmark::State& state) {
    const auto def = makeDef({{74828, 0.9}, {110543, 0.099}, {7732185, 0.001}}, 30, 1, 0);
    flashLoop(state, def, 155.91, 1300000);
}

}  // namespace

BENCHMARK(NaturalGas16)->Unit(benchmark::kMicrosecond);
BENCHMARK(MethaneHexaneWater3)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
