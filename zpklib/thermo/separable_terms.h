// Sums of exponential terms of a reduced Helmholtz energy in (tau, delta).
//
// The multiparameter formulations (IAPWS-95, GERG-2008) are sums of terms
// n exp(A) whose exponent separates, A = A_tau(tau) + A_delta(delta): a
// power term has A = d ln delta + t ln tau - delta^c, a Gaussian bell
// A = d ln delta + t ln tau - alpha (delta - eps)^2 - beta (tau - gamma)^2.
// Then every derivative of a term follows from those of its exponent, with
// no cross derivative of A:
//   e_t = e A_t, e_tt = e (A_tt + A_t^2), e_td = e A_t A_d, ...
// which costs one exp and a dozen flops per term (a second-order jet carries
// the whole Hessian through every operation instead).
#pragma once

namespace zpk::thermo {

struct TauDeltaSum {
    double v = 0, t = 0, d = 0, tt = 0, td = 0, dd = 0;

    // Adds e = n exp(A) with the exponent's first derivatives A_t, A_d and
    // Btt = A_tt + A_t^2, Bdd = A_dd + A_d^2 (e_tt = e Btt, e_dd = e Bdd):
    // the caller forms Bdd without the cancellation of d/delta^2 against
    // -d/delta^2 that a dilute gas would otherwise suffer.  The derivatives
    // must be finite (tau, delta > 0).
    void add(double e, double At, double Ad, double Btt, double Bdd) {
        v += e;
        t += e * At;
        d += e * Ad;
        tt += e * Btt;
        td += e * At * Ad;
        dd += e * Bdd;
    }
};

// The part k ln x + f(x) of an exponent, from inv = 1 / x, the constants
// k and k (k - 1) and the derivatives f', f'': first derivative k / x + f'
// and second-order factor (k / x + f')^2 - k / x^2 + f'' written as
// k (k - 1) / x^2 + 2 k f' / x + f'^2 + f''.
struct ExponentPart {
    double first, second;
};
inline ExponentPart exponentPart(double k, double kk1, double inv, double inv2) {
    return {k * inv, kk1 * inv2};
}
inline ExponentPart exponentPart(double k, double kk1, double inv, double inv2, double f1, double f2) {
    const double ki = k * inv;
    return {ki + f1, kk1 * inv2 + (2 * ki + f1) * f1 + f2};
}

} // namespace zpk::thermo
