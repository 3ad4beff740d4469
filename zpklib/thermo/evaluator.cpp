#include "thermo/evaluator.h"

#include <cmath>

namespace zpk::thermo {

using models::kR;

void propsFromResidual(double T, double P, double V, const double* x, int n, const models::ResidualDerivs& d,
                       int order, models::PhaseProps& out) {
    const double RT = kR * T;
    const double Z = P * V / RT;
    const double lnZ = std::log(Z);
    out.v = V;
    out.z = Z;
    out.lnphi.resize(n);
    out.lnfx.clear();
    for (int i = 0; i < n; ++i)
        out.lnphi[i] = d.F_i[i] - lnZ;
    out.hres = -RT * T * d.F_T + P * V - RT;
    out.sres = -kR * (T * d.F_T + d.F) + kR * lnZ;
    if (order < 1) return;

    const double PV = -RT * d.F_VV - RT / (V * V);
    const double PT = -kR * d.F_V - RT * d.F_TV + kR / V;
    out.dP_dV = PV;
    out.dP_dT = PT;
    out.dlnphi_dT.resize(n);
    out.dlnphi_dP.resize(n);
    out.dlnphi_dn.resize(static_cast<std::size_t>(n) * n);
    out.dv_dx.resize(n);
    out.dhres_dx.resize(n);
    out.dsres_dx.resize(n);
    // Partial molar volumes and composition derivatives of the pressure.
    thread_local std::vector<double> Pi, Vi;
    Pi.resize(n);
    Vi.resize(n);
    for (int i = 0; i < n; ++i) {
        Pi[i] = -RT * d.F_iV[i] + RT / V;
        Vi[i] = -Pi[i] / PV;
    }
    const double inv = 1.0 / (RT * PV);
    for (int i = 0; i < n; ++i) {
        out.dlnphi_dT[i] = d.F_iT[i] + 1.0 / T - Vi[i] * PT / RT;
        out.dlnphi_dP[i] = Vi[i] / RT - 1.0 / P;
        const double pi = Pi[i] * inv;
        const double* fij = d.F_ij.data() + static_cast<std::size_t>(i) * n;
        double* row = out.dlnphi_dn.data() + static_cast<std::size_t>(i) * n;
        for (int j = 0; j < n; ++j)
            row[j] = fij[j] + 1.0 + pi * Pi[j];
    }
    out.cvres = -RT * T * d.F_TT - 2.0 * RT * d.F_T;
    out.cpres = out.cvres - T * PT * PT / PV - kR;
    out.dv_dT = -PT / PV;
    out.dv_dP = 1.0 / PV;
    out.dhres_dT = out.cpres;
    out.dhres_dP = V - T * out.dv_dT;
    out.dsres_dT = out.cpres / T;
    out.dsres_dP = -out.dv_dT + kR / P;
    for (int m = 0; m < n; ++m) {
        const double hbar = -RT * T * out.dlnphi_dT[m];
        const double sbar = -kR * (T * out.dlnphi_dT[m] + out.lnphi[m]);
        out.dv_dx[m] = Vi[m] - V;
        out.dhres_dx[m] = hbar - out.hres;
        out.dsres_dx[m] = sbar - out.sres;
    }
    (void)x;
}

} // namespace zpk::thermo

namespace zpk::models {
double PhaseProps::gres(const double* x, int n) const {
    double s = 0, g = 0;
    for (int i = 0; i < n; ++i)
        s += x[i];
    for (int i = 0; i < n; ++i)
        if (x[i] > 0) g += x[i] * lnphi[i];
    return g / s;
}
} // namespace zpk::models
