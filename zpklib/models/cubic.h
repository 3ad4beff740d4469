// Two-parameter cubic equations of state with van der Waals one-fluid mixing:
// Soave-Redlich-Kwong (model 30), Peng-Robinson (model 50) and Peng-Robinson
// with Peneloux volume translation (model 51).  See docs/models.md.
#pragma once

#include <cstdint>
#include <vector>

#include "models/phase_model.h"
#include "thermo/jet.h"

namespace zpk::models {

enum class CubicKind { SRK, PR };

// Binary interaction k_ij(T) = k0 + k1 T + k2 / T (T in K), symmetric.
struct BinaryKij {
    int i = 0, j = 0; // 0-based positions
    double k0 = 0, k1 = 0, k2 = 0;
};

// Soave's temperature function: s = sqrt(a(T)) = sqrt(ac) (1 + m (1 - sqrt(T/Tc)))
// with its first and second temperature derivatives.
void soaveSqrtA(double sqrtAc, double m, double tc, double T, double& s, double& ds, double& d2s);
// a_ij(T) = s_i s_j (1 - k_ij(T)), k_ij(T) = k0 + k1 T + k2 / T, with first and
// second temperature derivatives, from s_i = sqrt(a_i) and its derivatives;
// all matrices n x n, row-major.
void combineAttraction(int n, double T, const double* s, const double* ds, const double* d2s,
                       const double* k0, const double* k1, const double* k2, double* a, double* ap,
                       double* app);

// The volume a cubic equation gives for the requested root, from its real
// volume roots (ascending, nr >= 1): with several roots the smallest is the
// liquid, the largest the vapour, and Root::Stable takes the one of lower
// residual Gibbs energy gres(v); a single root is labelled liquid when
// liquidLike() says so.
template <class G, class L>
void chooseRoot(const double* roots, int nr, Root root, G&& gres, L&& liquidLike, double& V, int& kind) {
    if (nr >= 2) {
        const double vl = roots[0], vv = roots[nr - 1];
        const bool liquid = root == Root::Liquid || (root == Root::Stable && gres(vl) < gres(vv));
        V = liquid ? vl : vv;
        kind = liquid ? kLiquid : kVapour;
    } else {
        V = roots[0];
        kind = liquidLike() ? kLiquid : kVapour;
    }
}

// The reduced residual Helmholtz energy of a translated two-parameter cubic
// in its mixing-rule quantities (T, V, N, B, D, C, in this order of the
// jet's variables) with first and second derivatives: in closed form (what
// the model uses) and by automatic differentiation (the reference a test
// holds it to).
thermo::Jet<6> cubicCoreDerivatives(double T, double V, double N, double B, double D, double C, double d1,
                                    double d2);
thermo::Jet<6> cubicCoreByJets(double T, double V, double N, double B, double D, double C, double d1,
                               double d2);

class CubicModel final : public PhaseModel {
  public:
    CubicModel(CubicKind kind, bool translated, std::vector<PureConstants> comps,
               const std::vector<BinaryKij>& kij = {});

    int size() const override { return n_; }
    bool isEquationOfState() const override { return true; }
    bool evaluate(double T, double P, const double* x, Root root, int order, PhaseProps& out) const override;
    bool residualDerivatives(double T, double V, const double* n, int order,
                             ResidualDerivs& d) const override {
        residual(T, V, n, order, d);
        return true;
    }
    double volumeScale(const double* x) const override;

    // Reduced residual Helmholtz energy and all derivatives up to second order at
    // (T, V, n); order 0 fills F, F_V and F_i only (what a fugacity needs).
    void residual(double T, double V, const double* n, int order, ResidualDerivs& d) const;
    // Pressure of the model at (T, V, n).
    double pressure(double T, double V, const double* n) const;
    // Real volume roots (m3/mol, ascending) at (T, P, x normalised); returns their count (1 to 3).
    int volumeRoots(double T, double P, const double* x, double roots[3]) const;

    CubicKind kind() const { return kind_; }
    double kij(int i, int j, double T) const;
    double b(int i) const { return b_[i]; }
    double shift(int i) const { return c_[i]; }

  private:
    // Temperature functions at the last (model, temperature) evaluated,
    // cached per thread (a flash at fixed T reuses them): s_i = sqrt(a_i)
    // and its first two derivatives, k_ij(T) and its derivatives for the
    // non-zero entries (in the order of nzCol_), and the dense a_ij(T) that
    // the second composition derivatives need.
    struct Attraction {
        std::uint64_t id = 0;
        double T = -1;
        std::vector<double> s, ds, d2s;
        std::vector<double> k, kp, kpp;
        std::vector<double> a;
    };
    // Mixture sums at (T, n): N, B = sum n b, C = sum n c, D = sum sum n n a_ij
    // and its temperature derivatives (DTT at order >= 1), and per component
    // Di = dD/dn_i and DiT = d2D/dn_i dT (at order >= 1; per-thread storage).
    struct Sums {
        double N = 0, B = 0, C = 0, D = 0, DT = 0, DTT = 0;
        const double* Di = nullptr;
        const double* DiT = nullptr;
    };
    const Attraction& attraction(double T) const;
    // a_ij = s_i s_j (1 - k_ij): every sum over j is s_i times a sum over the
    // mixture less the few non-zero k_ij, O(n + non-zero k_ij) per evaluation.
    Sums sums(double T, const double* n, int order) const;
    void residualFrom(double T, double V, int order, const Sums& m, ResidualDerivs& d) const;
    int rootsFrom(double T, double P, double D, double B, double C, double roots[3]) const;
    std::uint64_t id_;
    int n_;
    CubicKind kind_;
    bool translated_;
    double d1_, d2_; // delta1, delta2 of the cubic
    std::vector<PureConstants> pure_;
    std::vector<double> ac_, b_, m_, c_, sqac_;
    std::vector<double> k0_, k1_, k2_; // n x n
    // Non-zero k_ij by rows (both (i, j) and (j, i)): row i holds entries
    // nzStart_[i] .. nzStart_[i + 1] - 1 with columns nzCol_ and k0, k1, k2.
    std::vector<int> nzStart_, nzCol_;
    std::vector<double> nzK0_, nzK1_, nzK2_;
    bool kijOfT_ = false; // some k1 or k2 is non-zero
};

} // namespace zpk::models
