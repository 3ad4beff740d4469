// C functions of the critical data of a stream's feed: the critical points
// of its fugacity equation of state (StrCPnr, StrPc, StrTc) and the
// pseudo-critical constants by Kay's rule (StrPcm, StrTcm, StrAc).
//
// Critical points depend only on the definition (components, fractions,
// fugacity models, interaction entries), not on the operating point.  They
// are computed once per definition and kept per stream number; a changed
// definition is recognised by comparing it with the one the points belong to.
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "api/engine_common.h"
#include "components/database.h"
#include "core/error.h"
#include "equilibrium/critical.h"
#include "models/factory.h"
#include "zpk/zpk.h"

using namespace zpk;

namespace {

using Points = std::vector<equilibrium::CriticalPoint>;

// The parts of a definition the critical points depend on.
bool sameCriticalInputs(const streams::StreamDef& a, const streams::StreamDef& b) {
    return a.codes == b.codes && a.z == b.z && a.bips == b.bips && a.bipLoadLevel == b.bipLoadLevel &&
           a.model(1, 0) == b.model(1, 0) && a.model(1, 1) == b.model(1, 1);
}

// Results per stream number, shared by all threads (one entry per stream,
// so its size is bounded by the number of streams).
class PointCache {
  public:
    std::shared_ptr<const Points> find(int stream, const streams::StreamDef& def) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = entries_.find(stream);
        if (it == entries_.end() || !sameCriticalInputs(it->second.def, def)) return nullptr;
        return it->second.points;
    }
    void store(int stream, const streams::StreamDef& def, std::shared_ptr<const Points> points) {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_[stream] = Entry{def, std::move(points)};
    }

  private:
    struct Entry {
        streams::StreamDef def;
        std::shared_ptr<const Points> points;
    };
    std::mutex mutex_;
    std::map<int, Entry> entries_;
};

PointCache& cache() {
    static PointCache c;
    return c;
}

const components::Component& componentAt(const streams::StreamDef& def, int i) {
    const auto* c = components::byIndex(def.codes[i]);
    if (!c) throw Error("position " + std::to_string(i + 1) + " has no valid component", kNotDefined);
    return *c;
}

streams::StreamDef definedStream(int stream) {
    streams::StreamDef def = api::view(stream).def;
    if (!def.defined) throw Error("stream is not defined (setS)", kNotDefined);
    if (def.positions() == 0) throw Error("stream has no components", kNotDefined);
    return def;
}

// Critical points of the feed with the stream's liquid fugacity model, or
// its vapour fugacity model when the liquid one is no equation of state.
// Only the fugacity model is built, so streams whose other models are not
// available still have critical points.
std::shared_ptr<const Points> computePoints(const streams::StreamDef& def) {
    models::ModelInputs in;
    std::vector<double> z;
    equilibrium::FluidSystem sys;
    double tScale = 0;
    for (int i = 0; i < def.positions(); ++i) {
        const auto& c = componentAt(def, i);
        in.pure.push_back({c.tc, c.pc, c.omega, c.mw, c.zra});
        in.cas.push_back(c.cas);
        z.push_back(std::max(def.z[i], 0.0));
        if (z.back() > 0) tScale = std::max(tScale, c.tc);
        sys.tc.push_back(c.tc);
        sys.pc.push_back(c.pc);
        sys.omega.push_back(c.omega);
        sys.mw.push_back(c.mw);
    }
    in.bips = def.bips;
    in.bipLoadLevel = def.bipLoadLevel;
    for (int phase : {1, 0}) {
        const int code = def.model(1, phase);
        if (!models::canBuild(code)) continue;
        const auto model = models::buildPhaseModel(code, in);
        if (!model->isEquationOfState() || !(model->volumeScale(z.data()) > 0)) continue;
        equilibrium::CriticalSearch search;
        search.temperatureScale = tScale;
        Points points = equilibrium::criticalPoints(*model, z.data(), static_cast<int>(z.size()), search);
        sys.vapour = sys.liquid = model.get();
        equilibrium::orderByStability(sys, z.data(), points);
        return std::make_shared<const Points>(std::move(points));
    }
    throw Error("the stream's fugacity models are no equation of state with critical points",
                kNotImplemented);
}

std::shared_ptr<const Points> pointsOf(int stream) {
    const streams::StreamDef def = definedStream(stream);
    if (auto p = cache().find(stream, def)) return p;
    auto p = computePoints(def);
    cache().store(stream, def, p);
    return p;
}

equilibrium::CriticalPoint pointAt(int stream, int i) {
    const auto points = pointsOf(stream);
    if (points->empty()) throw Error("no critical point found", kCalculation);
    if (i < 1 || i > static_cast<int>(points->size()))
        throw Error("critical point " + std::to_string(i) + " does not exist (" +
                    std::to_string(points->size()) + " found)");
    return (*points)[i - 1];
}

// Mole-fraction average of a component constant over the feed (Kay's rule).
template <class F> double kay(int stream, F constant) {
    const streams::StreamDef def = definedStream(stream);
    double sum = 0, v = 0;
    for (int i = 0; i < def.positions(); ++i) {
        const double zi = std::max(def.z[i], 0.0);
        if (zi == 0) continue;
        sum += zi;
        v += zi * constant(componentAt(def, i));
    }
    if (!(sum > 0)) throw Error("stream composition sums to zero", kNotDefined);
    return v / sum;
}

} // namespace

extern "C" {

int StrCPnr(int s) {
    return guarded("StrCPnr", 0, [&] { return static_cast<int>(pointsOf(s)->size()); });
}
double StrPc(int s, int i) {
    return guarded("StrPc", kNaN, [&] { return api::outP(pointAt(s, i).P); });
}
double StrTc(int s, int i) {
    return guarded("StrTc", kNaN, [&] { return api::outT(pointAt(s, i).T); });
}
double StrPcm(int s) {
    return guarded("StrPcm", kNaN, [&] { return api::outP(kay(s, [](const auto& c) { return c.pc; })); });
}
double StrTcm(int s) {
    return guarded("StrTcm", kNaN, [&] { return api::outT(kay(s, [](const auto& c) { return c.tc; })); });
}
double StrAc(int s) {
    return guarded("StrAc", kNaN, [&] { return kay(s, [](const auto& c) { return c.omega; }); });
}

} // extern "C"
