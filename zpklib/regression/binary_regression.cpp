#include "regression/binary_regression.h"

#include <Eigen/Dense>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "core/error.h"
#include "equilibrium/engine.h"
#include "equilibrium/saturation.h"
#include "equilibrium/system.h"
#include "models/activity.h"

namespace zpk::regression {

namespace {

// Residual of a point whose bubble or dew point cannot be found: large
// enough to make any parameter set with converged points preferable.
constexpr double kFailedResidual = 100.0;
constexpr double kScale = 100.0; // percent and hundredths of a mole fraction

bool isEntryOf(const streams::BipEntry& e, int model) {
    return e.model == model && ((e.i == 1 && e.j == 2) || (e.i == 2 && e.j == 1));
}

// ln K estimate at (T, P) from the phase models, with both phases at z.
std::vector<double> lnKEstimate(const equilibrium::FluidSystem& sys, double T, double P, const double* z) {
    models::PhaseProps l, v;
    const int n = sys.size();
    std::vector<double> k;
    if (!equilibrium::evalPhase(sys, T, P, z, models::Root::Liquid, 0, l) ||
        !equilibrium::evalPhase(sys, T, P, z, models::Root::Vapour, 0, v))
        return k;
    k.resize(n);
    for (int i = 0; i < n; ++i)
        k[i] = l.lnphi[i] - v.lnphi[i];
    return k;
}

// Bubble (beta = 0) or dew (beta = 1) point of the binary with fraction z1
// of position 1, at the measured pressure (isobaric) or temperature.
bool splitPoint(const equilibrium::FluidSystem& sys, double z1, double beta, const VlePoint& pt,
                bool isobaric, equilibrium::SplitPoint& sp) {
    const double z[2] = {z1, 1.0 - z1};
    sp = {};
    sp.T = pt.T;
    sp.P = pt.P;
    std::vector<double> lnK = lnKEstimate(sys, pt.T, pt.P, z);
    if (!lnK.empty() && equilibrium::solveSplitPoint(sys, z, beta, isobaric, sp, lnK)) return true;
    sp = {};
    sp.T = pt.T;
    sp.P = pt.P;
    return equilibrium::solveSplitPoint(sys, z, beta, isobaric, sp);
}

} // namespace

void storeEntry(streams::StreamDef& def, int model, const std::array<double, 5>& p) {
    bool found = false;
    for (auto& e : def.bips)
        if (isEntryOf(e, model)) {
            e.i = 1;
            e.j = 2;
            std::copy(p.begin(), p.end(), e.p.begin());
            found = true;
        }
    if (found) return;
    // Reuse an unset entry before growing the list.
    for (auto& e : def.bips)
        if (e.i == 0 && e.j == 0 && e.model == 0) {
            e = {};
            e.i = 1, e.j = 2, e.model = model;
            std::copy(p.begin(), p.end(), e.p.begin());
            return;
        }
    if (static_cast<int>(def.bips.size()) >= streams::kMaxBipEntries)
        throw Error("the stream's interaction list is full", kBadArgument);
    streams::BipEntry e;
    e.i = 1, e.j = 2, e.model = model;
    std::copy(p.begin(), p.end(), e.p.begin());
    def.bips.push_back(e);
}

bool residuals(const streams::StreamDef& defIn, int model, const std::array<double, 5>& p,
               const std::vector<VlePoint>& pts, int objective, std::vector<double>& r,
               std::vector<double>* xCalc, std::vector<double>* yCalc) {
    streams::StreamDef def = defIn;
    storeEntry(def, model, p);
    std::unique_ptr<engine::StreamSystem> sys;
    try {
        sys = std::make_unique<engine::StreamSystem>(def);
    } catch (const Error&) {
        return false;
    }
    const bool isobaric = objective == 1;
    r.clear();
    if (xCalc) xCalc->assign(pts.size(), std::nan(""));
    if (yCalc) yCalc->assign(pts.size(), std::nan(""));
    for (std::size_t k = 0; k < pts.size(); ++k) {
        const VlePoint& pt = pts[k];
        const double ref = isobaric ? pt.T : pt.P;
        equilibrium::SplitPoint sp;
        if (splitPoint(sys->fluid(), pt.x, 0.0, pt, isobaric, sp)) {
            const double u = isobaric ? sp.T : sp.P;
            r.push_back(kScale * (u - ref) / ref);
            r.push_back(kScale * (sp.y[0] - pt.y));
            if (yCalc) (*yCalc)[k] = sp.y[0];
        } else {
            r.push_back(kFailedResidual);
            r.push_back(kFailedResidual);
        }
        if (splitPoint(sys->fluid(), pt.y, 1.0, pt, isobaric, sp)) {
            const double u = isobaric ? sp.T : sp.P;
            r.push_back(kScale * (u - ref) / ref);
            r.push_back(kScale * (sp.x[0] - pt.x));
            if (xCalc) (*xCalc)[k] = sp.x[0];
        } else {
            r.push_back(kFailedResidual);
            r.push_back(kFailedResidual);
        }
    }
    for (double& v : r)
        if (!std::isfinite(v)) v = kFailedResidual;
    return true;
}

RegressionResult regressBinary(const streams::StreamDef& def, const std::vector<VlePoint>& pts,
                               const RegressionOptions& opt) {
    if (def.positions() != 2)
        throw Error("the regression needs a stream of exactly two components", kBadArgument);
    if (pts.empty()) throw Error("no measured point is flagged for use", kBadArgument);
    if (opt.objective != 1 && opt.objective != 2)
        throw Error("regression code " + std::to_string(opt.objective) +
                        " is not 1 (isobaric) or 2 (isothermal)",
                    kBadArgument);
    const int model = def.model(1, 1);
    if (model != 10 && model != 11 && model != 12)
        throw Error("the liquid fugacity model " + std::to_string(model) +
                        " has no binary parameters to regress (Wilson 10, NRTL 11 or UNIQUAC 12 needed)",
                    kBadArgument);
    for (const auto& pt : pts)
        if (!(pt.x >= 0 && pt.x <= 1 && pt.y >= 0 && pt.y <= 1 && pt.T > 0 && pt.P > 0))
            throw Error("a measured point has fractions outside [0, 1] or a non-positive T or P",
                        kBadArgument);

    // Start from the existing entry of the pair, oriented (1, 2).
    std::array<double, 5> p{};
    for (const auto& e : def.bips)
        if (isEntryOf(e, model)) {
            const bool swap = e.i == 2;
            p = {swap ? e.p[1] : e.p[0], swap ? e.p[0] : e.p[1], e.p[2], swap ? e.p[4] : e.p[3],
                 swap ? e.p[3] : e.p[4]};
        }
    std::vector<int> free = {0, 1};
    if (opt.fitSlopes) free.insert(free.end(), {3, 4});
    if (opt.fitAlpha && model == 11) {
        if (p[2] == 0.0) p[2] = models::kNrtlDefaultAlpha;
        free.push_back(2);
    }
    const int k = static_cast<int>(free.size());
    auto step = [&](int idx, double v) {
        return idx == 2 ? 1e-4 : (idx >= 3 ? 1e-3 : 1e-3 * std::max(std::fabs(v), 100.0));
    };
    auto ssqOf = [](const std::vector<double>& r) {
        double s = 0;
        for (double v : r)
            s += v * v;
        return s;
    };

    std::vector<double> r, rt;
    if (!residuals(def, model, p, pts, opt.objective, r, nullptr, nullptr))
        throw Error("the stream's models cannot be built for the regression", kCalculation);
    double ssq = ssqOf(r);
    double lambda = 1e-2;
    RegressionResult res;
    const int m = static_cast<int>(r.size());
    for (int it = 0; it < opt.maxIterations; ++it) {
        res.iterations = it + 1;
        Eigen::MatrixXd J(m, k);
        for (int c = 0; c < k; ++c) {
            auto q = p;
            const double h = step(free[c], p[free[c]]);
            q[free[c]] += h;
            if (!residuals(def, model, q, pts, opt.objective, rt, nullptr, nullptr) ||
                static_cast<int>(rt.size()) != m)
                throw Error("the regression's model evaluation failed", kCalculation);
            for (int i = 0; i < m; ++i)
                J(i, c) = (rt[i] - r[i]) / h;
        }
        const Eigen::Map<const Eigen::VectorXd> rv(r.data(), m);
        const Eigen::MatrixXd A = J.transpose() * J;
        const Eigen::VectorXd g = J.transpose() * rv;
        bool improved = false;
        double newSsq = ssq;
        for (int tries = 0; tries < 12 && !improved; ++tries) {
            Eigen::MatrixXd Al = A;
            for (int c = 0; c < k; ++c)
                Al(c, c) += lambda * std::max(A(c, c), 1e-12);
            const Eigen::VectorXd d = Al.ldlt().solve(-g);
            auto q = p;
            for (int c = 0; c < k; ++c)
                q[free[c]] += d(c);
            if (opt.fitAlpha && model == 11) q[2] = std::clamp(q[2], 0.05, 1.0);
            if (d.allFinite() && residuals(def, model, q, pts, opt.objective, rt, nullptr, nullptr) &&
                static_cast<int>(rt.size()) == m && (newSsq = ssqOf(rt)) < ssq) {
                improved = true;
                p = q;
                r = rt;
                lambda = std::max(lambda / 3.0, 1e-9);
            } else {
                lambda *= 4.0;
            }
        }
        if (!improved) break;
        const double decrease = (ssq - newSsq) / std::max(ssq, 1e-300);
        ssq = newSsq;
        if (decrease < opt.tolerance || ssq < 1e-20) break;
    }
    res.p = p;
    res.ssq = ssq;
    residuals(def, model, p, pts, opt.objective, r, &res.xCalc, &res.yCalc);
    const double np = static_cast<double>(pts.size());
    for (std::size_t i = 0; i < pts.size(); ++i) {
        res.meanRelT += std::fabs(r[4 * i]) / kScale / np;
        res.meanAbsY += std::fabs(r[4 * i + 1]) / kScale / np;
    }
    return res;
}

} // namespace zpk::regression
