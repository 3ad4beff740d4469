// The sixteen-component natural gas flashed by isothermal flash data sets 1
// and 3 (same components, fractions and positions in both).
#pragma once

#include "stream_setup.h"

namespace suites {

inline constexpr Feed sixteenComponentGas[] = {
    {&testcode::methane, 0.858264838},  {&testcode::ethane, 0.073530495},
    {&testcode::propane, 0.024027488},  {&testcode::isobutane, 0.004152653},
    {&testcode::nbutane, 0.007765367},  {&testcode::isopentane, 2.45226e-6},
    {&testcode::npentane, 0.002596633}, {&testcode::nhexane, 0.002392935},
    {&testcode::nheptane, 0.001470121}, {&testcode::noctane, 0.002655538},
    {&testcode::nnonane, 5.27638e-5},   {&testcode::ndecane, 5.27638e-5},
    {&testcode::nitrogen, 0.002935327}, {&testcode::carbonDioxide, 0.0020100624},
    {&testcode::hydrogenSulfide, 1e-9}, {&testcode::water, 1e-9},
};

} // namespace suites
