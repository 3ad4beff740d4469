// Per-component data of the transport methods that the component database
// does not hold (data/transport_components.tsv, keyed by CAS number):
// parachors for the Macleod-Sugden surface tension and the association
// factors of the Chung viscosity and conductivity method.  Loaded once,
// read-only afterwards.
#pragma once

#include <cstdint>

#include "components/database.h"

namespace zpk::transport {

struct ExtraData {
    double parachor; // (cm3/mol) (mN/m)^(1/4); NaN when unknown
    double kappa;    // association factor; NaN when unknown
};

// Table entry of a CAS number (both fields NaN when absent).
ExtraData extraData(std::int64_t cas);

// Parachor used for component c: the table's value when it agrees within
// 20 % with the value implied by the component's own surface tension and
// liquid density correlations; otherwise the implied value; otherwise the
// table's; NaN when neither exists.
double parachor(const components::Component& c);
// The implied parachor sigma^(1/4) / (rhoL - rhoV) with sigma in mN/m and
// densities in mol/cm3, at 0.6 Tc (vapour density neglected there); NaN
// when the correlations are missing.
double impliedParachor(const components::Component& c);
// Association factor (0 when not tabulated).
double kappa(const components::Component& c);

// Thermal conductivity correlation of the solid (data/solid_conductivity.tsv,
// W/(m K)); equation number 0 when the component is not listed.
const components::Correlation& solidConductivity(std::int64_t cas);

} // namespace zpk::transport
