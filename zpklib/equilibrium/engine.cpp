#include "equilibrium/engine.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <map>
#include <string>

#include "core/error.h"
#include "equilibrium/hydrate_phase.h"
#include "models/catalogue.h"
#include "models/factory.h"

namespace zpk::engine {

using models::PhaseProps;
using models::Root;

StreamSystem::StreamSystem(const streams::StreamDef& def) {
    static std::atomic<std::uint64_t> nextId{1};
    id_ = nextId.fetch_add(1, std::memory_order_relaxed);
    if (!def.defined) throw Error("stream is not defined (setS)", kNotDefined);
    n_ = def.positions();
    if (n_ == 0) throw Error("stream has no components", kNotDefined);
    models::ModelInputs in;
    double sum = 0;
    for (int i = 0; i < n_; ++i) {
        const auto* c = components::byIndex(def.codes[i]);
        if (!c) throw Error("position " + std::to_string(i + 1) + " has no valid component", kNotDefined);
        comps_.push_back(c);
        in.pure.push_back({c->tc, c->pc, c->omega, c->mw, c->zra});
        in.cas.push_back(c->cas);
        in.comps.push_back(c);
        const double zi = std::max(def.z[i], 0.0);
        z_.push_back(zi);
        sum += zi;
        fluid_.tc.push_back(c->tc);
        fluid_.pc.push_back(c->pc);
        fluid_.omega.push_back(c->omega);
        fluid_.mw.push_back(c->mw);
        if (c->cas == 7732185) fluid_.water = i;
    }
    if (!(sum > 0)) throw Error("stream composition sums to zero", kNotDefined);
    for (double& v : z_)
        v /= sum;
    in.bips = def.bips;
    in.bipLoadLevel = def.bipLoadLevel;
    fluid_.maxPhases = (def.options & 1) ? 3 : 2;
    std::map<int, std::shared_ptr<const models::PhaseModel>> built;
    for (int p = 1; p <= 4; ++p)
        for (int ph = 0; ph < 2; ++ph) {
            const int code = def.model(p, ph);
            auto it = built.find(code);
            if (it == built.end()) it = built.emplace(code, models::buildPhaseModel(code, in)).first;
            models_[p - 1][ph] = it->second;
        }
    // A gamma-phi liquid's Gibbs energy is fixed by its fugacities, so only
    // the enthalpy and entropy of its own model are consistent with the phase
    // equilibria the flashes compute (h - T s = sum x_i mu_i).  The liquid
    // therefore takes them from the activity model whatever codes are set for
    // liquid enthalpy and entropy; its volume follows its code (the gamma-phi
    // fugacity implies none).  See docs/models.md.
    const models::ModelInfo* liquidFugacity = models::find(def.model(1, models::kLiquid));
    if (liquidFugacity && liquidFugacity->family == models::Family::Activity)
        for (int p : {2, 3})
            models_[p - 1][1] = models_[0][1];
    fluid_.vapour = models_[0][0].get();
    fluid_.liquid = models_[0][1].get();
    // One ideal gas per stream, so that the phases share it: a reference
    // formulation's own when it describes both fluid phases.
    const models::FormulationIdealGas* own =
        fluid_.vapour == fluid_.liquid ? fluid_.vapour->formulationIdealGas() : nullptr;
    for (int i = 0; i < n_; ++i) {
        ideal_.push_back({comps_[i], own, i});
        fluid_.mw[i] = ideal_[i].mw();
    }
    buildSolids(def, in);
    buildHydrates(def, in);
}

// Hydrate phase: the hydrate model code (170, 171) on the fugacity property
// of phase 3.  Each property's hydrate is referred to pure liquid water of
// the stream's liquid model of that property, so that the hydrate's
// enthalpy, entropy and volume differ from the stream's liquid water by the
// lattice and guest terms alone (the heat of hydrate formation does not
// depend on the models).  The hydrate enters the flash with putKO bit 4.
void StreamSystem::buildHydrates(const streams::StreamDef& def, const models::ModelInputs& in) {
    flashFluid_ = fluid_;
    const models::ModelInfo* info = models::find(def.model(1, hydrate::kHydratePhase));
    if (!info || info->family != models::Family::Hydrate) {
        hydrateError_ = "stream has no hydrate model (setMP(s, 1, 3, 170 or 171))";
        return;
    }
    try {
        std::map<std::pair<const models::PhaseModel*, int>, std::shared_ptr<const models::PhaseModel>> built;
        for (int p = 0; p < 4; ++p) {
            for (int s = 0; s < 3; ++s) {
                const auto key = std::make_pair(models_[p][1].get(), s);
                auto it = built.find(key);
                if (it == built.end())
                    it = built
                             .emplace(key, std::make_shared<hydrate::HydratePhaseModel>(in.cas, models_[p][1],
                                                                                        s - 1))
                             .first;
                hydrates_[p][s] = it->second;
            }
            models_[p][hydrate::kHydratePhase] = hydrates_[p][0];
        }
    } catch (const std::exception& e) {
        hydrateError_ = std::string("hydrate phase model: ") + e.what();
        return;
    }
    if ((def.options & kHydrateOption) && fluid_.water >= 0)
        for (int s = 0; s < 2; ++s)
            flashFluid_.hydrate[s] =
                static_cast<const hydrate::HydratePhaseModel*>(hydrates_[0][s + 1].get());
}

// Solid phase: the fugacity model's code decides between pure solids and a
// solid solution; a property whose code is 1 (not set) uses that model.  A
// failure is kept and reported when a solid is needed, so that streams
// which never form solids do not depend on it.
void StreamSystem::buildSolids(const streams::StreamDef& def, const models::ModelInputs& in) {
    try {
        std::map<int, std::shared_ptr<const models::PhaseModel>> built;
        const int fugacityCode = def.model(1, models::kSolidPhase);
        for (int p = 1; p <= 4; ++p) {
            int code = def.model(p, models::kSolidPhase);
            if (code == 1) code = fugacityCode;
            auto it = built.find(code);
            if (it == built.end())
                it = built.emplace(code, models::buildSolidModel(code, in, models_[0][1])).first;
            models_[p - 1][2] = it->second;
        }
    } catch (const std::exception& e) {
        for (auto& m : models_)
            m[2].reset();
        solidError_ = e.what();
    }
    solidsWanted_ = (def.options & (kSolidOption | kHydrateOption)) != 0;
    if (!solidsWanted_ || !models_[0][2]) return;
    fluid_.solid = models_[0][2].get();
    fluid_.solidSolution = static_cast<const models::SolidModel&>(*models_[0][2]).arrangement() ==
                           models::SolidArrangement::Solution;
}

const models::PhaseModel& StreamSystem::hydrateModel(int property, int structure) const {
    const auto& m = hydrates_[property - 1][structure < 0 ? 0 : structure + 1];
    if (!m) throw Error(hydrateError_, kNotDefined);
    return *m;
}

const models::PhaseModel& StreamSystem::model(int property, int phase) const {
    if (phase == hydrate::kHydratePhase) {
        if (!models_[property - 1][phase]) throw Error(hydrateError_, kNotDefined);
        return *models_[property - 1][phase];
    }
    if (phase == models::kSolidPhase) {
        if (!models_[property - 1][2]) throw Error("solid phase model: " + solidError_, kNotImplemented);
        return *models_[property - 1][2];
    }
    return *models_[property - 1][phase == 0 ? 0 : 1];
}

double StreamSystem::feedMw() const {
    double m = 0;
    for (int i = 0; i < n_; ++i)
        m += z_[i] * molarMass(i);
    return m;
}

namespace {
const thermo::Base kInternal{1, 298.15, 0.0};
}

namespace {

// Per component, the ideal-gas enthalpy (entropy) offset at 298.15 K
// (and 101325 Pa) on the current base: fixed for a system while the base
// stays, kept per thread for the last system and base asked for.
struct OffsetEntry {
    std::uint64_t id = 0;
    thermo::Base base;
    std::vector<double> v;
    bool holds(std::uint64_t sys, const thermo::Base& b) const {
        return id == sys && base.kind == b.kind && base.T0 == b.T0 && base.value == b.value;
    }
};

double mixOffset(const std::vector<double>& v, const double* x, int n) {
    double h = 0, s = 0;
    for (int i = 0; i < n; ++i)
        if (x[i] > 0) {
            h += x[i] * v[i];
            s += x[i];
        }
    return h / s;
}

} // namespace

double StreamSystem::offsetH(const double* x) const {
    thread_local OffsetEntry e;
    const thermo::Base b = thermo::enthalpyBase();
    if (!e.holds(id_, b)) {
        e.v.resize(n_);
        for (int i = 0; i < n_; ++i)
            e.v[i] = thermo::idealEnthalpy(ideal_[i], 298.15, b);
        e.id = id_;
        e.base = b;
    }
    return mixOffset(e.v, x, n_);
}

double StreamSystem::offsetS(const double* x) const {
    thread_local OffsetEntry e;
    const thermo::Base b = thermo::entropyBase();
    if (!e.holds(id_, b)) {
        e.v.resize(n_);
        for (int i = 0; i < n_; ++i)
            e.v[i] = thermo::idealEntropy(ideal_[i], 298.15, 101325.0, b);
        e.id = id_;
        e.base = b;
    }
    return mixOffset(e.v, x, n_);
}

namespace {
enum Term { kTermH, kTermCp, kTermS };
}

const std::vector<double>& StreamSystem::componentTerms(int which, double T, double P) const {
    struct Entry {
        std::uint64_t id = 0;
        double T = -1, P = -1;
        std::vector<double> v;
    };
    thread_local std::array<Entry, 3> cache;
    Entry& e = cache[which];
    if (which != kTermS) P = 0;
    if (e.id == id_ && e.T == T && e.P == P) return e.v;
    e.v.resize(n_);
    for (int i = 0; i < n_; ++i)
        e.v[i] = which == kTermH    ? thermo::idealEnthalpy(ideal_[i], T, kInternal)
                 : which == kTermCp ? ideal_[i].cp(T)
                                    : thermo::idealEntropy(ideal_[i], T, P, kInternal);
    e.id = id_;
    e.T = T;
    e.P = P;
    return e.v;
}

double StreamSystem::idealH(double T, const double* x) const {
    const std::vector<double>& hi = componentTerms(kTermH, T, 0);
    double h = 0, s = 0;
    for (int i = 0; i < n_; ++i)
        if (x[i] > 0) {
            h += x[i] * hi[i];
            s += x[i];
        }
    return h / s;
}
double StreamSystem::idealS(double T, double P, const double* x) const {
    const std::vector<double>& si = componentTerms(kTermS, T, P);
    double v = 0, s = 0;
    for (int i = 0; i < n_; ++i)
        s += std::max(x[i], 0.0);
    for (int i = 0; i < n_; ++i)
        if (x[i] > 0) {
            const double xi = x[i] / s;
            v += xi * si[i];
            if (thermo::kEntropyOfMixing) v -= models::kR * xi * std::log(xi);
        }
    return v;
}
double StreamSystem::idealCp(double T, const double* x) const {
    const std::vector<double>& ci = componentTerms(kTermCp, T, 0);
    double c = 0, s = 0;
    for (int i = 0; i < n_; ++i)
        if (x[i] > 0) {
            c += x[i] * ci[i];
            s += x[i];
        }
    return c / s;
}

bool StreamSystem::denseVapourRootWins(double T, double P, const double* x) const {
    if (fluid_.vapour == fluid_.liquid) return false;
    thread_local PhaseProps v, l;
    if (!fluid_.vapour->evaluate(T, P, x, Root::Vapour, 0, v)) return false;
    if (!fluid_.liquid->evaluate(T, P, x, Root::Liquid, 0, l)) return true;
    return !(l.gres(x, n_) < v.gres(x, n_));
}

PhaseState StreamSystem::phaseState(double T, double P, const std::vector<double>& x, int kind, bool stable,
                                    int structure) const {
    PhaseState st;
    st.kind = kind;
    st.structure = kind == hydrate::kHydratePhase ? structure : -1;
    st.x = x;
    double sum = 0;
    for (int i = 0; i < n_; ++i)
        sum += x[i];
    for (int i = 0; i < n_; ++i)
        st.mw += x[i] / sum * molarMass(i);
    const int ph = kind == models::kVapour ? 0 : kind == models::kLiquid ? 1 : kind;
    // A liquid the flash found may be the vapour model's dense root (when
    // that has the lower Gibbs energy, equilibrium::evalPhase); properties
    // that follow the liquid's fugacity model then follow the vapour's.
    const bool vapourModelLiquid = stable && ph == 1 && denseVapourRootWins(T, P, x.data());
    auto followsFugacity = [&](int property) { return models_[property - 1][ph] == models_[0][ph]; };
    auto rootFor = [&](int property) {
        const Root own = kind == models::kVapour ? Root::Vapour : Root::Liquid;
        if (!stable || !followsFugacity(property)) return own;
        // The root the flash used when the property model is the fugacity
        // model (equilibrium::evalPhase): the lower-Gibbs root of one model
        // for both fluid phases, else the vapour model's vapour root and the
        // liquid model's liquid root.
        if (ph > 1 || fluid_.vapour == fluid_.liquid) return Root::Stable;
        return vapourModelLiquid ? Root::Vapour : own;
    };
    thread_local PhaseProps hp, sp, vp;
    auto modelOf = [&](int property) -> const models::PhaseModel& {
        if (ph == hydrate::kHydratePhase) return hydrateModel(property, structure);
        if (vapourModelLiquid && followsFugacity(property)) return *fluid_.vapour;
        return model(property, ph);
    };
    if (!modelOf(2).evaluate(T, P, x.data(), rootFor(2), 1, hp))
        throw Error("phase properties cannot be evaluated at this state", kCalculation);
    // Properties 3 and 4 reuse the enthalpy model's evaluation when they
    // name the same model on the same root.
    auto sameAsEnthalpy = [&](int property) {
        return &modelOf(property) == &modelOf(2) && rootFor(property) == rootFor(2);
    };
    const bool sSame = sameAsEnthalpy(3), vSame = sameAsEnthalpy(4);
    if ((!sSame && !modelOf(3).evaluate(T, P, x.data(), rootFor(3), 0, sp)) ||
        (!vSame && !modelOf(4).evaluate(T, P, x.data(), rootFor(4), 1, vp)))
        throw Error("phase properties cannot be evaluated at this state", kCalculation);
    const PhaseProps& sp0 = sSame ? hp : sp;
    const PhaseProps& vp0 = vSame ? hp : vp;
    const double cpig = idealCp(T, x.data());
    st.h = idealH(T, x.data()) + hp.hres;
    st.s = idealS(T, P, x.data()) + sp0.sres;
    st.cp = cpig + hp.cpres;
    st.cv = cpig - models::kR + hp.cvres;
    // An enthalpy model without a pressure-volume behaviour of its own (an
    // incompressible liquid: model 1's, the activity liquids') beside a
    // compressible volume model: cv from cp - cv = T (dv/dT)^2 / (-dv/dP) of
    // the volume model, so that cp / cv and the speed of sound combine this
    // cp with that model's p-v-T.
    if (std::isinf(hp.dP_dV) && vp0.dv_dP < 0) st.cv = st.cp + T * vp0.dv_dT * vp0.dv_dT / vp0.dv_dP;
    st.v = vp0.v;
    st.z = vp0.z;
    st.kappa = -vp0.dv_dP / vp0.v;
    st.alpha = vp0.dv_dT / vp0.v;
    st.jt = (T * vp0.dv_dT - vp0.v) / st.cp;
    const double w2 = -vp0.v * vp0.v * (st.cp / st.cv) * vp0.dP_dV / (st.mw * 1e-3);
    st.w = (w2 > 0 && std::isfinite(w2)) ? std::sqrt(w2) : kNaN;
    return st;
}

std::shared_ptr<EquilibriumCache> StreamSystem::fromPhases(double T, double P,
                                                           std::vector<equilibrium::Phase> phases) const {
    auto c = std::make_shared<EquilibriumCache>();
    c->T = T;
    c->P = P;
    for (auto& ph : phases) {
        PhaseState st = phaseState(T, P, ph.x, ph.kind, true, ph.structure);
        st.beta = ph.beta;
        c->phases.push_back(std::move(st));
    }
    return c;
}

std::shared_ptr<EquilibriumCache> StreamSystem::flash(double T, double P, const double* z) const {
    if (solidsWanted_ && !fluid_.solid) throw Error("solid phases: " + solidError_, kNotImplemented);
    equilibrium::FlashResult r;
    if (!equilibrium::flashTP(flashFluid_, T, P, z ? z : z_.data(), r))
        throw Error("isothermal flash did not converge", kCalculation);
    return fromPhases(T, P, std::move(r.phases));
}

bool sameModels(const streams::StreamDef& a, const streams::StreamDef& b) {
    return a.defined == b.defined && a.codes == b.codes && a.z == b.z && a.models == b.models &&
           a.options == b.options && a.settings == b.settings && a.bipLoadLevel == b.bipLoadLevel &&
           a.bips == b.bips;
}

std::shared_ptr<const StreamSystem> systemFor(const streams::StreamDef& def) {
    // Most recently used first; a thread works on a handful of streams at a time.
    constexpr std::size_t kEntries = 8;
    struct Entry {
        streams::StreamDef def;
        std::shared_ptr<const StreamSystem> sys;
    };
    thread_local std::vector<Entry> cache;
    for (std::size_t k = 0; k < cache.size(); ++k)
        if (sameModels(cache[k].def, def)) {
            std::rotate(cache.begin(), cache.begin() + static_cast<long>(k),
                        cache.begin() + static_cast<long>(k) + 1);
            return cache.front().sys;
        }
    auto sys = std::make_shared<const StreamSystem>(def);
    if (cache.size() == kEntries) cache.pop_back();
    cache.insert(cache.begin(), Entry{def, sys});
    return sys;
}

std::shared_ptr<EquilibriumCache> StreamSystem::flashFrom(double T, double P,
                                                          const EquilibriumCache& near) const {
    if (solidsWanted_ && !fluid_.solid) throw Error("solid phases: " + solidError_, kNotImplemented);
    std::vector<equilibrium::Phase> guess(near.phases.size());
    for (std::size_t k = 0; k < guess.size(); ++k) {
        guess[k].kind = near.phases[k].kind;
        guess[k].structure = near.phases[k].structure;
        guess[k].beta = near.phases[k].beta;
        guess[k].x = near.phases[k].x;
    }
    equilibrium::FlashResult r;
    if (!equilibrium::flashTPFrom(flashFluid_, T, P, z_.data(), guess, r))
        throw Error("isothermal flash did not converge", kCalculation);
    return fromPhases(T, P, std::move(r.phases));
}

double molarEnthalpy(const EquilibriumCache& c) {
    double h = 0;
    for (const auto& p : c.phases)
        h += p.beta * p.h;
    return h;
}
double molarEntropy(const EquilibriumCache& c) {
    double s = 0;
    for (const auto& p : c.phases)
        s += p.beta * p.s;
    return s;
}
double molarVolume(const EquilibriumCache& c) {
    double v = 0;
    for (const auto& p : c.phases)
        v += p.beta * p.v;
    return v;
}
double liquidFraction(const EquilibriumCache& c) {
    double f = 0;
    for (const auto& p : c.phases)
        if (p.kind == models::kLiquid) f += p.beta;
    return f;
}
double vapourFraction(const EquilibriumCache& c) {
    double f = 0;
    for (const auto& p : c.phases)
        if (p.kind == models::kVapour) f += p.beta;
    return f;
}
const PhaseState* phaseOfKind(const EquilibriumCache& c, int kind) {
    for (const auto& p : c.phases)
        if (p.kind == kind) return &p;
    return nullptr;
}

PhaseState combined(const EquilibriumCache& c, int kind) {
    PhaseState out;
    out.kind = kind;
    out.beta = 0;
    bool first = true;
    for (const auto& p : c.phases) {
        if (p.kind != kind) continue;
        if (first) {
            out = p;
            first = false;
            continue;
        }
        const double b = out.beta + p.beta;
        const double a = out.beta / b, e = p.beta / b;
        for (std::size_t i = 0; i < out.x.size(); ++i)
            out.x[i] = a * out.x[i] + e * p.x[i];
        out.mw = a * out.mw + e * p.mw;
        out.v = a * out.v + e * p.v;
        out.h = a * out.h + e * p.h;
        out.s = a * out.s + e * p.s;
        out.cp = a * out.cp + e * p.cp;
        out.cv = a * out.cv + e * p.cv;
        out.beta = b;
    }
    if (first) out.beta = 0;
    return out;
}

} // namespace zpk::engine
