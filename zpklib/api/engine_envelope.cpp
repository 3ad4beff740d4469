// C functions of phase envelopes: the envelope lines (PELNr, PELine, PEPt,
// PELT, PELP), lines of constant phase fraction (PFLine), cricondenbar and
// cricondentherm (StrCBp, StrCBt, StrCTp, StrCTt) and the highest dew
// temperature (StrMDt).
//
// The envelope depends only on the stream's definition; it is traced once
// per definition and kept per stream number, so that a series of calls on
// the same lines does not trace again.  Lines are delivered as temperature
// (first array) and pressure (second array); PEPt kind 1 is the pressure,
// kind 2 the temperature of a point.
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "api/engine_common.h"
#include "api/envelope_cache.h"
#include "core/error.h"
#include "equilibrium/envelope.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

using equilibrium::Envelope;
using equilibrium::EnvelopePoint;

// Results per stream number, shared by all threads; one entry per stream.
class EnvelopeCache {
  public:
    std::shared_ptr<const Envelope> find(int stream, const streams::StreamDef& def) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = entries_.find(stream);
        if (it == entries_.end() || !(it->second.def == def)) return nullptr;
        return it->second.envelope;
    }
    void store(int stream, const streams::StreamDef& def, std::shared_ptr<const Envelope> env) {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_[stream] = Entry{def, std::move(env)};
    }

  private:
    struct Entry {
        streams::StreamDef def;
        std::shared_ptr<const Envelope> envelope;
    };
    std::mutex mutex_;
    std::map<int, Entry> entries_;
};

EnvelopeCache& cache() {
    static EnvelopeCache c;
    return c;
}

using api::envelopeOf;

const equilibrium::EnvelopeLine& lineOf(const Envelope& env, int line) {
    if (line < 1 || line > static_cast<int>(env.lines.size()))
        throw Error("envelope line " + std::to_string(line) + " does not exist (" +
                    std::to_string(env.lines.size()) + " lines)");
    return env.lines[line - 1];
}

int capacityOf(int capacity) {
    if (capacity < 1) throw Error("point capacity " + std::to_string(capacity) + " is less than 1");
    return capacity;
}

// Writes the points (T into first, P into second) in the caller's units.
int writePoints(const std::vector<EnvelopePoint>& pts, double* first, double* second, int capacity) {
    if (!first || !second) throw Error("point array is a null pointer");
    const int n = std::min(static_cast<int>(pts.size()), capacityOf(capacity));
    for (int k = 0; k < n; ++k) {
        first[k] = api::outT(pts[k].T);
        second[k] = api::outP(pts[k].P);
    }
    return n;
}

// 1-based index of the point with the highest T (or P) of a line as
// delivered with the usual capacity of 50 points.
int indexOfMaximum(int stream, int line, bool pressure) {
    const auto env = envelopeOf(stream);
    const auto pts = equilibrium::sampleLine(lineOf(*env, line), 50);
    if (pts.empty()) throw Error("envelope line is empty", kCalculation);
    auto it = std::max_element(pts.begin(), pts.end(), [&](const auto& a, const auto& b) {
        return pressure ? a.P < b.P : a.T < b.T;
    });
    return static_cast<int>(it - pts.begin()) + 1;
}

equilibrium::Extremum extremumOf(int stream, bool cricondenbar) {
    const auto env = envelopeOf(stream);
    const auto& e = cricondenbar ? env->cricondenbar : env->cricondentherm;
    if (!e.found) throw Error("the stream has no phase envelope", kCalculation);
    return e;
}

} // namespace

std::shared_ptr<const Envelope> api::envelopeOf(int stream) {
    api::StreamView v = api::view(stream);
    if (auto e = cache().find(stream, v.def)) return e;
    auto sys = api::systemOf(v);
    auto env = std::make_shared<const Envelope>(equilibrium::phaseEnvelope(sys->fluid(), sys->feed().data()));
    cache().store(stream, v.def, env);
    return env;
}

extern "C" {

int PELNr(int s) {
    return guarded("PELNr", 0, [&] { return static_cast<int>(envelopeOf(s)->lines.size()); });
}
int PELT(int s, int j) {
    return guarded("PELT", 0, [&] { return indexOfMaximum(s, j, false); });
}
int PELP(int s, int j) {
    return guarded("PELP", 0, [&] { return indexOfMaximum(s, j, true); });
}
int PELine(int s, int j, double* first, double* second, int capacity) {
    return guarded("PELine", 0, [&] {
        const auto env = envelopeOf(s);
        return writePoints(equilibrium::sampleLine(lineOf(*env, j), capacityOf(capacity)), first, second,
                           capacity);
    });
}
double PEPt(int s, int j, int kind, int k, int capacity) {
    return guarded("PEPt", kNaN, [&] {
        if (kind != 1 && kind != 2)
            throw Error("point kind " + std::to_string(kind) + " is not 1 (P) or 2 (T)");
        const auto env = envelopeOf(s);
        const auto pts = equilibrium::sampleLine(lineOf(*env, j), capacityOf(capacity));
        if (k < 1 || k > static_cast<int>(pts.size()))
            throw Error("point " + std::to_string(k) + " does not exist (" + std::to_string(pts.size()) +
                        " points)");
        return kind == 1 ? api::outP(pts[k - 1].P) : api::outT(pts[k - 1].T);
    });
}
int PFLine(int s, int kind, double f, double* first, double* second, int capacity) {
    return guarded("PFLine", 0, [&] {
        if (kind != 1 && kind != 2)
            throw Error("fraction kind " + std::to_string(kind) + " is not 1 (liquid) or 2 (vapour)");
        core::requireFinite("phase fraction", f);
        if (f < 0 || f > 1) throw Error("phase fraction " + std::to_string(f) + " is not in [0, 1]");
        capacityOf(capacity);
        if (!first || !second) throw Error("point array is a null pointer");
        api::StreamView v = api::view(s);
        auto sys = api::systemOf(v);
        const double beta = kind == 1 ? 1.0 - f : f;
        const auto line =
            equilibrium::traceLine(sys->fluid(), sys->feed().data(), beta, beta > 0 && beta < 1);
        if (line.size() < 2) throw Error("no line of constant phase fraction found", kCalculation);
        return writePoints(equilibrium::sampleLine(line, capacity), first, second, capacity);
    });
}
double StrCBp(int s) {
    return guarded("StrCBp", kNaN, [&] { return api::outP(extremumOf(s, true).P); });
}
double StrCBt(int s) {
    return guarded("StrCBt", kNaN, [&] { return api::outT(extremumOf(s, true).T); });
}
double StrCTp(int s) {
    return guarded("StrCTp", kNaN, [&] { return api::outP(extremumOf(s, false).P); });
}
double StrCTt(int s) {
    return guarded("StrCTt", kNaN, [&] { return api::outT(extremumOf(s, false).T); });
}
double StrMDt(int s) {
    return guarded("StrMDt", kNaN, [&] { return api::outT(extremumOf(s, false).T); });
}

} // extern "C"
