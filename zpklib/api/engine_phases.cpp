// C functions that give a stream its phase state directly: phase kinds
// (putPt), phase fractions (putPf) and compositions (putW) collected in the
// stream's phase input, and setValidPhase, which checks the input and
// installs it as the stream's equilibrium at its stored T and P; isValidPhase
// tells whether a phase of the stream's equilibrium is valid.  The rules are
// in docs/streams.md ("Phase state given by the caller").
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "api/engine_common.h"
#include "core/config.h"
#include "core/error.h"
#include "equilibrium/hydrate_phase.h"
#include "zpk/zpk.h"

using namespace zpk;
using streams::PhaseInput;
using streams::Stream;

namespace {

// Phase fractions and each composition must sum to 1 within this; every
// component's material balance must close within kBalanceTolerance.
constexpr double kSumTolerance = 1e-9;
constexpr double kBalanceTolerance = 1e-6;

std::string str(int v) {
    return std::to_string(v);
}
std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

void checkPhaseNumber(int phase) {
    if (phase < 1 || phase > config::kMaxPhases)
        core::fail("phase " + str(phase) + " is outside 1.." + str(config::kMaxPhases));
}

void checkFraction(const char* what, double v) {
    if (!std::isfinite(v) || v < 0 || v > 1)
        core::fail(std::string(what) + " " + num(v) + " is outside 0..1");
}

// The phase input as the setters continue it: a stream that holds an
// equilibrium starts from its phases, so that a caller may change one value
// of a flash result.  Phases up to `phase` exist in the copy returned.
std::vector<PhaseInput> editableInput(const Stream& s, int phase) {
    std::vector<PhaseInput> input;
    if (s.state)
        for (const auto& p : s.state->phases)
            input.push_back(PhaseInput{p.kind, p.beta, p.x});
    else
        input = s.phaseInput;
    if (static_cast<int>(input.size()) < phase) input.resize(phase);
    return input;
}

// Runs change(stream, input of the phase) on stream s and keeps the result;
// the stream's equilibrium and operating point are no longer valid
// afterwards (setValidPhase restores them from the input).  A change that
// throws leaves the stream as it was.
template <class F> void editPhase(int stream, int phase, F change) {
    checkPhaseNumber(phase);
    streams::withStream(stream, [&](Stream& s) {
        std::vector<PhaseInput> input = editableInput(s, phase);
        change(s, input[phase - 1]);
        s.phaseInput = std::move(input);
        s.state.reset();
        s.opDefined = false;
        ++s.revision;
    });
}

// The stream and its phase input, taken under one lock.
struct InputView {
    api::StreamView v;
    std::vector<PhaseInput> input;
};

InputView inputView(int stream) {
    return streams::withStream(stream, [](Stream& s) {
        InputView r;
        r.v.def = s.def;
        r.v.T = s.T;
        r.v.P = s.P;
        r.v.revision = s.revision;
        r.input = s.phaseInput;
        return r;
    });
}

// A hydrate phase given by the caller is evaluated by the stream's hydrate
// model in the structure of lower Gibbs energy at its composition (as the
// derivative functions do), so the stream needs that model.
void requireHydrateModel(const engine::StreamSystem& sys, const std::string& name) {
    try {
        sys.hydrateModel(1, hydrate::kAnyStructure);
    } catch (const Error& e) {
        core::fail(name + " is a hydrate: " + e.what(), kNotDefined);
    }
}

// Checks phases 1..n of the input against the stream's feed and returns
// them normalised, ready for the engine.
std::vector<equilibrium::Phase> checkedPhases(const engine::StreamSystem& sys,
                                              const std::vector<PhaseInput>& input, int n) {
    if (static_cast<int>(input.size()) < n)
        core::fail("phase " + str(static_cast<int>(input.size()) + 1) +
                       " has not been given (putPt, putPf, putW)",
                   kNotDefined);
    const int nc = sys.size();
    std::vector<equilibrium::Phase> phases(n);
    double betaSum = 0;
    int vapour = 0;
    for (int k = 0; k < n; ++k) {
        const PhaseInput& in = input[k];
        const std::string name = "phase " + str(k + 1);
        if (in.kind < 0) core::fail(name + " has no kind (putPt)", kNotDefined);
        if (in.kind == streams::kHydrateKind) requireHydrateModel(sys, name);
        if (in.kind == models::kVapour && vapour++ > 0) core::fail(name + " is a second vapour phase");
        if (in.beta < 0) core::fail(name + " has no phase fraction (putPf)", kNotDefined);
        if (in.x.empty()) core::fail(name + " has no composition (putW)", kNotDefined);
        if (static_cast<int>(in.x.size()) != nc)
            core::fail(name + " has " + str(static_cast<int>(in.x.size())) + " positions, the stream " +
                           str(nc),
                       kNotDefined);
        double xSum = 0;
        for (double v : in.x)
            xSum += v;
        if (!(std::fabs(xSum - 1) <= kSumTolerance))
            core::fail(name + ": mole fractions sum to " + num(xSum) + ", not 1");
        phases[k].kind = in.kind;
        phases[k].beta = in.beta;
        phases[k].x = in.x;
        for (double& v : phases[k].x)
            v /= xSum;
        betaSum += in.beta;
    }
    if (!(std::fabs(betaSum - 1) <= kSumTolerance))
        core::fail("phase fractions of phases 1.." + str(n) + " sum to " + num(betaSum) + ", not 1");
    for (auto& p : phases)
        p.beta /= betaSum;
    const auto& z = sys.feed();
    for (int i = 0; i < nc; ++i) {
        double sum = 0;
        for (const auto& p : phases)
            sum += p.beta * p.x[i];
        if (!(std::fabs(sum - z[i]) <= kBalanceTolerance))
            core::fail("material balance of position " + str(i + 1) + " (" + sys.component(i).name +
                       "): the phases hold " + num(sum) + ", the stream " + num(z[i]) + " (difference " +
                       num(sum - z[i]) + ", tolerance " + num(kBalanceTolerance) + ")");
    }
    return phases;
}

} // namespace

extern "C" {

int putPt(int stream, int phase, int kind) {
    return guarded("putPt", 0, [&] {
        if (kind < 0 || kind >= streams::kPhaseKinds)
            core::fail("phase kind " + str(kind) +
                       " is outside 0..3 (0 vapour, 1 liquid, 2 solid, 3 hydrate)");
        editPhase(stream, phase, [&](Stream&, PhaseInput& p) { p.kind = kind; });
        return 1;
    });
}

int putPf(int stream, int phase, double fraction) {
    return guarded("putPf", 0, [&] {
        checkFraction("phase fraction", fraction);
        editPhase(stream, phase, [&](Stream&, PhaseInput& p) { p.beta = fraction; });
        return 1;
    });
}

int putW(int stream, int phase, int position, double x) {
    return guarded("putW", 0, [&] {
        checkFraction("mole fraction", x);
        editPhase(stream, phase, [&](Stream& s, PhaseInput& p) {
            const int n = s.def.positions();
            if (position < 1 || position > n)
                core::fail("position " + str(position) + " is outside 1.." + str(n));
            if (static_cast<int>(p.x.size()) != n) p.x.assign(n, 0.0);
            p.x[position - 1] = x;
        });
        return 1;
    });
}

int isValidPhase(int stream, int phase) {
    return guarded("isValidPhase", 0, [&] {
        checkPhaseNumber(phase);
        const api::StreamView v = api::view(stream);
        if (!v.opDefined) return 0;
        const auto st = api::currentState(stream);
        return phase <= static_cast<int>(st->phases.size()) ? 1 : 0;
    });
}

int setValidPhase(int stream, int phases) {
    return guarded("setValidPhase", 0, [&] {
        checkPhaseNumber(phases);
        const InputView in = inputView(stream);
        const auto sys = api::systemOf(in.v);
        auto st = sys->fromPhases(in.v.T, in.v.P, checkedPhases(*sys, in.input, phases));
        const bool stored = streams::withStream(stream, [&](Stream& s) {
            if (s.revision != in.v.revision || s.phaseInput != in.input) return false;
            s.state = std::move(st);
            s.opDefined = true;
            return true;
        });
        if (!stored) core::fail("stream " + str(stream) + " changed during the call", kNotDefined);
        return 1;
    });
}

} // extern "C"
