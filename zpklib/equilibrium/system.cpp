#include "equilibrium/system.h"

#include <cmath>

namespace zpk::equilibrium {

double FluidSystem::lnWilsonK(int i, double T, double P) const {
    return std::log(pc[i] / P) + 5.373 * (1.0 + omega[i]) * (1.0 - tc[i] / T);
}

bool evalPhase(const FluidSystem& sys, double T, double P, const double* x, models::Root root, int order,
               models::PhaseProps& out) {
    using models::Root;
    if (sys.vapour == sys.liquid) return sys.vapour->evaluate(T, P, x, root, order, out);
    if (root == Root::Vapour) return sys.vapour->evaluate(T, P, x, Root::Vapour, order, out);
    if (root == Root::Liquid) return sys.liquid->evaluate(T, P, x, Root::Liquid, order, out);
    thread_local models::PhaseProps other;
    const bool okV = sys.vapour->evaluate(T, P, x, Root::Vapour, order, out);
    const bool okL = sys.liquid->evaluate(T, P, x, Root::Liquid, order, other);
    if (!okL) return okV;
    if (!okV || other.gres(x, sys.size()) < out.gres(x, sys.size())) {
        std::swap(out, other);
        out.kind = models::kLiquid;
    }
    // Otherwise the vapour model's phase keeps the model's own label: its
    // only root may be a compressed liquid (below the critical temperature,
    // above the saturation pressure), which is a liquid whatever model
    // computed it.
    return true;
}

}  // namespace zpk::equilibrium
