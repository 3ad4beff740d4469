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
//     battery's methane-ethane-water case with the CPA-HV fluid model, and of
//     the battery's natural gas with CPA-HV and PR-HV, with and without
//     methanol, repeated and (Walk) along the formation line;
//   * a property table of the gas, 10,000 states through setOp, on one and
//     two threads (wall time per table);
//   * unit operations of the battery through the C interface: the
//     equilibrium nozzle (ISPF) of methane with 0.1 % n-butane (PR, 340 K,
//     2 MPa, back pressure 101327 Pa), the polytropic efficiency of an
//     ethylene compressor (PSPF rating, LKP, 310 K, 2.5 MPa to 30 MPa and
//     535 K) and the four-stage ethane / n-hexane column (DCOL, SRK).
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

// HPFORM at 276 K (the battery's methanol bound) or HTFORM at 5 MPa, the
// same call again (a repeated call starts on its own previous answer); with
// walk, a walk along the formation line instead: eight temperatures 2.5 K
// or pressures 10 % apart, in turn (the counter reports the last).
void HydrateGas(benchmark::State& state, bool pressure, bool walk = false) {
    engine::StreamSystem sys(hydrateGasDef(static_cast<int>(state.range(0)), state.range(1) != 0));
    std::vector<std::int64_t> cas;
    for (int i = 0; i < sys.size(); ++i)
        cas.push_back(sys.component(i).cas);
    const hydrate::FormationModel m(sys.fluid(), sys.feed(), cas);
    double v = 0;
    int step = 0;
    for (auto _ : state) {
        const int k = walk ? step++ % 8 : 0;
        v = pressure ? m.formationPressure(276.0 - 2.5 * k, hydrate::Choice::MostStable)
                     : m.formationTemperature(5e6 * std::pow(0.9, k), hydrate::Choice::MostStable);
        benchmark::DoNotOptimize(v);
    }
    state.counters[pressure ? "MPa" : "K"] = pressure ? v * 1e-6 : v;
}
void HydratePressureGas(benchmark::State& state) {
    HydrateGas(state, true);
}
void HydrateTemperatureGas(benchmark::State& state) {
    HydrateGas(state, false);
}
void HydratePressureGasWalk(benchmark::State& state) {
    HydrateGas(state, true, true);
}
void HydrateTemperatureGasWalk(benchmark::State& state) {
    HydrateGas(state, false, true);
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

void NozzleMethaneButane(benchmark::State& state) {
    defineStream(1, {{74828, 0.999}, {106978, 0.001}}, 50, 1.23);
    double flow = 0;
    for (auto _ : state) {
        setOp(1, 340, 2000000);
        flow = ISPF(1, 101327, 1, 0);
        benchmark::DoNotOptimize(flow);
    }
    state.counters["kg/s"] = flow;
}

void CompressorEthyleneRating(benchmark::State& state) {
    defineStream(1, {{74851, 1.0}}, 91, 4.32);
    double eta = 0;
    for (auto _ : state) {
        setOp(1, 310, 2500000);
        eta = PSPF(1, 30000000, 2, 535);
        benchmark::DoNotOptimize(eta);
    }
    state.counters["eta"] = eta;
}

// Four stages at 530, 520, 510, 500 kPa from the top, the feed on stage 2
// at its 99 % liquid point at 510 kPa; top to feed ratio 0.5 and reflux
// ratio 10.
void ColumnEthaneHexane(benchmark::State& state) {
    constexpr int kStages = 4;
    double zeroA[kStages] = {}, zeroB[kStages] = {}, pressure[kStages], stageValue[kStages];
    for (int k = 0; k < kStages; ++k) {
        pressure[k] = 530000 - k * 10000.0;
        stageValue[k] = 1.0;
    }
    int feedStream[2] = {1, 0}, feedStage[2] = {2, 0}, none[2] = {};
    double noAmount[2] = {}, duties[2] = {}, specValue[2] = {0.5, 10}, results[1024] = {};
    int specA[2] = {1, 3}, specB[2] = {3, 1}, specC[2] = {};
    defineStream(1, {{74840, 0.4}, {110543, 0.6}}, 30, 1.0);
    int ok = 0;
    for (auto _ : state) {
        LfPF(1, pressure[2], 0.99);
        ok = DCOL(1, kStages, 0, zeroA, pressure, stageValue, zeroB, 3, 4, 1, feedStream, feedStage, 0, none,
                  none, none, noAmount, 2, duties, specA, specB, specC, specValue, results);
        benchmark::DoNotOptimize(results);
    }
    state.counters["ok"] = ok;
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
BENCHMARK(NozzleMethaneButane)->Unit(benchmark::kMillisecond);
BENCHMARK(CompressorEthyleneRating)->Unit(benchmark::kMillisecond);
BENCHMARK(ColumnEthaneHexane)->Unit(benchmark::kMillisecond);
BENCHMARK(HydratePressureGas)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(HydrateTemperatureGas)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(HydratePressureGasWalk)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(HydrateTemperatureGasWalk)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(TableGas16)->Arg(1)->Arg(2)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
