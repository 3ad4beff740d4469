// Engine benchmarks, CPU time per call unless noted:
//   * isothermal flashes of the battery's reference mixtures: the
//     sixteen-component natural gas (SRK, 245.6 K, 6932575 Pa, two phases)
//     and methane / n-hexane / water with a second liquid allowed (SRK with
//     stored k_ij, 155.91 K, 1.3 MPa, three phases);
//   * the same gas through the C interface: setOp plus one property read;
//   * PH and PS flashes of the gas to the state at 245.6 K from three
//     temperature estimates (the argument is the estimate in K);
//   * the gas's phase envelope;
//   * one hydrate formation pressure and temperature (HPFORM / HTFORM) of the
//     battery's methane-ethane-water case with the CPA-HV fluid model;
//   * a property table of the gas, 10,000 states through setOp, on one and
//     two threads (wall time per table).
#include <benchmark/benchmark.h>

#include <cmath>
#include <thread>
#include <vector>

#include "bench/cases.h"
#include "components/database.h"
#include "equilibrium/engine.h"
#include "equilibrium/envelope.h"
#include "equilibrium/flashes.h"
#include "equilibrium/hydrate.h"
#include "equilibrium/tp_flash.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

using namespace zpk::bench;

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
    flashLoop(state, gas16Def(), kGasT, kGasP);
}

void MethaneHexaneWater3(benchmark::State& state) {
    flashLoop(state, threePhaseDef(), kThreePhaseT, kThreePhaseP);
}

void SetOpGas16(benchmark::State& state) {
    defineStream(1, kGas16, 30);
    double h = 0;
    for (auto _ : state) {
        setOp(1, kGasT, kGasP);
        h = StrH(1);
        benchmark::DoNotOptimize(h);
    }
    state.counters["ok"] = std::isfinite(h) ? 1 : 0;
}

void StateFunctionGas16(benchmark::State& state, engine::Spec spec) {
    engine::StreamSystem sys(gas16Def());
    const auto ref = sys.flash(kGasT, kGasP);
    const double target = engine::specValue(*ref, spec);
    const double estimate = static_cast<double>(state.range(0)) / 10.0;
    double T = 0;
    for (auto _ : state) {
        T = engine::stateFunctionFlash(sys, spec, target, kGasP, true, estimate)->T;
        benchmark::DoNotOptimize(T);
    }
    state.counters["dT"] = T - kGasT;
}
void PHGas16(benchmark::State& state) {
    StateFunctionGas16(state, engine::Spec::H);
}
void PSGas16(benchmark::State& state) {
    StateFunctionGas16(state, engine::Spec::S);
}

void EnvelopeGas16(benchmark::State& state) {
    engine::StreamSystem sys(gas16Def());
    std::size_t points = 0;
    for (auto _ : state) {
        const auto env = equilibrium::phaseEnvelope(sys.fluid(), sys.feed().data());
        points = 0;
        for (const auto& l : env.lines)
            points += l.size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = static_cast<double>(points);
}

// The battery's structure-I row "SI A1": methane 0.9044, ethane 0.0953,
// water 0.002; CPA-HV fluid (115), solid 151, hydrate 170.
streams::StreamDef hydrateDef() {
    auto d = makeDef({{74828, 0.9044}, {74840, 0.0953}, {7732185, 0.002}}, 115, 0, -1);
    for (auto& row : d.models) {
        row[2] = 151;
        row[3] = 170;
    }
    return d;
}

void HydratePressure(benchmark::State& state) {
    engine::StreamSystem sys(hydrateDef());
    std::vector<std::int64_t> cas;
    for (int i = 0; i < sys.size(); ++i)
        cas.push_back(sys.component(i).cas);
    const hydrate::FormationModel m(sys.fluid(), sys.feed(), cas);
    double p = 0;
    for (auto _ : state) {
        p = m.formationPressure(278.21, hydrate::Choice::MostStable);
        benchmark::DoNotOptimize(p);
    }
    state.counters["MPa"] = p * 1e-6;
}

void HydrateTemperature(benchmark::State& state) {
    engine::StreamSystem sys(hydrateDef());
    std::vector<std::int64_t> cas;
    for (int i = 0; i < sys.size(); ++i)
        cas.push_back(sys.component(i).cas);
    const hydrate::FormationModel m(sys.fluid(), sys.feed(), cas);
    double T = 0;
    for (auto _ : state) {
        T = m.formationTemperature(2.254e6, hydrate::Choice::MostStable);
        benchmark::DoNotOptimize(T);
    }
    state.counters["K"] = T;
}

// 10,000 states (100 temperatures x 100 pressures) split between the threads,
// each on its own stream; wall time per table.
void TableGas16(benchmark::State& state) {
    const int threads = static_cast<int>(state.range(0));
    constexpr int kSide = 100;
    for (auto _ : state) {
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t)
            pool.emplace_back([t, threads] {
                const int s = getASNr() + 1;
                defineStream(s, kGas16, 30);
                double sum = 0;
                for (int k = t; k < kSide * kSide; k += threads) {
                    const double T = 200.0 + 2.0 * (k / kSide), P = 1e5 * (1 + k % kSide);
                    if (setOp(s, T, P)) sum += StrH(s);
                }
                benchmark::DoNotOptimize(sum);
            });
        for (auto& th : pool)
            th.join();
    }
}

} // namespace

BENCHMARK(NaturalGas16)->Unit(benchmark::kMicrosecond);
BENCHMARK(MethaneHexaneWater3)->Unit(benchmark::kMicrosecond);
BENCHMARK(SetOpGas16)->Unit(benchmark::kMicrosecond);
BENCHMARK(PHGas16)->Arg(2456)->Arg(2500)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(PSGas16)->Arg(2456)->Arg(2500)->Arg(3000)->Unit(benchmark::kMicrosecond);
BENCHMARK(EnvelopeGas16)->Unit(benchmark::kMillisecond);
BENCHMARK(HydratePressure)->Unit(benchmark::kMillisecond);
BENCHMARK(HydrateTemperature)->Unit(benchmark::kMillisecond);
BENCHMARK(TableGas16)->Arg(1)->Arg(2)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
