// Peng-Robinson with excess-Gibbs-energy mixing rules: the rules' defining
// identities, the pure-component limit (plain Peng-Robinson), Huron-Vidal's
// reduction to the activity model at infinite pressure, Wong-Sandler's
// quadratic second virial coefficient, residual Helmholtz derivatives and
// phase-property derivatives against central differences, Gibbs-Duhem, and
// the models on streams through the C interface.
#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "components/database.h"
#include "models/activity.h"
#include "models/cubic.h"
#include "models/cubic_ge.h"
#include "models/factory.h"
#include "zpk/zpk.h"

using namespace zpk;
using namespace zpk::models;

namespace {

constexpr std::int64_t kToluene = 108883, kWater = 7732185, kHexane = 110543, kMethane = 74828;
const int kCodes[] = {55, 56, 57, 60, 61, 62, 65, 66, 67, 70, 71, 72};

ModelInputs inputs(std::initializer_list<std::int64_t> cas) {
    ModelInputs in;
    for (std::int64_t c : cas) {
        const components::Component* r = components::byIndex(components::indexOfCas(c));
        EXPECT_NE(r, nullptr) << c;
        if (!r) continue;
        in.pure.push_back({r->tc, r->pc, r->omega, r->mw, r->zra});
        in.cas.push_back(r->cas);
        in.comps.push_back(r);
    }
    return in;
}

void addEntry(ModelInputs& in, int i, int j, int model, std::initializer_list<std::pair<int, double>> ps) {
    streams::BipEntry e;
    e.i = i, e.j = j, e.model = model;
    for (auto [k, v] : ps)
        e.p[k] = v;
    in.bips.push_back(e);
}

// Toluene, water, n-hexane with interaction entries in the layout of the code.
std::shared_ptr<const CubicGeModel> ternary(int code) {
    ModelInputs in = inputs({kToluene, kWater, kHexane});
    const int o = cubicGeRule(code) == GeMixingRule::WongSandler ? 1 : 0;
    if (o) {
        addEntry(in, 1, 2, code, {{0, 0.05}, {1, 2500.0}, {2, 4000.0}, {3, 0.25}});
        addEntry(in, 2, 3, code, {{0, -0.02}, {1, 3000.0}, {2, 4500.0}});
        addEntry(in, 1, 3, code, {{0, 0.01}, {1, 150.0}, {2, -100.0}});
    } else {
        addEntry(in, 1, 2, code, {{0, 2500.0}, {1, 4000.0}, {2, 0.25}});
        addEntry(in, 2, 3, code, {{0, 3000.0}, {1, 4500.0}});
        addEntry(in, 1, 3, code, {{0, 150.0}, {1, -100.0}});
    }
    auto m = std::dynamic_pointer_cast<const CubicGeModel>(buildPhaseModel(code, in));
    EXPECT_NE(m, nullptr);
    return m;
}

double relErr(double a, double b) {
    return std::fabs(a - b) / std::max(std::fabs(a), 1e-12);
}

class EachCode : public ::testing::TestWithParam<int> {};

} // namespace

TEST(CubicGe, CodesRulesAndActivityModels) {
    EXPECT_EQ(cubicGeRule(55), GeMixingRule::WongSandler);
    EXPECT_EQ(cubicGeActivity(55), ActivityKind::Wilson);
    EXPECT_EQ(cubicGeActivity(56), ActivityKind::UNIQUAC);
    EXPECT_EQ(cubicGeActivity(57), ActivityKind::NRTL);
    EXPECT_EQ(cubicGeRule(60), GeMixingRule::HuronVidal);
    EXPECT_EQ(cubicGeActivity(60), ActivityKind::NRTL);
    EXPECT_EQ(cubicGeActivity(61), ActivityKind::Wilson);
    EXPECT_EQ(cubicGeRule(66), GeMixingRule::MHV2);
    EXPECT_EQ(cubicGeActivity(66), ActivityKind::UNIQUAC);
    EXPECT_EQ(cubicGeRule(72), GeMixingRule::LCVM);
    EXPECT_EQ(cubicGeActivity(70), ActivityKind::NRTL);
    EXPECT_FALSE(isCubicGeCode(50));
    EXPECT_FALSE(isCubicGeCode(11));
    // The published constant of the infinite-pressure rules.
    EXPECT_NEAR(kHuronVidalQ, -std::log((2 + std::sqrt(2.0)) / (2 - std::sqrt(2.0))) / (2 * std::sqrt(2.0)),
                1e-15);
}

TEST(CubicGe, EntriesFeedTheExcessModelInTheirLayout) {
    auto ws = ternary(57);
    const ActivityParams& p = ws->excessModel();
    EXPECT_DOUBLE_EQ(p.a[0 * 3 + 1], 2500.0);
    EXPECT_DOUBLE_EQ(p.a[1 * 3 + 0], 4000.0);
    EXPECT_DOUBLE_EQ(p.alpha[0 * 3 + 1], 0.25);
    EXPECT_DOUBLE_EQ(p.alpha[1 * 3 + 2], kNrtlDefaultAlpha);
    EXPECT_DOUBLE_EQ(ws->kij(0, 1), 0.05);
    EXPECT_DOUBLE_EQ(ws->kij(2, 1), -0.02);
    auto hv = ternary(60);
    EXPECT_DOUBLE_EQ(hv->excessModel().a[1 * 3 + 2], 3000.0);
    EXPECT_DOUBLE_EQ(hv->excessModel().a[2 * 3 + 1], 4500.0);
    EXPECT_DOUBLE_EQ(hv->excessModel().alpha[0 * 3 + 1], 0.25);
    // Entries of another model code do not reach the model.
    ModelInputs in = inputs({kToluene, kWater});
    addEntry(in, 1, 2, 11, {{0, 999.0}, {1, 999.0}});
    auto other = std::dynamic_pointer_cast<const CubicGeModel>(buildPhaseModel(60, in));
    EXPECT_DOUBLE_EQ(other->excessModel().a[1], 0.0);
}

TEST(CubicGe, StoredParametersFillPairsWithoutAnEntry) {
    constexpr std::int64_t kMethanol = 67561;
    double stored[5];
    ASSERT_TRUE(storedActivityParameters(ActivityKind::NRTL, kMethanol, kWater, stored));
    ModelInputs in = inputs({kMethanol, kWater});
    in.bipLoadLevel = 0;
    auto m = std::dynamic_pointer_cast<const CubicGeModel>(buildPhaseModel(67, in));
    EXPECT_DOUBLE_EQ(m->excessModel().a[1], stored[0]);
    EXPECT_DOUBLE_EQ(m->excessModel().a[2], stored[1]);
    // An explicit entry of the model wins over the stored values.
    addEntry(in, 1, 2, 67, {{0, 100.0}, {1, 200.0}});
    m = std::dynamic_pointer_cast<const CubicGeModel>(buildPhaseModel(67, in));
    EXPECT_DOUBLE_EQ(m->excessModel().a[1], 100.0);
    EXPECT_DOUBLE_EQ(m->excessModel().a[2], 200.0);
    // Without loadSB the pair is ideal.
    in.bips.clear();
    in.bipLoadLevel = -1;
    m = std::dynamic_pointer_cast<const CubicGeModel>(buildPhaseModel(67, in));
    EXPECT_DOUBLE_EQ(m->excessModel().a[1], 0.0);
}

TEST(CubicGe, UniquacTakesTabulatedAreaAndVolumeForMethane) {
    // Methane has no UNIFAC groups; UNIQUAC uses ChemSep's r = 1.1239, q = 1.152.
    auto m = buildPhaseModel(62, inputs({kMethane, kWater}));
    const auto& p = std::dynamic_pointer_cast<const CubicGeModel>(m)->excessModel();
    EXPECT_NEAR(p.r[0], 1.1239, 1e-12);
    EXPECT_NEAR(p.q[0], 1.152, 1e-12);
    EXPECT_NEAR(p.r[1], 0.92, 1e-12); // water from its groups
    EXPECT_THROW(buildPhaseModel(130, inputs({kMethane, kWater})), Error);
}

TEST_P(EachCode, MixingRuleIdentity) {
    const int code = GetParam();
    auto m = ternary(code);
    const double T = 340.0, x[3] = {0.3, 0.5, 0.2};
    double b, alpha, bi[3], ai[3];
    ASSERT_TRUE(m->mixture(T, x, b, alpha));
    for (int i = 0; i < 3; ++i) {
        double e[3] = {0, 0, 0};
        e[i] = 1.0;
        ASSERT_TRUE(m->mixture(T, e, bi[i], ai[i]));
    }
    const double g = reducedExcessGibbs(m->excessModel(), T, x);
    double sa = 0, sa2 = 0, sb = 0, slnb = 0;
    for (int i = 0; i < 3; ++i) {
        sa += x[i] * ai[i];
        sa2 += x[i] * ai[i] * ai[i];
        sb += x[i] * bi[i];
    }
    for (int i = 0; i < 3; ++i)
        slnb += x[i] * std::log(sb / bi[i]);
    switch (cubicGeRule(code)) {
    case GeMixingRule::HuronVidal:
        EXPECT_NEAR(b, sb, 1e-18);
        EXPECT_NEAR(alpha, sa + g / kHuronVidalQ, 1e-12 * alpha);
        break;
    case GeMixingRule::LCVM: {
        const double cv = kLcvmLambda / kLcvmAV, cm = (1 - kLcvmLambda) / kLcvmAM;
        EXPECT_NEAR(b, sb, 1e-18);
        EXPECT_NEAR(alpha, sa + (cv + cm) * g + cm * slnb, 1e-12 * alpha);
        break;
    }
    case GeMixingRule::MHV2:
        EXPECT_NEAR(b, sb, 1e-18);
        EXPECT_NEAR(kMhv2Q1 * (alpha - sa) + kMhv2Q2 * (alpha * alpha - sa2), g + slnb, 1e-11);
        break;
    case GeMixingRule::WongSandler: {
        // b - a/(RT) = b (1 - alpha) is the quadratic sum of the pairs' cross terms.
        double q = 0;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                q += x[i] * x[j] * 0.5 * (bi[i] * (1 - ai[i]) + bi[j] * (1 - ai[j])) * (1 - m->kij(i, j));
        EXPECT_NEAR(b * (1 - alpha), q, 1e-12 * std::fabs(q));
        EXPECT_NEAR(alpha, sa + g / kHuronVidalQ, 1e-12 * alpha);
        break;
    }
    }
}

TEST_P(EachCode, PureComponentIsPlainPengRobinson) {
    const int code = GetParam();
    ModelInputs in = inputs({kToluene});
    auto m = buildPhaseModel(code, in);
    CubicModel pr(CubicKind::PR, false, in.pure);
    const double x[1] = {1.0};
    for (auto [T, P, root] : {std::tuple{350.0, 1e5, Root::Liquid}, std::tuple{450.0, 2e5, Root::Vapour},
                              std::tuple{650.0, 5e6, Root::Stable}}) {
        PhaseProps a, b;
        ASSERT_TRUE(m->evaluate(T, P, x, root, 1, a));
        ASSERT_TRUE(pr.evaluate(T, P, x, root, 1, b));
        EXPECT_NEAR(a.v, b.v, 1e-12 * b.v);
        EXPECT_NEAR(a.lnphi[0], b.lnphi[0], 1e-10);
        EXPECT_NEAR(a.hres, b.hres, 1e-8 * std::fabs(b.hres) + 1e-9);
        EXPECT_NEAR(a.sres, b.sres, 1e-8 * std::fabs(b.sres) + 1e-9);
        EXPECT_NEAR(a.cpres, b.cpres, 1e-7 * std::fabs(b.cpres) + 1e-9);
        EXPECT_NEAR(a.dlnphi_dT[0], b.dlnphi_dT[0], 1e-9 * std::fabs(b.dlnphi_dT[0]));
        EXPECT_EQ(a.kind, b.kind);
    }
    // A component of a mixture at x_i = 1 has its pure fugacity coefficient.
    auto mix = ternary(code);
    CubicModel water(CubicKind::PR, false, inputs({kWater}).pure);
    const double xw[3] = {0.0, 1.0, 0.0}, one[1] = {1.0};
    PhaseProps a, b;
    ASSERT_TRUE(mix->evaluate(330, 1e5, xw, Root::Liquid, 0, a));
    ASSERT_TRUE(water.evaluate(330, 1e5, one, Root::Liquid, 0, b));
    EXPECT_NEAR(a.lnphi[1], b.lnphi[0], 1e-9);
    EXPECT_NEAR(a.v, b.v, 1e-11 * b.v);
}

namespace {
// Residual Helmholtz derivatives of a toluene-water-hexane-like ternary
// against central differences.
void expectResidualDerivatives(const std::shared_ptr<const CubicGeModel>& m) {
    const double T = 360.0;
    std::vector<double> n = {0.6, 0.9, 0.5};
    double roots[3];
    ASSERT_GT(m->volumeRoots(T, 1e5, n.data(), roots), 0);
    const double V = roots[0] * 2.0; // total volume of the liquid at 2 mol
    ResidualDerivs d, p, q;
    ASSERT_TRUE(m->residual(T, V, n.data(), 1, d));
    const double hT = 1e-4 * T, hV = 1e-5 * V, hn = 1e-6;
    ASSERT_TRUE(m->residual(T + hT, V, n.data(), 1, p));
    ASSERT_TRUE(m->residual(T - hT, V, n.data(), 1, q));
    EXPECT_LT(relErr(d.F_T, (p.F - q.F) / (2 * hT)), 1e-7);
    EXPECT_LT(relErr(d.F_TT, (p.F_T - q.F_T) / (2 * hT)), 1e-6);
    EXPECT_LT(relErr(d.F_TV, (p.F_V - q.F_V) / (2 * hT)), 1e-6);
    for (int i = 0; i < 3; ++i)
        EXPECT_LT(relErr(d.F_iT[i], (p.F_i[i] - q.F_i[i]) / (2 * hT)), 1e-6) << i;
    ASSERT_TRUE(m->residual(T, V + hV, n.data(), 1, p));
    ASSERT_TRUE(m->residual(T, V - hV, n.data(), 1, q));
    EXPECT_LT(relErr(d.F_V, (p.F - q.F) / (2 * hV)), 1e-7);
    EXPECT_LT(relErr(d.F_VV, (p.F_V - q.F_V) / (2 * hV)), 1e-6);
    for (int i = 0; i < 3; ++i)
        EXPECT_LT(relErr(d.F_iV[i], (p.F_i[i] - q.F_i[i]) / (2 * hV)), 1e-6) << i;
    for (int j = 0; j < 3; ++j) {
        std::vector<double> np = n, nm = n;
        np[j] += hn;
        nm[j] -= hn;
        ASSERT_TRUE(m->residual(T, V, np.data(), 1, p));
        ASSERT_TRUE(m->residual(T, V, nm.data(), 1, q));
        EXPECT_LT(relErr(d.F_i[j], (p.F - q.F) / (2 * hn)), 1e-7) << j;
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(d.F_ij[i * 3 + j], (p.F_i[i] - q.F_i[i]) / (2 * hn),
                        1e-6 * (1 + std::fabs(d.F_ij[i * 3 + j])))
                << i << "," << j;
    }
    // Order 0 gives the same first derivatives.
    ResidualDerivs z;
    ASSERT_TRUE(m->residual(T, V, n.data(), 0, z));
    EXPECT_DOUBLE_EQ(z.F, d.F);
    EXPECT_NEAR(z.F_T, d.F_T, 1e-14 * std::fabs(d.F_T));
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(z.F_i[i], d.F_i[i], 1e-13 * (1 + std::fabs(d.F_i[i])));
}

// Phase-property derivatives, Gibbs-Duhem and H, S, V from the fugacities.
void expectPhaseDerivatives(const std::shared_ptr<const CubicGeModel>& m) {
    for (auto [T, P, root] : {std::tuple{360.0, 1e5, Root::Liquid}, std::tuple{420.0, 1e5, Root::Vapour}}) {
        const std::vector<double> x = {0.3, 0.5, 0.2};
        PhaseProps a, p, q;
        ASSERT_TRUE(m->evaluate(T, P, x.data(), root, 1, a));
        const double hT = 1e-5 * T, hP = 1e-5 * P, h = 1e-6;
        ASSERT_TRUE(m->evaluate(T + hT, P, x.data(), root, 0, p));
        ASSERT_TRUE(m->evaluate(T - hT, P, x.data(), root, 0, q));
        for (int i = 0; i < 3; ++i)
            EXPECT_LT(relErr(a.dlnphi_dT[i], (p.lnphi[i] - q.lnphi[i]) / (2 * hT)), 1e-5);
        EXPECT_LT(relErr(a.dhres_dT, (p.hres - q.hres) / (2 * hT)), 1e-5);
        EXPECT_LT(relErr(a.dsres_dT, (p.sres - q.sres) / (2 * hT)), 1e-5);
        EXPECT_LT(relErr(a.dv_dT, (p.v - q.v) / (2 * hT)), 1e-5);
        ASSERT_TRUE(m->evaluate(T, P + hP, x.data(), root, 0, p));
        ASSERT_TRUE(m->evaluate(T, P - hP, x.data(), root, 0, q));
        for (int i = 0; i < 3; ++i)
            EXPECT_LT(relErr(a.dlnphi_dP[i], (p.lnphi[i] - q.lnphi[i]) / (2 * hP)), 1e-5);
        EXPECT_LT(relErr(a.dv_dP, (p.v - q.v) / (2 * hP)), 1e-5);
        EXPECT_LT(relErr(a.dhres_dP, (p.hres - q.hres) / (2 * hP)), 1e-4);
        for (int j = 0; j < 3; ++j) {
            std::vector<double> xp = x, xm = x;
            xp[j] += h;
            xm[j] -= h;
            ASSERT_TRUE(m->evaluate(T, P, xp.data(), root, 0, p));
            ASSERT_TRUE(m->evaluate(T, P, xm.data(), root, 0, q));
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(a.dlnphi_dn[i * 3 + j], (p.lnphi[i] - q.lnphi[i]) / (2 * h),
                            1e-5 * (1 + std::fabs(a.dlnphi_dn[i * 3 + j])));
            EXPECT_NEAR(a.dv_dx[j], (p.v - q.v) / (2 * h), 1e-5 * a.v);
            EXPECT_NEAR(a.dhres_dx[j], (p.hres - q.hres) / (2 * h), 1e-5 * (std::fabs(a.hres) + kR * T));
        }
        // Gibbs-Duhem and symmetry of d lnphi_i / d n_j.
        for (int j = 0; j < 3; ++j) {
            double s = 0;
            for (int i = 0; i < 3; ++i)
                s += x[i] * a.dlnphi_dn[i * 3 + j];
            EXPECT_NEAR(s, 0.0, 1e-10);
            for (int i = 0; i < 3; ++i)
                EXPECT_NEAR(a.dlnphi_dn[i * 3 + j], a.dlnphi_dn[j * 3 + i], 1e-10);
        }
        // Residual enthalpy, entropy and volume from the fugacities.
        double hr = 0, sr = 0, vr = 0;
        for (int i = 0; i < 3; ++i) {
            hr -= kR * T * T * x[i] * a.dlnphi_dT[i];
            sr -= kR * x[i] * (T * a.dlnphi_dT[i] + a.lnphi[i]);
            vr += kR * T * x[i] * a.dlnphi_dP[i];
        }
        EXPECT_NEAR(hr, a.hres, 1e-8 * (std::fabs(a.hres) + kR * T));
        EXPECT_NEAR(sr, a.sres, 1e-8 * (std::fabs(a.sres) + kR));
        EXPECT_NEAR(vr + kR * T / P, a.v, 1e-9 * a.v);
    }
}

} // namespace

TEST_P(EachCode, ResidualHelmholtzDerivativesAgainstDifferences) {
    expectResidualDerivatives(ternary(GetParam()));
}
TEST_P(EachCode, PhasePropertiesDerivativesAndConsistency) {
    expectPhaseDerivatives(ternary(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(AllCodes, EachCode, ::testing::ValuesIn(kCodes));

// Model 60 uses Huron and Vidal's NRTL (co-volume weights); pairs without
// parameters take the energies that turn the rule into the van der Waals one,
// so that without any parameters it is model 50 with the same k_ij.
TEST(CubicGe, HuronVidalNrtlWithoutParametersIsPengRobinsonVdw) {
    ModelInputs in = inputs({kMethane, 74986 /* propane */, kWater});
    in.bipLoadLevel = 0; // stored k_ij of the pairs
    addEntry(in, 1, 2, 50, {{0, 0.02}, {1, 0.01}, {2, -0.03}});
    auto hv = buildPhaseModel(60, in);
    auto pr = buildPhaseModel(50, in);
    const double x[3] = {0.3, 0.2, 0.5};
    for (auto [T, P, root] : {std::tuple{290.0, 2.4e6, Root::Liquid}, std::tuple{290.0, 2.4e6, Root::Vapour},
                              std::tuple{400.0, 1e5, Root::Stable}}) {
        PhaseProps a, b;
        ASSERT_TRUE(hv->evaluate(T, P, x, root, 1, a));
        ASSERT_TRUE(pr->evaluate(T, P, x, root, 1, b));
        EXPECT_NEAR(a.v, b.v, 1e-11 * b.v);
        EXPECT_NEAR(a.hres, b.hres, 1e-8 * (std::fabs(b.hres) + kR * T));
        EXPECT_NEAR(a.cpres, b.cpres, 1e-7 * (std::fabs(b.cpres) + kR));
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(a.lnphi[i], b.lnphi[i], 1e-9) << i;
            EXPECT_NEAR(a.dlnphi_dT[i], b.dlnphi_dT[i], 1e-9 * (1 + std::fabs(b.dlnphi_dT[i]))) << i;
            for (int j = 0; j < 3; ++j)
                EXPECT_NEAR(a.dlnphi_dn[i * 3 + j], b.dlnphi_dn[i * 3 + j],
                            1e-8 * (1 + std::fabs(b.dlnphi_dn[i * 3 + j])));
        }
    }
    // The stored water-methane k_ij is in effect (it differs from zero).
    double k;
    ASSERT_TRUE(storedKij(kMethane, kWater, false, k));
    EXPECT_NE(k, 0.0);
}

// The closed-form Helmholtz derivatives the models use equal the automatic
// differentiation of the same function (gas-like, liquid-like, near V = B).
TEST(CubicGe, ClosedFormHelmholtzDerivativesEqualAutomaticOnes) {
    const double B = 2.7e-5, D = 0.35;
    for (auto [T, V, N] : {std::tuple{300.0, 2.4e-3, 1.0}, std::tuple{250.0, 4.1e-5, 1.0},
                           std::tuple{420.0, 3.52e-5, 1.3}, std::tuple{150.0, 1e-1, 0.7}}) {
        double Fa, Fb, ga[5], gb[5], ha[25], hb[25];
        pengRobinsonHelmholtz(T, V, N, B * N, D * N * N, true, Fa, ga, ha);
        pengRobinsonHelmholtz(T, V, N, B * N, D * N * N, false, Fb, gb, hb);
        EXPECT_NEAR(Fa, Fb, 1e-13 * (1 + std::fabs(Fb))) << T;
        for (int a = 0; a < 5; ++a) {
            EXPECT_NEAR(ga[a], gb[a], 1e-12 * std::fabs(gb[a])) << T << " " << a;
            for (int b = 0; b < 5; ++b)
                // Second derivatives in B lose digits to cancellation in both
                // forms when V >> B (as (V / B)^2 eps).
                EXPECT_NEAR(ha[a * 5 + b], hb[a * 5 + b], 1e-9 * std::fabs(hb[a * 5 + b]) + 1e-300)
                    << T << " " << a << " " << b;
        }
    }
}

// NRTL pairs and van der Waals pairs side by side keep every derivative exact.
TEST(CubicGe, HuronVidalNrtlWithMixedPairs) {
    ModelInputs in = inputs({kToluene, kWater, kHexane});
    addEntry(in, 1, 2, 60, {{0, 2500.0}, {1, 4000.0}, {2, 0.25}});
    addEntry(in, 2, 3, 50, {{0, 0.45}, {2, 0.1}});
    auto m = std::dynamic_pointer_cast<const CubicGeModel>(buildPhaseModel(60, in));
    ASSERT_NE(m, nullptr);
    EXPECT_FALSE(m->excessModel().vdw.pair[0 * 3 + 1]);
    EXPECT_TRUE(m->excessModel().vdw.pair[1 * 3 + 2]);
    EXPECT_TRUE(m->excessModel().vdw.pair[2 * 3 + 0]);
    EXPECT_DOUBLE_EQ(m->excessModel().alpha[2 * 3 + 0], 0.0);
    expectResidualDerivatives(m);
    expectPhaseDerivatives(m);
}

// At infinite pressure the excess Gibbs energy of the Huron-Vidal equation is
// the activity model's: ln phi_i(x) - ln phi_i(pure) tends to ln gamma_i.
TEST(CubicGe, HuronVidalReducesToTheActivityModelAtInfinitePressure) {
    for (int code : {60, 61, 62}) {
        auto m = ternary(code);
        const double T = 350.0, x[3] = {0.3, 0.5, 0.2};
        double lng[3];
        lnGamma(m->excessModel(), T, x, lng);
        double prev = 1e300;
        for (double P : {1e10, 1e11, 1e12}) {
            PhaseProps mix;
            ASSERT_TRUE(m->evaluate(T, P, x, Root::Liquid, 0, mix));
            double err = 0;
            for (int i = 0; i < 3; ++i) {
                double e[3] = {0, 0, 0};
                e[i] = 1.0;
                PhaseProps pure;
                ASSERT_TRUE(m->evaluate(T, P, e, Root::Liquid, 0, pure));
                err = std::max(err, std::fabs(mix.lnphi[i] - pure.lnphi[i] - lng[i]));
            }
            // the departure falls as 1 / P
            EXPECT_LT(err, 0.2 * prev) << code << " P " << P;
            prev = err;
        }
        EXPECT_LT(prev, 1e-3) << code;
    }
}

// The Wong-Sandler mixture has the second virial coefficient
// B = sum sum x_i x_j (b - a/RT)_ij: (Z - 1) V at vanishing density.
TEST(CubicGe, WongSandlerSecondVirialCoefficientIsQuadratic) {
    auto m = ternary(55);
    const double T = 400.0, x[3] = {0.2, 0.5, 0.3};
    double bi[3], ai[3], b, alpha;
    for (int i = 0; i < 3; ++i) {
        double e[3] = {0, 0, 0};
        e[i] = 1.0;
        ASSERT_TRUE(m->mixture(T, e, bi[i], ai[i]));
    }
    ASSERT_TRUE(m->mixture(T, x, b, alpha));
    double B2 = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            B2 += x[i] * x[j] * 0.5 * (bi[i] * (1 - ai[i]) + bi[j] * (1 - ai[j])) * (1 - m->kij(i, j));
    const double V = 1e3; // m3 per mole: nearly ideal gas
    const double Z = m->pressure(T, V, x) * V / (kR * T);
    EXPECT_NEAR((Z - 1) * V, B2, 1e-5 * std::fabs(B2));
}

TEST(CubicGe, BadStatesFailCleanly) {
    auto m = ternary(67);
    const double x[3] = {0.3, 0.5, 0.2}, neg[3] = {-0.3, 0.5, 0.2}, zero[3] = {0, 0, 0};
    PhaseProps out;
    EXPECT_FALSE(m->evaluate(std::nan(""), 1e5, x, Root::Liquid, 1, out));
    EXPECT_FALSE(m->evaluate(300, -1, x, Root::Liquid, 1, out));
    EXPECT_FALSE(m->evaluate(300, 1e5, zero, Root::Liquid, 1, out));
    EXPECT_FALSE(m->evaluate(300, 1e5, neg, Root::Liquid, 1, out));
    ResidualDerivs d;
    double b = m->volumeScale(x);
    EXPECT_FALSE(m->residual(300, 0.5 * b, x, 1, d));
}

namespace {
void unitSet1() {
    for (int q = 15; q <= 54; ++q)
        setUMC(q, 1);
}
} // namespace

// Every code serves all fluid properties on a stream; a liquid-fraction flash
// of toluene-water-n-hexane at 1 atm lies below toluene's normal boiling point
// (the mixture boils near the toluene-water azeotrope), and the two halves
// hold the feed.
TEST(CubicGeStreams, LiquidFractionFlashOfTolueneWaterHexane) {
    unitSet1();
    const int s = 1901;
    for (int code : kCodes) {
        ASSERT_NE(initS(s), 0);
        setWm(s, 1.0);
        for (int p = 1; p <= 4; ++p)
            for (int ph = 0; ph < 2; ++ph)
                EXPECT_NE(setMP(s, p, ph, code), 0) << code;
        putZ(s, 1, 0.1635);
        putZ(s, 2, 0.8264);
        putZ(s, 3, 0.0101);
        putCC(s, 1, CompCID(static_cast<int>(kToluene)));
        putCC(s, 2, CompCID(static_cast<int>(kWater)));
        putCC(s, 3, CompCID(static_cast<int>(kHexane)));
        const int o = cubicGeRule(code) == GeMixingRule::WongSandler ? 1 : 0;
        putCi(s, 1, 1);
        putCj(s, 1, 2);
        putMB(s, 1, code);
        putBIP(s, 1, o + 0, 2500);
        putBIP(s, 1, o + 1, 4000);
        ASSERT_NE(setS(s), 0) << ErrMsg();
        const double T = LfPF(s, 101325, 0.5);
        ASSERT_TRUE(std::isfinite(T)) << code << " " << ErrMsg();
        EXPECT_GT(T, 300.0) << code;
        EXPECT_LT(T, 384.0) << code;
        // Material balance of the two halves.
        const double z[3] = {0.1635, 0.8264, 0.0101};
        for (int i = 1; i <= 3; ++i)
            EXPECT_NEAR(0.5 * getX(s, i) + 0.5 * getY(s, i), z[i - 1], 1e-6) << code;
    }
}

// The zero-pressure-reference rules (MHV2, LCVM) carry low-pressure gE
// parameters over to the equation of state: with the stored NRTL and Wilson
// parameters of methanol-water, bubble points at 1 atm agree with the
// gamma-phi liquid of the same parameters (model 10 / 11 over model 1's
// vapour) to the difference between Peng-Robinson's and the correlations'
// pure-component vapour pressures.
TEST(CubicGeStreams, ZeroPressureRulesReproduceGammaPhiBubblePoints) {
    unitSet1();
    const int s = 1902;
    auto bubble = [&](int code, bool activity, double x, double& y) {
        initS(s);
        setWm(s, 1.0);
        if (activity) {
            setMP(s, 1, 1, code);
        } else {
            setMP(s, 1, 0, code);
            setMP(s, 1, 1, code);
        }
        putZ(s, 1, x);
        putZ(s, 2, 1 - x);
        putCC(s, 1, CompCID(67561)); // methanol
        putCC(s, 2, CompCID(static_cast<int>(kWater)));
        setS(s);
        loadSB(s, 0);
        const double T = BPF(s, 101325);
        y = getY(s, 1);
        return T;
    };
    for (auto [code, ge] : {std::pair{65, 10}, std::pair{67, 11}, std::pair{70, 11}, std::pair{71, 10}})
        for (double x : {0.1, 0.3, 0.5, 0.8}) {
            double y, yRef;
            const double T = bubble(code, false, x, y);
            const double TRef = bubble(ge, true, x, yRef);
            ASSERT_TRUE(std::isfinite(T) && std::isfinite(TRef)) << code << " " << x << " " << ErrMsg();
            EXPECT_NEAR(T, TRef, 2.0) << code << " x " << x;
            EXPECT_NEAR(y, yRef, 0.015) << code << " x " << x;
        }
}

// Threads sharing the models (per-thread scratch space only) reproduce the
// serial results bit for bit.
TEST(CubicGe, ConcurrentEvaluationsMatchSerialOnes) {
    std::vector<std::shared_ptr<const CubicGeModel>> models;
    for (int code : kCodes)
        models.push_back(ternary(code));
    auto run = [&](int seed, std::vector<double>& out) {
        out.clear();
        for (int k = 0; k < 40; ++k) {
            const auto& m = models[(seed + k) % models.size()];
            const double T = 300.0 + 5.0 * ((seed * 7 + k) % 20);
            const double x[3] = {0.2 + 0.01 * (k % 10), 0.5, 0.3 - 0.01 * (k % 10)};
            PhaseProps p;
            const Root root = k % 2 ? Root::Vapour : Root::Liquid;
            if (!m->evaluate(T, 1e5, x, root, 1, p)) {
                out.push_back(-1);
                continue;
            }
            out.push_back(p.v);
            out.push_back(p.hres);
            for (double v : p.lnphi)
                out.push_back(v);
            for (double v : p.dlnphi_dn)
                out.push_back(v);
        }
    };
    constexpr int kThreads = 8;
    std::vector<std::vector<double>> serial(kThreads), parallel(kThreads);
    for (int t = 0; t < kThreads; ++t)
        run(t, serial[t]);
    std::vector<std::thread> pool;
    for (int t = 0; t < kThreads; ++t)
        pool.emplace_back([&, t] { run(t, parallel[t]); });
    for (auto& th : pool)
        th.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(serial[t], parallel[t]) << t;
}
