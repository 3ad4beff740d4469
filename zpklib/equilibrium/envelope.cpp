#include "equilibrium/envelope.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>

#include "equilibrium/saturation.h"
#include "equilibrium/verify.h"

namespace zpk::equilibrium {

using models::PhaseProps;
using models::Root;

namespace {

// Largest |ln f^a - ln f^b| accepted when an extremum is verified: the
// tracer's corrector stops at residuals of 1e-9, so a margin above it.
constexpr double kEnvelopeFugacityTolerance = 1e-7;

// Newton iterations of one correction of a predicted point, and the steps
// limited in length it may take besides.
constexpr int kMaxCorrections = 12;
constexpr int kMaxLimitedSteps = 24;
// Largest residual of a converged point (the equations are differences of
// logarithms of fugacities and the material balance).
constexpr double kResidualTolerance = 1e-9;
// Largest change of ln T or ln P (predicted) of a step over a critical point
// to the mirror image of the K; a longer one first approaches the critical
// point in steps that halve ln K of the stepping component.
constexpr double kCriticalJump = 1e-4;
// Smallest |ln K| of the stepping component reached that way (closer in the
// corrector's start from the mirror image fails).
constexpr double kClosestApproach = 2e-3;

// The continuation equations of one line (see envelope.h) over the
// components present; X = (ln K of act..., ln T, ln P).
class LineEquations {
  public:
    LineEquations(const FluidSystem& sys, const double* z, double beta) : sys_(sys), z_(z), beta_(beta) {
        for (int i = 0; i < sys.size(); ++i)
            if (z[i] > 0) act_.push_back(i);
        m_ = static_cast<int>(act_.size());
    }
    int dim() const { return m_ + 2; }
    int m() const { return m_; }
    const std::vector<int>& active() const { return act_; }

    // Residuals F and Jacobian J at X with variable s fixed at S.  swapped:
    // the y phase is evaluated on the liquid root and x on the vapour root.
    bool evaluate(const Eigen::VectorXd& X, int s, double S, bool swapped, Eigen::VectorXd& F,
                  Eigen::MatrixXd& J) const {
        const int n = sys_.size();
        const double T = std::exp(X(m_)), P = std::exp(X(m_ + 1));
        if (!std::isfinite(T) || !std::isfinite(P)) return false;
        std::vector<double>& x = x_;
        std::vector<double>& y = y_;
        x.assign(n, 0.0);
        y.assign(n, 0.0);
        double sx = 0, sy = 0;
        for (int a = 0; a < m_; ++a) {
            const int i = act_[a];
            const double K = std::exp(X(a));
            x[i] = z_[i] / (1 + beta_ * (K - 1));
            y[i] = K * x[i];
            sx += x[i];
            sy += y[i];
        }
        if (!(sx > 0) || !(sy > 0) || !std::isfinite(sx + sy)) return false;
        const Root ry = swapped ? Root::Liquid : Root::Vapour, rx = swapped ? Root::Vapour : Root::Liquid;
        if (!evalPhase(sys_, T, P, y.data(), ry, 1, py_) || !evalPhase(sys_, T, P, x.data(), rx, 1, px_))
            return false;
        F.resize(dim());
        J.setZero(dim(), dim());
        for (int a = 0; a < m_; ++a) {
            const int i = act_[a];
            F(a) = X(a) + py_.lnphi[i] - px_.lnphi[i];
            for (int b = 0; b < m_; ++b) {
                const int j = act_[b];
                const double xy = x[j] * y[j] / z_[j];
                J(a, b) = (a == b ? 1.0 : 0.0) + py_.dlnphi_dn[i * n + j] / sy * (1 - beta_) * xy +
                          px_.dlnphi_dn[i * n + j] / sx * beta_ * xy;
            }
            J(a, m_) = T * (py_.dlnphi_dT[i] - px_.dlnphi_dT[i]);
            J(a, m_ + 1) = P * (py_.dlnphi_dP[i] - px_.dlnphi_dP[i]);
        }
        F(m_) = sy - sx;
        for (int b = 0; b < m_; ++b)
            J(m_, b) = x[act_[b]] * y[act_[b]] / z_[act_[b]];
        F(m_ + 1) = X(s) - S;
        J(m_ + 1, s) = 1;
        return F.allFinite() && J.allFinite();
    }

    // Newton's method from X with X_s = S; X holds the solution on success.
    // The Jacobian of the last iteration (at the solution to within the
    // final Newton step) is kept for the next tangent (see sensitivity).
    // mayWalk: steps limited in length are allowed besides the Newton
    // iterations (see below).
    bool correct(Eigen::VectorXd& X, int s, double S, bool swapped, int& iterations,
                 bool mayWalk = false) const {
        Eigen::VectorXd F;
        Eigen::MatrixXd& J = lastJ_;
        haveLastJ_ = false;
        X(s) = S;
        double lastNorm = 1e300;
        bool lastWalked = false; // the previous step was a limited step of a walk
        int walked = 0;
        for (iterations = 1;; ++iterations) {
            if (!evaluate(X, s, S, swapped, F, J)) return false;
            const double norm = F.cwiseAbs().maxCoeff();
            // Next to a critical point the Jacobian is nearly singular: at
            // the rounding floor of the residuals the Newton steps stay
            // above the step tolerance, and a residual that no longer falls
            // there is converged.
            if (iterations > 1 && norm < kResidualTolerance && !(norm < 0.5 * lastNorm)) break;
            // From a predicted point Newton's method converges in a few
            // iterations; one whose full steps no longer contract is given up
            // early (the caller retries with a shorter step).  With mayWalk,
            // limited steps are a walk to a solution further away and do not
            // count: where the root of a phase ends, the line goes on with
            // the other root.  Steps over a critical point do not walk (from
            // the mirror image of a nearly pure feed's K the walk reaches the
            // bubble point at the same temperature, not the critical point).
            if (!lastWalked && iterations - walked > 4 && !(norm < 0.5 * lastNorm)) return false;
            lastNorm = norm;
            lu_.compute(J);
            Eigen::VectorXd& dX = step_;
            dX = lu_.solve(-F);
            if (!dX.allFinite()) return false;
            double scale = 1;
            for (int k = 0; k < dim(); ++k) {
                const double limit = k < m_ ? 1.0 : 0.1;
                if (std::fabs(dX(k)) * scale > limit) scale = limit / std::fabs(dX(k));
            }
            X += scale * dX;
            lastWalked = mayWalk && scale < 1;
            if (lastWalked && ++walked > kMaxLimitedSteps) return false;
            if (norm < kResidualTolerance && dX.cwiseAbs().maxCoeff() < 1e-8) break;
            if (iterations - walked >= kMaxCorrections) return false;
        }
        if (m_ > 1 && X.head(m_).squaredNorm() < 1e-10) return false; // trivial solution
        haveLastJ_ = true;
        return true;
    }

    // dX/dS for the variable s at a converged X.  With fromLastCorrection
    // the Jacobian of the last successful correction is used (its point
    // differs from X by the last Newton step, below 1e-8): the tangent
    // costs no model evaluation.
    bool sensitivity(const Eigen::VectorXd& X, int s, bool swapped, Eigen::VectorXd& v,
                     bool fromLastCorrection = false) const {
        Eigen::MatrixXd& J = lastJ_;
        if (!fromLastCorrection || !haveLastJ_) {
            Eigen::VectorXd F;
            if (!evaluate(X, s, X(s), swapped, F, J)) return false;
        } else {
            J.row(dim() - 1).setZero();
            J(dim() - 1, s) = 1;
        }
        Eigen::VectorXd rhs = Eigen::VectorXd::Zero(dim());
        rhs(dim() - 1) = 1;
        lu_.compute(J);
        v = lu_.solve(rhs);
        return v.allFinite();
    }

    EnvelopePoint point(const Eigen::VectorXd& X, bool swapped) const {
        EnvelopePoint p;
        p.T = std::exp(X(m_));
        p.P = std::exp(X(m_ + 1));
        p.swapped = swapped;
        p.lnK.assign(sys_.size(), 0.0);
        for (int a = 0; a < m_; ++a)
            p.lnK[act_[a]] = X(a);
        return p;
    }
    Eigen::VectorXd variables(const EnvelopePoint& p) const {
        Eigen::VectorXd X(dim());
        for (int a = 0; a < m_; ++a)
            X(a) = p.lnK[act_[a]];
        X(m_) = std::log(p.T);
        X(m_ + 1) = std::log(p.P);
        return X;
    }

  private:
    const FluidSystem& sys_;
    const double* z_;
    double beta_;
    std::vector<int> act_;
    int m_ = 0;
    mutable PhaseProps py_, px_;
    mutable std::vector<double> x_, y_;
    mutable Eigen::MatrixXd lastJ_;
    mutable Eigen::PartialPivLU<Eigen::MatrixXd> lu_; // factors of the last Jacobian solved with
    mutable Eigen::VectorXd step_;                    // the corrector's Newton step
    mutable bool haveLastJ_ = false;
};

// Largest step of each variable along the line: ln T by 0.02, ln P by 0.06,
// ln K by 0.12 next to K = 1 (where the line may pass a critical point) and
// in proportion to |ln K| away from it (the ln K of a heavy component in a
// light vapour are large and change with 1/T; they do not decide the
// resolution of the line).
double maxStep(const LineEquations& eq, const Eigen::VectorXd& X, int k) {
    if (k < eq.m()) return std::max(0.12, 0.15 * std::fabs(X(k)));
    return k == eq.m() ? 0.02 : 0.06;
}

// Predictor of the next point: the tangent at X plus the quadratic term that
// puts the previous point prev of the line on the same parabola in the
// specified variable s (v holds dX/dX_s with |v(s)| = 1).  The quadratic term
// is left out when there is no previous point behind X or when it is not
// small next to the tangent step (a sharp turn of the line).
Eigen::VectorXd predict(const Eigen::VectorXd& X, const Eigen::VectorXd& v, int s, double h,
                        const Eigen::VectorXd* prev) {
    Eigen::VectorXd Xn = X + h * v;
    if (!prev) return Xn;
    const double tau = ((*prev)(s)-X(s)) / v(s);
    if (!(tau < 0) || std::fabs(tau) < 1e-12) return Xn;
    const Eigen::VectorXd c = (*prev - X - tau * v) / (tau * tau);
    const Eigen::VectorXd q = (h * h) * c;
    if (!q.allFinite() || q.norm() > 0.3 * h * v.norm()) return Xn;
    return Xn + q;
}

// The split point at pressure P from several starts: Wilson's estimate and
// Wilson K-values at temperatures spread over the components' range.  The
// dew side (beta >= 0.5) takes the warmest solution, where the first drop
// appears on cooling; the bubble side the coldest, where the first bubble
// appears on heating.  Wilson's estimate alone can settle on a spurious
// cold split for feeds rich in water.
bool splitAt(const FluidSystem& sys, const double* z, double beta, double P, SplitPoint& best) {
    double tcMin = 1e300, tcMax = 0;
    for (int i = 0; i < sys.size(); ++i)
        if (z[i] > 0) tcMin = std::min(tcMin, sys.tc[i]), tcMax = std::max(tcMax, sys.tc[i]);
    bool found = false;
    auto consider = [&](const SplitPoint& pt) {
        if (!found || (beta >= 0.5 ? pt.T > best.T : pt.T < best.T)) best = pt;
        found = true;
    };
    SplitPoint pt;
    pt.P = P;
    if (solveSplitPoint(sys, z, beta, true, pt)) consider(pt);
    if (!(tcMax > 0)) return found;
    const double tLo = 0.3 * tcMin, tHi = 1.1 * tcMax;
    constexpr int kStarts = 8;
    for (int k = 0; k < kStarts; ++k) {
        const double T = tLo * std::pow(tHi / tLo, k / double(kStarts - 1));
        std::vector<double> lnK(sys.size(), 0.0);
        for (int i = 0; i < sys.size(); ++i)
            lnK[i] = sys.lnWilsonK(i, T, P);
        pt = SplitPoint{};
        pt.P = P;
        pt.T = T;
        if (solveSplitPoint(sys, z, beta, true, pt, lnK)) consider(pt);
    }
    return found;
}

// First point of a line: the split point at startP (a few other pressures
// when it has none).
bool startPoint(const FluidSystem& sys, const double* z, double beta, const TraceOptions& o, SplitPoint& pt) {
    for (double f : {1.0, 2.0, 5.0, 20.0}) {
        if (o.startP * f > o.maxP) break;
        if (splitAt(sys, z, beta, o.startP * f, pt)) return true;
    }
    return false;
}

} // namespace

EnvelopeLine traceLine(const FluidSystem& sys, const double* z, double beta, bool stopAtCritical,
                       const TraceOptions& o) {
    EnvelopeLine line;
    LineEquations eq(sys, z, beta);
    const int m = eq.m(), dim = eq.dim();
    if (m == 0) return line;
    SplitPoint start;
    if (!startPoint(sys, z, beta, o, start)) return line;
    Eigen::VectorXd X(dim);
    for (int a = 0; a < m; ++a) {
        const int i = eq.active()[a];
        X(a) = std::log(start.y[i] / start.x[i]);
    }
    X(m) = std::log(start.T);
    X(m + 1) = std::log(start.P);
    bool swapped = false;
    int s = m + 1, it = 0;
    if (!eq.correct(X, s, X(s), swapped, it)) return line;
    line.push_back(eq.point(X, swapped));

    Eigen::VectorXd direction = Eigen::VectorXd::Zero(dim);
    direction(m + 1) = 1; // upwards in pressure from the start
    double h = 0.02;      // step of the specified variable
    int approaching = -1; // the ln K in which the line approaches a critical point
    const double lnMinP = std::log(o.minP), lnMaxP = std::log(o.maxP);
    Eigen::VectorXd prev; // the previous point of the line on the same side
    bool havePrev = false;
    for (int step = 0; step < o.maxSteps; ++step) {
        Eigen::VectorXd v;
        if (!eq.sensitivity(X, s, swapped, v, true)) break;
        int ns = 0;
        for (int k = 1; k < dim; ++k)
            if (std::fabs(v(k)) > std::fabs(v(ns))) ns = k;
        if (approaching >= 0 && std::fabs(v(approaching)) > 1e-3 * std::fabs(v(ns)))
            ns = approaching; // keep stepping in that ln K until it steps over the critical point
        v /= v(ns);           // now dX/dX_ns
        if (v.dot(direction) < 0) v = -v;
        s = ns;
        // Largest step allowed by every variable.
        double hMax = 1e300;
        for (int k = 0; k < dim; ++k)
            if (std::fabs(v(k)) > 0) hMax = std::min(hMax, maxStep(eq, X, k) / std::fabs(v(k)));
        h = std::min(h, hMax);
        bool done = false, moved = false;
        bool mayApproach = true, forceCrossing = false;
        while (h > 1e-7) {
            Eigen::VectorXd Xn = predict(X, v, s, h, havePrev ? &prev : nullptr);
            // Over the critical point: ln K of s changes sign, or the step
            // would take it most of the way to 0 (the trivial solution) or
            // closer to it than kClosestApproach.
            bool crossing =
                s < m &&
                (forceCrossing || (X(s) > 0) != (Xn(s) > 0) || std::fabs(Xn(s)) < 0.25 * std::fabs(X(s)) ||
                 (std::fabs(Xn(s)) < kClosestApproach && std::fabs(Xn(s)) < std::fabs(X(s))));
            bool approach = false;
            if (crossing && mayApproach && 0.5 * std::fabs(X(s)) >= kClosestApproach &&
                2 * std::fabs(X(s)) * std::max(std::fabs(v(m)), std::fabs(v(m + 1))) > kCriticalJump) {
                // Approach the critical point before stepping over it: the
                // line bends sharply there in T and P, and a step to the
                // mirror image that moves T or P far cuts the corner (the
                // interpolated critical point and the cricondenbar fall
                // inside the two-phase region).  Halve ln K of s instead.
                crossing = false;
                approach = true;
                Xn = X - 0.5 * X(s) / v(s) * v;
            }
            bool sw = swapped;
            double target = Xn(s);
            if (crossing) {
                // Step over the critical point to the mirror image of the
                // current K, where the phase labels are swapped.
                target = -X(s);
                Xn = X + (target - X(s)) / v(s) * v;
                sw = !swapped;
            }
            // An approach that the corrector reaches only with difficulty is
            // not taken: closer in it would fail, so the line steps over from here.
            if (eq.correct(Xn, s, target, sw, it, !crossing && !approach) && !(approach && it > 6)) {
                if (approach) approaching = s;
                if (crossing) {
                    // Critical point by linear interpolation in the K of the
                    // specified component.
                    const double t = X(s) / (X(s) - Xn(s));
                    EnvelopePoint c;
                    c.T = std::exp(X(m) + t * (Xn(m) - X(m)));
                    c.P = std::exp(X(m + 1) + t * (Xn(m + 1) - X(m + 1)));
                    c.critical = true;
                    line.push_back(c);
                    if (stopAtCritical) {
                        done = true;
                        break;
                    }
                    h = std::fabs(target); // leave the critical point as gradually as it was approached
                    approaching = -1;
                }
                direction = Xn - X;
                prev = X;
                havePrev = !crossing;
                X = Xn;
                swapped = sw;
                line.push_back(eq.point(X, swapped));
                if (approach)
                    h = 0.5 * std::fabs(X(s));
                else if (it <= 3)
                    h *= 1.5;
                else if (it > 6)
                    h *= 0.6;
                moved = true;
                break;
            }
            if (approach) {
                mayApproach = false; // the corrector fails closer in: step over from here
                forceCrossing = true;
                continue;
            }
            forceCrossing = false;
            h *= 0.5;
        }
        if (!done && !moved && m > 1) {
            // Stalled next to a critical point (the K are close to 1 but the
            // line has not been stepping in a K): jump to the mirror image of
            // the K at the same T and P with swapped phase labels, fixing the
            // K furthest from 1.
            int ks = 0;
            for (int a = 1; a < m; ++a)
                if (std::fabs(X(a)) > std::fabs(X(ks))) ks = a;
            if (std::fabs(X(ks)) < 0.5) {
                Eigen::VectorXd Xn = X;
                Xn.head(m) = -X.head(m);
                if (eq.correct(Xn, ks, -X(ks), !swapped, it)) {
                    EnvelopePoint c;
                    c.T = std::exp(0.5 * (X(m) + Xn(m)));
                    c.P = std::exp(0.5 * (X(m + 1) + Xn(m + 1)));
                    c.critical = true;
                    line.push_back(c);
                    if (stopAtCritical) break;
                    direction = Xn - X;
                    X = Xn;
                    havePrev = false;
                    swapped = !swapped;
                    s = ks;
                    line.push_back(eq.point(X, swapped));
                    h = 0.02;
                    moved = true;
                }
            }
        }
        if (done || !moved) break;
        if (X(m + 1) < lnMinP || X(m + 1) > lnMaxP || X(m) < std::log(10.0) || X(m) > std::log(5000.0)) break;
    }
    return line;
}

namespace {

// Re-solves a point of a line with ln T (pressureAtT) or ln P fixed.
bool solveOnLine(const FluidSystem& sys, const double* z, double beta, const EnvelopePoint& near, bool fixT,
                 double value, EnvelopePoint& out) {
    if (near.critical || near.lnK.empty()) return false;
    LineEquations eq(sys, z, beta);
    Eigen::VectorXd X = eq.variables(near);
    const int s = fixT ? eq.m() : eq.m() + 1;
    Eigen::VectorXd v;
    if (eq.sensitivity(X, s, near.swapped, v)) X += (std::log(value) - X(s)) * v;
    int it = 0;
    if (!eq.correct(X, s, std::log(value), near.swapped, it)) return false;
    out = eq.point(X, near.swapped);
    return true;
}

} // namespace

std::vector<EnvelopePoint> pointsAt(const FluidSystem& sys, const double* z, double beta,
                                    const EnvelopeLine& line, bool fixT, double value) {
    std::vector<EnvelopePoint> out;
    for (std::size_t k = 1; k < line.size(); ++k) {
        const EnvelopePoint &a = line[k - 1], &b = line[k];
        const double va = fixT ? a.T : a.P, vb = fixT ? b.T : b.P;
        if (!((va - value) * (vb - value) <= 0) || va == vb) continue;
        const EnvelopePoint* from[2] = {&a, &b};
        if (std::fabs(vb - value) < std::fabs(va - value)) std::swap(from[0], from[1]);
        EnvelopePoint p;
        for (const EnvelopePoint* near : from) {
            if (!solveOnLine(sys, z, beta, *near, fixT, value, p)) continue;
            // Same side of the critical point as the start: ln K of the
            // component furthest from 1 keeps its sign (else the corrector
            // went over to the mirror image with the phase labels swapped).
            std::size_t far = 0;
            for (std::size_t i = 1; i < p.lnK.size(); ++i)
                if (std::fabs(near->lnK[i]) > std::fabs(near->lnK[far])) far = i;
            if ((p.lnK[far] > 0) != (near->lnK[far] > 0)) continue;
            out.push_back(p);
            break;
        }
    }
    return out;
}

namespace {

// Whether a traced (not interpolated) point is a two-phase equilibrium of
// the feed: equal fugacities to the tracer's own tolerance with margin,
// distinct phases, material balance.
bool verifiedPoint(const FluidSystem& sys, const double* z, double beta, const EnvelopePoint& p) {
    if (p.critical || p.lnK.empty()) return false;
    const int n = sys.size();
    std::vector<double> x(n, 0.0), y(n, 0.0);
    for (int i = 0; i < n; ++i) {
        if (!(z[i] > 0)) continue;
        const double K = std::exp(p.lnK[i]);
        x[i] = z[i] / (1 + beta * (K - 1));
        y[i] = K * x[i];
    }
    const std::vector<CheckedPhase> phases = {{models::kVapour, beta, &y}, {models::kLiquid, 1 - beta, &x}};
    return equilibriumDefect(sys, p.T, p.P, z, phases, kEnvelopeFugacityTolerance).empty();
}

// The highest traced point of a line (in P, or in T) that is a critical
// point or passes the verification; not found when none does.  Used when
// the maximum itself fails: next to a critical point (a nearly pure feed,
// whose extrema lie a hair from it) the phases are so alike that the
// fugacities of a dilute component cannot be evaluated to the verification's
// tolerance, while the points a step further away can.
Extremum highestVerified(const FluidSystem& sys, const double* z, double beta, const EnvelopeLine& line,
                         bool maxP) {
    std::vector<const EnvelopePoint*> order;
    for (const auto& p : line)
        order.push_back(&p);
    std::sort(order.begin(), order.end(),
              [&](const auto* a, const auto* b) { return maxP ? a->P > b->P : a->T > b->T; });
    Extremum e;
    for (const EnvelopePoint* p : order)
        if (p->critical || verifiedPoint(sys, z, beta, *p)) {
            e.found = true;
            e.T = p->T;
            e.P = p->P;
            break;
        }
    return e;
}

// Maximum of P over T (cricondenbar, maxP) or of T over P along the lines,
// refined by successive parabolic interpolation through re-solved points.
// The result is a verified point (the refined one, else the traced one);
// a maximum at an interpolated critical point is kept as it is.
Extremum extremum(const FluidSystem& sys, const double* z, double beta, const EnvelopeLine& line, bool maxP) {
    Extremum e;
    auto val = [&](const EnvelopePoint& p) { return maxP ? p.P : p.T; };
    auto arg = [&](const EnvelopePoint& p) { return maxP ? p.T : p.P; };
    const EnvelopeLine* best = nullptr;
    std::size_t bi = 0;
    for (std::size_t i = 0; i < line.size(); ++i)
        if (!best || val(line[i]) > val((*best)[bi])) best = &line, bi = i;
    if (!best) return e;
    e.found = true;
    e.T = (*best)[bi].T;
    e.P = (*best)[bi].P;
    if (bi == 0 || bi + 1 >= best->size()) {
        e.found = (*best)[bi].critical || verifiedPoint(sys, z, beta, (*best)[bi]);
        return e.found ? e : highestVerified(sys, z, beta, line, maxP);
    }
    // Three points around the maximum: (arg, val), refined.
    std::vector<EnvelopePoint> pts = {(*best)[bi - 1], (*best)[bi], (*best)[bi + 1]};
    const EnvelopePoint* seed = &(*best)[bi];
    if (seed->critical) seed = (*best)[bi - 1].critical ? &(*best)[bi + 1] : &(*best)[bi - 1];
    EnvelopePoint bestPoint = (*best)[bi];
    for (int iter = 0; iter < 8; ++iter) {
        std::sort(pts.begin(), pts.end(), [&](const auto& a, const auto& b) { return arg(a) < arg(b); });
        const double a0 = arg(pts[0]), a1 = arg(pts[1]), a2 = arg(pts[2]);
        const double f0 = val(pts[0]), f1 = val(pts[1]), f2 = val(pts[2]);
        const double num = (a1 - a0) * (a1 - a0) * (f1 - f2) - (a1 - a2) * (a1 - a2) * (f1 - f0);
        const double den = (a1 - a0) * (f1 - f2) - (a1 - a2) * (f1 - f0);
        if (!(std::fabs(den) > 0)) break;
        double a = a1 - 0.5 * num / den;
        if (!(a > a0 && a < a2)) break;
        EnvelopePoint p;
        if (!solveOnLine(sys, z, beta, *seed, maxP, a, p)) break;
        if (val(p) > val(bestPoint)) bestPoint = p;
        // Keep the new point and its two nearest neighbours in the argument.
        pts.push_back(p);
        std::sort(pts.begin(), pts.end(), [&](const auto& x, const auto& y) { return val(x) > val(y); });
        pts.resize(3);
        if (std::fabs(a - a1) < 1e-7 * std::fabs(a1)) break;
    }
    if (!verifiedPoint(sys, z, beta, bestPoint)) bestPoint = (*best)[bi];
    if (!bestPoint.critical && !verifiedPoint(sys, z, beta, bestPoint))
        return highestVerified(sys, z, beta, line, maxP);
    e.T = bestPoint.T;
    e.P = bestPoint.P;
    return e;
}

bool reachesLowPressure(const EnvelopeLine& l, const TraceOptions& o) {
    return l.size() > 1 && l.back().P < o.minP && l.back().P < l.front().P;
}

} // namespace

Envelope phaseEnvelope(const FluidSystem& sys, const double* z, const TraceOptions& o) {
    Envelope env;
    EnvelopeLine dew = traceLine(sys, z, 1.0, false, o);
    const bool closed = reachesLowPressure(dew, o);
    const bool dewFirst = dew.size() > 1;
    if (dewFirst) env.lines.push_back(std::move(dew));
    if (!closed) {
        EnvelopeLine bubble = traceLine(sys, z, 0.0, true, o);
        if (bubble.size() > 1) env.lines.push_back(std::move(bubble));
    }
    env.betas.assign(env.lines.size(), 0.0);
    if (!env.lines.empty() && dewFirst) env.betas[0] = 1.0;
    for (bool maxP : {true, false}) {
        Extremum best;
        for (std::size_t j = 0; j < env.lines.size(); ++j) {
            const Extremum e = extremum(sys, z, env.betas[j], env.lines[j], maxP);
            if (e.found && (!best.found || (maxP ? e.P > best.P : e.T > best.T))) best = e;
        }
        (maxP ? env.cricondenbar : env.cricondentherm) = best;
    }
    return env;
}

std::vector<EnvelopePoint> sampleLine(const EnvelopeLine& line, int capacity) {
    if (capacity <= 0) return {};
    if (static_cast<int>(line.size()) <= capacity) return line;
    if (capacity == 1) return {line.front()};
    double tMin = 1e300, tMax = -1e300, pMin = 1e300, pMax = -1e300;
    for (const auto& p : line) {
        tMin = std::min(tMin, p.T), tMax = std::max(tMax, p.T);
        pMin = std::min(pMin, p.P), pMax = std::max(pMax, p.P);
    }
    const double tSpan = tMax > tMin ? tMax - tMin : 1.0, pSpan = pMax > pMin ? pMax - pMin : 1.0;
    std::vector<double> s(line.size(), 0.0);
    for (std::size_t i = 1; i < line.size(); ++i)
        s[i] =
            s[i - 1] + std::hypot((line[i].T - line[i - 1].T) / tSpan, (line[i].P - line[i - 1].P) / pSpan);
    std::vector<EnvelopePoint> out;
    out.reserve(capacity);
    std::size_t seg = 0;
    for (int k = 0; k < capacity; ++k) {
        const double target = s.back() * k / (capacity - 1);
        while (seg + 2 < line.size() && s[seg + 1] < target)
            ++seg;
        const double len = s[seg + 1] - s[seg];
        const double t = len > 0 ? std::clamp((target - s[seg]) / len, 0.0, 1.0) : 0.0;
        EnvelopePoint p;
        p.T = line[seg].T + t * (line[seg + 1].T - line[seg].T);
        p.P = line[seg].P + t * (line[seg + 1].P - line[seg].P);
        p.critical = (t == 0 && line[seg].critical) || (t == 1 && line[seg + 1].critical);
        out.push_back(p);
    }
    out.back() = line.back();
    out.front() = line.front();
    return out;
}

} // namespace zpk::equilibrium
