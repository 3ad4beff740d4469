// Helpers shared by the engine's C functions: reading a stream's definition
// and equilibrium state from the store, storing new states, and the unit
// conversions of the engine's results.  No physics here.
#pragma once

#include <cstdint>
#include <memory>

#include "equilibrium/engine.h"
#include "streams/store.h"

namespace zpk::operations {
struct StreamResult;
} // namespace zpk::operations

namespace zpk::api {

// A consistent copy of what the engine needs from a stream.
struct StreamView {
    int stream = 0; // 0: not taken from a stream by view()
    streams::StreamDef def;
    double T = 0, P = 0;
    bool opDefined = false;
    std::shared_ptr<const EquilibriumCache> state;
    std::uint64_t revision = 0;
    std::shared_ptr<const engine::StreamSystem> system; // the stream's models when already built
};

StreamView view(int stream);
// The stream's models; throws when it is not defined.  Built once per
// definition and kept in the stream (see streams/store.h).
std::shared_ptr<const engine::StreamSystem> systemOf(const StreamView& v);
// The stream's equilibrium at its operating point (flashed and stored when
// the cache is empty); throws kNotDefined without an operating point.
std::shared_ptr<const EquilibriumCache> currentState(int stream, StreamView* out = nullptr);
// Store a new state as the stream's operating point unless the definition
// changed meanwhile; records the phase count for getPNr.
void storeState(int stream, std::uint64_t revision, std::shared_ptr<const EquilibriumCache> state);

// Validity ranges of the models that describe a stream's fluid phases
// (docs/models.md): throws kBadArgument outside them, and notes an
// extrapolation warning where a model is customarily extrapolated.  The
// first form checks the phases of a state, the second a vapour and/or a
// liquid at (T, P).  Called wherever a stream's models produce a state the
// caller reads: stored operating points, unit-operation products, states at
// a given T and P.
void requireValidState(const streams::StreamDef& def, const EquilibriumCache& st);
void requireValidState(const streams::StreamDef& def, double T, double P, bool vapour, bool liquid);
// Before a flash at a given (T, P): the temperature and pressure limits of
// the models of both fluid phases (which phases form is not known yet), so
// that a state far outside fails with its reason rather than with a flash
// that does not converge there.
void requireValidConditions(const streams::StreamDef& def, double T, double P);

// Writes a unit operation's product (definition and equilibrium state) into a
// stream, which then holds it as a defined stream at that operating point.
void writeProduct(int stream, const operations::StreamResult& r);

// What a property function reads: the stream's models, an equilibrium state
// and the stream's mass flow (kg/s).
struct StateContext {
    std::shared_ptr<const engine::StreamSystem> sys;
    std::shared_ptr<const EquilibriumCache> st;
    double massFlow = 0;
};
// At the stream's operating point (see currentState).
StateContext currentContext(int stream);
// At temperature t and pressure p in the caller's units, flashed without
// changing the stream.
StateContext contextAt(int stream, double t, double p);

// User units <-> base units.
double userT(double t);
double userP(double p);
double outT(double kelvin);
double outP(double pascal);

} // namespace zpk::api
