#include "models/solid.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "core/error.h"

namespace zpk::models {

namespace {

// Solid density assumed, relative to the saturated liquid at the melting
// point, when the database has no solid density (typical of molecular
// crystals; water, the notable exception, has its solid density stored).
constexpr double kSolidToLiquidDensity = 1.1;

double correlationAt(const components::Correlation& c, double T) {
    return c.eq == 0 ? kNaN : components::evaluate(c, T);
}

} // namespace

FusionData fusionData(const components::Component& c) {
    FusionData d;
    d.tc = c.tc;
    d.tm = c.tm;
    d.hfus = c.hfus; // kJ/kmol = J/mol
    d.freezes = std::isfinite(d.tm) && d.tm > 0 && std::isfinite(d.hfus) && d.hfus > 0;
    if (d.freezes) {
        // Heat-capacity difference at the melting point from the liquid and
        // solid correlations; only a positive difference is used (the solid
        // fits extrapolated to the melting point are not always sound).
        const double dcp = (correlationAt(c.lcp, d.tm) - correlationAt(c.scp, d.tm)) * 1e-3;
        if (std::isfinite(dcp) && dcp > 0) d.dcp = dcp;
    }
    // Solid density: the polynomial correlations (equations 1, 2, 4, 100) in kmol/m3.
    if ((c.sd.eq == 1 || c.sd.eq == 2 || c.sd.eq == 4 || c.sd.eq == 100) && !c.sd.c.empty()) {
        const std::size_t terms = c.sd.eq == 1 ? 1 : c.sd.eq == 2 ? 2 : c.sd.eq == 4 ? 4 : 5;
        for (std::size_t k = 0; k < terms; ++k)
            d.rho.push_back(k < c.sd.c.size() ? c.sd.c[k] * 1e3 : 0.0);
        return d;
    }
    const double tref = d.freezes ? d.tm : (std::isfinite(c.tb) ? c.tb : 0.7 * c.tc);
    double rhoL = correlationAt(c.ld, tref) * 1e3;
    if (!(rhoL > 0) || !std::isfinite(rhoL)) {
        // Rackett's saturated liquid volume.
        const double zra = (std::isfinite(c.zra) && c.zra > 0) ? c.zra : 0.29056 - 0.08775 * c.omega;
        const double tr = std::min(tref / c.tc, 1.0);
        rhoL = 1.0 / (kR * c.tc / c.pc * std::pow(zra, 1.0 + std::pow(1.0 - tr, 2.0 / 7.0)));
    }
    d.rho.push_back(kSolidToLiquidDensity * rhoL);
    return d;
}

SolidModel::SolidModel(std::vector<FusionData> data, std::shared_ptr<const PhaseModel> liquid,
                       SolidArrangement arrangement)
    : data_(std::move(data)), liquid_(std::move(liquid)), arrangement_(arrangement) {
    if (!liquid_ || liquid_->size() != static_cast<int>(data_.size()))
        throw Error("solid model: the reference liquid model does not match the components", kBadArgument);
}

double SolidModel::volume(int i, double T, double* d1, double* d2) const {
    const auto& c = data_[i].rho;
    double r = 0, r1 = 0, r2 = 0, tk = 1;
    for (std::size_t k = 0; k < c.size(); ++k) {
        r += c[k] * tk;
        if (k >= 1)
            r1 += static_cast<double>(k) * c[k] * (k >= 2 ? std::pow(T, static_cast<double>(k - 1)) : 1.0);
        if (k >= 2)
            r2 += static_cast<double>(k * (k - 1)) * c[k] *
                  (k >= 3 ? std::pow(T, static_cast<double>(k - 2)) : 1.0);
        tk *= T;
    }
    if (!(r > 0)) return kNaN;
    if (d1) *d1 = -r1 / (r * r);
    if (d2) *d2 = 2.0 * r1 * r1 / (r * r * r) - r2 / (r * r);
    return 1.0 / r;
}

bool SolidModel::evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const {
    (void)root;
    if (!(T > 0) || !(P > 0)) return false;
    const int n = size();
    thread_local std::vector<double> xn, unit, hres, sres, v, dv, dh, ds, dhp, dsp;
    thread_local PhaseProps lp;
    xn.assign(n, 0.0);
    double sum = 0;
    for (int i = 0; i < n; ++i)
        sum += std::max(x[i], 0.0);
    if (!(sum > 0)) return false;
    for (int i = 0; i < n; ++i)
        xn[i] = std::max(x[i], 0.0) / sum;
    for (auto* vec : {&hres, &sres, &v, &dv, &dh, &ds, &dhp, &dsp})
        vec->assign(n, 0.0);

    const double RT = kR * T, P0 = kSolidRefP, dP = P - P0;
    out.kind = kSolidPhase;
    out.lnfx.clear();
    out.lnphi.assign(n, kNoSolid);
    if (order >= 1) {
        out.dlnphi_dT.assign(n, 0.0);
        out.dlnphi_dP.assign(n, 0.0);
        out.dlnphi_dn.assign(static_cast<std::size_t>(n) * n, 0.0);
    }
    for (int i = 0; i < n; ++i) {
        const FusionData& d = data_[i];
        unit.assign(n, 0.0);
        unit[i] = 1.0;
        const bool okL = liquid_->evaluate(T, P0, unit.data(), Root::Liquid, order, lp);
        const double lnfL = okL ? (lp.lnfx.empty() ? lp.lnphi[i] + std::log(P0) : lp.lnfx[i]) : kNaN;
        const bool freezes = d.freezes && T < d.tc && okL && lp.kind == kLiquid && std::isfinite(lnfL);
        double v1 = 0, v2 = 0;
        v[i] = volume(i, T, &v1, &v2);
        if (!std::isfinite(v[i])) return false;
        dv[i] = v1;
        // Fusion enthalpy, entropy and Gibbs energy at T (liquid minus solid).
        double fh = 0, fs = 0, dcp = 0;
        if (freezes) {
            dcp = d.dcp;
            fh = d.hfus + dcp * (T - d.tm);
            fs = d.hfus / d.tm + dcp * std::log(T / d.tm);
            const double fg = fh - T * fs;
            out.lnphi[i] = lnfL - fg / RT + v[i] * dP / RT - std::log(P);
            if (order >= 1) {
                out.dlnphi_dT[i] = lp.dlnphi_dT[i] + fh / (RT * T) + dP * (v1 / RT - v[i] / (RT * T));
                out.dlnphi_dP[i] = v[i] / RT - 1.0 / P;
            }
        }
        const double hL = okL ? lp.hres : 0.0, sL = okL ? lp.sres : 0.0;
        hres[i] = hL - fh + (v[i] - T * v1) * dP;
        sres[i] = sL + kR * std::log(P / P0) - fs - v1 * dP;
        if (order >= 1) {
            dh[i] = (okL ? lp.dhres_dT : 0.0) - dcp - T * v2 * dP;
            ds[i] = (okL ? lp.dsres_dT : 0.0) - dcp / T - v2 * dP;
            dhp[i] = v[i] - T * v1;
            dsp[i] = kR / P - v1;
        }
    }
    double vm = 0, hm = 0, sm = 0;
    for (int i = 0; i < n; ++i) {
        vm += xn[i] * v[i];
        hm += xn[i] * hres[i];
        sm += xn[i] * sres[i];
    }
    out.v = vm;
    out.z = P * vm / RT;
    out.hres = hm;
    out.sres = sm;
    out.cpres = out.cvres = 0;
    // An incompressible solid: no equation of state, cv = cp.
    out.dP_dV = -std::numeric_limits<double>::infinity();
    out.dP_dT = std::numeric_limits<double>::infinity();
    if (order < 1) return true;
    out.dv_dT = out.dv_dP = out.dhres_dT = out.dhres_dP = out.dsres_dT = out.dsres_dP = 0;
    out.dv_dx.resize(n);
    out.dhres_dx.resize(n);
    out.dsres_dx.resize(n);
    for (int i = 0; i < n; ++i) {
        out.dv_dT += xn[i] * dv[i];
        out.dhres_dT += xn[i] * dh[i];
        out.dsres_dT += xn[i] * ds[i];
        out.dhres_dP += xn[i] * dhp[i];
        out.dsres_dP += xn[i] * dsp[i];
        out.dv_dx[i] = v[i] - vm;
        out.dhres_dx[i] = hres[i] - hm;
        out.dsres_dx[i] = sres[i] - sm;
    }
    out.cpres = out.dhres_dT;
    out.cvres = out.cpres + kR;
    return true;
}

bool isSolidCode(int code) {
    return code == 150 || code == 151 || code == 153;
}

std::shared_ptr<const SolidModel> buildSolidModel(int code, const ModelInputs& in,
                                                  std::shared_ptr<const PhaseModel> liquid) {
    if (code != 1 && !isSolidCode(code))
        throw Error("model " + std::to_string(code) + " is not a solid-phase model", kBadArgument);
    std::vector<FusionData> data;
    for (std::size_t i = 0; i < in.pure.size(); ++i) {
        if (i < in.comps.size() && in.comps[i]) {
            data.push_back(fusionData(*in.comps[i]));
        } else {
            FusionData d; // no database record: never freezes
            d.tc = in.pure[i].tc;
            d.rho.push_back(1.0 / (kR * in.pure[i].tc / in.pure[i].pc * 0.29));
            data.push_back(d);
        }
    }
    if (code == 151) liquid = buildPhaseModel(111, in);
    return std::make_shared<SolidModel>(std::move(data), std::move(liquid),
                                        code == 153 ? SolidArrangement::Solution
                                                    : SolidArrangement::PureSolids);
}

} // namespace zpk::models
