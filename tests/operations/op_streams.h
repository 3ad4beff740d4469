// Stream set-up shared by the unit-operation tests (C interface, unit set 1).
#pragma once

#include <cmath>
#include <initializer_list>
#include <memory>
#include <vector>

#include "api/engine_common.h"
#include "zpk/zpk.h"

namespace optest {

inline constexpr int kMethane = 74828, kEthane = 74840, kPropane = 74986, kNButane = 106978,
                     kNitrogen = 7727379, kWater = 7732185, kNHexane = 110543, kIsobutane = 75285;

inline void unitSet1() {
    for (int q = 15; q <= 54; ++q)
        setUMC(q, 1);
}

// A stream with one model for every property of vapour and liquid.
inline void define(int s, double massFlow, int model, std::initializer_list<int> cas,
                   std::initializer_list<double> z, int options = 0) {
    initS(s);
    setWm(s, massFlow);
    for (int p = 1; p <= 4; ++p) {
        setMP(s, p, 0, model);
        setMP(s, p, 1, model);
    }
    int pos = 1;
    for (int c : cas)
        putCC(s, pos++, CompCID(c));
    pos = 1;
    for (double v : z)
        putZ(s, pos++, v);
    setS(s);
    if (options) putKO(s, options);
}

// Model system and current state of a stream (white-box access).
struct Inside {
    std::shared_ptr<const zpk::engine::StreamSystem> sys;
    std::shared_ptr<const zpk::EquilibriumCache> state;
};
inline Inside inside(int s) {
    zpk::api::StreamView v;
    Inside r;
    r.state = zpk::api::currentState(s, &v);
    r.sys = zpk::api::systemOf(v);
    return r;
}

// Component molar flows (kmol/s) of a stream from its mass flow, molar mass
// and fractions, by position.
inline std::vector<double> molarFlows(int s, int positions) {
    std::vector<double> n(positions);
    const double total = getWm(s) / StrMw(s);
    for (int i = 0; i < positions; ++i)
        n[i] = total * getZ(s, i + 1);
    return n;
}

} // namespace optest
