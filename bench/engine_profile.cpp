// Runs one engine case a given number of times after one warm-up call, for
// instruction counts under valgrind (repeatable on a loaded machine):
//   valgrind --tool=callgrind --toggle-collect=zpk_profile_call build/bin/engine_profile gas16 20
// then divide the collected instructions by the count.  Cases (see
// bench/cases.h): gas16 (isothermal flash of the sixteen-component gas),
// three (methane / n-hexane / water, three phases), setop (the gas through
// setOp plus StrH), ph K and ps K (PH and PS flashes of the gas to its state
// at 245.6 K from the temperature estimate K).
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "bench/cases.h"
#include "equilibrium/engine.h"
#include "equilibrium/flashes.h"
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

} // namespace

int main(int argc, char** argv) {
    const std::string name = argc > 1 ? argv[1] : "";
    const bool withEstimate = name == "ph" || name == "ps";
    if (argc < (withEstimate ? 4 : 3)) {
        std::fprintf(stderr, "usage: engine_profile gas16|three|setop|ph K|ps K count\n");
        return 2;
    }
    const int count = std::atoi(argv[withEstimate ? 3 : 2]);
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
