// Shared helpers of the tests that drive the C interface on database streams:
// component CAS numbers, a stream definition with one fugacity model for both
// fluid phases, the battery's sixteen-component gas, and a fixture that puts
// every quantity in unit set 1 around each test.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <utility>
#include <vector>

#include "zpk/zpk.h"

namespace testsupport {

using Mixture = std::vector<std::pair<int, double>>; // CAS without hyphens, mole fraction

constexpr int kMethane = 74828, kEthane = 74840, kPropane = 74986, kIsobutane = 75285, kNButane = 106978,
              kNHexane = 110543, kCO2 = 124389, kH2S = 7783064, kNDecane = 124185, kNitrogen = 7727379,
              kWater = 7732185;

// initS, setWm 1, the fugacity model of vapour and liquid, then the
// fractions and components in position order; setS is left to the caller.
inline void define(int s, const Mixture& mix, int model) {
    initS(s);
    setWm(s, 1.0);
    setMP(s, 1, 0, model);
    setMP(s, 1, 1, model);
    for (std::size_t i = 0; i < mix.size(); ++i)
        putZ(s, static_cast<int>(i) + 1, mix[i].second);
    for (std::size_t i = 0; i < mix.size(); ++i)
        putCC(s, static_cast<int>(i) + 1, CompCID(mix[i].first));
}

// Every quantity in unit set 1.
inline void unitSet1() {
    for (int q = 15; q <= 54; ++q) setUMC(q, 1);
}

// initS, setWm 1, one model for all four properties of vapour and liquid,
// then fractions and components (CAS numbers) in position order; setS is
// left to the caller.
inline void defineAllProperties(int s, int model, std::initializer_list<int> cas, std::initializer_list<double> z) {
    initS(s);
    setWm(s, 1.0);
    for (int p = 1; p <= 4; ++p) {
        setMP(s, p, 0, model);
        setMP(s, p, 1, model);
    }
    int pos = 1;
    for (double v : z) putZ(s, pos++, v);
    pos = 1;
    for (int c : cas) putCC(s, pos++, CompCID(c));
}

// The natural gas of sixteen components used by the battery's flash and
// critical-point cases; hydrogen sulfide and water are 1e-9 traces.
inline Mixture sixteenComponentGas() {
    return {{kMethane, 0.858264838},
            {kEthane, 0.073530495},
            {kPropane, 0.024027488},
            {kIsobutane, 0.004152653},
            {kNButane, 0.007765367},
            {78784, 2.45226e-6},
            {109660, 0.002596633},
            {kNHexane, 0.002392935},
            {142825, 0.001470121},
            {111659, 0.002655538},
            {111842, 5.27638e-5},
            {kNDecane, 5.27638e-5},
            {kNitrogen, 0.002935327},
            {kCO2, 0.0020100624},
            {kH2S, 1e-9},
            {kWater, 1e-9}};
}

// Unit set 1 for every quantity before and after each test; error flag cleared.
class UnitSet1Test : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int q = 15; q <= 54; ++q)
            setUMC(q, 1);
        setErrFlag(0);
    }
    void TearDown() override {
        for (int q = 15; q <= 54; ++q)
            setUMC(q, 1);
    }
};

} // namespace testsupport
