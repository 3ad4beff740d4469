// The stream store: a fixed table of kCapacity numbered streams (1-based).
//
// Each stream has its own mutex; an operation on one stream locks only that
// stream, so threads working on different streams never contend.  Copying
// between two streams locks both together (std::scoped_lock, deadlock free).
//
// A stream holds
//   * its definition (StreamDef): components and fractions by position,
//     mass flow, models, options, binary interaction entries, name;
//   * its operating point (T, P) and whether it is valid (opDefined);
//   * an opaque slot for the engine's cached equilibrium state.
// All values are stored in the library's base units (K, Pa, kg/s); unit
// conversion is done by the API layer.
//
// How the engine uses the store:
//   1. copy what it needs under the lock:
//        StreamDef def = streams::withStream(n, [](Stream& s) { return s.def; });
//      or Stream copy = streams::snapshot(n);
//   2. compute outside the lock;
//   3. write the results back under the lock, e.g.
//        streams::withStream(n, [&](Stream& s) {
//            if (s.revision != copy.revision) return;   // definition changed meanwhile
//            s.T = T; s.P = P; s.opDefined = true; s.state = std::move(result);
//        });
// The cache slot `state` is a std::shared_ptr<const EquilibriumCache>; the
// engine defines struct zpk::EquilibriumCache in its own header (the store
// only copies and resets the pointer, which needs no complete type).  Being
// const and shared, a cached state can be handed to StrCopyOp's target
// without copying it.
//
// Every change of the definition increments `revision`, clears the
// operating point flag and drops the cached state, the phase input and the
// engine's models of the definition (slot `system`, built once per
// definition and shared by every call on the stream).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/error.h"

namespace zpk {
struct EquilibriumCache; // defined by the equilibrium engine
}
namespace zpk::engine {
class StreamSystem; // the models of a definition, built by the engine
}

namespace zpk::streams {

inline constexpr int kCapacity = 2000;        // streams 1..kCapacity (getMSNr)
inline constexpr int kBlockSize = 20;         // streams per thread block
inline constexpr int kFirstThreadBase = 1000; // getASNr bases 1000, 1020, ..., 1980
inline constexpr int kThreadBlocks = (kCapacity - kFirstThreadBase) / kBlockSize; // 50
inline constexpr int kMaxPositions = 100;  // component positions per stream (getMCNr)
inline constexpr int kMaxBipEntries = 500; // binary interaction entries per stream (getMBPNr)
inline constexpr int kBipParameters = 10;  // parameters 0..9 of one entry
inline constexpr int kProperties = 4;      // 1 fugacity, 2 enthalpy, 3 entropy, 4 volume
inline constexpr int kPhaseKinds = 4;      // 0 vapour, 1 liquid, 2 solid, 3 hydrate
inline constexpr int kHydrateKind = 3;     // phase kind code of a hydrate
inline constexpr int kSettings = 20;       // putKS/getKS indices 1..kSettings
inline constexpr int kMaxNameLength = 200; // characters of a stream name
inline constexpr int kMaxBipLoadLevel = 3; // loadSB levels 0..3

// One binary interaction entry: positions i and j (1-based, 0 = not set),
// model code (0 = not set) and its parameters.
struct BipEntry {
    int i = 0, j = 0, model = 0;
    std::array<double, kBipParameters> p{};
    bool operator==(const BipEntry&) const = default;
};

struct StreamDef {
    // Component code (database index, 0 = not set) and fraction of each
    // position; both vectors have the same size, the number of positions used.
    std::vector<int> codes;
    std::vector<double> z;
    double massFlow = 1.0; // kg/s
    // Model per (property - 1, phase); 0 = never set, which means model 1.
    std::array<std::array<int, kPhaseKinds>, kProperties> models{};
    int options = 0;                           // putKO bit mask, 0 = defaults
    std::array<int, kSettings + 1> settings{}; // putKS values, index 0 unused
    std::vector<BipEntry> bips;                // entry n is bips[n - 1]
    int bipLoadLevel = -1;                     // loadSB request, -1 = none
    std::string name;
    bool defined = false; // set by setS while the definition stays valid

    // Model for property (1..4) and phase (0..3), with "never set" read as 1.
    int model(int property, int phase) const {
        int m = models[property - 1][phase];
        return m == 0 ? 1 : m;
    }
    int positions() const { return static_cast<int>(codes.size()); }
    bool operator==(const StreamDef&) const = default;
};

// One phase of a phase state given by the caller through putPt, putPf and
// putW (an equilibrium handed over from another program, for instance); the
// engine checks it and installs it as the stream's state in setValidPhase.
struct PhaseInput {
    int kind = -1;         // 0 vapour, 1 liquid, 2 solid, 3 hydrate; -1 not given
    double beta = -1;      // phase fraction; < 0 not given
    std::vector<double> x; // mole fractions by position; empty: not given
    bool operator==(const PhaseInput&) const = default;
};

struct Stream {
    StreamDef def;
    double T = 298.15; // K
    double P = 101325; // Pa
    bool opDefined = false;
    std::shared_ptr<const EquilibriumCache> state;
    std::vector<PhaseInput> phaseInput; // phases 1.. given by the setters
    std::uint64_t revision = 0;
    // The engine's models of the definition, built at revision
    // systemRevision; valid while the revision is unchanged (every change
    // of the definition also drops it).
    std::shared_ptr<const engine::StreamSystem> system;
    std::uint64_t systemRevision = 0;

    // Reset to an empty stream (initS).
    void clear();
    // Mark a change of the definition: new revision, operating point,
    // cached state and phase input no longer valid, defined flag re-checked.
    void touchDefinition();
};

// Lock-holding slot of the table; only the store touches the mutex.
struct Slot {
    std::mutex mutex;
    Stream stream;
};

// Throws zpk::Error unless 1 <= n <= kCapacity.
void checkNumber(int n);
Slot& slot(int n); // checks n

// Run f(Stream&) with stream n locked and return its result.
template <class F> decltype(auto) withStream(int n, F&& f) {
    Slot& s = slot(n);
    std::lock_guard lock(s.mutex);
    return f(s.stream);
}

// Run f(Stream& a, Stream& b) with both streams locked; a and b may be equal
// (then f gets the same stream twice and it is locked once).
template <class F> decltype(auto) withTwoStreams(int a, int b, F&& f) {
    Slot& sa = slot(a);
    Slot& sb = slot(b);
    if (&sa == &sb) {
        std::lock_guard lock(sa.mutex);
        return f(sa.stream, sa.stream);
    }
    std::scoped_lock lock(sa.mutex, sb.mutex);
    return f(sa.stream, sb.stream);
}

// Copy of the whole stream taken under its lock.
Stream snapshot(int n);

// Check a definition as setS does; returns an empty text when valid, else
// the reason ("position 2 has no component", ...).
std::string validate(const StreamDef& def);

// Validated setters used by the API: they check every argument before
// changing anything and throw zpk::Error with a clear message.
void setPositionFraction(Stream& s, int position, double z);
void setPositionCode(Stream& s, int position, int code);
void setModel(Stream& s, int property, int phase, int model);
BipEntry& bipEntry(Stream& s, int entry); // grows the list up to entry

// Thread blocks: the base of the calling thread's block (1000, 1020, ...),
// the same on every call from the same thread; the block is released when
// the thread ends.  Throws zpk::Error when all blocks are taken.
int threadBase();
// Number of blocks currently held (for tests and CFGInt).
int blocksInUse();

} // namespace zpk::streams
