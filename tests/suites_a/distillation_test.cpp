// Distillation procedure against the recording double.
#include <cmath>
#include <memory>
#include <set>

#include "suite_harness.h"
#include "zpk/zpk.h"

namespace {

using zpkdouble::Call;

// A column library whose products balance the feeds exactly: every feed
// (streams 1 and 2) carries 1 unit of mass and enthalpy, the products
// (streams 3 to 6) share the feeds of the last column equally, the returned
// duties are 0 and the recovery of data set 6 is as specified.
struct ColumnWorld {
    std::set<int> failingCalls;                 // DCOL calls (from 1) that return 0
    int imbalancedCall = 0;                     // DCOL call whose product enthalpy is off ...
    double imbalance = 0;                       // ... by this relative amount
    double recovery = 1e-5;                     // result element 7 (6 components + 1)
    int calls = 0;                              // DCOL calls so far
    int feeds = 0, draws = 0;                   // of the last DCOL call
    std::vector<std::vector<double>> pressures; // stage pressures per call

    static std::shared_ptr<ColumnWorld> install() {
        auto w = std::make_shared<ColumnWorld>();
        zpkdouble::setHandler("DCOL", [w](const Call& c) {
            ++w->calls;
            w->feeds = static_cast<int>(c.num[5]);
            w->draws = static_cast<int>(c.num[6]);
            const double* p = c.array<double>(1);
            w->pressures.emplace_back(p, p + static_cast<int>(c.num[1]));
            double* duties = c.array<double>(10);
            duties[0] = duties[1] = 0;
            c.array<double>(15)[7] = w->recovery;
            return w->failingCalls.count(w->calls) ? 0.0 : 1.0;
        });
        auto value = [w](bool energy) {
            return [w, energy](const std::vector<double>& a) {
                const int stream = static_cast<int>(a[0]) - streamBase();
                if (stream <= 2) return 1.0;
                double share = static_cast<double>(w->feeds) / (2 + w->draws);
                if (energy && w->calls == w->imbalancedCall) share *= 1 + w->imbalance;
                return share;
            };
        };
        zpkdouble::setHandler("getWm", value(false));
        zpkdouble::setHandler("StrH", value(true));
        zpkdouble::setReturn("getCNr", 6);
        zpkdouble::setReturn("getZ", 0.5);
        zpkdouble::setReturn("StrMw", 1);
        return w;
    }
};

class Distillation : public SuiteTest {};

TEST_F(Distillation, BalancedColumnsRecordNothing) {
    auto world = ColumnWorld::install();
    fixture().testDistillation();
    EXPECT_EQ(errorText(), "");
    EXPECT_EQ(world->calls, 9);
    EXPECT_EQ(zpkdouble::count("getUMC"), 0u) << "no unit check";
}

TEST_F(Distillation, OnlyDataSetOneFailingRecordsNothing) {
    auto world = ColumnWorld::install();
    world->failingCalls = {1};
    fixture().testDistillation();
    EXPECT_EQ(errorText(), "");
}

TEST_F(Distillation, DataSetTwoMessageNamesTheOutcomeOfDataSetOne) {
    auto world = ColumnWorld::install();
    world->failingCalls = {2};
    fixture().testDistillation();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing FRACTEST() dataset 1"});

    SetUp();
    world = ColumnWorld::install();
    world->failingCalls = {1, 2};
    fixture().testDistillation();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing FRACTEST() dataset 2"});
}

TEST_F(Distillation, DataSetOneToleratesAFewPerMilleOfEnergyImbalance) {
    auto world = ColumnWorld::install();
    world->failingCalls = {2};
    world->imbalancedCall = 1;
    world->imbalance = 0.0015;
    fixture().testDistillation();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing FRACTEST() dataset 1"});

    SetUp();
    world = ColumnWorld::install();
    world->failingCalls = {2};
    world->imbalancedCall = 1;
    world->imbalance = 0.0025;
    fixture().testDistillation();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing FRACTEST() dataset 2"});
}

TEST_F(Distillation, DataSetTwoFailsOnTwoPartsPerMillion) {
    auto world = ColumnWorld::install();
    world->imbalancedCall = 2;
    world->imbalance = 2e-6;
    fixture().testDistillation();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing FRACTEST() dataset 1"});
}

TEST_F(Distillation, DataSetTenMessageFollowsDataSetsEightAndNine) {
    struct Case {
        std::set<int> failing;
        const char* expected;
    };
    // DCOL calls: data set 8 is the seventh, 9 the eighth, 10 the ninth.
    for (const Case& c : {Case{{9}, "Error executing FRACTEST() dataset 8"},
                          Case{{7, 9}, "Error executing FRACTEST() dataset 9"},
                          Case{{8, 9}, "Error executing FRACTEST() dataset 10"},
                          Case{{7, 8, 9}, "Error executing FRACTEST() dataset 10"}}) {
        SetUp();
        auto world = ColumnWorld::install();
        world->failingCalls = c.failing;
        fixture().testDistillation();
        EXPECT_EQ(entries(), std::vector<std::string>{c.expected});
    }
}

TEST_F(Distillation, DataSetsEightAndNineRecordNothingThemselves) {
    auto world = ColumnWorld::install();
    world->failingCalls = {7, 8};
    fixture().testDistillation();
    EXPECT_EQ(errorText(), "");
}

TEST_F(Distillation, RepeatedColumnIsCalculatedInMode1) {
    ColumnWorld::install();
    fixture().testDistillation();
    const auto dcol = zpkdouble::calls("DCOL");
    ASSERT_EQ(dcol.size(), 9u);
    for (std::size_t i = 0; i < dcol.size(); ++i)
        EXPECT_EQ(dcol[i].num[2], i == 7 ? 1.0 : 0.0);
    // The same arguments otherwise (the pointers are the same arrays too).
    auto repeated = dcol[7].num;
    repeated[2] = 0;
    EXPECT_EQ(repeated, dcol[6].num);
    EXPECT_EQ(dcol[7].ptr, dcol[6].ptr);
}

TEST_F(Distillation, RecoveryOfExactly1e5TimesTheFeedPasses) {
    auto world = ColumnWorld::install();
    world->recovery = 1e-5 * (1 + 2e-6);
    fixture().testDistillation();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing FRACTEST() dataset 6"});
}

TEST_F(Distillation, RecoveryIsCheckedEvenWhenTheColumnFails) {
    auto world = ColumnWorld::install();
    world->failingCalls = {5};
    fixture().testDistillation();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing FRACTEST() dataset 6"});
    EXPECT_EQ(zpkdouble::count("getCNr"), 1u);
}

TEST_F(Distillation, FeedsAreFlashedAtTheirStagePressures) {
    auto world = ColumnWorld::install();
    setStreamBase(60);
    fixture().testDistillation();
    const auto lfpf = zpkdouble::calls("LfPF");
    ASSERT_EQ(lfpf.size(), 7u);
    ASSERT_EQ(world->pressures.size(), 9u);
    EXPECT_EQ(lfpf[0].num[1], world->pressures[1][25]); // data set 2, stage 26
    EXPECT_EQ(lfpf[1].num[1], world->pressures[2][0]);  // data set 3, stage 1
    EXPECT_EQ(lfpf[2].num[1], world->pressures[3][2]);  // data set 5, stage 3
    EXPECT_EQ(lfpf[5].num[1], world->pressures[6][9]);  // data set 8, stage 10
    EXPECT_EQ(lfpf[6].num[1], world->pressures[8][0]);  // data set 10, stage 1
    for (const Call& c : lfpf)
        EXPECT_TRUE(c.num[0] == 61 || c.num[0] == 62);
    // Data set 8 brings stream 2 to the pressure of stage 30.
    const auto setOp = zpkdouble::calls("setOp");
    bool found = false;
    for (const Call& c : setOp)
        found = found || (c.num[0] == 62 && c.num[2] == world->pressures[6][29]);
    EXPECT_TRUE(found);
}

} // namespace
