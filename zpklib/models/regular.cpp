#include "models/regular.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace zpk::models {

RegularModel::RegularModel(std::vector<PureConstants> comps, std::vector<SaturationCorrelations> corr)
    : n_(static_cast<int>(comps.size())), pure_(std::move(comps)), corr_(std::move(corr)) {
    corr_.resize(n_);
    vref_.resize(n_);
    delta_.resize(n_);
    for (int i = 0; i < n_; ++i) {
        const auto& p = pure_[i];
        if (!(p.tc > 0) || !(p.pc > 0) || !std::isfinite(p.omega))
            throw std::invalid_argument("regular model: component without critical constants");
        const double tr = 0.7 * p.tc;
        vref_[i] = liquidVolume(i, tr);
        const double e = std::max(latentHeat(i, tr) - kR * tr, 0.0);
        delta_[i] = std::sqrt(e / vref_[i]);
    }
}

namespace {
// Central differences of a smooth correlation: value, first and second derivative.
bool differentiate(const std::function<double(double)>& f, double T, double& v, double* d1, double* d2) {
    if (!f) return false;
    const double h = 1e-4 * T;
    v = f(T);
    if (!std::isfinite(v)) return false;
    if (d1 || d2) {
        const double a = f(T + h), b = f(T - h);
        if (!std::isfinite(a) || !std::isfinite(b)) return false;
        if (d1) *d1 = (a - b) / (2 * h);
        if (d2) *d2 = (a - 2 * v + b) / (h * h);
    }
    return true;
}
}  // namespace

double RegularModel::lnPsat(int i, double T, double* dlnPdT, double* d2) const {
    double v;
    if (differentiate(corr_[i].lnPsat, T, v, dlnPdT, d2)) return v;
    return lkLnPsat(i, T, dlnPdT, d2);
}

double RegularModel::latentHeat(int i, double T, double* dHdT) const {
    double v;
    if (differentiate(corr_[i].latentHeat, T, v, dHdT, nullptr) && v > 0) return v;
    return lkLatentHeat(i, T, dHdT);
}

double RegularModel::lkLnPsat(int i, double T, double* dlnPdT, double* d2) const {
    const auto& p = pure_[i];
    const double tr = T / p.tc, w = p.omega;
    const double tr6 = std::pow(tr, 6);
    const double f0 = 5.92714 - 6.09648 / tr - 1.28862 * std::log(tr) + 0.169347 * tr6;
    const double f1 = 15.2518 - 15.6875 / tr - 13.4721 * std::log(tr) + 0.43577 * tr6;
    if (dlnPdT) {
        const double d0 = 6.09648 / (tr * tr) - 1.28862 / tr + 6 * 0.169347 * tr6 / tr;
        const double d1 = 15.6875 / (tr * tr) - 13.4721 / tr + 6 * 0.43577 * tr6 / tr;
        *dlnPdT = (d0 + w * d1) / p.tc;
    }
    if (d2) {
        const double e0 = -2 * 6.09648 / (tr * tr * tr) + 1.28862 / (tr * tr) + 30 * 0.169347 * tr6 / (tr * tr);
        const double e1 = -2 * 15.6875 / (tr * tr * tr) + 13.4721 / (tr * tr) + 30 * 0.43577 * tr6 / (tr * tr);
        *d2 = (e0 + w * e1) / (p.tc * p.tc);
    }
    return std::log(p.pc) + f0 + w * f1;
}

double RegularModel::lkLatentHeat(int i, double T, double* dHdT) const {
    double d1, d2;
    lkLnPsat(i, T, &d1, &d2);
    if (dHdT) *dHdT = kR * (2 * T * d1 + T * T * d2);
    return kR * T * T * d1;
}

double RegularModel::liquidVolume(int i, double T, double* dVdT) const {
    const auto& p = pure_[i];
    const double zra = (std::isfinite(p.zra) && p.zra > 0) ? p.zra : 0.29056 - 0.08775 * p.omega;
    const double trMax = 0.99;
    const double tr = std::min(T / p.tc, trMax);
    const double u = std::pow(1.0 - tr, 2.0 / 7.0);
    const double v = kR * p.tc / p.pc * std::pow(zra, 1.0 + u);
    if (dVdT) *dVdT = (T / p.tc < trMax) ? v * std::log(zra) * (-2.0 / 7.0) * u / (1.0 - tr) / p.tc : 0.0;
    return v;
}

bool RegularModel::vapour(double T, double P, int order, PhaseProps& out) const {
    out.kind = kVapour;
    out.lnfx.clear();
    out.v = kR * T / P;
    out.z = 1.0;
    out.lnphi.assign(n_, 0.0);
    out.hres = out.sres = 0.0;
    out.cpres = out.cvres = 0.0;
    if (order < 1) return true;
    out.dlnphi_dT.assign(n_, 0.0);
    out.dlnphi_dP.assign(n_, 0.0);
    out.dlnphi_dn.assign(static_cast<std::size_t>(n_) * n_, 0.0);
    out.dv_dT = out.v / T;
    out.dv_dP = -out.v / P;
    out.dv_dx.assign(n_, 0.0);
    out.dhres_dx.assign(n_, 0.0);
    out.dsres_dx.assign(n_, 0.0);
    out.dhres_dT = out.dhres_dP = out.dsres_dT = out.dsres_dP = 0.0;
    out.dP_dV = -P / out.v;
    out.dP_dT = P / T;
    return true;
}

bool RegularModel::liquid(double T, double P, const double* x, int order, PhaseProps& out) const {
    thread_local std::vector<double> vi, dvi, lh, dlh, dlnp;
    vi.resize(n_);
    dvi.resize(n_);
    lh.resize(n_);
    dlh.resize(n_);
    dlnp.resize(n_);
    double vm = 0, vref = 0, dbar = 0;
    for (int i = 0; i < n_; ++i) {
        vi[i] = liquidVolume(i, T, &dvi[i]);
        lh[i] = latentHeat(i, T, &dlh[i]);
        vm += x[i] * vi[i];
        vref += x[i] * vref_[i];
        dbar += x[i] * vref_[i] * delta_[i];
    }
    dbar /= vref;
    const double RT = kR * T;
    out.kind = kLiquid;
    out.v = vm;
    out.z = P * vm / RT;
    out.lnphi.resize(n_);
    out.lnfx.resize(n_);
    double hres = 0, dhdT = 0;
    for (int i = 0; i < n_; ++i) {
        const double lng = vref_[i] * (delta_[i] - dbar) * (delta_[i] - dbar) / RT;
        out.lnfx[i] = lng + lnPsat(i, T, &dlnp[i]);
        out.lnphi[i] = out.lnfx[i] - std::log(P);
        hres -= x[i] * lh[i];
        dhdT -= x[i] * dlh[i];
    }
    out.hres = hres;
    out.sres = hres / T;
    out.cpres = out.cvres = dhdT;
    if (order < 1) return true;
    out.dlnphi_dT.resize(n_);
    out.dlnphi_dP.assign(n_, -1.0 / P);
    out.dlnphi_dn.resize(static_cast<std::size_t>(n_) * n_);
    out.dv_dx.resize(n_);
    out.dhres_dx.resize(n_);
    out.dsres_dx.resize(n_);
    double dvdT = 0;
    for (int i = 0; i < n_; ++i) {
        const double lng = vref_[i] * (delta_[i] - dbar) * (delta_[i] - dbar) / RT;
        out.dlnphi_dT[i] = -lng / T + dlnp[i];
        for (int j = 0; j < n_; ++j)
            out.dlnphi_dn[i * n_ + j] =
                -2.0 * vref_[i] * (delta_[i] - dbar) * vref_[j] * (delta_[j] - dbar) / (RT * vref);
        out.dv_dx[i] = vi[i] - vm;
        out.dhres_dx[i] = -lh[i] - hres;
        out.dsres_dx[i] = -lh[i] / T - out.sres;
        dvdT += x[i] * dvi[i];
    }
    out.dv_dT = dvdT;
    out.dv_dP = 0.0;
    out.dhres_dT = dhdT;
    out.dhres_dP = 0.0;
    out.dsres_dT = dhdT / T - hres / (T * T);
    out.dsres_dP = 0.0;
    out.dP_dV = -std::numeric_limits<double>::infinity();
    out.dP_dT = std::numeric_limits<double>::infinity();
    return true;
}

bool RegularModel::evaluate(double T, double P, const double* xin, Root root, int order, PhaseProps& out) const {
    if (!(T > 0) || !(P > 0)) return false;
    thread_local std::vector<double> x;
    x.resize(n_);
    double s = 0;
    for (int i = 0; i < n_; ++i) s += xin[i];
    if (!(s > 0)) return false;
    for (int i = 0; i < n_; ++i) x[i] = xin[i] / s;
    if (root == Root::Vapour) return vapour(T, P, order, out);
    if (root == Root::Liquid) return liquid(T, P, x.data(), order, out);
    liquid(T, P, x.data(), order, out);
    if (out.gres(x.data(), n_) < 0.0) return true;
    return vapour(T, P, order, out);
}

}  // namespace zpk::models
