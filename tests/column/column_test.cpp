// The distillation column DCOL through the C interface (unit set 1): overall
// mass, component and energy balances, a binary column at total reflux
// against the stage-by-stage (McCabe-Thiele / Fenske) separation computed
// from the library's own phase equilibrium, specifications that are met,
// side draws, the restart from a previous solution, threads, and bad
// arguments that fail without touching any stream.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <thread>
#include <vector>

#include "tests/operations/op_streams.h"
#include "zpk/zpk.h"

namespace {

constexpr int kSrk = 30;
constexpr int kMethane = 74828, kWater = 7732185;
constexpr int kEthane = 74840, kPropane = 74986, kIsobutane = 75285, kNButane = 106978, kNHexane = 110543;

using optest::unitSet1;

// An SRK stream with the stored interaction parameters.
void define(int s, double massFlow, std::initializer_list<int> cas, std::initializer_list<double> z) {
    optest::define(s, massFlow, kSrk, cas, z);
    loadSB(s, 0);
}

// Component molar flows (kmol/s) of a stream.
std::vector<double> molarFlows(int s) {
    const int n = getCNr(s);
    std::vector<double> f(n);
    const double total = getWm(s) / StrMw(s);
    for (int i = 0; i < n; ++i)
        f[i] = total * getZ(s, i + 1);
    return f;
}

// The arrays of one column call.
struct Column {
    int stages;
    std::vector<double> heat, pressure, efficiency, guess;
    int top = 3, bottom = 4;
    std::vector<int> feeds, feedStages;
    std::vector<int> draws, drawStages, drawKinds;
    std::vector<double> drawAmounts;
    std::vector<int> a, b, c;
    std::vector<double> values;
    double duties[2] = {0, 0};
    std::vector<double> results = std::vector<double>(1024, 0.0);

    Column(int n, double pTop, double pBottom)
        : stages(n), heat(n, 0.0), pressure(n), efficiency(n, 1.0), guess(n, 0.0) {
        for (int k = 0; k < n; ++k)
            pressure[k] = pBottom + (pTop - pBottom) * k / std::max(n - 1, 1);
    }
    void spec(int place, int kind, int component, double value) {
        a.push_back(place);
        b.push_back(kind);
        c.push_back(component);
        values.push_back(value);
    }
    int run(int mode = 0) {
        return DCOL(1, stages, mode, heat.data(), pressure.data(), efficiency.data(), guess.data(), top,
                    bottom, static_cast<int>(feeds.size()), feeds.data(), feedStages.data(),
                    static_cast<int>(draws.size()), draws.data(), drawStages.data(), drawKinds.data(),
                    drawAmounts.data(), static_cast<int>(values.size()), duties, a.data(), b.data(), c.data(),
                    values.data(), results.data());
    }
};

class ColumnTest : public ::testing::Test {
  protected:
    void SetUp() override { unitSet1(); }

    // Light hydrocarbons at their bubble point at 1.5 MPa.
    void lightFeed(int s, double massFlow = 2.0) {
        define(s, massFlow, {kEthane, kPropane, kIsobutane, kNButane, kNHexane}, {0.08, 0.3, 0.1, 0.22, 0.3});
        ASSERT_GT(LfPF(s, 1.5e6, 1.0), 0) << ErrMsg();
    }
};

// Mass per component, total mass and energy close on a column with a
// reflux-ratio and a boil-up specification.
TEST_F(ColumnTest, BalancesCloseWithCondenserAndReboiler) {
    lightFeed(1);
    Column col(15, 1.5e6, 1.56e6);
    col.feeds = {1};
    col.feedStages = {8};
    col.spec(1, 1, 0, 2.0); // reflux ratio L/D
    col.spec(2, 1, 0, 1.5); // boil-up ratio V/B
    const double h1 = StrH(1);
    const auto f = molarFlows(1);
    ASSERT_EQ(col.run(), 1) << ErrMsg();
    EXPECT_NEAR(getWm(3) + getWm(4), getWm(1), 1e-9 * getWm(1));
    const auto d = molarFlows(3), bt = molarFlows(4);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(d[i] + bt[i], f[i], 1e-9 * f[i]) << "component " << i + 1;
        EXPECT_NEAR(col.results[i], d[i], 1e-9 * f[i]) << "top flow in the result array";
        EXPECT_NEAR(col.results[5 + i], bt[i], 1e-9 * f[i]) << "bottom flow in the result array";
    }
    EXPECT_GT(col.duties[0], 0);
    EXPECT_GT(col.duties[1], 0);
    EXPECT_NEAR(h1 + col.duties[0], StrH(3) + StrH(4) + col.duties[1], 1e-8 * std::fabs(h1));
    // Specifications: L/D = 2 and V/B = 1.5 show in the duties' sizes only
    // indirectly; the split is sharp: ethane leaves at the top, hexane below.
    EXPECT_GT(d[0] / f[0], 0.99);
    EXPECT_GT(bt[4] / f[4], 0.99);
    // Stage temperatures rise from the top to the bottom.
    for (int k = 1; k < 15; ++k)
        EXPECT_GT(col.results[10 + k - 1], col.results[10 + k]) << "stage " << k;
}

// Propane / n-butane: on an equilibrium stage of a binary at given T and P
// both phase compositions are fixed, so the library's two-phase flash at each
// stage temperature gives x_j and y_j.  They must reproduce the products and,
// through the component balance around the top stage (the step of a
// McCabe-Thiele diagram from the condenser), the specified reflux ratio:
// R = L_N / D = (y_N - y_{N-1}) / (y_{N-1} - x_N).  Around the bottom stage
// the boil-up ratio V_1 / B = (x_2 - x_B) / (y_1 - x_2) must equal its
// specification as well.
TEST_F(ColumnTest, BinaryStagesFollowMcCabeThieleSteps) {
    define(1, 1.0, {kPropane, kNButane}, {0.5, 0.5});
    ASSERT_GT(LfPF(1, 1e6, 1.0), 0) << ErrMsg();
    const int N = 8;
    Column col(N, 1e6, 1e6);
    col.feeds = {1};
    col.feedStages = {4};
    col.spec(1, 1, 0, 2.0); // reflux ratio
    col.spec(2, 1, 0, 1.6); // boil-up ratio
    ASSERT_EQ(col.run(), 1) << ErrMsg();
    std::vector<double> x(N), y(N);
    define(2, 1.0, {kPropane, kNButane}, {0.5, 0.5});
    for (int k = 0; k < N; ++k) {
        const double T = col.results[4 + k];
        // Bisection on the overall propane fraction until the flash at
        // (T, P) splits (more propane: more vapour).
        bool split = false;
        double lo = 0, hi = 1;
        for (int it = 0; it < 60 && !split; ++it) {
            const double z = 0.5 * (lo + hi);
            putZ(2, 1, z);
            putZ(2, 2, 1 - z);
            setS(2);
            ASSERT_EQ(setOp(2, T, 1e6), 1) << ErrMsg();
            const double lf = StrLf(2);
            if (lf >= 1) {
                lo = z;
            } else if (lf <= 0) {
                hi = z;
            } else {
                x[k] = getX(2, 1);
                y[k] = getY(2, 1);
                split = true;
            }
        }
        ASSERT_TRUE(split) << "stage " << k + 1 << " at " << T << " K is not two-phase";
    }
    EXPECT_NEAR(getZ(3, 1), y[N - 1], 1e-7);
    EXPECT_NEAR(getZ(4, 1), x[0], 1e-7);
    EXPECT_NEAR((y[N - 1] - y[N - 2]) / (y[N - 2] - x[N - 1]), 2.0, 1e-5);
    EXPECT_NEAR((x[1] - x[0]) / (y[0] - x[1]), 1.6, 1e-5);
    // Propane enriches upwards, stage by stage.
    for (int k = 1; k < N; ++k)
        EXPECT_GT(x[k], x[k - 1]) << "stage " << k + 1;
}

// Side draws (liquid and vapour) of given fractions of the feed, two feeds,
// stage efficiencies below one and a recovery specification.
TEST_F(ColumnTest, SideDrawsEfficiencyAndRecoverySpecification) {
    lightFeed(1, 2.0);
    define(2, 0.5, {kEthane, kPropane, kNHexane}, {0.6, 0.3, 0.1});
    ASSERT_GT(LfPF(2, 1.5e6, 0.5), 0) << ErrMsg();
    Column col(12, 1.5e6, 1.56e6);
    std::fill(col.efficiency.begin(), col.efficiency.end(), 0.85);
    col.feeds = {1, 2};
    col.feedStages = {5, 9};
    col.draws = {5, 6};
    col.drawStages = {3, 8};
    col.drawKinds = {1, 0}; // liquid, vapour
    col.drawAmounts = {0.05, 0.1};
    col.spec(1, 1, 0, 3.0); // reflux ratio
    col.spec(3, 7, 5, 0.8); // 80 % of the hexane in the bottom product
    const auto f1 = molarFlows(1), f2 = molarFlows(2);
    const double h = StrH(1) + StrH(2);
    double fTotal = 0;
    for (double v : f1)
        fTotal += v;
    for (double v : f2)
        fTotal += v;
    ASSERT_EQ(col.run(), 1) << ErrMsg();
    EXPECT_NEAR(getWm(3) + getWm(4) + getWm(5) + getWm(6), getWm(1) + getWm(2), 1e-9 * getWm(1));
    EXPECT_NEAR(h + col.duties[0], StrH(3) + StrH(4) + StrH(5) + StrH(6) + col.duties[1],
                1e-8 * std::fabs(h));
    const auto l = molarFlows(5), v = molarFlows(6);
    double nl = 0, nv = 0;
    for (double x : l)
        nl += x;
    for (double x : v)
        nv += x;
    EXPECT_NEAR(nl, 0.05 * fTotal, 1e-9 * fTotal);
    EXPECT_NEAR(nv, 0.1 * fTotal, 1e-9 * fTotal);
    const double hexaneFeed = f1[4] + f2[2]; // the second feed's third position is hexane
    EXPECT_NEAR(col.results[5 + 4] / hexaneFeed, 0.8, 1e-8);
    // The liquid draw is colder (lower in the column) than the vapour draw.
    EXPECT_GT(getT(5), getT(6));
}

// Without specifications there is neither reboiler nor condenser: an
// absorber, adiabatic, whose duties are zero.
TEST_F(ColumnTest, AbsorberWithoutSpecificationsIsAdiabatic) {
    define(1, 1.0, {kEthane, kPropane, kNButane, kNHexane}, {0.5, 0.3, 0.15, 0.05});
    ASSERT_EQ(setOp(1, 300, 2e6), 1) << ErrMsg(); // gas at the bottom
    define(2, 3.0, {kNHexane, kNButane}, {0.95, 0.05});
    ASSERT_EQ(setOp(2, 290, 2e6), 1) << ErrMsg(); // lean oil at the top
    Column col(6, 2e6, 2.01e6);
    col.feeds = {1, 2};
    col.feedStages = {1, 6};
    const double h = StrH(1) + StrH(2);
    ASSERT_EQ(col.run(), 1) << ErrMsg();
    EXPECT_EQ(col.duties[0], 0);
    EXPECT_EQ(col.duties[1], 0);
    EXPECT_NEAR(StrH(3) + StrH(4), h, 1e-8 * std::fabs(h));
    EXPECT_NEAR(getWm(3) + getWm(4), 4.0, 1e-9);
    // The oil takes up propane: the gas leaving has less of it than it brought.
    const auto top = molarFlows(3);
    const auto gas = molarFlows(1);
    EXPECT_LT(top[1], gas[1]);
}

// The same absorber with its feeds a few tenths of a kelvin and a few
// thousandths of the flow apart: every one converges to a balanced column
// (Newton's method from a single start stalled on some of them).
TEST_F(ColumnTest, AbsorberConvergesAtNeighbouringFeeds) {
    int failed = 0;
    // Accumulated steps, so the grid's values are not round numbers.
    for (double dT1 = -0.5; dT1 <= 0.5001; dT1 += 0.1)
        for (double dT2 = -0.5; dT2 <= 0.5001; dT2 += 0.25)
            for (double f = 0.999; f <= 1.0011; f += 0.001) {
                define(1, f, {kEthane, kPropane, kNButane, kNHexane}, {0.5, 0.3, 0.15, 0.05});
                ASSERT_EQ(setOp(1, 300 + dT1, 2e6), 1) << ErrMsg();
                define(2, 3.0, {kNHexane, kNButane}, {0.95, 0.05});
                ASSERT_EQ(setOp(2, 290 + dT2, 2e6), 1) << ErrMsg();
                Column col(6, 2e6, 2.01e6);
                col.feeds = {1, 2};
                col.feedStages = {1, 6};
                const double h = StrH(1) + StrH(2);
                if (col.run() != 1) {
                    ++failed;
                    ADD_FAILURE() << "dT1 " << dT1 << " dT2 " << dT2 << " f " << f << ": " << ErrMsg();
                    continue;
                }
                EXPECT_NEAR(StrH(3) + StrH(4), h, 1e-8 * std::fabs(h));
                EXPECT_NEAR(getWm(3) + getWm(4), f + 3.0, 1e-9);
            }
    EXPECT_EQ(failed, 0);
}

// Round trips: a column solved with ratio specifications is solved again
// with its own duties, stage temperature, product mole fraction or
// recovery as specifications, and must come out the same.  A heat input on
// one stage counts in the first returned duty.
TEST_F(ColumnTest, SpecificationsOfEveryKindReproduceTheSameColumn) {
    lightFeed(1);
    auto base = [] {
        Column col(12, 1.5e6, 1.55e6);
        col.feeds = {1};
        col.feedStages = {6};
        col.heat[8] = 5.0; // kJ/s added on stage 9
        return col;
    };
    Column ref = base();
    ref.spec(1, 1, 0, 2.5); // reflux ratio
    ref.spec(2, 1, 0, 1.2); // boil-up ratio
    ASSERT_EQ(ref.run(), 1) << ErrMsg();
    const double h1 = StrH(1);
    EXPECT_NEAR(h1 + ref.duties[0], StrH(3) + StrH(4) + ref.duties[1], 1e-8 * std::fabs(h1));
    const double reboiler = ref.duties[0] - 5.0, condenser = ref.duties[1];
    const double tTop = ref.results[10 + 11], tBottom = ref.results[10];
    const double yEthane = getZ(3, 1);
    const double propaneTop = ref.results[1];
    const double propaneFeed = molarFlows(1)[1];
    auto same = [&](Column& col, const char* what) {
        ASSERT_EQ(col.run(), 1) << what << ": " << ErrMsg();
        for (int k = 0; k < 22; ++k)
            EXPECT_NEAR(col.results[k], ref.results[k], 1e-6 * std::fabs(ref.results[k]) + 1e-12)
                << what << " " << k;
        EXPECT_NEAR(col.duties[0], ref.duties[0], 1e-6 * std::fabs(ref.duties[0])) << what;
        EXPECT_NEAR(col.duties[1], ref.duties[1], 1e-6 * std::fabs(ref.duties[1])) << what;
    };
    {
        Column col = base();
        col.spec(1, 6, 0, condenser); // condenser duty
        col.spec(2, 6, 0, reboiler);  // reboiler duty
        same(col, "duties");
    }
    {
        Column col = base();
        col.spec(1, 1, 0, 2.5);
        col.spec(2, 4, 0, tBottom); // bottom stage temperature
        same(col, "bottom temperature");
    }
    {
        Column col = base();
        col.spec(1, 4, 0, tTop); // top stage temperature
        col.spec(2, 1, 0, 1.2);
        same(col, "top temperature");
    }
    {
        Column col = base();
        col.spec(4, 5, 1, yEthane); // ethane mole fraction in the top product (rises with the reflux)
        col.spec(2, 1, 0, 1.2);
        same(col, "mole fraction");
    }
    {
        Column col = base();
        col.spec(1, 1, 0, 2.5);
        col.spec(1, 7, 2, propaneTop / propaneFeed); // propane recovery in the top product (one per side)
        same(col, "recovery");
    }
}

// Water fed with a hydrocarbon oil forms a second liquid on every stage:
// the stages split their liquid, so the products leave in equilibrium (the
// gas a single vapour, the bottom liquid two liquids that a three-phase flash
// at its state finds again) and the balances close.
TEST_F(ColumnTest, WaterFormsASecondLiquidOnTheStages) {
    define(1, 1.0, {kMethane, kEthane, kPropane}, {0.6, 0.3, 0.1});
    ASSERT_EQ(setOp(1, 300, 2e6), 1) << ErrMsg();
    define(2, 3.0, {kNHexane, kWater}, {0.7, 0.3});
    ASSERT_EQ(setOp(2, 300, 2e6), 1) << ErrMsg();
    Column col(6, 2e6, 2.01e6);
    col.feeds = {1, 2};
    col.feedStages = {1, 6};
    const double h = StrH(1) + StrH(2);
    ASSERT_EQ(col.run(), 1) << ErrMsg();
    EXPECT_NEAR(StrH(3) + StrH(4), h, 1e-8 * std::fabs(h));
    EXPECT_NEAR(getWm(3) + getWm(4), 4.0, 1e-9);
    EXPECT_EQ(StrLf(3), 0.0) << "the gas leaving the top is a single vapour";
    const double T = getT(4), P = getP(4);
    putKO(4, 1);
    ASSERT_EQ(setOp(4, T, P), 1) << ErrMsg();
    ASSERT_EQ(getPNr(), 2) << "the bottom liquid is two liquids";
    EXPECT_EQ(StrPt(4, 1), 1);
    EXPECT_EQ(StrPt(4, 2), 1);
    // Nearly all water leaves with the liquid.
    const auto w = molarFlows(4);
    const double waterFed = 3.0 / StrMw(2) * getZ(2, 2);
    EXPECT_GT(w[4] / waterFed, 0.99);
}

// Mode 1 starts from the thread's previous solution and reaches the same
// column.
TEST_F(ColumnTest, RestartFromThePreviousSolutionGivesTheSameColumn) {
    lightFeed(1);
    Column col(10, 1.5e6, 1.55e6);
    col.feeds = {1};
    col.feedStages = {5};
    col.spec(1, 3, 0, 0.6); // internal reflux L/V at the top
    col.spec(2, 2, 0, 0.5); // bottom product half the feed
    ASSERT_EQ(col.run(0), 1) << ErrMsg();
    const std::vector<double> first(col.results.begin(), col.results.begin() + 20);
    const double q0 = col.duties[0], q1 = col.duties[1];
    ASSERT_EQ(col.run(1), 1) << ErrMsg();
    for (int k = 0; k < 20; ++k)
        EXPECT_NEAR(col.results[k], first[k], 1e-8 * std::fabs(first[k]) + 1e-14) << k;
    EXPECT_NEAR(col.duties[0], q0, 1e-8 * std::fabs(q0));
    EXPECT_NEAR(col.duties[1], q1, 1e-8 * std::fabs(q1));
    // The internal reflux ratio 0.6 means an external one of 1.5; the
    // bottom product is half the feed.
    const auto b = molarFlows(4), f = molarFlows(1);
    double nb = 0, nf = 0;
    for (int i = 0; i < 5; ++i)
        nb += b[i], nf += f[i];
    EXPECT_NEAR(nb / nf, 0.5, 1e-9);
}

// Columns on several threads at once, each on its own streams, agree with
// the same column computed alone.
TEST_F(ColumnTest, ThreadsComputeIndependentColumns) {
    auto compute = [](int base, double* out) {
        define(base + 1, 2.0, {kEthane, kPropane, kIsobutane, kNButane, kNHexane},
               {0.08, 0.3, 0.1, 0.22, 0.3});
        LfPF(base + 1, 1.5e6, 1.0);
        Column col(8, 1.5e6, 1.54e6);
        col.top = base + 3;
        col.bottom = base + 4;
        col.feeds = {base + 1};
        col.feedStages = {4};
        col.spec(1, 1, 0, 2.0);
        col.spec(2, 1, 0, 1.0);
        *out = col.run() ? StrH(base + 3) : std::nan("");
    };
    double alone = 0;
    compute(200, &alone);
    ASSERT_TRUE(std::isfinite(alone)) << ErrMsg();
    std::vector<double> r(4, 0.0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            unitSet1();
            compute(300 + 10 * t, &r[t]);
        });
    for (auto& t : threads)
        t.join();
    for (double v : r)
        EXPECT_NEAR(v, alone, 1e-9 * std::fabs(alone));
}

// Bad arguments: each call returns 0 with a message and leaves the product
// streams as they were.
TEST_F(ColumnTest, BadArgumentsFailCleanly) {
    lightFeed(1);
    define(3, 7.0, {kPropane}, {1.0});
    ASSERT_EQ(setOp(3, 300, 1e6), 1);
    define(4, 9.0, {kPropane}, {1.0});
    ASSERT_EQ(setOp(4, 300, 1e6), 1);
    auto unchanged = [] {
        EXPECT_EQ(getWm(3), 7.0);
        EXPECT_EQ(getWm(4), 9.0);
        EXPECT_EQ(getCNr(3), 1);
    };
    auto base = [] {
        Column col(6, 1.5e6, 1.55e6);
        col.feeds = {1};
        col.feedStages = {3};
        col.spec(1, 1, 0, 2.0);
        col.spec(2, 1, 0, 1.0);
        return col;
    };
    auto expectFailure = [&](Column col, const char* what) {
        setErrFlag(0);
        EXPECT_EQ(col.run(), 0) << what;
        EXPECT_NE(getErrFlag(), 0) << what;
        EXPECT_GT(std::strlen(ErrMsg()), 0u) << what;
        unchanged();
    };
    {
        Column col = base();
        col.stages = 1;
        expectFailure(col, "one stage");
    }
    {
        Column col = base();
        col.feedStages = {7};
        expectFailure(col, "feed stage beyond the column");
    }
    {
        Column col = base();
        col.feeds = {77}; // never defined
        expectFailure(col, "undefined feed");
    }
    {
        Column col = base();
        col.b[0] = 99;
        expectFailure(col, "unknown specification");
    }
    {
        Column col = base();
        col.top = col.bottom;
        expectFailure(col, "same product stream twice");
    }
    {
        Column col = base();
        col.values[1] = -1;
        expectFailure(col, "negative boil-up ratio");
    }
    {
        Column col = base();
        col.spec(1, 2, 0, 0.5);
        expectFailure(col, "three specifications");
    }
    {
        Column col = base();
        col.pressure[2] = std::nan("");
        expectFailure(col, "pressure not a number");
    }
    {
        Column col = base();
        col.drawKinds = {5};
        col.draws = {5};
        col.drawStages = {2};
        col.drawAmounts = {0.1};
        expectFailure(col, "side-draw kind");
    }
    // Null arrays.
    setErrFlag(0);
    Column col = base();
    EXPECT_EQ(DCOL(1, 6, 0, nullptr, nullptr, nullptr, nullptr, 3, 4, 1, col.feeds.data(),
                   col.feedStages.data(), 0, nullptr, nullptr, nullptr, nullptr, 2, col.duties, col.a.data(),
                   col.b.data(), col.c.data(), col.values.data(), col.results.data()),
              0);
    unchanged();
    EXPECT_EQ(DCOL(1, 6, 0, nullptr, col.pressure.data(), nullptr, nullptr, 3, 4, 1, nullptr, nullptr, 0,
                   nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr, nullptr, nullptr, nullptr,
                   nullptr),
              0);
    unchanged();
    EXPECT_EQ(DCOL(1, 6, 0, nullptr, col.pressure.data(), nullptr, nullptr, 3, 4, 1, col.feeds.data(),
                   col.feedStages.data(), 0, nullptr, nullptr, nullptr, nullptr, 2, col.duties, nullptr,
                   nullptr, nullptr, nullptr, nullptr),
              0);
    unchanged();
    // An infeasible column (a top product larger than the feed) fails to
    // converge and also leaves the products alone.
    Column bad = base();
    bad.a = {1};
    bad.b = {2};
    bad.c = {0};
    bad.values = {1.5};
    expectFailure(bad, "top product larger than the feed");
}

} // namespace
