// Phase envelopes and lines of constant phase fraction of a mixture of fixed
// composition (see docs/envelope.md).
//
// A line is traced by continuation in the variables X = (ln K_i, ln T, ln P)
// with the equations
//     ln K_i + ln phi_i(y, T, P) - ln phi_i(x, T, P) = 0
//     sum (y_i - x_i) = 0,   x_i = z_i / (1 + beta (K_i - 1)),  y_i = K_i x_i
//     X_s - S = 0
// where the specified variable X_s is, at every step, the one that changes
// fastest along the line (Michelsen 1980).  Steps are predicted from the
// sensitivities dX/dS and corrected by Newton's method; the step length
// adapts to the number of corrector iterations.  Near a critical point the
// ln K become the fastest variables and the line steps over K = 1: the
// phase labels swap (the feed-side phase becomes the denser one), so a dew
// line continues as the bubble line.
#pragma once

#include <vector>

#include "equilibrium/system.h"

namespace zpk::equilibrium {

struct EnvelopePoint {
    double T = 0, P = 0;     // K, Pa
    bool critical = false;   // interpolated point where all K reach 1
    bool swapped = false;    // feed-side phase is the denser one (past a critical point)
    std::vector<double> lnK; // ln(y/x) of the traced equations (empty at critical points)
};
using EnvelopeLine = std::vector<EnvelopePoint>;

struct TraceOptions {
    double startP = 1e5; // Pa, pressure of the first point
    double minP = 0.9e5; // Pa, the line ends below this pressure
    double maxP = 3e8;   // Pa, and above this one
    int maxSteps = 2000;
};

// One line of vapour fraction beta started at options.startP on its high
// temperature side.  With stopAtCritical the line ends at the first critical
// point (lines of constant fraction 0 < beta < 1 end there); otherwise it
// continues through it.  Empty when no starting point was found.
EnvelopeLine traceLine(const FluidSystem& sys, const double* z, double beta, bool stopAtCritical,
                       const TraceOptions& options = {});

// The points of a traced line (vapour fraction beta) where T (fixT) or P
// equals value: each crossing between two traced points re-solved on the
// line's equations from the nearer one; crossings that do not converge are
// left out.  Points are in line order.
std::vector<EnvelopePoint> pointsAt(const FluidSystem& sys, const double* z, double beta,
                                    const EnvelopeLine& line, bool fixT, double value);

struct Extremum {
    bool found = false;
    double T = 0, P = 0;
};

struct Envelope {
    // Line 1 starts on the dew side and, when it passes a critical point,
    // returns along the bubble side; when it does not reach back to low
    // pressure, line 2 is the bubble line traced on its own.
    std::vector<EnvelopeLine> lines;
    std::vector<double> betas;             // vapour fraction each line was traced at (1 or 0)
    Extremum cricondenbar, cricondentherm; // highest pressure / temperature of all lines
};

Envelope phaseEnvelope(const FluidSystem& sys, const double* z, const TraceOptions& options = {});

// At most capacity points of a line, evenly spaced along its length in the
// plane of T and P (each scaled by its range): the line itself when it has
// no more points, linear interpolation between its points otherwise.  Both
// ends are kept.
std::vector<EnvelopePoint> sampleLine(const EnvelopeLine& line, int capacity);

} // namespace zpk::equilibrium
