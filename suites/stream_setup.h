// Small building blocks for defining a mixture on a library stream, shared by
// the analytic-derivative and isothermal-flash procedures.  They only group
// calls that the procedures make in a fixed order; none of them adds a call.
#pragma once

#include <span>

#include "testcode.h"
#include "zpk/zpk.h"

namespace suites {

// One position of a mixture: the fixture member holding the component code
// and the feed mole fraction of that position.
struct Feed {
    int testcode::*component;
    double z;
};

// One binary interaction parameter.  Consecutive rows with the same entry
// number belong to one entry of the stream's interaction list, which joins
// positions i and j; index is the parameter number counted from 0.
struct Bip {
    int entry;
    int i;
    int j;
    int index;
    double value;
};

// putZ for every position in ascending order, then putCC for every position.
inline void putFeeds(const testcode& fixture, int stream, std::span<const Feed> feeds) {
    int position = 1;
    for (const Feed& feed : feeds)
        putZ(stream, position++, feed.z);
    position = 1;
    for (const Feed& feed : feeds)
        putCC(stream, position++, fixture.*feed.component);
}

// For each entry in ascending order: putCi, putCj, putMB with the given model,
// then the entry's putBIP calls in the listed order.
inline void putInteractions(int stream, int model, std::span<const Bip> bips) {
    int current = 0;
    for (const Bip& bip : bips) {
        if (bip.entry != current) {
            current = bip.entry;
            putCi(stream, current, bip.i);
            putCj(stream, current, bip.j);
            putMB(stream, current, model);
        }
        putBIP(stream, current, bip.index, bip.value);
    }
}

// Feeds, interaction entries, then setS: the tail of every definition.
inline void completeMixture(const testcode& fixture, int stream, std::span<const Feed> feeds, int model = 0,
                            std::span<const Bip> bips = {}) {
    putFeeds(fixture, stream, feeds);
    putInteractions(stream, model, bips);
    setS(stream);
}

// setMP(stream, 1, p, models[p]) for the phase codes p = 0, 1, ... in order:
// the fugacity model of vapour, liquid, solid and hydrate.
inline void setFugacityModels(int stream, std::span<const int> models) {
    int phase = 0;
    for (int model : models)
        setMP(stream, 1, phase++, model);
}

} // namespace suites
