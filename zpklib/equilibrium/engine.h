// The stream-level engine: builds the models of a stream definition, runs
// the equilibrium calculations and evaluates the properties of the phases
// found.  Everything here works on copies of stream data; the C API layer
// reads and writes the store.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/database.h"
#include "equilibrium/system.h"
#include "equilibrium/tp_flash.h"
#include "models/factory.h"
#include "models/phase_model.h"
#include "models/solid.h"
#include "streams/store.h"
#include "thermo/ideal_gas.h"

namespace zpk::engine {

// Properties of one phase, per mole of the phase (SI: J/mol, m3/mol, ...).
struct PhaseState {
    int kind = models::kVapour;
    int structure = -1; // hydrate structure (0 I, 1 II)
    double beta = 1;    // mole fraction of the stream in this phase
    std::vector<double> x;
    double mw = 0;                              // kg/kmol
    double v = 0, h = 0, s = 0, cp = 0, cv = 0; // h, s on the internal base (see StreamSystem)
    double w = 0, jt = 0, kappa = 0, alpha = 0; // m/s, K/Pa, 1/Pa, 1/K
    double z = 0;
};

} // namespace zpk::engine

namespace zpk {
// The cached equilibrium state of a stream (see streams/store.h).
struct EquilibriumCache {
    double T = 0, P = 0;
    std::vector<engine::PhaseState> phases; // vapour first, liquids by increasing density
};
} // namespace zpk

namespace zpk::engine {

// Models and constants of one stream definition; immutable once built.
class StreamSystem {
  public:
    explicit StreamSystem(const streams::StreamDef& def);

    int size() const { return n_; }
    const std::vector<double>& feed() const { return z_; } // normalised
    double feedMw() const;                                 // kg/kmol
    const equilibrium::FluidSystem& fluid() const { return fluid_; }
    const components::Component& component(int i) const { return *comps_[i]; }
    // Molar mass of component i (kg/kmol): the formulation's own when the
    // stream's ideal gas is a formulation's (see idealGas), else the database's.
    double molarMass(int i) const { return ideal_[i].mw(); }
    // Ideal gas of component i: the formulation's own when the vapour and
    // liquid fugacity models are one reference formulation that brings its
    // ideal part (IAPWS-95, GERG-2008), else the database's.
    const thermo::IdealGasSource& idealGas(int i) const { return ideal_[i]; }
    // Model for property 1..4 and phase 0 (vapour), 1 (liquid), 2 (solid;
    // throws when the stream's solid model cannot be built) or 3 (hydrate of
    // the more stable structure at the composition; throws without a
    // hydrate model).
    const models::PhaseModel& model(int property, int phase) const;
    // The hydrate model of property 1..4 for one structure (0 I, 1 II; -1 as
    // model(property, 3)).
    const models::PhaseModel& hydrateModel(int property, int structure) const;
    // True when the flash may form solid phases (putKO bits 2 or 4).
    bool solidsAllowed() const { return fluid_.solid != nullptr; }
    // True when the flash may form hydrate phases (putKO bit 4 and a hydrate model).
    bool hydratesAllowed() const { return flashFluid_.hydratesAllowed(); }

    // Isothermal flash of the feed (or of composition z when given).
    std::shared_ptr<EquilibriumCache> flash(double T, double P, const double* z = nullptr) const;
    // The same flash of the feed started from the phases of a state at a
    // neighbouring (T, P) (see equilibrium::flashTPFrom).
    std::shared_ptr<EquilibriumCache> flashFrom(double T, double P, const EquilibriumCache& near) const;
    // A state from given phases (kinds, fractions, compositions) at (T, P).
    std::shared_ptr<EquilibriumCache> fromPhases(double T, double P,
                                                 std::vector<equilibrium::Phase> phases) const;
    // Properties of one phase of composition x treated as the given kind;
    // stable = true evaluates the fugacity model's lower-Gibbs root; a
    // hydrate (kind 3) of the given structure (-1: the more stable one).
    PhaseState phaseState(double T, double P, const std::vector<double>& x, int kind, bool stable,
                          int structure = -1) const;

    // Ideal-gas parts of composition x (J/mol, J/(mol K)) on the internal
    // base (every component 0 at 298.15 K, 101325 Pa); the caller's base is
    // added at read time with offsetH/offsetS, so that setHB and setSB act on
    // cached states too.
    double idealH(double T, const double* x) const;
    double idealS(double T, double P, const double* x) const;
    double idealCp(double T, const double* x) const;
    double offsetH(const double* x) const; // current enthalpy base, J/mol
    double offsetS(const double* x) const; // current entropy base, J/(mol K)

    // putKO bits read by the engine.
    static constexpr int kSolidOption = 2, kHydrateOption = 4;

  private:
    // True when the fluid phases have different fugacity models and the
    // vapour model's root of composition x has the lower Gibbs energy, so
    // that a liquid the flash found there is that model's dense root.
    bool denseVapourRootWins(double T, double P, const double* x) const;
    // Ideal-gas terms of every component at one state (h_i, cp_i at T; s_i
    // at T, P on the internal base), cached per thread for the last
    // (system, state) asked: the phases of one state share them.
    const std::vector<double>& componentTerms(int which, double T, double P) const;
    void buildSolids(const streams::StreamDef& def, const models::ModelInputs& in);
    void buildHydrates(const streams::StreamDef& def, const models::ModelInputs& in);
    std::uint64_t id_ = 0; // distinguishes systems in the per-thread caches
    int n_ = 0;
    std::vector<double> z_;
    std::vector<const components::Component*> comps_;
    std::vector<thermo::IdealGasSource> ideal_;
    equilibrium::FluidSystem fluid_;
    std::array<std::array<std::shared_ptr<const models::PhaseModel>, 4>, 4> models_;
    // Hydrate models per property and structure (index 0 the more stable,
    // 1 structure I, 2 structure II); models_[p][3] is [p][0].
    std::array<std::array<std::shared_ptr<const models::PhaseModel>, 3>, 4> hydrates_;
    equilibrium::FluidSystem flashFluid_; // fluid_ plus the hydrate phases the flash may form
    std::string solidError_;              // why the solid models could not be built
    std::string hydrateError_;            // why the hydrate models could not be built
    bool solidsWanted_ = false;           // the options ask for solid phases
};

// The models of a definition, built once per thread and reused while the
// calling thread asks for the same definition again (a small per-thread
// cache compared by value on the fields the models depend on: components,
// fractions, models, options, settings, interaction entries, load level).
// Built systems are immutable, so a cached one is as good as a new one.
std::shared_ptr<const StreamSystem> systemFor(const streams::StreamDef& def);
// True when two definitions build the same models (mass flow and name aside).
bool sameModels(const streams::StreamDef& a, const streams::StreamDef& b);

// Stream totals from a state (molar, per mole of stream).
double molarEnthalpy(const EquilibriumCache& c);
double molarEntropy(const EquilibriumCache& c);
double molarVolume(const EquilibriumCache& c);
double liquidFraction(const EquilibriumCache& c);
double vapourFraction(const EquilibriumCache& c);
const PhaseState* phaseOfKind(const EquilibriumCache& c, int kind); // first phase of the kind, or nullptr
// Composite of the phases of one kind (fraction-weighted), for the G and L
// stream functions when several liquids coexist.
PhaseState combined(const EquilibriumCache& c, int kind);

} // namespace zpk::engine
