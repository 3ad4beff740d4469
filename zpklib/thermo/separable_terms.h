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

#include <array>
#include <cmath>
#include <cstddef>

namespace zpk::thermo {

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
    // The same from the exponent's parts in tau (pt) and delta (pd); with
    // WithTau false the value and the delta derivatives alone (by the same
    // arithmetic: what density solvers at fixed temperature need).
    template <bool WithTau> void addTerm(double e, const ExponentPart& pt, const ExponentPart& pd) {
        if constexpr (WithTau) {
            add(e, pt.first, pd.first, pt.second, pd.second);
        } else {
            v += e;
            d += e * pd.first;
            dd += e * pd.second;
        }
    }
};

// tau and delta with the logarithms, reciprocals and powers the terms share.
struct Reduced {
    double lt, ld, it, id, it2, id2, delta;
    std::array<double, 8> dpow; // delta^k
    Reduced(double tau, double d)
        : lt(std::log(tau)), ld(std::log(d)), it(1 / tau), id(1 / d), it2(it * it), id2(id * id), delta(d) {
        dpow[0] = 1;
        for (std::size_t k = 1; k < dpow.size(); ++k)
            dpow[k] = dpow[k - 1] * d;
    }
};

// A power term n delta^d tau^t exp(-delta^c) (c = 0: no exponential), with
// d (d - 1) and t (t - 1) for the second derivatives.
struct PowerTerm {
    double n, d, t;
    int c;
    double dd1, tt1;
};
inline PowerTerm powerTerm(double n, double d, double t, int c) {
    return {n, d, t, c, d * (d - 1), t * (t - 1)};
}

template <bool WithTau> void addPower(TauDeltaSum& s, const PowerTerm& t, const Reduced& r) {
    ExponentPart pt{};
    if constexpr (WithTau) pt = exponentPart(t.t, t.tt1, r.it, r.it2);
    double A = t.d * r.ld + t.t * r.lt;
    ExponentPart pd;
    if (t.c > 0) {
        // -delta^c and its derivatives -c delta^(c-1), -c (c-1) delta^(c-2).
        const double c = t.c;
        const double dc1 = t.c <= 8 ? r.dpow[t.c - 1] : std::pow(r.delta, c - 1);
        A -= dc1 * r.delta;
        pd = exponentPart(t.d, t.dd1, r.id, r.id2, -c * dc1, -c * (c - 1) * dc1 * r.id);
    } else {
        pd = exponentPart(t.d, t.dd1, r.id, r.id2);
    }
    s.addTerm<WithTau>(t.n * std::exp(A), pt, pd);
}

} // namespace zpk::thermo
