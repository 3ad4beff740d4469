// Model 1 "Regular": the simple model of ideal solutions and ideal gases.
//   vapour: ideal gas (ln phi = 0, no residual enthalpy or entropy);
//   liquid: f_i = x_i gamma_i Psat_i(T), Psat from the component's vapour
//     pressure correlation (Lee-Kesler where it has none or it fails), gamma_i from regular-solution theory
//     ln gamma_i = V_i (delta_i - mean delta)^2 / (R T) with volume-fraction
//     averaging; V_i (Rackett) and delta_i = sqrt((dHvap_i - R T) / V_i) fixed
//     at T = 0.7 Tc of each component;
//     enthalpy = ideal gas at (T, P) minus the latent heat sum x_i dHvap_i(T),
//     entropy = ideal gas at (T, P) minus sum x_i dHvap_i(T) / T (no pressure
//     correction), dHvap from the component's heat of vaporisation
//     correlation (else Clausius-Clapeyron on the Lee-Kesler curve);
//     volume = sum x_i V_i(T) with Rackett volumes (incompressible).
// See docs/models.md.
#pragma once

#include <functional>
#include <vector>

#include "models/phase_model.h"

namespace zpk::models {

// Optional correlations of one component: ln Psat(T) (Pa) and the heat of
// vaporisation (J/mol); they return NaN outside their use, where the model
// falls back to the Lee-Kesler forms.
struct SaturationCorrelations {
    std::function<double(double)> lnPsat, latentHeat;
};

class RegularModel final : public PhaseModel {
public:
    explicit RegularModel(std::vector<PureConstants> comps, std::vector<SaturationCorrelations> corr = {});
    int size() const override { return n_; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;

    // Lee-Kesler vapour pressure (Pa) and d ln Psat / dT of component i.
    double lnPsat(int i, double T, double* dlnPdT = nullptr, double* d2 = nullptr) const;
    // Latent heat (J/mol) and its temperature derivative.
    double latentHeat(int i, double T, double* dHdT = nullptr) const;
    // Rackett liquid volume (m3/mol) and its temperature derivative.
    double liquidVolume(int i, double T, double* dVdT = nullptr) const;

private:
    bool vapour(double T, double P, int order, PhaseProps& out) const;
    bool liquid(double T, double P, const double* x, int order, PhaseProps& out) const;
    double lkLnPsat(int i, double T, double* d1, double* d2) const;
    double lkLatentHeat(int i, double T, double* dHdT) const;
    int n_;
    std::vector<PureConstants> pure_;
    std::vector<SaturationCorrelations> corr_;
    std::vector<double> vref_, delta_;
};

}  // namespace zpk::models
