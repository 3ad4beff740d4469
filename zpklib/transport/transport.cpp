#include "transport/transport.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "core/error.h"
#include "thermo/ideal_gas.h"
#include "transport/chung.h"
#include "transport/data.h"
#include "transport/water.h"

namespace zpk::transport {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kR = 8.31446261815324;

// Normalised fractions; throws on an empty composition.
std::vector<double> normalised(const std::vector<double>& x) {
    double s = 0;
    for (double v : x)
        if (v > 0) s += v;
    if (!(s > 0)) throw Error("phase composition is empty");
    std::vector<double> out(x.size());
    for (std::size_t i = 0; i < x.size(); ++i)
        out[i] = x[i] > 0 ? x[i] / s : 0.0;
    return out;
}

// Mass density of a phase (kg/m3): on the phase's own molar mass when the
// stream gives it (a formulation's, e.g. IAPWS-95 water), so that the
// density the water correlations see is the stream's density.
double massDensity(const Components& comps, const Phase& ph) {
    double mw = ph.mw;
    if (!(mw > 0)) {
        const std::vector<double> x = normalised(ph.x);
        for (std::size_t i = 0; i < x.size(); ++i)
            mw += x[i] * comps[i]->mw;
    }
    return mw * 1e-3 / ph.v; // kg/kmol -> kg/mol
}

ChungComponent chungData(const components::Component& c) {
    if (!(c.tc > 0) || !(c.mw > 0) || !std::isfinite(c.omega))
        throw Error("component " + c.name + " lacks the critical constants of the transport methods",
                    kNotDefined);
    ChungComponent k;
    k.tc = c.tc;
    k.omega = c.omega;
    k.mw = c.mw;
    k.vc = c.vc;
    if (!(k.vc > 0)) {
        // Critical volume from the corresponding-states critical
        // compressibility Zc = 0.2905 - 0.085 omega.
        if (!(c.pc > 0))
            throw Error("component " + c.name + " has neither critical volume nor pressure", kNotDefined);
        k.vc = (0.2905 - 0.085 * c.omega) * kR * c.tc / c.pc * 1e3; // m3/kmol
    }
    k.dipole = std::isfinite(c.dipole) ? c.dipole : 0.0;
    k.kappa = kappa(c);
    return k;
}

ChungFluid chungFluid(const Components& comps, const std::vector<double>& x) {
    std::vector<ChungComponent> data;
    data.reserve(comps.size());
    for (std::size_t i = 0; i < comps.size(); ++i)
        data.push_back(x[i] > 0 ? chungData(*comps[i]) : ChungComponent{1, 1, 0, 1, 0, 0});
    return chungMix(data, x.data());
}

// Smallest total mole fraction of correlated components (below their Tc,
// with the correlation) for the correlation path; the other components of
// the liquid are solutes.  Below it Chung's method is used for the phase.
constexpr double kMinCorrelatedFraction = 0.5;

// Which components' correlation `which` can be evaluated at T.
std::vector<char> correlatedMask(const Components& comps, const std::vector<double>& x, double T,
                                 components::Correlation components::Component::*which, double& fraction) {
    std::vector<char> ok(x.size(), 0);
    fraction = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!(x[i] > 0)) continue;
        const auto& c = *comps[i];
        if ((c.*which).eq == 0 || !(c.tc > T) || !(components::evaluate(c.*which, T) > 0)) continue;
        ok[i] = 1;
        fraction += x[i];
    }
    return ok;
}

} // namespace

int pureWaterIndex(const Components& comps, const std::vector<double>& x) {
    int w = -1;
    double total = 0, water = 0;
    for (std::size_t i = 0; i < comps.size(); ++i) {
        if (!(x[i] > 0)) continue;
        total += x[i];
        if (comps[i]->cas == water::kCas) {
            water += x[i];
            w = static_cast<int>(i);
        }
    }
    return (w >= 0 && water >= total * (1.0 - 1e-12)) ? w : -1;
}

double chungPhaseViscosity(const Components& comps, const Phase& ph) {
    const auto x = normalised(ph.x);
    return chungViscosity(chungFluid(comps, x), ph.T, 1.0 / ph.v);
}

double chungPhaseConductivity(const Components& comps, const Phase& ph) {
    const auto x = normalised(ph.x);
    return chungConductivity(chungFluid(comps, x), ph.T, 1.0 / ph.v, ph.cv0);
}

// Value of solute i (no usable correlation, typically above its Tc) in a
// liquid: Chung's pure-component value at the packing fraction y = rho Vc / 6
// of the whole liquid (Chung's one-fluid Vc, density corrected by
// liquidDensityScale), i.e. the component as a liquid as densely packed as
// the phase.
static double soluteValue(const Components& comps, const Phase& ph, const std::vector<double>& x,
                          std::size_t i, bool forViscosity, double* molarDensity = nullptr) {
    const ChungFluid mix = chungFluid(comps, x);
    const double y = 1.0 / ph.v * liquidDensityScale(comps, ph) * 1e-6 * mix.vc / 6.0;
    const double one = 1.0;
    const ChungFluid f = chungMix({chungData(*comps[i])}, &one);
    const double rho = y * 6.0 / (f.vc * 1e-6); // mol/m3
    if (molarDensity) *molarDensity = rho;
    return forViscosity ? chungViscosity(f, ph.T, rho)
                        : chungConductivity(f, ph.T, rho, thermo::idealHeatCapacity(*comps[i], ph.T) - kR);
}

// ln mu = sum x_i ln mu_i(T) at saturation, then the Lucas (1981) factor
// for compression above the bubble pressure (estimated by Raoult's law from
// the components' vapour pressures), with Kay's pseudo-critical constants.
double correlatedLiquidViscosity(const Components& comps, const Phase& ph) {
    const auto x = normalised(ph.x);
    double fraction = 0;
    const auto ok = correlatedMask(comps, x, ph.T, &components::Component::lvisc, fraction);
    if (!(fraction >= kMinCorrelatedFraction)) return kNaN;
    // Correlated part (with Kay's constants and the Raoult bubble pressure of
    // the correlated components for the pressure correction) and solutes.
    double lnmu = 0, lnSolutes = 0, tc = 0, pc = 0, omega = 0, psat = 0;
    bool havePsat = true;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!(x[i] > 0)) continue;
        const auto& c = *comps[i];
        if (!ok[i]) {
            const double mu = soluteValue(comps, ph, x, i, true);
            if (!(mu > 0)) return kNaN;
            lnSolutes += x[i] * std::log(mu);
            continue;
        }
        const double xi = x[i] / fraction;
        lnmu += xi * std::log(components::evaluate(c.lvisc, ph.T));
        tc += xi * c.tc;
        pc += xi * c.pc;
        omega += xi * c.omega;
        const double ps = components::evaluate(c.vp, ph.T);
        if (ps > 0)
            psat += xi * ps;
        else
            havePsat = false;
    }
    double mu = std::exp(lnmu);
    if (havePsat && pc > 0 && std::isfinite(omega) && ph.P > psat) {
        const double dPr = (ph.P - psat) / pc;
        const double Tr = std::min(ph.T / tc, 0.99);
        const double A = 0.9991 - 4.674e-4 / (1.0523 * std::pow(Tr, -0.03877) - 1.0513);
        const double C =
            -0.07921 +
            Tr * (2.1616 +
                  Tr * (-13.4040 +
                        Tr * (44.1706 + Tr * (-84.8291 + Tr * (96.1209 + Tr * (-59.8127 + Tr * 15.6719))))));
        const double D = 0.3257 / std::pow(1.0039 - std::pow(Tr, 2.573), 0.2906) - 0.2086;
        const double f = (1.0 + D * std::pow(dPr / 2.118, A)) / (1.0 + C * omega * dPr);
        if (f > 0 && std::isfinite(f)) mu *= f;
    }
    return std::exp(fraction * std::log(mu) + lnSolutes);
}

// Li (1976): lambda = sum_i sum_j phi_i phi_j 2 / (1/lambda_i + 1/lambda_j),
// phi_i the superficial volume fractions from the saturated molar volumes.
double correlatedLiquidConductivity(const Components& comps, const Phase& ph) {
    const auto x = normalised(ph.x);
    double fraction = 0;
    const auto ok = correlatedMask(comps, x, ph.T, &components::Component::lk, fraction);
    if (!(fraction >= kMinCorrelatedFraction)) return kNaN;
    const std::size_t n = x.size();
    std::vector<double> lam(n, 0.0), phi(n, 0.0);
    double vsum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!(x[i] > 0)) continue;
        const auto& c = *comps[i];
        double rho = 0; // mol/m3
        if (ok[i]) {
            lam[i] = components::evaluate(c.lk, ph.T);
            rho = components::evaluate(c.ld, ph.T) * 1e3;
            if (!(rho > 0)) rho = 1e3 / (c.vc > 0 ? c.vc : 1.0); // rough: only the ratios matter
        } else {
            lam[i] = soluteValue(comps, ph, x, i, false, &rho);
        }
        if (!(lam[i] > 0) || !(rho > 0)) return kNaN;
        phi[i] = x[i] / rho;
        vsum += phi[i];
    }
    double l = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!(x[i] > 0)) continue;
        for (std::size_t j = 0; j < n; ++j) {
            if (!(x[j] > 0)) continue;
            l += phi[i] * phi[j] / (vsum * vsum) * 2.0 / (1.0 / lam[i] + 1.0 / lam[j]);
        }
    }
    return l;
}

// Liquid-correlation correction of Chung's method for a liquid that the
// correlation path cannot take: each subcritical component with a
// correlation contributes its ratio of correlated to Chung value (pure, at
// its saturated-liquid density from the database), averaged in logarithms
// with the mole fractions; other components contribute 1.  Ratios are kept
// within [0.2, 5] so that a poor correlation cannot dominate.
double liquidCorrection(const Components& comps, const Phase& ph, bool forViscosity) {
    const auto x = normalised(ph.x);
    double lnf = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!(x[i] > 0)) continue;
        const auto& c = *comps[i];
        const auto& corr = forViscosity ? c.lvisc : c.lk;
        if (corr.eq == 0 || !(c.tc > ph.T)) continue;
        const double value = components::evaluate(corr, ph.T);
        const double rho = components::evaluate(c.ld, ph.T) * 1e3; // mol/m3
        if (!(value > 0) || !(rho > 0)) continue;
        const ChungFluid f = chungMix({chungData(c)}, std::vector<double>{1.0}.data());
        const double chung = forViscosity
                                 ? chungViscosity(f, ph.T, rho)
                                 : chungConductivity(f, ph.T, rho, thermo::idealHeatCapacity(c, ph.T) - kR);
        if (!(chung > 0)) continue;
        lnf += x[i] * std::log(std::clamp(value / chung, 0.2, 5.0));
    }
    return std::exp(lnf);
}

double liquidDensityScale(const Components& comps, const Phase& ph) {
    if (!ph.pureLiquidVolume) return 1.0;
    const auto x = normalised(ph.x);
    double vModel = 0, vData = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!(x[i] > 0)) continue;
        const auto& c = *comps[i];
        if (!(c.tc > ph.T)) continue;
        const double rho = components::evaluate(c.ld, ph.T) * 1e3; // mol/m3
        if (!(rho > 0)) continue;
        double p = ph.P;
        const double psat = components::evaluate(c.vp, ph.T);
        if (psat > 0 && 1.05 * psat > p) p = 1.05 * psat;
        const double v = ph.pureLiquidVolume(static_cast<int>(i), p);
        // A volume far from the database's is a vapour-like root, not a liquid.
        if (!(v > 0) || !std::isfinite(v) || v * rho > 2.0) continue;
        vModel += x[i] * v;
        vData += x[i] / rho;
    }
    if (!(vModel > 0) || !(vData > 0)) return 1.0;
    return std::clamp(vModel / vData, 0.7, 1.4);
}

double viscosity(const Components& comps, const Phase& ph) {
    if (!(ph.T > 0) || !(ph.v > 0)) throw Error("phase state without temperature or volume");
    const int w = pureWaterIndex(comps, ph.x);
    if (w >= 0) return water::viscosity(ph.T, massDensity(comps, ph));
    if (ph.kind == 1) {
        const double mu = correlatedLiquidViscosity(comps, ph);
        if (mu > 0) return mu;
        Phase scaled = ph;
        scaled.v = ph.v / liquidDensityScale(comps, ph);
        return chungPhaseViscosity(comps, scaled) * liquidCorrection(comps, ph, true);
    }
    return chungPhaseViscosity(comps, ph);
}

double conductivity(const Components& comps, const Phase& ph) {
    if (!(ph.T > 0) || !(ph.v > 0)) throw Error("phase state without temperature or volume");
    const int w = pureWaterIndex(comps, ph.x);
    if (w >= 0) return water::conductivity(ph.T, massDensity(comps, ph));
    if (ph.kind == 1) {
        const double l = correlatedLiquidConductivity(comps, ph);
        if (l > 0) return l;
        Phase scaled = ph;
        scaled.v = ph.v / liquidDensityScale(comps, ph);
        return chungPhaseConductivity(comps, scaled) * liquidCorrection(comps, ph, false);
    }
    return chungPhaseConductivity(comps, ph);
}

double pureSurfaceTension(const components::Component& c, double T) {
    if (c.cas == water::kCas) return water::surfaceTension(T);
    if (c.tc > 0 && !(T < c.tc)) return 0.0;
    const double s = components::evaluate(c.st, T);
    if (s >= 0 && std::isfinite(s)) return s;
    // Brock and Bird (1955) with Miller's Q: sigma = Pc^(2/3) Tc^(1/3) Q
    // (1 - Tr)^(11/9), Pc in bar, sigma in mN/m.
    if (c.tc > 0 && c.pc > 0 && c.tb > 0 && c.tb < c.tc) {
        const double pcBar = c.pc * 1e-5, tbr = c.tb / c.tc;
        const double Q = 0.1196 * (1.0 + tbr * std::log(pcBar / 1.01325) / (1.0 - tbr)) - 0.279;
        if (Q > 0)
            return 1e-3 * std::pow(pcBar, 2.0 / 3.0) * std::cbrt(c.tc) * Q *
                   std::pow(1.0 - T / c.tc, 11.0 / 9.0);
    }
    return kNaN;
}

double surfaceTension(const Components& comps, const Phase* vapour, const Phase* liquid) {
    if (!liquid) return 0.0;
    const auto x = normalised(liquid->x);
    const double T = liquid->T;
    if (pureWaterIndex(comps, x) >= 0) return water::surfaceTension(T);

    // Pure-component values at T; a pure liquid with data takes its own.
    std::vector<double> sigma(x.size(), kNaN);
    int present = 0;
    bool allData = true;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!(x[i] > 0)) continue;
        ++present;
        sigma[i] = pureSurfaceTension(*comps[i], T);
        if (!(sigma[i] > 0)) allData = false;
    }
    if (present == 1 && allData) {
        for (std::size_t i = 0; i < x.size(); ++i)
            if (x[i] > 0) return sigma[i];
    }

    // Weinaug-Katz / Macleod-Sugden: sigma^(1/4) = sum P_i (x_i rhoL - y_i
    // rhoV), mol/cm3 and mN/m, with both densities corrected by the volume
    // model's bias on the liquid (the fourth power magnifies density errors).
    // Without a vapour this applies only when some component has no surface
    // tension of its own at T (a supercritical solute), with rhoV = 0.
    const std::vector<double> y = vapour ? normalised(vapour->x) : std::vector<double>(x.size(), 0.0);
    if (vapour || !allData) {
        bool all = true;
        double s = 0;
        const double scale = liquidDensityScale(comps, *liquid);
        const double rl = 1e-6 / liquid->v * scale, rv = vapour ? 1e-6 / vapour->v * scale : 0.0;
        for (std::size_t i = 0; i < x.size() && all; ++i) {
            if (!(x[i] > 0) && !(y[i] > 0)) continue;
            const double p = parachor(*comps[i]);
            if (!(p > 0))
                all = false;
            else
                s += p * (x[i] * rl - y[i] * rv);
        }
        if (all) return s > 0 ? std::pow(s, 4) * 1e-3 : 0.0;
    }

    // sigma^(1/4) = sum x_i sigma_i^(1/4) over the components with data
    // (0 above their critical temperature).
    double s = 0, used = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        if (!(x[i] > 0) || !(sigma[i] >= 0)) continue;
        s += x[i] * std::pow(sigma[i], 0.25);
        used += x[i];
    }
    if (!(used > 0)) throw Error("no surface tension data for the liquid's components", kNotDefined);
    return std::pow(s / used, 4);
}

} // namespace zpk::transport
