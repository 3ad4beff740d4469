// The generic evaluator: turns the residual Helmholtz derivatives of any
// equation of state at (T, V, x) into the phase properties at (T, P, x).
#pragma once

#include "models/phase_model.h"

namespace zpk::thermo {

// x must sum to one and V must be the model's volume root at (T, P).
// order 0 fills kind-independent values needing F, F_T, F_V, F_i; order 1 all.
void propsFromResidual(double T, double P, double V, const double* x, int n, const models::ResidualDerivs& d,
                       int order, models::PhaseProps& out);

}  // namespace zpk::thermo
