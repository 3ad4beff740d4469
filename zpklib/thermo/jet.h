// Second-order forward automatic differentiation over K independent variables.
//
// A Jet carries a value, its gradient and its (symmetric, stored full) Hessian
// with respect to K seed variables.  Models write their reduced residual
// Helmholtz energy once as a template over the scalar type; evaluating it on
// Jets yields every first and second derivative the evaluator needs in one
// pass.  K is small (the handful of mixing-rule quantities of a model), so the
// fixed-size arrays stay on the stack and the cost is a few hundred flops.
#pragma once

#include <array>
#include <cmath>

namespace zpk::thermo {

template <int K>
struct Jet {
    double v = 0;
    std::array<double, K> g{};
    std::array<double, K * K> h{};

    Jet() = default;
    Jet(double value) : v(value) {}  // NOLINT: constants promote implicitly

    // The k-th independent variable with the given value.
    static Jet seed(double value, int k) {
        Jet j(value);
        j.g[k] = 1.0;
        return j;
    }
    double d(int a) const { return g[a]; }
    double d2(int a, int b) const { return h[a * K + b]; }
};

namespace detail {
// Applies a scalar function with value f0, first derivative f1 and second f2.
template <int K>
inline Jet<K> chain(const Jet<K>& a, double f0, double f1, double f2) {
    Jet<K> r(f0);
    for (int i = 0; i < K; ++i) r.g[i] = f1 * a.g[i];
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j) r.h[i * K + j] = f1 * a.h[i * K + j] + f2 * a.g[i] * a.g[j];
    return r;
}
}  // namespace detail

template <int K>
inline Jet<K> operator+(const Jet<K>& a, const Jet<K>& b) {
    Jet<K> r(a.v + b.v);
    for (int i = 0; i < K; ++i) r.g[i] = a.g[i] + b.g[i];
    for (int i = 0; i < K * K; ++i) r.h[i] = a.h[i] + b.h[i];
    return r;
}
template <int K>
inline Jet<K> operator-(const Jet<K>& a, const Jet<K>& b) {
    Jet<K> r(a.v - b.v);
    for (int i = 0; i < K; ++i) r.g[i] = a.g[i] - b.g[i];
    for (int i = 0; i < K * K; ++i) r.h[i] = a.h[i] - b.h[i];
    return r;
}
template <int K>
inline Jet<K> operator-(const Jet<K>& a) {
    Jet<K> r(-a.v);
    for (int i = 0; i < K; ++i) r.g[i] = -a.g[i];
    for (int i = 0; i < K * K; ++i) r.h[i] = -a.h[i];
    return r;
}
template <int K>
inline Jet<K> operator*(const Jet<K>& a, const Jet<K>& b) {
    Jet<K> r(a.v * b.v);
    for (int i = 0; i < K; ++i) r.g[i] = a.v * b.g[i] + b.v * a.g[i];
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j)
            r.h[i * K + j] = a.v * b.h[i * K + j] + b.v * a.h[i * K + j] + a.g[i] * b.g[j] + a.g[j] * b.g[i];
    return r;
}
template <int K>
inline Jet<K> operator/(const Jet<K>& a, const Jet<K>& b) {
    const double inv = 1.0 / b.v;
    return a * detail::chain(b, inv, -inv * inv, 2.0 * inv * inv * inv);
}
template <int K>
inline Jet<K> operator+(const Jet<K>& a, double b) {
    Jet<K> r = a;
    r.v += b;
    return r;
}
template <int K>
inline Jet<K> operator+(double b, const Jet<K>& a) {
    return a + b;
}
template <int K>
inline Jet<K> operator-(const Jet<K>& a, double b) {
    return a + (-b);
}
template <int K>
inline Jet<K> operator-(double b, const Jet<K>& a) {
    return (-a) + b;
}
template <int K>
inline Jet<K> operator*(const Jet<K>& a, double b) {
    Jet<K> r(a.v * b);
    for (int i = 0; i < K; ++i) r.g[i] = a.g[i] * b;
    for (int i = 0; i < K * K; ++i) r.h[i] = a.h[i] * b;
    return r;
}
template <int K>
inline Jet<K> operator*(double b, const Jet<K>& a) {
    return a * b;
}
template <int K>
inline Jet<K> operator/(const Jet<K>& a, double b) {
    return a * (1.0 / b);
}
template <int K>
inline Jet<K> operator/(double a, const Jet<K>& b) {
    const double inv = 1.0 / b.v;
    return detail::chain(b, a * inv, -a * inv * inv, 2.0 * a * inv * inv * inv);
}

template <int K>
inline Jet<K> log(const Jet<K>& a) {
    return detail::chain(a, std::log(a.v), 1.0 / a.v, -1.0 / (a.v * a.v));
}
template <int K>
inline Jet<K> exp(const Jet<K>& a) {
    const double e = std::exp(a.v);
    return detail::chain(a, e, e, e);
}
template <int K>
inline Jet<K> sqrt(const Jet<K>& a) {
    const double s = std::sqrt(a.v);
    return detail::chain(a, s, 0.5 / s, -0.25 / (s * a.v));
}
// log1p keeps precision for the small arguments of the repulsive term.
template <int K>
inline Jet<K> log1p(const Jet<K>& a) {
    const double u = 1.0 + a.v;
    return detail::chain(a, std::log1p(a.v), 1.0 / u, -1.0 / (u * u));
}

// g(u, w) carried to the K variables of u and w: g is a jet in its own two
// arguments (seeds 0 and 1), u and w are jets in the K variables.  Equal to
// evaluating g on the K-variable jets, at the cost of one evaluation on
// two-variable jets plus the chain rule.
template <int K>
inline Jet<K> compose(const Jet<2>& g, const Jet<K>& u, const Jet<K>& w) {
    const double gu = g.g[0], gw = g.g[1], guu = g.h[0], guw = g.h[1], gww = g.h[3];
    Jet<K> r(g.v);
    for (int i = 0; i < K; ++i) r.g[i] = gu * u.g[i] + gw * w.g[i];
    for (int i = 0; i < K; ++i)
        for (int j = 0; j < K; ++j)
            r.h[i * K + j] = gu * u.h[i * K + j] + gw * w.h[i * K + j] + guu * u.g[i] * u.g[j] +
                             guw * (u.g[i] * w.g[j] + w.g[i] * u.g[j]) + gww * w.g[i] * w.g[j];
    return r;
}

// Plain doubles go through the same model code.
using std::exp;
using std::log;
using std::log1p;
using std::sqrt;

}  // namespace zpk::thermo
