#include "equilibrium/solid_flash.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "equilibrium/hydrate_phase.h"
#include "equilibrium/rachford_rice.h"
#include "equilibrium/stability.h"
#include "models/solid.h"

namespace zpk::equilibrium {

using models::kNoSolid;
using models::kSolidPhase;
using models::PhaseProps;
using models::Root;

namespace {

constexpr double kFugacityTol = 1e-10;
constexpr double kInstability = -1e-9; // tangent-plane distance that counts as unstable
constexpr int kMaxRounds = 8;
constexpr int kMaxIterations = 3000;

bool isSolid(const Phase& p) {
    return p.kind == kSolidPhase;
}
bool isHydrate(const Phase& p) {
    return p.kind == hydrate::kHydratePhase;
}
bool isFluid(const Phase& p) {
    return !isSolid(p) && !isHydrate(p);
}

// True when component i freezes as a pure solid of its own: every freezing
// component with pure solids, only water (ice takes no hydrocarbons or gases
// into its lattice) with a solid solution.
bool freezesPure(const FluidSystem& sys, int i) {
    return !sys.solidSolution || i == sys.water;
}

Phase solidPhase(int n, int pure) {
    Phase s;
    s.kind = kSolidPhase;
    s.beta = 0;
    s.x.assign(n, 0.0);
    s.pureSolid = pure;
    if (pure >= 0) s.x[pure] = 1.0;
    return s;
}

// ln f_i (Pa) of the fluid phases, each from the first fluid phase that
// holds the component (-inf when none does).
std::vector<double> fluidLnFugacities(const std::vector<Phase>& ph, const std::vector<double>& rows, int n,
                                      double P) {
    std::vector<double> lnf(n, -std::numeric_limits<double>::infinity());
    for (int i = 0; i < n; ++i)
        for (std::size_t k = 0; k < ph.size(); ++k)
            if (isFluid(ph[k]) && ph[k].x[i] > 0 && rows[k * n + i] != kNoSolid) {
                lnf[i] = std::log(ph[k].x[i]) + rows[k * n + i] + std::log(P);
                break;
            }
    return lnf;
}

// ln phi of every phase (row k * n + i): fluids by their models, solids from
// the solid reference (composition independent), hydrates as the hydrate in
// equilibrium with the fluid's guest fugacities (so that a hydrate row does
// not depend on the hydrate's own loading, which successive substitution
// could not follow near full cavities).
bool lnphiRows(const FluidSystem& sys, double T, double P, const std::vector<Phase>& ph,
               const std::vector<double>& ref, std::vector<double>& rows) {
    const int n = sys.size();
    rows.assign(ph.size() * n, kNoSolid);
    thread_local PhaseProps pp;
    bool hydrates = false;
    for (std::size_t k = 0; k < ph.size(); ++k) {
        double* r = rows.data() + k * n;
        if (isHydrate(ph[k])) {
            hydrates = true;
        } else if (!isSolid(ph[k])) {
            if (!evalPhase(sys, T, P, ph[k].x.data(), Root::Stable, 0, pp)) return false;
            std::copy(pp.lnphi.begin(), pp.lnphi.end(), r);
        } else if (ph[k].pureSolid >= 0) {
            r[ph[k].pureSolid] = ref[ph[k].pureSolid];
        } else {
            for (int i = 0; i < n; ++i)
                if (!freezesPure(sys, i)) r[i] = ref[i];
        }
    }
    if (!hydrates) return true;
    if (std::none_of(ph.begin(), ph.end(), isFluid)) {
        // No fluid to be in equilibrium with: the hydrates' own compositions
        // (a feed inside the solid-solution range of a hydrate, or hydrate
        // and ice); false when a composition exceeds what the cavities hold.
        for (std::size_t k = 0; k < ph.size(); ++k) {
            if (!isHydrate(ph[k])) continue;
            if (!sys.hydrate[ph[k].structure]->evaluate(T, P, ph[k].x.data(), Root::Liquid, 0, pp))
                return false;
            std::copy(pp.lnphi.begin(), pp.lnphi.end(), rows.begin() + static_cast<long>(k) * n);
        }
        return true;
    }
    const std::vector<double> lnf = fluidLnFugacities(ph, rows, n, P);
    const double lnfw0 = sys.hydrate[0]->lnPureWaterFugacity(T, P);
    if (!std::isfinite(lnfw0)) return false;
    std::vector<double> xh, row;
    for (std::size_t k = 0; k < ph.size(); ++k) {
        if (!isHydrate(ph[k])) continue;
        sys.hydrate[ph[k].structure]->equilibriumHydrate(T, P, lnfw0, lnf, xh, row);
        std::copy(row.begin(), row.end(), rows.begin() + static_cast<long>(k) * n);
    }
    return true;
}

// Largest difference of ln fugacity between any phase and phase 0, over the
// components both can hold.
double fugacityError(const std::vector<Phase>& ph, const std::vector<double>& rows, const double* z, int n) {
    double e = 0;
    for (std::size_t k = 1; k < ph.size(); ++k)
        for (int i = 0; i < n; ++i) {
            if (z[i] <= 0 || rows[k * n + i] == kNoSolid || rows[i] == kNoSolid) continue;
            if (!(ph[k].x[i] > 0) || !(ph[0].x[i] > 0)) continue;
            const double a = std::log(ph[k].x[i]) + rows[k * n + i];
            const double b = std::log(ph[0].x[i]) + rows[i];
            e = std::max(e, std::fabs(a - b));
        }
    return e;
}

// Drops phases without material (keeping at least one) and merges fluid
// phases that became identical.
void prune(std::vector<Phase>& ph, int n) {
    for (std::size_t k = 0; k < ph.size() && ph.size() > 1;) {
        if (ph[k].beta <= 1e-14) {
            ph.erase(ph.begin() + static_cast<long>(k));
            continue;
        }
        ++k;
    }
    for (std::size_t a = 0; a < ph.size(); ++a)
        for (std::size_t b = a + 1; b < ph.size();) {
            double d = 0;
            for (int i = 0; i < n; ++i)
                d += (ph[a].x[i] - ph[b].x[i]) * (ph[a].x[i] - ph[b].x[i]);
            if (isFluid(ph[a]) && isFluid(ph[b]) && d < 1e-12) {
                ph[a].beta += ph[b].beta;
                ph.erase(ph.begin() + static_cast<long>(b));
            } else {
                ++b;
            }
        }
}

// Successive substitution over fluid and solid phases with the multiphase
// split and dominant-eigenvalue acceleration every fifth step.
bool solveAll(const FluidSystem& sys, double T, double P, const double* z, std::vector<Phase>& ph,
              const std::vector<double>& ref, int* iterations) {
    const int n = sys.size();
    std::vector<double> rows, prev, prevDelta, beta, x;
    double err = 0;
    int it = 0, stalls = 0;
    for (; it < kMaxIterations; ++it) {
        if (!lnphiRows(sys, T, P, ph, ref, rows)) return false;
        err = fugacityError(ph, rows, z, n);
        if (ph.size() < 2 || err < kFugacityTol) break;
        if (prev.size() == rows.size()) {
            std::vector<double> delta(rows.size());
            for (std::size_t q = 0; q < rows.size(); ++q)
                delta[q] = rows[q] - prev[q];
            prev = rows;
            if (it % 5 == 4 && prevDelta.size() == delta.size()) {
                double num = 0, den = 0;
                for (std::size_t q = 0; q < delta.size(); ++q) {
                    num += delta[q] * prevDelta[q];
                    den += prevDelta[q] * prevDelta[q];
                }
                const double lam = den > 0 ? num / den : 0;
                if (lam > 0 && lam < 0.95)
                    for (std::size_t q = 0; q < delta.size(); ++q)
                        rows[q] += delta[q] * lam / (1 - lam);
            }
            prevDelta = std::move(delta);
        } else {
            prev = rows;
            prevDelta.clear();
        }
        const int p = static_cast<int>(ph.size());
        beta.resize(p);
        for (int k = 0; k < p; ++k) {
            beta[k] = ph[k].beta;
            if (beta[k] > 0) continue;
            // A new phase starts with half of the feed its composition stands for
            // (the split's Newton steps are poorly scaled from the bound).
            for (int i = 0; i < n; ++i)
                beta[k] += 0.5 * z[i] * ph[k].x[i];
        }
        if (!multiphaseSplit(z, rows.data(), n, p, beta, x)) {
            // No progress: phases of (nearly) the same fugacity pattern, such
            // as an aqueous liquid and ice; the caller tries without one of them.
            double moved = 0;
            for (int k = 0; k < p; ++k)
                moved = std::max(moved, std::fabs(beta[k] - ph[k].beta));
            if (moved < 1e-14 && ++stalls >= 3) return false;
        }
        for (int k = 0; k < p; ++k) {
            ph[k].beta = beta[k];
            std::copy(x.begin() + static_cast<long>(k) * n, x.begin() + static_cast<long>(k + 1) * n,
                      ph[k].x.begin());
        }
        // Fixed hydrate rows can send the whole feed into a hydrate at once
        // (its water and guest both "prefer" it at the fluid's present
        // fugacities); the fluid phase then stays with a small amount, so
        // that its fugacities can follow.
        const bool fluidLeft =
            std::any_of(ph.begin(), ph.end(), [](const Phase& q) { return isFluid(q) && q.beta > 1e-14; });
        if (!fluidLeft && std::any_of(ph.begin(), ph.end(), isHydrate) && it < kMaxIterations / 2)
            for (auto& q : ph)
                if (isFluid(q)) {
                    q.beta = 1e-6;
                    break;
                }
        const std::size_t before = ph.size();
        prune(ph, n);
        if (ph.size() != before) {
            prev.clear();
            prevDelta.clear();
        }
    }
    if (iterations) *iterations += it;
    // A hydrate alone holds the feed only within what its cavities hold.
    if (ph.size() < 2) return !isHydrate(ph[0]) || lnphiRows(sys, T, P, ph, ref, rows);
    if (!lnphiRows(sys, T, P, ph, ref, rows)) return false;
    return fugacityError(ph, rows, z, n) < 1e-7;
}

double gibbs(const std::vector<Phase>& ph, const std::vector<double>& rows, const double* z, int n) {
    double g = 0;
    for (std::size_t k = 0; k < ph.size(); ++k)
        for (int i = 0; i < n; ++i)
            if (z[i] > 0 && ph[k].x[i] > 0 && rows[k * n + i] != kNoSolid)
                g += ph[k].beta * ph[k].x[i] * (std::log(ph[k].x[i]) + rows[k * n + i]);
    return g;
}

// At fixed T and P no more phases than components coexist (Gibbs' phase
// rule).  When a new solid brings more, or the phases cannot be equilibrated
// together, each fluid phase in turn is left out and the equilibrium of
// lowest Gibbs energy is kept.
bool solveWithinPhaseRule(const FluidSystem& sys, double T, double P, const double* z, int components,
                          std::vector<Phase>& ph, const std::vector<double>& ref, int* iterations) {
    if (static_cast<int>(ph.size()) <= components) {
        std::vector<Phase> all = ph;
        if (solveAll(sys, T, P, z, all, ref, iterations)) {
            ph = std::move(all);
            return true;
        }
        if (ph.size() <= 2) return false;
    }
    const int n = sys.size();
    std::vector<Phase> best;
    double gBest = std::numeric_limits<double>::infinity();
    std::vector<double> rows;
    // With a hydrate a solid may be the one too many as well (gas, ice and
    // hydrate of two components: the ice leaves); otherwise a fluid.
    const bool hydrate = std::any_of(ph.begin(), ph.end(), isHydrate);
    for (std::size_t drop = 0; drop < ph.size(); ++drop) {
        if (isHydrate(ph[drop]) || (isSolid(ph[drop]) && !hydrate)) continue;
        std::vector<Phase> trial;
        for (std::size_t k = 0; k < ph.size(); ++k)
            if (k != drop) trial.push_back(ph[k]);
        if (!solveWithinPhaseRule(sys, T, P, z, components, trial, ref, iterations)) continue;
        if (!lnphiRows(sys, T, P, trial, ref, rows)) continue;
        const double g = gibbs(trial, rows, z, n);
        if (g < gBest) {
            gBest = g;
            best = std::move(trial);
        }
    }
    if (best.empty()) return false;
    ph = std::move(best);
    return true;
}

// The hydrate structure (not yet a phase) whose water fugacity at the guest
// fugacities of the reference d (ln f/P) lies lowest below that of water in
// the other phases: its equilibrium composition as a new phase h.  False
// when no hydrate is more stable than the water of the current phases.
bool unstableHydrate(const FluidSystem& sys, double T, double P, const double* z,
                     const std::vector<double>& d, const std::vector<Phase>& ph, Phase& h) {
    const int n = sys.size();
    std::vector<double> lnf(n, -std::numeric_limits<double>::infinity());
    for (int i = 0; i < n; ++i)
        if (z[i] > 0 && d[i] != kNoSolid) lnf[i] = d[i] + std::log(P);
    const double lnfw0 = sys.hydrate[0]->lnPureWaterFugacity(T, P);
    if (!std::isfinite(lnfw0)) return false;
    double best = kInstability;
    bool found = false;
    std::vector<double> x, row;
    for (int s = 0; s < 2; ++s) {
        if (std::any_of(ph.begin(), ph.end(),
                        [&](const Phase& q) { return isHydrate(q) && q.structure == s; }))
            continue;
        const double dmu = sys.hydrate[s]->equilibriumHydrate(T, P, lnfw0, lnf, x, row) - lnf[sys.water];
        if (dmu < best) {
            best = dmu;
            found = true;
            h = Phase{};
            h.kind = hydrate::kHydratePhase;
            h.structure = s;
            h.beta = 0;
            h.x = x;
        }
    }
    return found;
}

} // namespace

bool addSolidPhases(const FluidSystem& sys, double T, double P, const double* z, std::vector<Phase>& ph,
                    int* iterations) {
    if (!sys.solid && !sys.hydratesAllowed()) return true;
    const int n = sys.size();
    std::vector<double> ref(n, kNoSolid);
    if (sys.solid) {
        PhaseProps sp;
        if (!sys.solid->evaluate(T, P, z, Root::Liquid, 0, sp)) return false;
        ref = sp.lnphi;
    }
    const bool hydrates = sys.hydratesAllowed() && sys.water >= 0 && z[sys.water] > 0;
    bool any = hydrates;
    for (int i = 0; i < n; ++i)
        any = any || (z[i] > 0 && ref[i] != kNoSolid);
    if (!any) return true;

    int active = -1, actives = 0;
    for (int i = 0; i < n; ++i)
        if (z[i] > 0) {
            active = i;
            ++actives;
        }
    std::vector<double> rows, d(n), w;
    if (actives == 1) {
        // One component: off its melting curve it is all solid or all fluid.
        if (!lnphiRows(sys, T, P, ph, ref, rows)) return false;
        if (ref[active] != kNoSolid && ref[active] < rows[active] + std::log(ph[0].x[active])) {
            Phase s = solidPhase(n, active);
            s.beta = 1;
            s.x = ph[0].x;
            ph.assign(1, s);
        }
        return true;
    }
    bool hydrateAdded = false;
    for (int round = 0; round < kMaxRounds; ++round) {
        // Reference fugacities ln(f_i / P) = ln x_i + ln phi_i of the equilibrium.
        if (!lnphiRows(sys, T, P, ph, ref, rows)) return false;
        int fluid = -1, fluids = 0;
        for (std::size_t k = 0; k < ph.size(); ++k)
            if (isFluid(ph[k])) {
                if (fluid < 0) fluid = static_cast<int>(k);
                ++fluids;
            }
        const std::size_t kref = fluid >= 0 ? static_cast<std::size_t>(fluid) : 0;
        for (int i = 0; i < n; ++i) {
            // From the first fluid phase, else from any phase that holds the component.
            auto take = [&](std::size_t k) {
                if (z[i] <= 0 || !(ph[k].x[i] > 0) || rows[k * n + i] == kNoSolid) return false;
                d[i] = std::log(ph[k].x[i]) + rows[k * n + i];
                return true;
            };
            d[i] = kNoSolid;
            if (!take(kref))
                for (std::size_t k = 0; k < ph.size() && !take(k); ++k) {
                }
        }
        std::vector<Phase> added;
        for (int i = 0; i < n; ++i) {
            if (z[i] <= 0 || ref[i] == kNoSolid || !freezesPure(sys, i) || !(ref[i] - d[i] < kInstability))
                continue;
            bool present = false;
            for (const auto& q : ph)
                present = present || (isSolid(q) && q.pureSolid == i);
            if (!present) added.push_back(solidPhase(n, i));
        }
        const bool solution =
            std::any_of(ph.begin(), ph.end(), [](const Phase& q) { return isSolid(q) && q.pureSolid < 0; });
        if (sys.solidSolution && !solution) {
            // Ideal solid solution: trial w_i = f_i / f_i^S, tm = 1 - sum w.
            Phase s = solidPhase(n, -1);
            double sum = 0;
            for (int i = 0; i < n; ++i)
                if (z[i] > 0 && ref[i] != kNoSolid && !freezesPure(sys, i) && d[i] != kNoSolid)
                    sum += s.x[i] = std::exp(d[i] - ref[i]);
            if (1.0 - sum < kInstability) {
                for (double& v : s.x)
                    v /= sum;
                added.push_back(std::move(s));
            }
        }
        if (hydrates && d[sys.water] != kNoSolid) {
            Phase h;
            if (unstableHydrate(sys, T, P, z, d, ph, h)) added.push_back(std::move(h));
        }
        if (added.empty() && fluids < sys.maxPhases) {
            // A fluid phase the solids have made stable (or left missing).
            const double* xr = fluid >= 0 ? ph[kref].x.data() : z;
            bool complete = true;
            for (int i = 0; i < n; ++i)
                complete = complete && (z[i] <= 0 || d[i] != kNoSolid);
            if (complete) {
                const double tm = stabilityTest(sys, T, P, xr, d.data(), w);
                bool known = !(tm < kInstability) || static_cast<int>(w.size()) != n;
                for (const auto& q : ph) {
                    if (known || !isFluid(q)) continue;
                    double dd = 0;
                    for (int i = 0; i < n; ++i)
                        dd += (q.x[i] - w[i]) * (q.x[i] - w[i]);
                    known = known || dd < 1e-10;
                }
                if (!known) {
                    Phase f;
                    f.beta = 0;
                    f.x = w;
                    added.push_back(std::move(f));
                }
            }
        }
        if (added.empty()) return true;
        hydrateAdded = std::any_of(added.begin(), added.end(), isHydrate);
        for (auto& a : added)
            ph.push_back(std::move(a));
        if (!solveWithinPhaseRule(sys, T, P, z, actives, ph, ref, iterations)) return false;
    }
    // A hydrate that is still found unstable after the last round was not
    // equilibrated: no state rather than one without it.
    return !hydrateAdded;
}

} // namespace zpk::equilibrium
