#include "operations/column.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <numeric>
#include <string>

#include "components/database.h"
#include "core/error.h"
#include "equilibrium/flashes.h"
#include "equilibrium/system.h"
#include "equilibrium/tp_flash.h"
#include "operations/nearly_banded.h"

namespace zpk::operations {

namespace {

using models::PhaseProps;
using models::Root;

constexpr double kEnergyScale = 1e4; // J/mol: energy rows are divided by it
constexpr double kTolerance = 1e-10; // largest scaled residual at convergence
constexpr int kMaxIterations = 150;
constexpr double kMaxTStep = 15.0;  // K per Newton step
constexpr int kProgressWindow = 10; // iterations over which a start must make progress

double sumOf(const std::vector<double>& v) {
    return std::accumulate(v.begin(), v.end(), 0.0);
}

// Thermodynamic state of one stage at its temperature and phase compositions.
struct StageThermo {
    std::vector<double> K; // y*/x from the fugacity coefficients
    double hL = 0, hV = 0; // J/mol, internal base
    int liquids = 1;       // liquid phases of the stage
    bool ok = false;
    // The parts K, hL and hV are made of, kept so that a change of one
    // phase's composition at the same T re-evaluates that phase only.
    double T = 0;
    std::vector<double> lnphiL, lnphiV; // ln fugacity coefficients of liquid and vapour
    std::vector<double> hIdeal;         // pure components' ideal-gas enthalpies at T
    double hresL = 0, hresV = 0;        // residual enthalpies
};

// Which variables of a stage changed since its thermodynamics was computed.
enum class StageChange { All, Liquid, Vapour };

// The column's equations; flows are scaled by the total molar feed.
class Column {
  public:
    Column(const ColumnInput& in, const engine::StreamSystem& sys,
           const std::vector<std::vector<int>>& feedMap)
        : in_(in), sys_(sys), N_(in.stages), c_(sys.size()), m_(2 * c_ + 1) {
        f_.assign(N_ * c_, 0.0);
        hf_.assign(N_, 0.0);
        fv_.assign(N_, 0.0);
        fTot_.assign(c_, 0.0);
        double total = 0;
        std::vector<double> flow(in.feeds.size());
        for (std::size_t k = 0; k < in.feeds.size(); ++k) {
            engine::StreamSystem fs(in.feeds[k].def);
            flow[k] = in.feeds[k].def.massFlow / fs.feedMw(); // kmol/s
            total += flow[k];
        }
        if (!(total > 0)) throw Error("the feeds carry no flow", kBadArgument);
        F_ = total;
        for (std::size_t k = 0; k < in.feeds.size(); ++k) {
            const auto& fd = in.feeds[k];
            engine::StreamSystem fs(fd.def);
            const int j = fd.stage - 1;
            const double n = flow[k] / F_;
            for (int i = 0; i < fs.size(); ++i) {
                f_[j * c_ + feedMap[k][i]] += n * fs.feed()[i];
                fTot_[feedMap[k][i]] += n * fs.feed()[i];
            }
            hf_[j] += n * engine::molarEnthalpy(*fd.state);
            fv_[j] += n * engine::vapourFraction(*fd.state);
        }
        UL_.assign(N_, 0.0);
        UV_.assign(N_, 0.0);
        for (const auto& d : in.draws)
            (d.kind == 0 ? UV_ : UL_)[d.stage - 1] += d.amount;
        heat_.assign(N_, 0.0);
        eff_.assign(N_, 1.0);
        for (int j = 0; j < N_; ++j) {
            if (j < static_cast<int>(in.heat.size())) heat_[j] = in.heat[j] / F_;
            if (j > 0 && j < static_cast<int>(in.efficiency.size())) eff_[j] = in.efficiency[j];
        }
        assignSpecs();
        fs3_ = sys.fluid();
        fs3_.maxPhases = 3;
        split_.resize(N_);
        // A partial condenser is an equilibrium stage: its vapour is the
        // top product at its dew point.
        if (condenser()) eff_[N_ - 1] = 1.0;
        th_.resize(N_);
    }

    int size() const { return N_ * m_; }
    // Water makes a second liquid possible: from now on the liquid of every
    // stage splits when it is unstable.  False when there is no water.
    bool allowLiquidSplit() {
        vll_ = sys_.fluid().water >= 0;
        return vll_;
    }
    int stride() const { return m_; }
    double feedTotal() const { return F_; }
    const std::vector<double>& feedComponents() const { return fTot_; }
    bool reboiler() const { return bottomSpec_ >= 0; }
    bool condenser() const { return topSpec_ >= 0; }

    // Starting profile: constant molar overflow, temperatures between the
    // feed's bubble and dew points (or the caller's estimates), compositions
    // from a few tridiagonal component-balance sweeps.
    // The sweeps stop after `sweeps` or, from the eighth on, once no
    // temperature moves by 0.01 K.
    std::vector<double> initialProfile(int sweeps) const {
        std::vector<double> X(size(), 0.0);
        const double draws = sumOf(UL_) + sumOf(UV_);
        const double net = std::max(1.0 - draws, 0.05);
        double D = -1, reflux = 1.0;
        for (const auto& s : in_.specs) {
            const bool top = s.place == kCondenser || s.place == kTopProduct;
            if (s.quantity == kFeedFraction) D = top ? s.value : net - s.value;
            if (s.quantity == kFlowRatio && s.place == kCondenser) reflux = s.value;
            if (s.quantity == kInternalRatio && s.place == kCondenser) reflux = s.value / (1 - s.value);
            if (s.quantity == kFlowRatio && s.place == kBottomProduct) D = net / (1 + s.value);
            if (s.quantity == kFlowRatio && s.place == kTopProduct) D = net * s.value / (1 + s.value);
        }
        if (D < 0) {
            if (condenser() || reboiler()) {
                D = 0.5 * net;
            } else {
                D = 0;
                for (int j = 0; j < N_; ++j)
                    D += fv_[j];
            }
        }
        D = std::clamp(D, 0.02, std::max(net - 0.02, 0.02));
        std::vector<double> L(N_), V(N_);
        V[N_ - 1] = D;
        const double feedTop = std::accumulate(f_.begin() + (N_ - 1) * c_, f_.end(), 0.0);
        L[N_ - 1] = condenser() ? reflux * D : std::max(feedTop - fv_[N_ - 1], 0.0);
        for (int j = N_ - 1; j > 0; --j) {
            const double Fj = std::accumulate(f_.begin() + j * c_, f_.begin() + (j + 1) * c_, 0.0);
            const double Fj1 = std::accumulate(f_.begin() + (j - 1) * c_, f_.begin() + j * c_, 0.0);
            const double Lup = j + 1 < N_ ? L[j + 1] : 0.0;
            V[j - 1] = V[j] + L[j] + UL_[j] + UV_[j] - Lup - Fj;
            L[j - 1] = L[j] + (Fj1 - fv_[j - 1]) - UL_[j - 1];
        }
        // A reboiler's liquid is the bottom product of the overall balance
        // and its vapour closes the stage's balance (constant overflow
        // would carry the stripping section's liquid into the product).
        if (N_ > 1 && reboiler()) {
            const double F0 = std::accumulate(f_.begin(), f_.begin() + c_, 0.0);
            L[0] = std::max(net - D, 0.02);
            V[0] = L[1] + F0 - L[0] - UL_[0] - UV_[0];
        }
        for (int j = 0; j < N_; ++j) {
            L[j] = std::max(L[j], 0.02);
            V[j] = std::max(V[j], 0.02);
        }
        // Temperatures.
        std::vector<double> z(fTot_);
        const double zs = sumOf(z);
        for (double& v : z)
            v /= zs;
        const double Tb = wilsonPoint(z, in_.pressure[N_ - 1], true);
        const double Td = wilsonPoint(z, in_.pressure[0], false);
        std::vector<double> T(N_);
        for (int j = 0; j < N_; ++j)
            T[j] = Td + (Tb - Td) * (N_ == 1 ? 0.0 : double(j) / (N_ - 1));
        for (const auto& fd : in_.feeds) {
            // Stages without exchanger fed directly take the feed's temperature.
            const int j = fd.stage - 1;
            if ((j == 0 && !reboiler()) || (j == N_ - 1 && !condenser())) T[j] = fd.state->T;
        }
        for (int j = 0; j < N_; ++j)
            if (j < static_cast<int>(in_.guessT.size()) && in_.guessT[j] > 0) T[j] = in_.guessT[j];
        // Compositions.
        std::vector<double> K(N_ * c_), x(N_ * c_), y(N_ * c_);
        for (int j = 0; j < N_; ++j)
            for (int i = 0; i < c_; ++i)
                K[j * c_ + i] = std::exp(sys_.fluid().lnWilsonK(i, T[j], in_.pressure[j]));
        std::vector<double> a(N_), b(N_), cc(N_), d(N_), l(N_);
        for (int sweep = 0; sweep < sweeps; ++sweep) {
            double change = 0;
            for (int i = 0; i < c_; ++i) {
                for (int j = 0; j < N_; ++j) {
                    const double S = K[j * c_ + i] * V[j] / L[j];
                    const double Sb = j > 0 ? K[(j - 1) * c_ + i] * V[j - 1] / L[j - 1] : 0.0;
                    a[j] = -Sb;
                    b[j] = 1 + UL_[j] / L[j] + S * (1 + UV_[j] / V[j]);
                    cc[j] = j + 1 < N_ ? -1.0 : 0.0;
                    d[j] = f_[j * c_ + i];
                }
                thomas(a, b, cc, d, l);
                for (int j = 0; j < N_; ++j) {
                    x[j * c_ + i] = std::max(l[j], 0.0);
                    y[j * c_ + i] = K[j * c_ + i] * x[j * c_ + i];
                }
            }
            for (int j = 0; j < N_; ++j) {
                double sx = 0, sy = 0;
                for (int i = 0; i < c_; ++i)
                    sx += x[j * c_ + i];
                if (!(sx > 0)) continue;
                for (int i = 0; i < c_; ++i)
                    x[j * c_ + i] /= sx;
                double A = 0;
                for (int i = 0; i < c_; ++i) {
                    sy += K[j * c_ + i] * x[j * c_ + i];
                    A += K[j * c_ + i] * x[j * c_ + i] * 5.373 * (1 + sys_.fluid().omega[i]) *
                         sys_.fluid().tc[i];
                }
                for (int i = 0; i < c_; ++i)
                    y[j * c_ + i] = K[j * c_ + i] * x[j * c_ + i] / sy;
                // Bubble-point correction with Wilson's temperature slope.
                if (sy > 0 && A > 0) {
                    const double Tn = 1.0 / (1.0 / T[j] + std::log(sy) * sy / A);
                    if (std::isfinite(Tn)) {
                        const double Tc = std::clamp(Tn, T[j] - 20, T[j] + 20);
                        change = std::max(change, std::fabs(Tc - T[j]));
                        T[j] = Tc;
                    }
                }
                // Model K-values at the new compositions.
                PhaseProps pl, pv;
                if (equilibrium::evalPhase(sys_.fluid(), T[j], in_.pressure[j], &x[j * c_], Root::Liquid, 0,
                                           pl) &&
                    equilibrium::evalPhase(sys_.fluid(), T[j], in_.pressure[j], &y[j * c_], Root::Vapour, 0,
                                           pv)) {
                    for (int i = 0; i < c_; ++i) {
                        const double k = std::exp(pl.lnphi[i] - pv.lnphi[i]);
                        if (std::isfinite(k) && k > 0) K[j * c_ + i] = k;
                    }
                }
            }
            if (sweep >= 7 && change < 0.01) break;
        }
        for (int j = 0; j < N_; ++j) {
            X[j * m_] = T[j];
            for (int i = 0; i < c_; ++i) {
                const bool present = fTot_[i] > 0;
                X[j * m_ + 1 + i] = present ? L[j] * std::max(x[j * c_ + i], 1e-12) : 0.0;
                X[j * m_ + 1 + c_ + i] = present ? V[j] * std::max(y[j * c_ + i], 1e-12) : 0.0;
            }
        }
        return X;
    }

    // Thermodynamics of stage j from the variables X.  With change Liquid
    // (Vapour) st holds the stage at the same temperature and vapour
    // (liquid) composition, and only the liquid (vapour) is evaluated again;
    // the result is the same as from All.
    void stage(int j, const std::vector<double>& X, StageThermo& st,
               StageChange change = StageChange::All) const {
        const bool wasOk = st.ok;
        st.ok = false;
        const double T = X[j * m_];
        const double* l = &X[j * m_ + 1];
        const double* v = l + c_;
        double L = 0, V = 0;
        for (int i = 0; i < c_; ++i)
            L += l[i], V += v[i];
        if (!(T > 0) || !(L > 0) || !(V > 0)) return;
        thread_local std::vector<double> x, y;
        x.resize(c_);
        y.resize(c_);
        for (int i = 0; i < c_; ++i)
            x[i] = l[i] / L, y[i] = v[i] / V;
        const double P = in_.pressure[j];
        const bool partial = change != StageChange::All && wasOk && !vll_ && st.T == T;
        if (!partial || change == StageChange::Liquid) {
            if (!liquidPart(T, P, x.data(), st)) return;
        }
        if (!partial || change == StageChange::Vapour) {
            if (!vapourPart(T, P, y.data(), st)) return;
        }
        if (!partial) {
            st.T = T;
            st.hIdeal.resize(c_);
            thread_local std::vector<double> unit;
            unit.assign(c_, 0.0);
            for (int i = 0; i < c_; ++i) {
                unit[i] = 1;
                st.hIdeal[i] = sys_.idealH(T, unit.data());
                unit[i] = 0;
            }
        }
        st.K.resize(c_);
        for (int i = 0; i < c_; ++i)
            st.K[i] = std::exp(st.lnphiL[i] - st.lnphiV[i]);
        st.hL = idealH(st, x.data()) + st.hresL;
        st.liquids = 1;
        if (vll_ && liquidSplit(j, T, P, x)) {
            // Two liquids: the fugacities are those of either liquid phase,
            // the enthalpy the sum of the phases'.
            thread_local PhaseProps pl, hl;
            const auto& ph = split_[j];
            if (!equilibrium::evalPhase(sys_.fluid(), T, P, ph[0].x.data(), Root::Liquid, 0, pl)) return;
            for (int i = 0; i < c_; ++i)
                if (x[i] > 0) st.K[i] = ph[0].x[i] * std::exp(pl.lnphi[i] - st.lnphiV[i]) / x[i];
            st.hL = 0;
            for (const auto& p : ph) {
                if (!sys_.model(2, 1).evaluate(T, P, p.x.data(), Root::Liquid, 0, hl)) return;
                st.hL += p.beta * (idealH(st, p.x.data()) + hl.hres);
            }
            st.liquids = 2;
        }
        st.hV = idealH(st, y.data()) + st.hresV;
        st.ok = std::isfinite(st.hL) && std::isfinite(st.hV);
        for (double k : st.K)
            st.ok = st.ok && std::isfinite(k);
    }

    // Fugacity coefficients and residual enthalpy of the liquid (vapour) of
    // composition x at T, P into st.
    bool liquidPart(double T, double P, const double* x, StageThermo& st) const {
        thread_local PhaseProps pl, hl;
        if (!equilibrium::evalPhase(sys_.fluid(), T, P, x, Root::Liquid, 0, pl)) return false;
        st.lnphiL.assign(pl.lnphi.begin(), pl.lnphi.begin() + c_);
        st.hresL = pl.hres;
        if (&sys_.model(2, 1) != sys_.fluid().liquid) {
            if (!sys_.model(2, 1).evaluate(T, P, x, Root::Liquid, 0, hl)) return false;
            st.hresL = hl.hres;
        }
        return true;
    }
    bool vapourPart(double T, double P, const double* y, StageThermo& st) const {
        thread_local PhaseProps pv, hv;
        if (!equilibrium::evalPhase(sys_.fluid(), T, P, y, Root::Vapour, 0, pv)) return false;
        st.lnphiV.assign(pv.lnphi.begin(), pv.lnphi.begin() + c_);
        st.hresV = pv.hres;
        if (&sys_.model(2, 0) != sys_.fluid().vapour) {
            if (!sys_.model(2, 0).evaluate(T, P, y, Root::Vapour, 0, hv)) return false;
            st.hresV = hv.hres;
        }
        return true;
    }

    // Ideal-gas enthalpy of composition x at the stage's temperature from
    // the pure components' (as engine::StreamSystem::idealH sums them).
    static double idealH(const StageThermo& st, const double* x) {
        double h = 0, sum = 0;
        for (std::size_t i = 0; i < st.hIdeal.size(); ++i)
            if (x[i] > 0) {
                h += x[i] * st.hIdeal[i];
                sum += x[i];
            }
        return h / sum;
    }

    bool evaluateAll(const std::vector<double>& X) {
        for (int j = 0; j < N_; ++j) {
            stage(j, X, th_[j]);
            if (!th_[j].ok) return false;
        }
        return true;
    }

    // Enthalpy out minus in (without reboiler and condenser) of stage j.
    double energyBalance(int j, const std::vector<double>& X, const std::vector<StageThermo>& th) const {
        const double L = total(X, j, 0), V = total(X, j, 1);
        double r = (L + UL_[j]) * th[j].hL + (V + UV_[j]) * th[j].hV - hf_[j] - heat_[j];
        if (j + 1 < N_) r -= total(X, j + 1, 0) * th[j + 1].hL;
        if (j > 0) r -= total(X, j - 1, 1) * th[j - 1].hV;
        return r;
    }

    void residuals(const std::vector<double>& X, const std::vector<StageThermo>& th,
                   std::vector<double>& G) const {
        G.assign(size(), 0.0);
        for (int j = 0; j < N_; ++j)
            stageResiduals(j, X, th, &G[j * m_]);
    }

    // Residuals after a change of stage j's variables only, from those
    // before (G): the rows of stages j - 1, j and j + 1 and the rows of the
    // specifications; the other rows do not depend on stage j.
    void residualsAround(int j, const std::vector<double>& X, const std::vector<StageThermo>& th,
                         const std::vector<double>& G, std::vector<double>& Gp) const {
        Gp = G;
        for (int r = std::max(0, j - 1); r <= std::min(N_ - 1, j + 1); ++r)
            stageResiduals(r, X, th, &Gp[r * m_]);
        if (bottomSpec_ >= 0 && j > 1) stageResiduals(0, X, th, &Gp[0]);
        if (topSpec_ >= 0 && j + 1 < N_ - 1) stageResiduals(N_ - 1, X, th, &Gp[(N_ - 1) * m_]);
    }

    // Calls row(r) for every residual row residualsAround recomputes.
    template <class Row> void forRowsAround(int j, Row&& row) const {
        const int first = std::max(0, j - 1) * m_, last = (std::min(N_ - 1, j + 1) + 1) * m_;
        for (int r = first; r < last; ++r)
            row(r);
        if (bottomSpec_ >= 0 && j > 1)
            for (int r = 0; r < m_; ++r)
                row(r);
        if (topSpec_ >= 0 && j + 1 < N_ - 1)
            for (int r = (N_ - 1) * m_; r < N_ * m_; ++r)
                row(r);
    }

    // The m_ residuals of stage j into g.
    void stageResiduals(int j, const std::vector<double>& X, const std::vector<StageThermo>& th,
                        double* g) const {
        const double* l = &X[j * m_ + 1];
        const double* v = l + c_;
        const double L = total(X, j, 0), V = total(X, j, 1);
        if (j == 0 && bottomSpec_ >= 0)
            g[0] = specResidual(in_.specs[bottomSpec_], X, th);
        else if (j == N_ - 1 && topSpec_ >= 0)
            g[0] = specResidual(in_.specs[topSpec_], X, th);
        else
            g[0] = energyBalance(j, X, th) / kEnergyScale;
        const double Vb = j > 0 ? total(X, j - 1, 1) : 0.0;
        for (int i = 0; i < c_; ++i) {
            double r = l[i] * (1 + UL_[j] / L) + v[i] * (1 + UV_[j] / V) - f_[j * c_ + i];
            if (j + 1 < N_) r -= X[(j + 1) * m_ + 1 + i];
            if (j > 0) r -= X[(j - 1) * m_ + 1 + c_ + i];
            g[1 + i] = r;
            const double E = eff_[j];
            double e = E * th[j].K[i] * l[i] / L * V - v[i];
            if (j > 0 && E < 1) e += (1 - E) * X[(j - 1) * m_ + 1 + c_ + i] / Vb * V;
            g[1 + c_ + i] = e;
        }
    }

    // Newton's method from X; true when converged.
    bool solve(std::vector<double>& X, int& iterations) {
        const int n = size();
        std::vector<double> G, Gp, J(static_cast<std::size_t>(n) * n), dx(n), Xn;
        std::vector<StageThermo> saved(1);
        if (!evaluateAll(X)) return false;
        residuals(X, th_, G);
        double norm = maxAbs(G);
        int stalled = 0;
        std::array<double, kProgressWindow> history{};
        for (iterations = 0; iterations < kMaxIterations; ++iterations) {
            if (norm < tolerance(X)) return true;
            // Jacobian by forward differences, one variable at a time; only
            // the perturbed stage's thermodynamics is recomputed, and only
            // the rows that depend on it are written.
            std::fill(J.begin(), J.end(), 0.0);
            for (int j = 0; j < N_; ++j) {
                saved[0] = th_[j];
                for (int k = 0; k < m_; ++k) {
                    const int col = j * m_ + k;
                    const double x0 = X[col];
                    const double h = k == 0 ? 1e-6 * x0 : 1e-7 * std::fabs(x0) + 1e-13;
                    // A liquid (vapour) flow changes that phase's composition only.
                    const StageChange change =
                        k == 0 ? StageChange::All : (k <= c_ ? StageChange::Liquid : StageChange::Vapour);
                    X[col] = x0 + h;
                    th_[j] = saved[0];
                    stage(j, X, th_[j], change);
                    if (!th_[j].ok) {
                        X[col] = x0 - h;
                        th_[j] = saved[0];
                        stage(j, X, th_[j], change);
                        if (!th_[j].ok) return false;
                        residualsAround(j, X, th_, G, Gp);
                        forRowsAround(
                            j, [&](int r) { J[static_cast<std::size_t>(r) * n + col] = (G[r] - Gp[r]) / h; });
                    } else {
                        residualsAround(j, X, th_, G, Gp);
                        forRowsAround(
                            j, [&](int r) { J[static_cast<std::size_t>(r) * n + col] = (Gp[r] - G[r]) / h; });
                    }
                    X[col] = x0;
                }
                th_[j] = saved[0];
            }
            for (int r = 0; r < n; ++r)
                dx[r] = -G[r];
            if (!solveNearlyBanded(J, dx, n)) return false;
            // Step control: limited temperature change, flows kept positive.
            double alpha = 1;
            for (int j = 0; j < N_; ++j) {
                const double dT = std::fabs(dx[j * m_]);
                if (dT > kMaxTStep) alpha = std::min(alpha, kMaxTStep / dT);
            }
            const double merit = sumSquares(G);
            bool accepted = false, descended = false;
            for (int tries = 0; tries < 8 && !accepted; ++tries, alpha *= 0.5) {
                Xn = X;
                for (int j = 0; j < N_; ++j)
                    for (int k = 0; k < m_; ++k) {
                        const int col = j * m_ + k;
                        double v = X[col] + alpha * dx[col];
                        if (k > 0) v = std::max(v, 0.02 * X[col]);
                        Xn[col] = v;
                    }
                if (!evaluateAll(Xn)) continue;
                residuals(Xn, th_, Gp);
                descended = sumSquares(Gp) < merit;
                // The shortest step is taken even when it does not descend:
                // it may leave a kink of the residuals behind.
                accepted = descended || tries == 7;
            }
            if (!accepted) return false;
            stalled = descended ? 0 : stalled + 1;
            if (stalled > 10) return false;
            // Steps that descend by a few parts in a million are a stall as
            // well: less than 1 % over ten iterations ends this start.
            const double next = maxAbs(Gp);
            history[iterations % kProgressWindow] = norm;
            if (iterations >= kProgressWindow && next > 0.99 * history[(iterations + 1) % kProgressWindow])
                return false;
            X = Xn;
            G = Gp;
            norm = next;
            if (!std::isfinite(norm)) return false;
        }
        return norm < tolerance(X);
    }

    // Convergence bound on the scaled residuals: relative to the largest
    // stage flow when internal flows exceed the feed (high reflux).
    double tolerance(const std::vector<double>& X) const {
        double flow = 1;
        for (int j = 0; j < N_; ++j)
            flow = std::max(flow, total(X, j, 0) + total(X, j, 1));
        return kTolerance * flow;
    }

    // Reboiler duty (heat added) and condenser duty (heat removed) of a
    // converged profile, in scaled units.
    double reboilerDuty(const std::vector<double>& X) const {
        return reboiler() ? energyBalance(0, X, th_) : 0.0;
    }
    double condenserDuty(const std::vector<double>& X) const {
        return condenser() ? -energyBalance(N_ - 1, X, th_) : 0.0;
    }
    const StageThermo& thermo(int j) const { return th_[j]; }

    // Value a specification's quantity has in a profile (thermodynamics
    // evaluated by evaluateAll).
    double measured(const ColumnSpec& s, const std::vector<double>& X) const {
        ColumnSpec zero = s;
        zero.value = 0;
        switch (s.quantity) {
        case kRecovery: {
            const int ci = s.component - 1;
            const double flow =
                s.place == kCondenser || s.place == kTopProduct ? X[(N_ - 1) * m_ + 1 + c_ + ci] : X[1 + ci];
            return flow / fTot_[ci];
        }
        case kDuty: {
            const int j = s.place == kCondenser ? N_ - 1 : 0;
            const double q = energyBalance(j, X, th_) * F_;
            return j == 0 ? q : -q;
        }
        case kTemperature:
            return specResidual(zero, X, th_) * 100;
        case kMoleFraction:
            return specResidual(zero, X, th_);
        default:
            return kNaN;
        }
    }
    double drawFlow(int j, int kind) const { return kind == 0 ? UV_[j] : UL_[j]; }

    double total(const std::vector<double>& X, int j, int phase) const {
        double s = 0;
        const double* p = &X[j * m_ + 1 + (phase ? c_ : 0)];
        for (int i = 0; i < c_; ++i)
            s += p[i];
        return s;
    }

  private:
    // Which specification replaces the reboiler's and the condenser's
    // energy balance.
    void assignSpecs() {
        const int ns = static_cast<int>(in_.specs.size());
        auto topSide = [](const ColumnSpec& s) { return s.place == kCondenser || s.place == kTopProduct; };
        if (ns == 1) {
            (topSide(in_.specs[0]) ? topSpec_ : bottomSpec_) = 0;
        } else if (ns == 2) {
            // Duty specifications belong to their own exchanger; the others
            // take their side when it is free.
            int first = 0, second = 1;
            if (in_.specs[1].quantity == kDuty && in_.specs[0].quantity != kDuty) std::swap(first, second);
            (topSide(in_.specs[first]) ? topSpec_ : bottomSpec_) = first;
            if (topSpec_ < 0)
                topSpec_ = second;
            else
                bottomSpec_ = second;
            if (in_.specs[second].quantity == kDuty && topSide(in_.specs[second]) != (topSpec_ == second))
                throw Error("both specifications are duties of the same exchanger", kBadArgument);
        }
    }

    // Liquid-liquid split of the stage liquid x at (T, P) from a water-rich
    // and a water-lean guess; true (with the phases in split_[j]) when two
    // distinct liquids coexist.  Always from the same guesses: a start at
    // the previous split ends on a different path within the solver's
    // tolerance, which spoils the difference quotients of the Jacobian.
    bool liquidSplit(int j, double T, double P, const std::vector<double>& x) const {
        const int w = sys_.fluid().water;
        if (x[w] < 1e-6 || x[w] > 1 - 1e-6) return false;
        std::vector<equilibrium::Phase> ph(2);
        {
            for (auto& p : ph) {
                p.kind = models::kLiquid;
                p.x.assign(c_, 0.0);
            }
            for (int i = 0; i < c_; ++i) {
                ph[0].x[i] = i == w ? 0.98 : 0.02 * x[i] / (1 - x[w]);
                ph[1].x[i] = i == w ? 0.01 * x[w] : x[i];
            }
            double s1 = 0;
            for (double v : ph[1].x)
                s1 += v;
            for (double& v : ph[1].x)
                v /= s1;
            ph[0].beta = x[w];
            ph[1].beta = 1 - x[w];
        }
        if (!equilibrium::solveEquilibrium(fs3_, T, P, x.data(), ph) || ph.size() != 2 ||
            ph[0].kind != models::kLiquid || ph[1].kind != models::kLiquid) {
            split_[j].clear();
            return false;
        }
        double d = 0;
        for (int i = 0; i < c_; ++i)
            d += std::fabs(ph[0].x[i] - ph[1].x[i]);
        if (d < 1e-4) {
            split_[j].clear();
            return false;
        }
        split_[j] = ph;
        return true;
    }

    double specResidual(const ColumnSpec& s, const std::vector<double>& X,
                        const std::vector<StageThermo>& th) const {
        const int top = N_ - 1;
        const double D = total(X, top, 1), B = total(X, 0, 0);
        const int ci = s.component - 1;
        switch (s.quantity) {
        case kFlowRatio:
            switch (s.place) {
            case kCondenser:
                return total(X, top, 0) - s.value * D;
            case kReboiler:
                return total(X, 0, 1) - s.value * B;
            case kBottomProduct:
                return B - s.value * D;
            default:
                return D - s.value * B;
            }
        case kInternalRatio:
            if (s.place == kCondenser) return total(X, top, 0) - s.value * total(X, top - 1, 1);
            return total(X, 0, 1) - s.value * total(X, 1, 0);
        case kFeedFraction:
            return (s.place == kCondenser || s.place == kTopProduct ? D : B) - s.value;
        case kDuty: {
            const int j = s.place == kCondenser ? top : 0;
            const double q = s.value / F_;
            return (energyBalance(j, X, th) + (j == top ? q : -q)) / kEnergyScale;
        }
        case kTemperature:
            return (X[(s.place == kCondenser || s.place == kTopProduct ? top : 0) * m_] - s.value) / 100;
        case kMoleFraction:
            if (s.place == kCondenser || s.place == kTopProduct)
                return X[top * m_ + 1 + c_ + ci] / D - s.value;
            return X[1 + ci] / B - s.value;
        case kRecovery: {
            const double flow =
                s.place == kCondenser || s.place == kTopProduct ? X[top * m_ + 1 + c_ + ci] : X[1 + ci];
            return std::log(std::max(flow, 1e-300) / (s.value * fTot_[ci]));
        }
        default:
            return 0;
        }
    }

    double wilsonPoint(const std::vector<double>& z, double P, bool bubble) const {
        // Sum z K = 1 (bubble) or sum z / K = 1 (dew) by bisection in T.
        auto g = [&](double T) {
            double s = 0;
            for (int i = 0; i < c_; ++i) {
                const double K = std::exp(sys_.fluid().lnWilsonK(i, T, P));
                s += bubble ? z[i] * K : z[i] / K;
            }
            return bubble ? std::log(s) : -std::log(s);
        };
        double lo = 50, hi = 1500;
        if (g(lo) > 0) return lo;
        if (g(hi) < 0) return hi;
        for (int k = 0; k < 60; ++k) {
            const double mid = 0.5 * (lo + hi);
            (g(mid) > 0 ? hi : lo) = mid;
        }
        return 0.5 * (lo + hi);
    }

    static void thomas(const std::vector<double>& a, std::vector<double> b, const std::vector<double>& c,
                       std::vector<double> d, std::vector<double>& x) {
        const int n = static_cast<int>(b.size());
        for (int j = 1; j < n; ++j) {
            const double w = a[j] / b[j - 1];
            b[j] -= w * c[j - 1];
            d[j] -= w * d[j - 1];
        }
        x[n - 1] = d[n - 1] / b[n - 1];
        for (int j = n - 2; j >= 0; --j)
            x[j] = (d[j] - c[j] * x[j + 1]) / b[j];
    }

    static double maxAbs(const std::vector<double>& v) {
        double m = 0;
        for (double x : v)
            m = std::max(m, std::fabs(x));
        return std::isfinite(m) ? m : kNaN;
    }
    static double sumSquares(const std::vector<double>& v) {
        double s = 0;
        for (double x : v)
            s += x * x;
        return std::isfinite(s) ? s : HUGE_VAL;
    }

    const ColumnInput& in_;
    const engine::StreamSystem& sys_;
    int N_, c_, m_;
    double F_ = 1;
    std::vector<double> f_, hf_, fv_, fTot_, UL_, UV_, heat_, eff_;
    int topSpec_ = -1, bottomSpec_ = -1;
    bool vll_ = false;
    equilibrium::FluidSystem fs3_;
    mutable std::vector<std::vector<equilibrium::Phase>> split_; // liquid split per stage
    std::vector<StageThermo> th_;
};

// A product: the column's components at the given composition and molar
// flow, in equilibrium at the stage pressure with the enthalpy it carries
// out of the column (so that stream enthalpies close the balance exactly).
StreamResult product(const streams::StreamDef& columnDef, const std::vector<double>& flows, double h,
                     double T, double P) {
    StreamResult r;
    r.def = columnDef;
    double n = 0;
    for (double v : flows)
        n += v;
    r.def.z.assign(flows.size(), 0.0);
    for (std::size_t i = 0; i < flows.size(); ++i)
        r.def.z[i] = n > 0 ? flows[i] / n : 0.0;
    if (!(n > 0)) {
        // No flow: the column's overall composition at the stage state.
        r.def.massFlow = 0;
        engine::StreamSystem s(columnDef);
        r.state = s.flash(T, P);
        return r;
    }
    // Mass flow on the stream's own molar masses (a formulation's, where its
    // models bring them), as the feeds' molar flows were computed.
    engine::StreamSystem s(r.def);
    r.def.massFlow = n * s.feedMw();
    r.state = engine::stateFunctionFlash(s, engine::Spec::H, h, P, true, T);
    return r;
}

// Composition, temperature and duty specifications are hard to meet from a
// rough start.  Such a column is first solved with a reflux or boil-up ratio
// in their place; then each specification moves from the value reached
// towards its target in steps (geometric for fractions, linear otherwise),
// every step starting from the previous solution.
bool continuation(const ColumnInput& in, const engine::StreamSystem& sys,
                  const std::vector<std::vector<int>>& feedMap, std::vector<double>& X, int& iterations) {
    std::vector<int> hard;
    for (std::size_t k = 0; k < in.specs.size(); ++k) {
        const int q = in.specs[k].quantity;
        if (q == kRecovery || q == kMoleFraction || q == kTemperature || q == kDuty)
            hard.push_back(static_cast<int>(k));
    }
    if (hard.empty()) return false;
    const bool geometric[] = {false, false, false, false, false, true, false, true};
    for (double ratio : {3.0, 1.0, 10.0}) {
        ColumnInput ci = in;
        for (int k : hard) {
            const bool top = in.specs[k].place == kCondenser || in.specs[k].place == kTopProduct;
            ci.specs[k] = {top ? kCondenser : kReboiler, kFlowRatio, 0, ratio};
        }
        std::vector<double> Xs;
        int its = 0;
        {
            Column col(ci, sys, feedMap);
            Xs = col.initialProfile(8);
            if (!col.solve(Xs, its)) {
                Xs = col.initialProfile(60);
                if (!col.solve(Xs, its)) continue;
            }
        }
        std::vector<double> from(in.specs.size());
        {
            Column col(in, sys, feedMap);
            if (!col.evaluateAll(Xs)) continue;
            for (int k : hard)
                from[k] = col.measured(in.specs[k], Xs);
        }
        bool usable = true;
        for (int k : hard)
            usable = usable && std::isfinite(from[k]) && (!geometric[in.specs[k].quantity] || from[k] > 0);
        if (!usable) continue;
        double t = 0, dt = 0.25;
        while (t < 1 && dt > 1e-3) {
            const double tn = std::min(1.0, t + dt);
            for (int k : hard) {
                const ColumnSpec& target = in.specs[k];
                ci.specs[k] = target;
                ci.specs[k].value = geometric[target.quantity]
                                        ? std::exp((1 - tn) * std::log(from[k]) + tn * std::log(target.value))
                                        : (1 - tn) * from[k] + tn * target.value;
            }
            Column col(ci, sys, feedMap);
            std::vector<double> Xt = Xs;
            if (col.solve(Xt, its)) {
                Xs = std::move(Xt);
                t = tn;
                dt *= 1.5;
            } else {
                dt *= 0.5;
            }
        }
        if (t >= 1) {
            X = std::move(Xs);
            iterations = its;
            return true;
        }
    }
    return false;
}

} // namespace

ColumnResult solveColumn(const ColumnInput& in) {
    const int N = in.stages;
    if (N < 2) throw Error("a column needs at least 2 stages", kBadArgument);
    if (static_cast<int>(in.pressure.size()) < N) throw Error("missing stage pressures", kBadArgument);
    if (in.feeds.empty()) throw Error("a column needs at least one feed", kBadArgument);
    if (in.specs.size() > 2) throw Error("at most 2 specifications", kBadArgument);
    for (const auto& f : in.feeds) {
        if (f.stage < 1 || f.stage > N)
            throw Error("feed stage " + std::to_string(f.stage) + " is not in 1.." + std::to_string(N),
                        kBadArgument);
        if (!f.state) throw Error("a feed has no operating point", kNotDefined);
    }
    for (const auto& d : in.draws) {
        if (d.stage < 1 || d.stage > N)
            throw Error("side-draw stage " + std::to_string(d.stage) + " is not in 1.." + std::to_string(N),
                        kBadArgument);
        if (d.kind != 0 && d.kind != 1)
            throw Error("side-draw kind " + std::to_string(d.kind) + " is not 0 (vapour) or 1 (liquid)",
                        kBadArgument);
        if (!(d.amount >= 0) || !std::isfinite(d.amount))
            throw Error("side-draw amount must be a finite value of at least 0", kBadArgument);
    }
    // The column's components: the first feed's, then those only later feeds have.
    ColumnResult res;
    res.def = in.feeds[0].def;
    std::map<int, int> pos;
    for (int i = 0; i < res.def.positions(); ++i)
        pos.emplace(res.def.codes[i], i);
    std::vector<std::vector<int>> feedMap(in.feeds.size());
    for (std::size_t k = 0; k < in.feeds.size(); ++k) {
        const auto& d = in.feeds[k].def;
        feedMap[k].resize(d.positions());
        for (int i = 0; i < d.positions(); ++i) {
            auto it = pos.find(d.codes[i]);
            if (it == pos.end()) {
                it = pos.emplace(d.codes[i], res.def.positions()).first;
                res.def.codes.push_back(d.codes[i]);
                res.def.z.push_back(0.0);
            }
            feedMap[k][i] = it->second;
        }
        if (k == 0) continue;
        for (const auto& e : d.bips) {
            if (e.i < 1 || e.j < 1 || e.i > d.positions() || e.j > d.positions()) continue;
            streams::BipEntry b = e;
            b.i = feedMap[k][e.i - 1] + 1;
            b.j = feedMap[k][e.j - 1] + 1;
            res.def.bips.push_back(b);
        }
        res.def.bipLoadLevel = std::max(res.def.bipLoadLevel, d.bipLoadLevel);
        res.def.options |= d.options;
    }
    const int c = res.def.positions();
    for (const auto& s : in.specs) {
        if (s.place < kCondenser || s.place > kTopProduct)
            throw Error("specification place " + std::to_string(s.place) + " is not 1..4", kBadArgument);
        const bool known = s.quantity >= kFlowRatio && s.quantity <= kRecovery;
        if (!known)
            throw Error("specification kind " + std::to_string(s.quantity) + " is unknown", kBadArgument);
        if ((s.quantity == kDuty || s.quantity == kInternalRatio) && s.place > kReboiler)
            throw Error("specification kind " + std::to_string(s.quantity) +
                            " belongs to the condenser (1) or the reboiler (2)",
                        kBadArgument);
        if (s.quantity == kInternalRatio && !(s.value > 0 && s.value < 1))
            throw Error("an internal reflux or boil-up ratio must lie between 0 and 1", kBadArgument);
        if ((s.quantity == kMoleFraction || s.quantity == kRecovery) && (s.component < 1 || s.component > c))
            throw Error("specification component " + std::to_string(s.component) + " is not in 1.." +
                            std::to_string(c),
                        kBadArgument);
        if (!std::isfinite(s.value)) throw Error("specification value is not finite", kBadArgument);
        if ((s.quantity == kRecovery || s.quantity == kMoleFraction) && !(s.value > 0 && s.value < 1))
            throw Error("a fraction or recovery must lie between 0 and 1", kBadArgument);
        if ((s.quantity == kFlowRatio || s.quantity == kFeedFraction) && !(s.value > 0))
            throw Error("a flow ratio or feed fraction must be positive", kBadArgument);
    }
    // Overall composition for the column's model system.
    {
        std::vector<double> z(c, 0.0);
        for (std::size_t k = 0; k < in.feeds.size(); ++k) {
            engine::StreamSystem fs(in.feeds[k].def);
            const double n = in.feeds[k].def.massFlow / fs.feedMw();
            for (int i = 0; i < fs.size(); ++i)
                z[feedMap[k][i]] += n * fs.feed()[i];
        }
        res.def.z = z;
        res.def.defined = true;
    }
    engine::StreamSystem sys(res.def);
    Column col(in, sys, feedMap);
    for (const auto& s : in.specs)
        if (s.quantity == kRecovery && !(col.feedComponents()[s.component - 1] > 0))
            throw Error("the specified component is not fed to the column", kBadArgument);
    const double F = col.feedTotal();
    const int m = col.stride();

    std::vector<double> X;
    bool fromStart = false;
    if (in.start && in.start->codes == res.def.codes && in.start->stages == N &&
        static_cast<int>(in.start->x.size()) == col.size()) {
        X = in.start->x;
        for (int j = 0; j < N; ++j)
            for (int k = 1; k < m; ++k)
                X[j * m + k] /= F;
        fromStart = true;
    }
    int iterations = 0;
    bool ok = false;
    if (fromStart) {
        std::vector<double> Xs = X;
        ok = col.solve(Xs, iterations);
        if (ok) X = Xs;
    }
    // Starts: a few sweeps of the component balances (close to the
    // constant-overflow flows), then sweeps until the temperatures settle,
    // then profiles in between.  Newton's method from one profile can stall
    // at a kink of the stage residuals (an absorber's solution is reached
    // from some starts and not from others a tenth of a kelvin away), so a
    // stalled solution is started again from a different profile.
    for (int sweeps : {8, 60, 20, 3, 30, 12, 5, 45, 100, 2}) {
        if (ok) break;
        X = col.initialProfile(sweeps);
        ok = col.solve(X, iterations);
    }
    if (!ok) ok = continuation(in, sys, feedMap, X, iterations);
    if (!ok) throw Error("the column did not converge", kCalculation);
    // With water, the vapour-liquid solution starts the solution with
    // liquid-liquid splits on the stages (nothing changes where none forms).
    if (col.allowLiquidSplit() && !col.solve(X, iterations))
        throw Error("the column with two liquid phases did not converge", kCalculation);
    col.evaluateAll(X);

    res.iterations = iterations;
    res.reboilerDuty = col.reboilerDuty(X) * F;
    res.condenserDuty = col.condenserDuty(X) * F;
    res.topFlows.assign(c, 0.0);
    res.bottomFlows.assign(c, 0.0);
    res.T.resize(N);
    for (int j = 0; j < N; ++j)
        res.T[j] = X[j * m];
    for (int i = 0; i < c; ++i) {
        res.topFlows[i] = X[(N - 1) * m + 1 + c + i] * F;
        res.bottomFlows[i] = X[1 + i] * F;
    }
    res.top = product(res.def, res.topFlows, col.thermo(N - 1).hV, res.T[N - 1], in.pressure[N - 1]);
    res.bottom = product(res.def, res.bottomFlows, col.thermo(0).hL, res.T[0], in.pressure[0]);
    for (const auto& d : in.draws) {
        const int j = d.stage - 1;
        const double L = col.total(X, j, 0), V = col.total(X, j, 1);
        std::vector<double> flows(c);
        for (int i = 0; i < c; ++i)
            flows[i] =
                d.kind == 0 ? X[j * m + 1 + c + i] / V * d.amount * F : X[j * m + 1 + i] / L * d.amount * F;
        res.draws.push_back(product(res.def, flows, d.kind == 0 ? col.thermo(j).hV : col.thermo(j).hL,
                                    res.T[j], in.pressure[j]));
    }
    res.profile.codes = res.def.codes;
    res.profile.stages = N;
    res.profile.x = X;
    for (int j = 0; j < N; ++j)
        for (int k = 1; k < m; ++k)
            res.profile.x[j * m + k] *= F;
    return res;
}

} // namespace zpk::operations
