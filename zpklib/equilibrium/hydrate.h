// Gas hydrate formation conditions by the van der Waals-Platteeuw
// solid-solution theory.
//
// Water in a hydrate of structure s has the chemical potential
//     mu_H = mu_beta + R T sum_m nu_m ln(1 - sum_j theta_mj),
//     theta_mj = C_mj f_j / (1 + sum_k C_mk f_k),
// where mu_beta is that of the empty lattice, nu_m the cavities of kind m per
// water molecule, C_mj the Langmuir constant of guest j in cavity m and f_j
// the guest's fugacity.  Both chemical potentials are measured from pure
// liquid water at the same T and P (subcooled below the melting point):
//     (mu_beta - mu_L0) / RT  from the empty-lattice constants at T0, P = 0,
//     (mu_w - mu_L0) / RT     = ln(f_w / f_w0) of the fluid phases, with f_w0
//                               the fugacity of pure liquid water in the same
//                               fluid model, or that of ice when lower.
// A hydrate forms where mu_H < mu_w.  The fluid side (guest fugacities, water
// activity, inhibitors in the aqueous phase) comes from an isothermal flash
// of the stream with its own fluid models, so any fluid model works.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "equilibrium/system.h"
#include "equilibrium/tp_flash.h"

namespace zpk::hydrate {

enum class Structure { I = 0, II = 1 };

// Which structures a formation condition considers.
enum class Choice { MostStable, OnlyI, OnlyII };

// Empty lattice minus liquid water at T0 and zero pressure.
struct LatticeConstants {
    double nuSmall = 0, nuLarge = 0; // cavities per water molecule
    double dmu0 = 0, dh0 = 0;        // J/mol
    double dcp = 0;                  // J/(mol K)
    double dv = 0;                   // m3/mol
};

// Liquid water minus ice Ih.
struct IceConstants {
    double tm = 273.15; // K
    double dhFus = 0;   // J/mol
    double dcp = 0;     // J/(mol K)
    double dvIce = 0;   // v_ice - v_liquid, m3/mol
};

// Langmuir constant C = A / T exp(B / T) (1/bar), per structure and cavity.
struct LangmuirAB {
    double a = 0, b = 0; // K/bar, K
    double at(double T) const { return a > 0 ? a / T * std::exp(b / T) : 0.0; }
};
struct GuestConstants {
    std::int64_t cas = 0;
    // [structure][0 small, 1 large]
    std::array<std::array<LangmuirAB, 2>, 2> c{};
};

struct Tables {
    static constexpr double kT0 = 273.15;
    std::array<LatticeConstants, 2> lattice{};
    IceConstants ice;
    std::vector<GuestConstants> guests;
    const GuestConstants* guest(std::int64_t cas) const;
};

// The constants, read once from data/hydrate_guests.tsv and
// data/hydrate_lattice.tsv; throws zpk::Error when a table is missing.
const Tables& tables();

// (mu_beta - mu_L0) / RT of the empty lattice at (T, P).
double emptyLatticePotential(const LatticeConstants& l, double T, double P);
// (mu_ice - mu_L0) / RT at (T, P); negative below the melting line.
double icePotential(const IceConstants& ice, double T, double P);
// sum_m nu_m ln(1 + sum_j C_mj f_j) for guest fugacities f (Pa), one entry
// per stream position (positions that are no guests are skipped).
double occupationTerm(const LatticeConstants& l, Structure s,
                      const std::vector<const GuestConstants*>& guests, double T,
                      const std::vector<double>& fugacity);

// The fluid side at one (T, P).
struct FluidState {
    std::vector<double> fugacity; // Pa, per position
    double waterPotential = 0;    // (mu_w - mu_L0) / RT, the lower of fluid and ice
    int phases = 0;               // fluid phases found by the flash
};

// Formation conditions of one stream: its fluid system, feed and components.
// The fluid system's models are referred to, not copied: they must outlive
// the formation model.  Immutable after construction; safe to share.
class FormationModel {
  public:
    FormationModel(const equilibrium::FluidSystem& fluid, std::vector<double> z,
                   const std::vector<std::int64_t>& cas);

    // Flash of the feed at (T, P) and the water and guest potentials; throws
    // zpk::Error when the flash does not converge.  With `warm`, the flash
    // starts from the phases it holds (a neighbouring state's equilibrium)
    // and leaves the phases found there for the next call.  With `verified`
    // false and at least two warm phases, the state is only the equilibrium
    // of those phases at (T, P), without the stability test that proves it
    // the flash's answer (the search's steps; its result is verified).
    FluidState fluidState(double T, double P, std::vector<equilibrium::Phase>* warm = nullptr,
                          bool verified = true) const;
    // (mu_H - mu_w) / RT of structure s for a fluid state: negative where the
    // hydrate is stable.
    double potentialDifference(const FluidState& st, double T, double P, Structure s) const;
    // The smallest potential difference of the structures of a choice.
    double drivingForce(double T, double P, Choice choice, std::vector<equilibrium::Phase>* warm = nullptr,
                        bool verified = true) const;

    // The lowest pressure (Pa) at which a hydrate forms at T, or 0 when none
    // forms below the highest pressure searched.
    double formationPressure(double T, Choice choice) const;
    // The highest temperature (K) at which a hydrate forms at P, or 0 when
    // none forms above the lowest temperature searched.
    double formationTemperature(double P, Choice choice) const;

    // Search ranges.
    static constexpr double kPmin = 100.0, kPmax = 5.0e8; // Pa
    static constexpr double kTmin = 150.0, kTmax = 350.0; // K

  private:
    equilibrium::FluidSystem fluid_;
    std::vector<double> z_;
    std::vector<double> zn_; // z_ normalised
    std::vector<const GuestConstants*> guests_;
    int water_ = -1;
};

} // namespace zpk::hydrate
