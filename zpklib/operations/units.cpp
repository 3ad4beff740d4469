#include "operations/units.h"

#include <cmath>
#include <map>

#include "components/database.h"
#include "core/error.h"
#include "equilibrium/flashes.h"

namespace zpk::operations {

namespace {

// Mass per mole of a state (kg/kmol), from its phases' molar masses, so that
// products split the mass flow on the same molar masses as their phases.
double molarMass(const EquilibriumCache& st) {
    double m = 0, b = 0;
    for (const auto& p : st.phases) {
        m += p.beta * p.mw;
        b += p.beta;
    }
    return m / b;
}

std::vector<double> normalised(const streams::StreamDef& def) {
    std::vector<double> z(def.z);
    double s = 0;
    for (double& v : z)
        s += (v = std::max(v, 0.0));
    for (double& v : z)
        v /= s;
    return z;
}

} // namespace

StreamResult mix(const MixInput& a, const MixInput& b, double outletP, double duty) {
    if (!a.state || !b.state) throw Error("both inlets need an operating point", kNotDefined);
    StreamResult r;
    r.def = a.def;
    // Union of the components, mapping b's positions into the outlet.
    std::map<int, int> pos; // component code -> 0-based outlet position
    for (int i = 0; i < a.def.positions(); ++i)
        pos.emplace(a.def.codes[i], i);
    std::vector<int> mapB(b.def.positions());
    for (int i = 0; i < b.def.positions(); ++i) {
        auto it = pos.find(b.def.codes[i]);
        if (it == pos.end()) {
            it = pos.emplace(b.def.codes[i], r.def.positions()).first;
            r.def.codes.push_back(b.def.codes[i]);
            r.def.z.push_back(0.0);
        }
        mapB[i] = it->second;
    }
    engine::StreamSystem sa(a.def), sb(b.def);
    const double na = a.def.massFlow / sa.feedMw(), nb = b.def.massFlow / sb.feedMw(); // kmol/s
    const auto za = normalised(a.def), zb = normalised(b.def);
    std::vector<double> n(r.def.positions(), 0.0);
    for (int i = 0; i < a.def.positions(); ++i)
        n[i] += na * za[i];
    for (int i = 0; i < b.def.positions(); ++i)
        n[mapB[i]] += nb * zb[i];
    const double ntot = na + nb;
    if (!(ntot > 0)) throw Error("both inlets have no flow", kNotDefined);
    for (int i = 0; i < r.def.positions(); ++i)
        r.def.z[i] = n[i] / ntot;
    r.def.massFlow = a.def.massFlow + b.def.massFlow;
    for (const auto& e : b.def.bips) {
        streams::BipEntry m = e;
        if (e.i < 1 || e.j < 1 || e.i > b.def.positions() || e.j > b.def.positions()) continue;
        m.i = mapB[e.i - 1] + 1;
        m.j = mapB[e.j - 1] + 1;
        r.def.bips.push_back(m);
    }
    r.def.bipLoadLevel = std::max(a.def.bipLoadLevel, b.def.bipLoadLevel);
    r.def.options |= b.def.options;
    r.def.defined = true;
    // Enthalpy balance on one base (kJ/s = J/mol * kmol/s).
    engine::StreamSystem so(r.def);
    const double ha = (engine::molarEnthalpy(*a.state) + sa.offsetH(sa.feed().data())) * na;
    const double hb = (engine::molarEnthalpy(*b.state) + sb.offsetH(sb.feed().data())) * nb;
    const double hOut = (ha + hb + duty) / ntot - so.offsetH(so.feed().data());
    const double P = outletP > 0 ? outletP : std::min(a.state->P, b.state->P);
    const double T0 = (na * a.state->T + nb * b.state->T) / ntot;
    r.state = engine::stateFunctionFlash(so, engine::Spec::H, hOut, P, true, T0);
    return r;
}

StreamResult phaseProduct(const streams::StreamDef& feed, const EquilibriumCache& st, int phase) {
    if (phase < 1 || phase > static_cast<int>(st.phases.size()))
        throw Error("phase " + std::to_string(phase) + " does not exist", kBadArgument);
    const engine::PhaseState& p = st.phases[phase - 1];
    StreamResult r;
    r.def = feed;
    r.def.z = p.x;
    r.def.massFlow = feed.massFlow * p.beta * p.mw / molarMass(st);
    auto c = std::make_shared<EquilibriumCache>();
    c->T = st.T;
    c->P = st.P;
    c->phases.push_back(p);
    c->phases.back().beta = 1.0;
    r.state = std::move(c);
    return r;
}

StreamResult kindProduct(const streams::StreamDef& feed, const EquilibriumCache& st, int kind) {
    StreamResult r;
    r.def = feed;
    auto c = std::make_shared<EquilibriumCache>();
    c->T = st.T;
    c->P = st.P;
    double beta = 0, mass = 0;
    for (const auto& p : st.phases)
        if (p.kind == kind) {
            beta += p.beta;
            mass += p.beta * p.mw;
        }
    if (beta <= 0) return emptyProduct(feed, st);
    std::vector<double> z(feed.positions(), 0.0);
    for (const auto& p : st.phases)
        if (p.kind == kind) {
            for (std::size_t i = 0; i < z.size(); ++i)
                z[i] += p.beta * p.x[i] / beta;
            c->phases.push_back(p);
            c->phases.back().beta = p.beta / beta;
        }
    r.def.z = z;
    r.def.massFlow = feed.massFlow * mass / molarMass(st);
    r.state = std::move(c);
    return r;
}

StreamResult emptyProduct(const streams::StreamDef& feed, const EquilibriumCache& st) {
    StreamResult r;
    r.def = feed;
    r.def.massFlow = 0.0;
    auto c = std::make_shared<EquilibriumCache>(st);
    r.state = std::move(c);
    return r;
}

} // namespace zpk::operations
