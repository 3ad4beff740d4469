#include "streams/store.h"

#include <cmath>

#include "components/database.h"
#include "models/catalogue.h"

namespace zpk::streams {

namespace {

using core::fail;

// The table lives for the whole process (never destroyed, so thread-exit
// handlers running during shutdown can still reach it).
Slot* table() {
    static Slot* t = new Slot[kCapacity + 1]; // index 0 unused
    return t;
}

std::string str(int v) {
    return std::to_string(v);
}

void checkPosition(int position) {
    if (position < 1 || position > kMaxPositions)
        fail("position " + str(position) + " is outside 1.." + str(kMaxPositions));
}

void growTo(StreamDef& d, int positions) {
    if (d.positions() < positions) {
        d.codes.resize(positions, 0);
        d.z.resize(positions, 0.0);
    }
}

} // namespace

void Stream::clear() {
    def = StreamDef{};
    T = 298.15;
    P = 101325;
    opDefined = false;
    state.reset();
    phaseInput.clear();
    system.reset();
    ++revision;
}

void Stream::touchDefinition() {
    ++revision;
    opDefined = false;
    state.reset();
    phaseInput.clear();
    system.reset();
    if (def.defined && !validate(def).empty()) def.defined = false;
}

void checkNumber(int n) {
    if (n < 1 || n > kCapacity) fail("stream " + str(n) + " is outside 1.." + str(kCapacity));
}

Slot& slot(int n) {
    checkNumber(n);
    return table()[n];
}

Stream snapshot(int n) {
    return withStream(n, [](Stream& s) { return s; });
}

std::string validate(const StreamDef& def) {
    const int n = def.positions();
    if (n == 0) return "no component";
    const int known = components::count();
    double sum = 0;
    for (int i = 0; i < n; ++i) {
        const int code = def.codes[i];
        if (code == 0) return "position " + str(i + 1) + " has no component";
        if (code < 1 || code > known)
            return "component code " + str(code) + " at position " + str(i + 1) + " is unknown";
        for (int j = 0; j < i; ++j)
            if (def.codes[j] == code)
                return "component code " + str(code) + " is at positions " + str(j + 1) + " and " +
                       str(i + 1);
        const double z = def.z[i];
        if (!std::isfinite(z) || z < 0) return "fraction at position " + str(i + 1) + " is invalid";
        sum += z;
    }
    if (!(sum > 0) || !std::isfinite(sum)) return "fractions do not have a positive sum";
    for (std::size_t k = 0; k < def.bips.size(); ++k) {
        const BipEntry& e = def.bips[k];
        const std::string entry = "binary entry " + std::to_string(k + 1);
        if (e.i < 1 || e.i > n || e.j < 1 || e.j > n)
            return entry + " joins positions " + str(e.i) + " and " + str(e.j) + " of " + str(n);
        if (e.i == e.j) return entry + " joins position " + str(e.i) + " with itself";
    }
    return {};
}

void setPositionFraction(Stream& s, int position, double z) {
    checkPosition(position);
    if (!std::isfinite(z) || z < 0) fail("fraction " + std::to_string(z) + " is not a finite value >= 0");
    growTo(s.def, position);
    s.def.z[position - 1] = z;
    s.touchDefinition();
}

void setPositionCode(Stream& s, int position, int code) {
    checkPosition(position);
    const int known = components::count();
    if (code < 1 || code > known) fail("component code " + str(code) + " is outside 1.." + str(known));
    growTo(s.def, position);
    s.def.codes[position - 1] = code;
    s.touchDefinition();
}

void setModel(Stream& s, int property, int phase, int model) {
    if (property < 1 || property > kProperties) fail("property " + str(property) + " is outside 1..4");
    if (phase < 0 || phase >= kPhaseKinds) fail("phase " + str(phase) + " is outside 0..3");
    const models::ModelInfo* m = models::find(model);
    if (m == nullptr) fail("model " + str(model) + " is unknown");
    if (!models::serves(model, property, phase))
        fail("model " + str(model) + " (" + std::string(m->name) + ") does not serve property " +
             str(property) + " in phase " + str(phase));
    s.def.models[property - 1][phase] = model;
    s.touchDefinition();
}

BipEntry& bipEntry(Stream& s, int entry) {
    if (entry < 1 || entry > kMaxBipEntries)
        fail("binary entry " + str(entry) + " is outside 1.." + str(kMaxBipEntries));
    if (static_cast<int>(s.def.bips.size()) < entry) s.def.bips.resize(entry);
    return s.def.bips[entry - 1];
}

} // namespace zpk::streams
