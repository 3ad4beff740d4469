// C interface: stream definitions, operating point values and copies.
// Values cross in the caller's selected units and are stored in base units.
#include <cmath>
#include <cstring>

#include "core/error.h"
#include "core/thread_context.h"
#include "models/catalogue.h"
#include "streams/store.h"
#include "units/units.h"
#include "zpk/zpk.h"

using namespace zpk;
using streams::Stream;
using streams::withStream;

namespace {

std::string str(int v) { return std::to_string(v); }

void checkPosition(const Stream& s, int position) {
    if (position < 1 || position > s.def.positions())
        core::fail("position " + str(position) + " is outside 1.." + str(s.def.positions()));
}

const streams::BipEntry& existingEntry(const Stream& s, int entry) {
    const int n = static_cast<int>(s.def.bips.size());
    if (entry < 1 || entry > n) core::fail("binary entry " + str(entry) + " is outside 1.." + str(n));
    return s.def.bips[entry - 1];
}

void checkEntryNumber(int entry) {
    if (entry < 1 || entry > streams::kMaxBipEntries)
        core::fail("binary entry " + str(entry) + " is outside 1.." + str(streams::kMaxBipEntries));
}

void checkEntryPosition(int position) {
    if (position < 1 || position > streams::kMaxPositions)
        core::fail("position " + str(position) + " is outside 1.." + str(streams::kMaxPositions));
}

}  // namespace

extern "C" {

int initS(int stream) {
    return guarded("initS", 0, [&] {
        withStream(stream, [](Stream& s) { s.clear(); });
        return 1;
    });
}

int setS(int stream) {
    return guarded("setS", 0, [&] {
        return withStream(stream, [&](Stream& s) {
            std::string why = streams::validate(s.def);
            if (!why.empty()) core::fail("stream " + str(stream) + ": " + why, kNotDefined);
            s.touchDefinition();
            s.def.defined = true;
            return 1;
        });
    });
}

int isSDef(int stream) {
    return guarded("isSDef", 0, [&] { return withStream(stream, [](Stream& s) { return s.def.defined ? 1 : 0; }); });
}

int isSopDef(int stream) {
    return guarded("isSopDef", 0, [&] { return withStream(stream, [](Stream& s) { return s.opDefined ? 1 : 0; }); });
}

int setValidSop(int stream) {
    return guarded("setValidSop", 0, [&] {
        return withStream(stream, [&](Stream& s) {
            if (!s.def.defined) core::fail("stream " + str(stream) + " is not defined", kNotDefined);
            s.opDefined = true;
            return 1;
        });
    });
}

int rstValidSop(int stream) {
    return guarded("rstValidSop", 0, [&] {
        withStream(stream, [](Stream& s) {
            s.opDefined = false;
            s.state.reset();
        });
        return 1;
    });
}

int setWm(int stream, double value) {
    return guarded("setWm", 0, [&] {
        core::requireFinite("mass flow", value);
        const double w = units::fromUser(units::MassFlow, value);
        if (!(w >= 0) || !std::isfinite(w)) core::fail("mass flow " + std::to_string(value) + " is negative");
        // The flow only scales extensive results: the equilibrium, the
        // operating point and the revision stay as they are.
        withStream(stream, [&](Stream& s) { s.def.massFlow = w; });
        return 1;
    });
}

double getWm(int stream) {
    return guarded("getWm", kNaN, [&] {
        const double w = withStream(stream, [](Stream& s) { return s.def.massFlow; });
        return units::toUser(units::MassFlow, w);
    });
}

int putZ(int stream, int position, double z) {
    return guarded("putZ", 0, [&] {
        withStream(stream, [&](Stream& s) { streams::setPositionFraction(s, position, z); });
        return 1;
    });
}

double getZ(int stream, int position) {
    return guarded("getZ", kNaN, [&] {
        return withStream(stream, [&](Stream& s) {
            checkPosition(s, position);
            return s.def.z[position - 1];
        });
    });
}

int putCC(int stream, int position, int code) {
    return guarded("putCC", 0, [&] {
        withStream(stream, [&](Stream& s) { streams::setPositionCode(s, position, code); });
        return 1;
    });
}

int getCC(int stream, int position) {
    return guarded("getCC", 0, [&] {
        return withStream(stream, [&](Stream& s) {
            checkPosition(s, position);
            return s.def.codes[position - 1];
        });
    });
}

int getCNr(int stream) {
    return guarded("getCNr", 0, [&] { return withStream(stream, [](Stream& s) { return s.def.positions(); }); });
}

int setMP(int stream, int property, int phase, int model) {
    return guarded("setMP", 0, [&] {
        withStream(stream, [&](Stream& s) { streams::setModel(s, property, phase, model); });
        return 1;
    });
}

int getMP(int stream, int property, int phase) {
    return guarded("getMP", 0, [&] {
        if (property < 1 || property > streams::kProperties) core::fail("property " + str(property) + " is outside 1..4");
        if (phase < 0 || phase >= streams::kPhaseKinds) core::fail("phase " + str(phase) + " is outside 0..3");
        return withStream(stream, [&](Stream& s) { return s.def.model(property, phase); });
    });
}

int putKO(int stream, int options) {
    return guarded("putKO", 0, [&] {
        if (options < 0) core::fail("options " + str(options) + " is negative");
        withStream(stream, [&](Stream& s) {
            s.def.options = options;
            s.touchDefinition();
        });
        return 1;
    });
}

int getKO(int stream) {
    return guarded("getKO", 0, [&] { return withStream(stream, [](Stream& s) { return s.def.options; }); });
}

int putKS(int stream, int index, int value) {
    return guarded("putKS", 0, [&] {
        if (index < 1 || index > streams::kSettings)
            core::fail("setting " + str(index) + " is outside 1.." + str(streams::kSettings));
        withStream(stream, [&](Stream& s) {
            s.def.settings[index] = value;
            s.touchDefinition();
        });
        return 1;
    });
}

int getKS(int stream, int index) {
    return guarded("getKS", 0, [&] {
        if (index < 1 || index > streams::kSettings)
            core::fail("setting " + str(index) + " is outside 1.." + str(streams::kSettings));
        return withStream(stream, [&](Stream& s) { return s.def.settings[index]; });
    });
}

int loadSB(int stream, int level) {
    return guarded("loadSB", 0, [&] {
        if (level < 0 || level > streams::kMaxBipLoadLevel)
            core::fail("level " + str(level) + " is outside 0.." + str(streams::kMaxBipLoadLevel));
        withStream(stream, [&](Stream& s) {
            s.def.bipLoadLevel = level;
            s.touchDefinition();
        });
        return 1;
    });
}

int putCi(int stream, int entry, int position) {
    return guarded("putCi", 0, [&] {
        checkEntryNumber(entry);
        checkEntryPosition(position);
        withStream(stream, [&](Stream& s) {
            streams::bipEntry(s, entry).i = position;
            s.touchDefinition();
        });
        return 1;
    });
}

int putCj(int stream, int entry, int position) {
    return guarded("putCj", 0, [&] {
        checkEntryNumber(entry);
        checkEntryPosition(position);
        withStream(stream, [&](Stream& s) {
            streams::bipEntry(s, entry).j = position;
            s.touchDefinition();
        });
        return 1;
    });
}

int putMB(int stream, int entry, int model) {
    return guarded("putMB", 0, [&] {
        checkEntryNumber(entry);
        if (models::find(model) == nullptr) core::fail("model " + str(model) + " is unknown");
        withStream(stream, [&](Stream& s) {
            streams::bipEntry(s, entry).model = model;
            s.touchDefinition();
        });
        return 1;
    });
}

int putBIP(int stream, int entry, int k, double value) {
    return guarded("putBIP", 0, [&] {
        checkEntryNumber(entry);
        if (k < 0 || k >= streams::kBipParameters)
            core::fail("parameter " + str(k) + " is outside 0.." + str(streams::kBipParameters - 1));
        core::requireFinite("value", value);
        withStream(stream, [&](Stream& s) {
            streams::bipEntry(s, entry).p[k] = value;
            s.touchDefinition();
        });
        return 1;
    });
}

double getBIP(int stream, int entry, int k) {
    return guarded("getBIP", kNaN, [&] {
        if (k < 0 || k >= streams::kBipParameters)
            core::fail("parameter " + str(k) + " is outside 0.." + str(streams::kBipParameters - 1));
        return withStream(stream, [&](Stream& s) { return existingEntry(s, entry).p[k]; });
    });
}

int getCi(int stream, int entry) {
    return guarded("getCi", 0, [&] { return withStream(stream, [&](Stream& s) { return existingEntry(s, entry).i; }); });
}

int getCj(int stream, int entry) {
    return guarded("getCj", 0, [&] { return withStream(stream, [&](Stream& s) { return existingEntry(s, entry).j; }); });
}

int getMB(int stream, int entry) {
    return guarded("getMB", 0,
                   [&] { return withStream(stream, [&](Stream& s) { return existingEntry(s, entry).model; }); });
}

int SBIPnr(int stream, int model) {
    return guarded("SBIPnr", 0, [&] {
        if (model != 0 && models::find(model) == nullptr) core::fail("model " + str(model) + " is unknown");
        return withStream(stream, [&](Stream& s) {
            int n = 0;
            for (const auto& e : s.def.bips)
                if (model == 0 || e.model == model) ++n;
            return n;
        });
    });
}

int putN(int stream, const char* name) {
    return guarded("putN", 0, [&] {
        if (name == nullptr) core::fail("name is a null pointer");
        const std::size_t len = std::strlen(name);
        if (len > static_cast<std::size_t>(streams::kMaxNameLength))
            core::fail("name has " + std::to_string(len) + " characters, more than " + str(streams::kMaxNameLength));
        withStream(stream, [&](Stream& s) { s.def.name.assign(name, len); });
        return 1;
    });
}

char* StrN(int stream) {
    return guarded("StrN", static_cast<char*>(nullptr), [&] {
        static thread_local std::string buf;
        buf = withStream(stream, [](Stream& s) { return s.def.name; });
        return buf.data();
    });
}

int StrCopy(int target, int source) {
    return guarded("StrCopy", 0, [&] {
        streams::withTwoStreams(target, source, [](Stream& dst, Stream& src) {
            if (&dst == &src) return;
            dst.def = src.def;
            dst.touchDefinition();
        });
        return 1;
    });
}

int StrCopyOp(int target, int source) {
    return guarded("StrCopyOp", 0, [&] {
        streams::withTwoStreams(target, source, [](Stream& dst, Stream& src) {
            if (&dst == &src) return;
            dst.def = src.def;
            dst.T = src.T;
            dst.P = src.P;
            dst.opDefined = src.opDefined;
            dst.state = src.state;
            dst.phaseInput = src.phaseInput;
            ++dst.revision;
        });
        return 1;
    });
}

int putT(int stream, double T) {
    return guarded("putT", 0, [&] {
        core::requireFinite("temperature", T);
        const double k = units::fromUser(units::Temperature, T);
        if (!(k > 0)) core::fail("temperature " + std::to_string(T) + " is not above absolute zero");
        withStream(stream, [&](Stream& s) {
            s.T = k;
            s.opDefined = false;
            s.state.reset();
        });
        return 1;
    });
}

double getT(int stream) {
    return guarded("getT", kNaN, [&] {
        return units::toUser(units::Temperature, withStream(stream, [](Stream& s) { return s.T; }));
    });
}

int putP(int stream, double P) {
    return guarded("putP", 0, [&] {
        core::requireFinite("pressure", P);
        const double pa = units::fromUser(units::Pressure, P);
        if (!(pa > 0)) core::fail("pressure " + std::to_string(P) + " is not positive");
        withStream(stream, [&](Stream& s) {
            s.P = pa;
            s.opDefined = false;
            s.state.reset();
        });
        return 1;
    });
}

double getP(int stream) {
    return guarded("getP", kNaN, [&] {
        return units::toUser(units::Pressure, withStream(stream, [](Stream& s) { return s.P; }));
    });
}

}  // extern "C"
