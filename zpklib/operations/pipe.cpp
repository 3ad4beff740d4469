#include "operations/pipe.h"

#include <cmath>
#include <numbers>

#include "core/error.h"
#include "equilibrium/flashes.h"
#include "transport/transport.h"

namespace zpk::operations {

double darcyFriction(double re, double relRough) {
    if (!(re > 0)) return 0.0;
    const double a = std::pow(-2.457 * std::log(std::pow(7.0 / re, 0.9) + 0.27 * relRough), 16);
    const double b = std::pow(37530.0 / re, 16);
    return 8.0 * std::pow(std::pow(8.0 / re, 12) + 1.0 / std::pow(a + b, 1.5), 1.0 / 12.0);
}

double homogeneousViscosity(const engine::StreamSystem& sys, const EquilibriumCache& st) {
    transport::Components comps;
    for (int i = 0; i < sys.size(); ++i)
        comps.push_back(&sys.component(i));
    const double mw = sys.feedMw();
    double inverse = 0;
    for (const auto& p : st.phases) {
        transport::Phase ph;
        ph.kind = p.kind;
        ph.T = st.T;
        ph.P = st.P;
        ph.x = p.x;
        ph.v = p.v;
        ph.cv0 = sys.idealCp(st.T, p.x.data()) - models::kR;
        ph.mw = p.mw;
        const double mu = transport::viscosity(comps, ph);
        if (!(mu > 0)) throw Error("no viscosity for a phase of the stream", kCalculation);
        inverse += p.beta * p.mw / mw / mu;
    }
    if (!(inverse > 0)) throw Error("no viscosity for the stream", kCalculation);
    return 1.0 / inverse;
}

std::shared_ptr<EquilibriumCache> pipeOutlet(const engine::StreamSystem& sys, const EquilibriumCache& inlet,
                                             double massFlow, const PipeSpec& pipe) {
    if (!(pipe.length > 0) || !(pipe.diameter > 0) || !(pipe.roughness >= 0) || !std::isfinite(pipe.rise) ||
        !std::isfinite(pipe.heat) || !std::isfinite(pipe.length) || !std::isfinite(pipe.diameter))
        throw Error("pipe length and diameter must be positive, roughness not negative", kBadArgument);
    if (!(massFlow >= 0)) throw Error("mass flow must not be negative", kBadArgument);
    const double M = sys.feedMw() * 1e-3; // kg/mol
    const double area = 0.25 * std::numbers::pi * pipe.diameter * pipe.diameter;
    const double G = massFlow / area; // kg/(m2 s)
    const double dx = pipe.length / kPipeSegments;
    const double dz = pipe.rise / kPipeSegments;
    const double dq = massFlow > 0 ? pipe.heat / massFlow / kPipeSegments : 0.0; // J/kg per segment
    if (massFlow == 0 && pipe.heat != 0)
        throw Error("heat cannot be added to a pipe without flow", kBadArgument);

    // Pressure gradient (Pa/m, negative downstream) of a state.
    auto gradient = [&](const EquilibriumCache& st) {
        const double v = engine::molarVolume(st) / M; // m3/kg
        double friction = 0;
        if (G > 0) {
            const double re = G * pipe.diameter / homogeneousViscosity(sys, st);
            friction = darcyFriction(re, pipe.roughness / pipe.diameter) * G * G * v / (2 * pipe.diameter);
        }
        return -friction - kGravity * (pipe.rise / pipe.length) / v;
    };
    auto specific = [&](const EquilibriumCache& st, double& h, double& v) {
        h = engine::molarEnthalpy(st) / M;
        v = engine::molarVolume(st) / M;
    };
    // State at pressure P with energy conserved from a state (h, u) over
    // one segment.
    auto advance = [&](double h, double v, double P, double Tguess, double vGuess) {
        const double u = G * v, uNew = G * vGuess;
        const double hNew = h + dq - kGravity * dz - 0.5 * (uNew * uNew - u * u);
        return engine::stateFunctionFlash(sys, engine::Spec::H, hNew * M, P, true, Tguess);
    };

    std::shared_ptr<EquilibriumCache> st = std::make_shared<EquilibriumCache>(inlet);
    for (int k = 0; k < kPipeSegments; ++k) {
        double h, v;
        specific(*st, h, v);
        const double g0 = gradient(*st);
        const double Ppred = st->P + g0 * dx;
        if (!(Ppred > 0.05 * st->P)) throw Error("the pipe cannot pass this flow", kCalculation);
        auto pred = advance(h, v, Ppred, st->T, v);
        double hp, vp;
        specific(*pred, hp, vp);
        const double g1 = gradient(*pred);
        const double P = st->P + 0.5 * (g0 + g1) * dx;
        if (!(P > 0.05 * st->P)) throw Error("the pipe cannot pass this flow", kCalculation);
        st = advance(h, v, P, pred->T, vp);
    }
    return st;
}

} // namespace zpk::operations
