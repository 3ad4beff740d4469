#include "equilibrium/tp_flash.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <limits>

#include "equilibrium/gibbs_hessian.h"
#include "equilibrium/hydrate_phase.h"
#include "equilibrium/rachford_rice.h"
#include "equilibrium/solid_flash.h"
#include "equilibrium/stability.h"
#include "models/solid.h"

namespace zpk::equilibrium {

using models::PhaseProps;
using models::Root;

namespace {

constexpr double kFugacityTol = 1e-10;
// Fugacity error below which one Newton step is expected to end inside
// kFugacityTol (quadratic convergence).
constexpr double kNewtonConverges = 1e-5;
// Number of components up to which Newton's method starts early.
constexpr int kFewComponents = 5;
// Changes of the Gibbs energy (per mole of feed, / RT) below this are
// within its rounding.
constexpr double kGibbsRounding = 1e-13;

// Largest difference of ln fugacity between each phase and phase 0 (one
// logarithm per component and phase pair: ln(x_k / x_0)).
double fugacityError(const std::vector<Phase>& ph, const std::vector<PhaseProps>& pr, const double* z,
                     int n) {
    const double* x0 = ph[0].x.data();
    const double* l0 = pr[0].lnphi.data();
    double e = 0;
    for (std::size_t k = 1; k < ph.size(); ++k) {
        const double* xk = ph[k].x.data();
        const double* lk = pr[k].lnphi.data();
        for (int i = 0; i < n; ++i) {
            if (z[i] <= 0) continue;
            e = std::max(e, std::fabs(std::log(xk[i] / x0[i]) + (lk[i] - l0[i])));
        }
    }
    return e;
}

double gibbs(const std::vector<Phase>& ph, const std::vector<PhaseProps>& pr, const double* z, int n) {
    double g = 0;
    for (std::size_t k = 0; k < ph.size(); ++k)
        for (int i = 0; i < n; ++i)
            if (z[i] > 0 && ph[k].x[i] > 0)
                g += ph[k].beta * ph[k].x[i] * (std::log(ph[k].x[i]) + pr[k].lnphi[i]);
    return g;
}

bool evalAll(const FluidSystem& sys, double T, double P, const std::vector<Phase>& ph, int order,
             std::vector<PhaseProps>& pr) {
    pr.resize(ph.size());
    for (std::size_t k = 0; k < ph.size(); ++k)
        if (!evalPhase(sys, T, P, ph[k].x.data(), Root::Stable, order, pr[k])) return false;
    return true;
}

// Records the molar volume and kind of each phase from its evaluation at
// its composition (orderFluidPhases uses them instead of evaluating again).
void keepVolumes(std::vector<Phase>& ph, const std::vector<PhaseProps>& pr) {
    for (std::size_t k = 0; k < ph.size(); ++k) {
        ph[k].v = pr[k].v;
        ph[k].kind = pr[k].kind;
    }
}

// Removes phases without material and merges phases that became identical.
void prune(std::vector<Phase>& ph, int n) {
    for (std::size_t k = 0; k < ph.size();) {
        if (ph[k].beta <= 1e-14 && ph.size() > 1) {
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
            if (d < 1e-12) {
                ph[a].beta += ph[b].beta;
                ph.erase(ph.begin() + static_cast<long>(b));
            } else {
                ++b;
            }
        }
}

// One Newton step of the Gibbs energy in the mole numbers of phases 1..p-1
// (phase 0 takes the rest).  Returns false when no descent step exists.  The
// new point's properties are left in pr, evaluated at trialOrder.
bool newtonStep(const FluidSystem& sys, double T, double P, const double* z, std::vector<Phase>& ph,
                std::vector<PhaseProps>& pr, int trialOrder = 1) {
    const int n = sys.size();
    const int p = static_cast<int>(ph.size());
    // Per-thread workspace, sized once: the Newton loop allocates nothing.
    thread_local std::vector<int> act;
    thread_local Eigen::MatrixXd H;
    thread_local Eigen::VectorXd g, dn;
    thread_local Eigen::LDLT<Eigen::MatrixXd> ldlt;
    thread_local Eigen::LLT<Eigen::MatrixXd> llt;
    thread_local std::vector<double> nk;
    thread_local std::vector<Phase> trial;
    thread_local std::vector<PhaseProps> tp;
    gibbsHessian(ph, pr, z, n, act, H);
    const int m = static_cast<int>(act.size());
    g.resize((p - 1) * m);
    for (int k = 1; k < p; ++k)
        for (int a = 0; a < m; ++a) {
            const int i = act[a];
            g((k - 1) * m + a) =
                std::log(ph[k].x[i]) + pr[k].lnphi[i] - std::log(ph[0].x[i]) - pr[0].lnphi[i];
        }
    // Cholesky where the Hessian is positive definite (near a stable
    // equilibrium), else the pivoting LDL^T.
    llt.compute(H);
    if (llt.info() == Eigen::Success) {
        dn = -llt.solve(g);
    } else {
        ldlt.compute(H);
        dn = -ldlt.solve(g);
    }
    if (!dn.allFinite() || dn.dot(g) >= 0) return false;
    // Current mole numbers.
    nk.resize(static_cast<std::size_t>(p) * n);
    for (int k = 0; k < p; ++k)
        for (int i = 0; i < n; ++i)
            nk[k * n + i] = ph[k].beta * ph[k].x[i];
    const double g0 = gibbs(ph, pr, z, n);
    double step = 1.0;
    // Keep every mole number positive.
    for (int k = 1; k < p; ++k)
        for (int a = 0; a < m; ++a) {
            const int i = act[a];
            const double d = dn((k - 1) * m + a);
            if (nk[k * n + i] + step * d <= 0) step = std::min(step, -0.9 * nk[k * n + i] / d);
            double d0 = 0;
            for (int l = 1; l < p; ++l)
                d0 -= dn((l - 1) * m + a);
            if (nk[i] + step * d0 <= 0) step = std::min(step, -0.9 * nk[i] / d0);
        }
    // Near the solution a step lowers G by less than G's own rounding (the
    // model's ln phi carry ~1e-15 of it from their O(1) terms, and a trace
    // phase makes the decrease g.dn minute): there the comparison of G is
    // noise, and a step is judged by the fugacity error it leaves instead.
    const double slope = -dn.dot(g);
    const double errNow = g.lpNorm<Eigen::Infinity>();
    trial = ph;
    for (int ls = 0; ls < 30; ++ls, step *= 0.5) {
        for (int k = 0; k < p; ++k) {
            double tot = 0;
            for (int a = 0; a < m; ++a) {
                const int i = act[a];
                double v;
                if (k == 0) {
                    v = nk[i];
                    for (int l = 1; l < p; ++l)
                        v -= step * dn((l - 1) * m + a);
                } else {
                    v = nk[k * n + i] + step * dn((k - 1) * m + a);
                }
                trial[k].x[i] = v;
                tot += v;
            }
            trial[k].beta = tot;
            for (int i = 0; i < n; ++i)
                trial[k].x[i] = (z[i] > 0) ? trial[k].x[i] / tot : 0.0;
        }
        if (!evalAll(sys, T, P, trial, trialOrder, tp)) continue;
        const bool belowRounding = step * slope < kGibbsRounding;
        if (gibbs(trial, tp, z, n) <= g0 + 1e-14 * std::fabs(g0) ||
            (belowRounding && fugacityError(trial, tp, z, n) < errNow)) {
            ph.swap(trial);
            pr.swap(tp);
            return true;
        }
    }
    return false;
}

} // namespace

namespace {

// solveEquilibrium; with keep, the converged phases' v and kind are those of
// their last evaluation (v = 0 where none is kept) for orderFluidPhases.
bool solvePhases(const FluidSystem& sys, double T, double P, const double* z, std::vector<Phase>& ph,
                 int* iterations, bool keep) {
    const int n = sys.size();
    // Per-thread workspace (this function does not recurse).
    thread_local std::vector<PhaseProps> pr;
    thread_local std::vector<double> beta, x, lnphi, delta, prevDelta, prevLnphi;
    prevDelta.clear();
    prevLnphi.clear();
    // Composition derivatives are known only once evaluated in this call.
    for (auto& q : pr)
        q.dlnphi_dn.clear();
    if (keep)
        for (auto& q : ph)
            q.v = 0;
    // Newton's method takes over once the fugacity error falls below
    // newtonFrom: 1e-5, or 1e-3 for few components, whose Hessian and
    // composition derivatives cost little more than a substitution step.
    int active = 0;
    for (int i = 0; i < n; ++i)
        active += z[i] > 0;
    const double newtonFrom = active <= kFewComponents ? 1e-3 : 1e-5;
    int it = 0;
    bool useNewton = false;
    // True when the loop ended on converged fugacities with pr evaluated at ph.
    bool converged = false;
    // Order of the properties pr holds of ph (-1: none yet): an accepted
    // Newton step evaluated its new point.
    int have = -1;
    // True when the last accepted Newton step evaluated its point without derivatives.
    bool trialWithout = false;
    for (; it < 500; ++it) {
        if (ph.size() < 2) break;
        if (have < 0) {
            if (!evalAll(sys, T, P, ph, useNewton ? 1 : 0, pr)) return false;
            have = useNewton ? 1 : 0;
        }
        const double err = fugacityError(ph, pr, z, n);
        if (err < kFugacityTol) {
            converged = true;
            break;
        }
        if (!useNewton && (err < newtonFrom || it > 60)) useNewton = true;
        if (useNewton) {
            // Derivatives are evaluated when this call has none yet and after
            // a Newton step whose point was evaluated without them.  After
            // substitution steps that followed a failed Newton step the last
            // ones evaluated (at an earlier point) are used, as before:
            // evaluating them afresh there loses the sour gas's bubble point
            // (tests/robustness/saturation_choice_test.cpp).
            if ((pr[0].dlnphi_dn.empty() || trialWithout) && !evalAll(sys, T, P, ph, 1, pr)) return false;
            trialWithout = false;
            // From this close the step is expected to converge: its point is
            // evaluated without the derivatives only a further step needs.
            const int trialOrder = err < kNewtonConverges ? 0 : 1;
            if (newtonStep(sys, T, P, z, ph, pr, trialOrder)) {
                const std::size_t before = ph.size();
                prune(ph, n);
                have = ph.size() == before ? trialOrder : -1;
                trialWithout = have == 0;
                continue;
            }
            useNewton = false; // back to substitution, longer this time
        }
        // Successive substitution on the multiphase split at fixed fugacity coefficients.
        have = -1;
        const int p = static_cast<int>(ph.size());
        lnphi.resize(static_cast<std::size_t>(p) * n);
        for (int k = 0; k < p; ++k)
            for (int i = 0; i < n; ++i)
                lnphi[k * n + i] = pr[k].lnphi[i];
        // Dominant-eigenvalue acceleration every third step.
        if (prevLnphi.size() == lnphi.size()) {
            delta.resize(lnphi.size());
            for (std::size_t q = 0; q < lnphi.size(); ++q)
                delta[q] = lnphi[q] - prevLnphi[q];
            if (it % 3 == 2 && prevDelta.size() == delta.size()) {
                double num = 0, den = 0;
                for (std::size_t q = 0; q < delta.size(); ++q) {
                    num += delta[q] * prevDelta[q];
                    den += prevDelta[q] * prevDelta[q];
                }
                const double lam = den > 0 ? num / den : 0;
                if (lam > 0 && lam < 0.95)
                    for (std::size_t q = 0; q < delta.size(); ++q)
                        lnphi[q] += delta[q] * lam / (1 - lam);
            }
            prevDelta.swap(delta);
        }
        prevLnphi.assign(lnphi.begin(), lnphi.end());
        beta.resize(p);
        for (int k = 0; k < p; ++k)
            beta[k] = ph[k].beta;
        multiphaseSplit(z, lnphi.data(), n, p, beta, x);
        for (int k = 0; k < p; ++k) {
            ph[k].beta = beta[k];
            std::copy(x.begin() + k * n, x.begin() + (k + 1) * n, ph[k].x.begin());
        }
        const std::size_t before = ph.size();
        prune(ph, n);
        if (ph.size() != before) {
            prevLnphi.clear();
            prevDelta.clear();
        }
    }
    if (iterations) *iterations += it;
    if (ph.size() < 2) return true;
    if (!converged && (!evalAll(sys, T, P, ph, 0, pr) || !(fugacityError(ph, pr, z, n) < 1e-7))) return false;
    if (keep) keepVolumes(ph, pr);
    return true;
}

} // namespace

bool solveEquilibrium(const FluidSystem& sys, double T, double P, const double* z, std::vector<Phase>& ph,
                      int* iterations) {
    return solvePhases(sys, T, P, z, ph, iterations, false);
}

namespace {

// orderPhases; with evaluated, the fluid phases' v and kind are those of
// their compositions at (T, P) and are not evaluated again.
void orderFluidPhases(const FluidSystem& sys, double T, double P, std::vector<Phase>& phases,
                      bool evaluated) {
    const int n = sys.size();
    // Solid and hydrate phases keep their kind and follow the fluid phases,
    // the solids first.
    std::vector<Phase> solids;
    for (auto it = phases.begin(); it != phases.end();) {
        if (it->kind == models::kSolidPhase || it->kind == hydrate::kHydratePhase) {
            solids.push_back(std::move(*it));
            it = phases.erase(it);
        } else {
            ++it;
        }
    }
    struct Key {
        double rho;
        int kind;
    };
    std::vector<Key> key(phases.size());
    PhaseProps pp;
    for (std::size_t k = 0; k < phases.size(); ++k) {
        if (!evaluated) {
            evalPhase(sys, T, P, phases[k].x.data(), Root::Stable, 0, pp);
            phases[k].v = pp.v;
            phases[k].kind = pp.kind;
        }
        double mw = 0;
        for (int i = 0; i < n; ++i)
            mw += phases[k].x[i] * sys.mw[i];
        key[k] = {mw / phases[k].v, phases[k].kind};
    }
    std::vector<std::size_t> idx(phases.size());
    for (std::size_t k = 0; k < idx.size(); ++k)
        idx[k] = k;
    std::sort(idx.begin(), idx.end(), [&](std::size_t a, std::size_t b) { return key[a].rho < key[b].rho; });
    std::vector<Phase> out;
    for (std::size_t k : idx)
        out.push_back(phases[k]);
    // At most one vapour, the lightest.  When only vapour-liquid splits are
    // allowed, or three phases coexist, the lightest phase is the vapour; a
    // two-phase split with a second liquid allowed keeps the model's label
    // (a liquid-liquid split stays two liquids).
    for (std::size_t k = 1; k < out.size(); ++k)
        out[k].kind = models::kLiquid;
    if (out.size() > 1 && (sys.maxPhases <= 2 || out.size() >= 3)) out[0].kind = models::kVapour;
    phases = std::move(out);
    std::stable_sort(solids.begin(), solids.end(),
                     [](const Phase& a, const Phase& b) { return a.kind < b.kind; });
    for (auto& s : solids)
        phases.push_back(std::move(s));
}

} // namespace

void orderPhases(const FluidSystem& sys, double T, double P, std::vector<Phase>& phases) {
    orderFluidPhases(sys, T, P, phases, false);
}

namespace {

// Normalised non-negative feed; false when it has no material.
bool normalisedFeed(int n, const double* zin, std::vector<double>& z) {
    z.assign(zin, zin + n);
    double s = 0;
    for (double v : z)
        s += std::max(v, 0.0);
    if (!(s > 0)) return false;
    for (double& v : z)
        v = std::max(v, 0.0) / s;
    return true;
}

// Stability rounds from round `first` on: while the first phase of the
// current equilibrium ph is unstable and the phase limit allows, the trial
// phase found is added and the equilibrium solved again.
bool addUnstablePhases(const FluidSystem& sys, double T, double P, const std::vector<double>& z, int first,
                       std::vector<Phase>& ph, int& iterations) {
    const int n = sys.size();
    int active = 0;
    for (double v : z)
        active += v > 0;
    PhaseProps ref;
    std::vector<double> d(n), w;
    for (int round = first; round < 4 && active > 1; ++round) {
        if (static_cast<int>(ph.size()) >= sys.maxPhases) break;
        // Stability of the current equilibrium, tested on its first phase.
        if (!evalPhase(sys, T, P, ph[0].x.data(), Root::Stable, 0, ref)) return false;
        ph[0].v = ref.v;
        ph[0].kind = ref.kind;
        for (int i = 0; i < n; ++i)
            d[i] = (z[i] > 0) ? std::log(ph[0].x[i]) + ref.lnphi[i] : 0.0;
        const double tm = stabilityTest(sys, T, P, ph[0].x.data(), d.data(), w);
        if (!(tm < -1e-9)) break;
        // Skip a trial that reproduces a phase already present.
        bool known = false;
        for (const auto& q : ph) {
            double dd = 0;
            for (int i = 0; i < n; ++i)
                dd += (q.x[i] - w[i]) * (q.x[i] - w[i]);
            known = known || dd < 1e-10;
        }
        if (known) break;
        std::vector<Phase> trial = ph;
        Phase add;
        add.x = w;
        add.beta = 0.0;
        trial.push_back(add);
        // Initial split from the fugacity coefficients of the current phases and the trial.
        // Phase 0 is the reference just evaluated.
        std::vector<PhaseProps> pr(trial.size());
        pr[0] = ref;
        for (std::size_t k = 1; k < trial.size(); ++k)
            if (!evalPhase(sys, T, P, trial[k].x.data(), Root::Stable, 0, pr[k])) return false;
        std::vector<double> lnphi(trial.size() * n), beta, x;
        for (std::size_t k = 0; k < trial.size(); ++k)
            for (int i = 0; i < n; ++i)
                lnphi[k * n + i] = pr[k].lnphi[i];
        for (auto& q : trial)
            beta.push_back(q.beta > 0 ? q.beta : 0.5);
        multiphaseSplit(z.data(), lnphi.data(), n, static_cast<int>(trial.size()), beta, x);
        for (std::size_t k = 0; k < trial.size(); ++k) {
            trial[k].beta = beta[k];
            std::copy(x.begin() + static_cast<long>(k * n), x.begin() + static_cast<long>((k + 1) * n),
                      trial[k].x.begin());
        }
        prune(trial, n);
        if (trial.size() < 2) {
            // The split collapsed at once: start from the trial itself and the feed.
            trial = ph;
            add.beta = 0.5;
            for (auto& q : trial)
                q.beta *= 0.5;
            trial.push_back(add);
        }
        if (!solvePhases(sys, T, P, z.data(), trial, &iterations, true)) return false;
        if (trial.size() <= ph.size() && round > 0) break;
        ph = std::move(trial);
    }
    return true;
}

// True when the split ph has a lower Gibbs energy than the feed as one
// phase.  A split that does not (phases converging towards each other, the
// trivial solution approached from a neighbouring state's split) is no
// equilibrium to keep.
bool belowFeedGibbs(const FluidSystem& sys, double T, double P, const std::vector<double>& z,
                    const std::vector<Phase>& ph) {
    const int n = sys.size();
    PhaseProps pp;
    if (!evalPhase(sys, T, P, z.data(), Root::Stable, 0, pp)) return false;
    double gFeed = 0;
    for (int i = 0; i < n; ++i)
        if (z[i] > 0) gFeed += z[i] * (std::log(z[i]) + pp.lnphi[i]);
    std::vector<PhaseProps> pr;
    if (!evalAll(sys, T, P, ph, 0, pr)) return false;
    const double gSplit = gibbs(ph, pr, z.data(), n);
    return gSplit < gFeed - 1e-12 * (1.0 + std::fabs(gFeed));
}

// Solid phases (when allowed), phase order and the result.
bool finish(const FluidSystem& sys, double T, double P, const std::vector<double>& z, std::vector<Phase>& ph,
            FlashResult& result) {
    if (sys.solid && !addSolidPhases(sys, T, P, z.data(), ph, &result.iterations)) return false;
    // Without solids the phases' volumes are those of their last evaluation
    // (v = 0 where none was kept).
    bool evaluated = !sys.solid;
    for (const auto& q : ph)
        evaluated = evaluated && q.v > 0;
    orderFluidPhases(sys, T, P, ph, evaluated);
    result.phases = std::move(ph);
    return true;
}

} // namespace

bool flashTP(const FluidSystem& sys, double T, double P, const double* zin, FlashResult& result) {
    const int n = sys.size();
    result.phases.clear();
    result.iterations = 0;
    if (!(T > 0) || !(P > 0) || n == 0) return false;
    std::vector<double> z;
    if (!normalisedFeed(n, zin, z)) return false;
    std::vector<Phase> ph(1);
    ph[0].x = z;
    ph[0].beta = 1.0;
    if (!addUnstablePhases(sys, T, P, z, 0, ph, result.iterations)) return false;
    return finish(sys, T, P, z, ph, result);
}

bool flashTPFrom(const FluidSystem& sys, double T, double P, const double* zin,
                 const std::vector<Phase>& guess, FlashResult& result) {
    const int n = sys.size();
    bool usable = guess.size() >= 2 && !sys.solid;
    for (const auto& q : guess)
        usable = usable && q.kind != models::kSolidPhase && static_cast<int>(q.x.size()) == n && q.beta > 0;
    if (!usable || !(T > 0) || !(P > 0)) return flashTP(sys, T, P, zin, result);
    result.phases.clear();
    result.iterations = 0;
    std::vector<double> z;
    if (!normalisedFeed(n, zin, z)) return false;
    // The guess's phase amounts re-split for this feed at its compositions,
    // then the equilibrium at (T, P).
    std::vector<Phase> ph = guess;
    for (auto& q : ph)
        q.v = 0; // not evaluated at (T, P) yet
    {
        std::vector<double> lnphi(ph.size() * n), beta, x;
        PhaseProps pp;
        for (std::size_t k = 0; k < ph.size(); ++k) {
            if (!evalPhase(sys, T, P, ph[k].x.data(), Root::Stable, 0, pp))
                return flashTP(sys, T, P, zin, result);
            for (int i = 0; i < n; ++i)
                lnphi[k * n + i] = pp.lnphi[i];
            beta.push_back(ph[k].beta);
        }
        multiphaseSplit(z.data(), lnphi.data(), n, static_cast<int>(ph.size()), beta, x);
        for (std::size_t k = 0; k < ph.size(); ++k) {
            ph[k].beta = beta[k];
            std::copy(x.begin() + static_cast<long>(k * n), x.begin() + static_cast<long>((k + 1) * n),
                      ph[k].x.begin());
        }
        prune(ph, n);
    }
    if (ph.size() < 2 || !solvePhases(sys, T, P, z.data(), ph, &result.iterations, true) || ph.size() < 2 ||
        !belowFeedGibbs(sys, T, P, z, ph))
        return flashTP(sys, T, P, zin, result);
    // Iterations from a nearby start end inside the tolerance at a point that
    // depends on the start; one more Newton step converges the state to
    // rounding, so that it is a smooth function of (T, P) as the flash from
    // the feed is (searches on the flash's enthalpy or entropy rely on it).
    {
        std::vector<PhaseProps> pr;
        if (evalAll(sys, T, P, ph, 1, pr) && newtonStep(sys, T, P, z.data(), ph, pr)) {
            keepVolumes(ph, pr);
            prune(ph, n);
        }
    }
    // The neighbouring solution converged here: test it for stability and
    // add phases as the flash from the feed does after its first split.
    if (!addUnstablePhases(sys, T, P, z, 1, ph, result.iterations)) return flashTP(sys, T, P, zin, result);
    return finish(sys, T, P, z, ph, result);
}

} // namespace zpk::equilibrium
