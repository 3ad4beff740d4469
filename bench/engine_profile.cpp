// Runs one engine case a given number of times after one warm-up call, for
// instruction counts under valgrind (repeatable on a loaded machine):
//   valgrind --tool=callgrind --toggle-collect=zpk_profile_call build/bin/engine_profile gas16 20
// then divide the collected instructions by the count.  Cases (see
// bench/cases.h): gas16 (isothermal flash of the sixteen-component gas),
// three (methane / n-hexane / water, three phases), setop (the gas through
// setOp plus StrH), ph K and ps K (PH and PS flashes of the gas to its state
// at 245.6 K from the temperature estimate K), hpform M X W and htform M X W
// (HPFORM at 276 K and HTFORM at 5 MPa of the battery's natural gas, fluid
// model M: 0 CPA-HV, 1 PR-HV; X: 1 with methanol, 0 without; W: 0 the same
// call again, 1 a walk along the formation line, 2 each call on a fresh
// thread).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "bench/cases.h"
#include "equilibrium/engine.h"
#include "equilibrium/flashes.h"
#include "equilibrium/hydrate.h"
#include "equilibrium/tp_flash.h"

using namespace zpk;
using namespace zpk::bench;

// Not inlined and with C linkage so that callgrind can toggle on its name.
extern "C" __attribute__((noinline)) double zpk_profile_call(const std::function<double()>& f) {
    return f();
}

namespace {

std::function<double()> flashCase(const streams::StreamDef& def, double T, double P) {
    auto sys = std::make_shared<engine::StreamSystem>(def);
    auto r = std::make_shared<equilibrium::FlashResult>();
    return [sys, r, T, P] {
        equilibrium::flashTP(sys->fluid(), T, P, sys->feed().data(), *r);
        return static_cast<double>(r->phases.size());
    };
}

std::function<double()> stateFunctionCase(engine::Spec spec, double estimate) {
    auto sys = std::make_shared<engine::StreamSystem>(gas16Def());
    const double target = engine::specValue(*sys->flash(kGasT, kGasP), spec);
    return [sys, spec, target, estimate] {
        return engine::stateFunctionFlash(*sys, spec, target, kGasP, true, estimate)->T;
    };
}

// mode 0: the same call again; 1: a walk along the formation line (eight
// temperatures 2.5 K or pressures 10 % apart, in turn); 2: every call on a
// fresh thread (no previous formation point to start from).
std::function<double()> hydrateCase(bool pressure, int model, bool methanol, int mode) {
    auto sys = std::make_shared<engine::StreamSystem>(hydrateGasDef(model, methanol));
    std::vector<std::int64_t> cas;
    for (int i = 0; i < sys->size(); ++i)
        cas.push_back(sys->component(i).cas);
    auto m = std::make_shared<hydrate::FormationModel>(sys->fluid(), sys->feed(), cas);
    auto step = std::make_shared<int>(0);
    return [sys, m, pressure, mode, step] {
        const int k = mode == 1 ? (*step)++ % 8 : 0;
        auto call = [&] {
            return pressure ? m->formationPressure(276.0 - 2.5 * k, hydrate::Choice::MostStable)
                            : m->formationTemperature(5e6 * std::pow(0.9, k), hydrate::Choice::MostStable);
        };
        if (mode != 2) return call();
        double v = 0;
        std::thread([&] { v = call(); }).join();
        return v;
    };
}

} // namespace

int main(int argc, char** argv) {
    const std::string name = argc > 1 ? argv[1] : "";
    const bool withEstimate = name == "ph" || name == "ps";
    const bool hydrate = name == "hpform" || name == "htform";
    const int countArg = withEstimate ? 3 : hydrate ? 5 : 2;
    if (argc < countArg + 1) {
        std::fprintf(stderr,
                     "usage: engine_profile gas16|three|setop|ph K|ps K|hpform M X W|htform M X W count\n");
        return 2;
    }
    const int count = std::atoi(argv[countArg]);
    std::function<double()> f;
    if (name == "gas16") {
        f = flashCase(gas16Def(), kGasT, kGasP);
    } else if (name == "three") {
        f = flashCase(threePhaseDef(), kThreePhaseT, kThreePhaseP);
    } else if (name == "setop") {
        defineStream(1, kGas16, 30);
        f = [] { return setOp(1, kGasT, kGasP) + StrH(1); };
    } else if (withEstimate) {
        f = stateFunctionCase(name == "ph" ? engine::Spec::H : engine::Spec::S, std::atof(argv[2]));
    } else if (hydrate) {
        f = hydrateCase(name == "hpform", std::atoi(argv[2]), std::atoi(argv[3]) != 0, std::atoi(argv[4]));
    } else {
        std::fprintf(stderr, "engine_profile: unknown case %s\n", name.c_str());
        return 2;
    }
    double sum = f();
    for (int k = 0; k < count; ++k)
        sum += zpk_profile_call(f);
    std::printf("%s: %d calls, mean result %.12g\n", name.c_str(), count, sum / (count + 1));
    return std::isfinite(sum) ? 0 : 1;
}
