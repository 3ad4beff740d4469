#include "transport/chung.h"

#include <cmath>
#include <stdexcept>

namespace zpk::transport {

namespace {

constexpr double kR = 8.31446261815324; // J/(mol K)

// Viscosity coefficients E_i = a_i + b_i omega + c_i mur^4 + d_i kappa.
constexpr double kVisc[10][4] = {
    {6.324, 50.412, -51.680, 1189.0},   {1.210e-3, -1.154e-3, -6.257e-3, 0.03728},
    {5.283, 254.209, -168.48, 3898.0},  {6.623, 38.096, -8.464, 31.42},
    {19.745, 7.630, -14.354, 31.53},    {-1.900, -12.537, 4.985, -18.15},
    {24.275, 3.450, -11.291, 69.35},    {0.7972, 1.117, 0.01235, -4.117},
    {-0.2382, 0.06770, -0.8163, 4.025}, {0.06863, 0.3479, 0.5926, -0.727},
};

// Thermal conductivity coefficients B_i, same form.
constexpr double kCond[7][4] = {
    {2.4166, 7.4824e-1, -9.1858e-1, 1.2172e2},  {-5.0924e-1, -1.5094, -4.9991e1, 6.9983e1},
    {6.6107, 5.6207, 6.4760e1, 2.7039e1},       {1.4543e1, -8.9139, -5.6379, 7.4344e1},
    {7.9274e-1, 8.2019e-1, -6.9369e-1, 6.3173}, {-5.8634, 1.2801e1, 9.5893, 6.5529e1},
    {9.1089e1, 1.2800e2, -5.4217e1, 5.2381e2},
};

template <int N> void coefficients(const double (&tab)[N][4], const ChungFluid& f, double* out) {
    const double mu4 = std::pow(f.mur, 4);
    for (int i = 0; i < N; ++i)
        out[i] = tab[i][0] + tab[i][1] * f.omega + tab[i][2] * mu4 + tab[i][3] * f.kappa;
}

// Reduced collision integral of viscosity (Neufeld et al.) with Chung's
// small correction term.
double omegaV(double Ts) {
    return 1.16145 * std::pow(Ts, -0.14874) + 0.52487 * std::exp(-0.77320 * Ts) +
           2.16178 * std::exp(-2.43787 * Ts) -
           6.435e-4 * std::pow(Ts, 0.14874) * std::sin(18.0323 * std::pow(Ts, -0.76830) - 7.27371);
}

// Packing fraction y = rho Vc / 6 and the radial-distribution factors.
struct Dense {
    double y, g1;
};
Dense dense(const ChungFluid& f, double rho) {
    Dense d;
    d.y = rho * 1e-6 * f.vc / 6.0; // mol/m3 -> mol/cm3
    if (d.y >= 0.9) d.y = 0.9;     // beyond close packing: keep the formulas finite
    d.g1 = (1.0 - 0.5 * d.y) / std::pow(1.0 - d.y, 3);
    return d;
}

// (1 - exp(-a y)) / y, with its limit a at y -> 0.
double expTerm(double a, double y) {
    return y > 1e-12 ? -std::expm1(-a * y) / y : a;
}

} // namespace

ChungFluid chungMix(const std::vector<ChungComponent>& comps, const double* x) {
    const std::size_t n = comps.size();
    double total = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (x[i] > 0) total += x[i];
    if (!(total > 0)) throw std::invalid_argument("empty composition");

    double s3 = 0, e = 0, w = 0, m = 0, mu4 = 0, k = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!(x[i] > 0)) continue;
        const double xi = x[i] / total;
        const auto& a = comps[i];
        const double si = 0.809 * std::cbrt(a.vc * 1e3), ei = a.tc / 1.2593;
        for (std::size_t j = 0; j < n; ++j) {
            if (!(x[j] > 0)) continue;
            const double xj = x[j] / total;
            const auto& b = comps[j];
            const double sj = 0.809 * std::cbrt(b.vc * 1e3), ej = b.tc / 1.2593;
            const double sij = std::sqrt(si * sj), eij = std::sqrt(ei * ej);
            const double sij3 = sij * sij * sij;
            const double mij = 2.0 * a.mw * b.mw / (a.mw + b.mw);
            s3 += xi * xj * sij3;
            e += xi * xj * eij * sij3;
            w += xi * xj * 0.5 * (a.omega + b.omega) * sij3;
            m += xi * xj * eij * sij * sij * std::sqrt(mij);
            mu4 += xi * xj * a.dipole * a.dipole * b.dipole * b.dipole / (eij * sij3);
            k += xi * xj * std::sqrt(a.kappa * b.kappa);
        }
    }
    ChungFluid f;
    const double sm = std::cbrt(s3);
    const double em = e / s3;
    f.omega = w / s3;
    f.mw = std::pow(m / (em * sm * sm), 2);
    const double dipole = std::pow(mu4 * s3, 0.25);
    f.kappa = k;
    f.vc = s3 / std::pow(0.809, 3);
    f.tc = 1.2593 * em;
    f.mur = 131.3 * dipole / std::sqrt(f.vc * f.tc);
    f.fc = 1.0 - 0.2756 * f.omega + 0.059035 * std::pow(f.mur, 4) + f.kappa;
    return f;
}

double chungViscosity(const ChungFluid& f, double T, double rho) {
    double E[10];
    coefficients(kVisc, f, E);
    const double Ts = 1.2593 * T / f.tc;
    const Dense d = dense(f, rho);
    const double g2 = (E[0] * expTerm(E[3], d.y) + E[1] * d.g1 * std::exp(E[4] * d.y) + E[2] * d.g1) /
                      (E[0] * E[3] + E[1] + E[2]);
    const double etaK = std::sqrt(Ts) / omegaV(Ts) * f.fc * (1.0 / g2 + E[5] * d.y);
    const double etaP = E[6] * d.y * d.y * g2 * std::exp(E[7] + E[8] / Ts + E[9] / (Ts * Ts));
    const double micropoise = (etaK + etaP) * 36.344 * std::sqrt(f.mw * f.tc) / std::pow(f.vc, 2.0 / 3.0);
    return micropoise * 1e-7;
}

double chungConductivity(const ChungFluid& f, double T, double rho, double cv0) {
    double B[7];
    coefficients(kCond, f, B);
    const double Tr = T / f.tc;
    const double M = f.mw * 1e-3; // kg/mol
    // Dilute-gas viscosity (the rho -> 0 limit of the viscosity method).
    const double eta0 = chungViscosity(f, T, 0.0);
    const double alpha = cv0 / kR - 1.5;
    const double beta = 0.7862 - 0.7109 * f.omega + 1.3168 * f.omega * f.omega;
    const double Z = 2.0 + 10.5 * Tr * Tr;
    const double psi = 1.0 + alpha * (0.215 + 0.28288 * alpha - 1.061 * beta + 0.26665 * Z) /
                                 (0.6366 + beta * Z + 1.061 * alpha * beta);
    const Dense d = dense(f, rho);
    const double g2 = (B[0] * expTerm(B[3], d.y) + B[1] * d.g1 * std::exp(B[4] * d.y) + B[2] * d.g1) /
                      (B[0] * B[3] + B[1] + B[2]);
    const double q = 3.586e-3 * std::sqrt(f.tc / M) / std::pow(f.vc, 2.0 / 3.0);
    return 31.2 * eta0 * psi / M * (1.0 / g2 + B[5] * d.y) + q * B[6] * d.y * d.y * std::sqrt(Tr) * g2;
}

} // namespace zpk::transport
