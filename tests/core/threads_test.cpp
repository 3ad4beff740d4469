// Thread blocks of stream numbers and a 50-thread hammer test of the store
// (meaningful under ThreadSanitizer: every thread works on its own block
// while sharing the table, the units and the error machinery).
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cmath>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "streams/store.h"
#include "zpk/zpk.h"

namespace {

using namespace zpk::streams;

TEST(ThreadBlocks, DistinctBasesStableWithinAThread) {
    std::vector<int> bases(kThreadBlocks);
    std::barrier sync(kThreadBlocks);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreadBlocks; ++t)
        threads.emplace_back([&, t] {
            bases[t] = getASNr();
            EXPECT_EQ(getASNr(), bases[t]) << "same base when asked again";
            sync.arrive_and_wait();  // all blocks held at once
        });
    for (auto& th : threads) th.join();
    std::set<int> distinct(bases.begin(), bases.end());
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(kThreadBlocks));
    for (int b : bases) {
        EXPECT_GE(b, kFirstThreadBase);
        EXPECT_EQ((b - kFirstThreadBase) % kBlockSize, 0);
        EXPECT_LE(b + kBlockSize, kCapacity);
    }
}

TEST(ThreadBlocks, ExhaustionReportsAndBlocksAreReused) {
    std::barrier sync(kThreadBlocks + 1);
    std::atomic<int> failures{0};
    std::vector<std::thread> holders;
    for (int t = 0; t < kThreadBlocks; ++t)
        holders.emplace_back([&] {
            if (getASNr() < 0) ++failures;
            sync.arrive_and_wait();  // all taken
            sync.arrive_and_wait();  // checked
        });
    sync.arrive_and_wait();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(blocksInUse(), kThreadBlocks);
    std::thread extra([] {
        setErrFlag(0);
        EXPECT_EQ(getASNr(), -1);
        EXPECT_NE(std::string(ErrMsg()).find("getASNr: all 50 thread blocks"), std::string::npos) << ErrMsg();
    });
    extra.join();
    sync.arrive_and_wait();
    for (auto& h : holders) h.join();
    EXPECT_EQ(blocksInUse(), 0) << "blocks released when their threads ended";

    // Threads started later get blocks again (over many generations).
    for (int generation = 0; generation < 3; ++generation) {
        std::vector<std::thread> again;
        std::atomic<int> ok{0};
        for (int t = 0; t < kThreadBlocks; ++t)
            again.emplace_back([&] {
                if (getASNr() >= kFirstThreadBase) ++ok;
            });
        for (auto& th : again) th.join();
        EXPECT_EQ(ok.load(), kThreadBlocks);
    }
}

TEST(StoreHammer, FiftyThreadsOnTheirOwnStreams) {
    constexpr int kThreads = 50;
    constexpr int kRounds = 200;
    const int methane = CompCID(74828), ethane = CompCID(74840), propane = CompCID(74986);
    ASSERT_GT(methane, 0);
    std::atomic<int> mismatches{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            const int base = getASNr();
            if (base < 0) {
                ++mismatches;
                return;
            }
            for (int r = 0; r < kRounds; ++r) {
                const int s = base + 1 + r % 3;
                const double z = 0.1 + 0.001 * t;
                initS(s);
                setWm(s, t + 1.0);
                setMP(s, 1, 0, 30);
                setMP(s, 1, 1, 30);
                putZ(s, 1, z);
                putZ(s, 2, 1 - z);
                putCC(s, 1, methane);
                putCC(s, 2, r % 2 ? ethane : propane);
                putCi(s, 1, 1);
                putCj(s, 1, 2);
                putBIP(s, 1, 0, 0.01 * t);
                putN(s, const_cast<char*>("hammer"));
                if (setS(s) != 1) ++mismatches;
                putT(s, 200 + t);
                // Copy within the block (locks two streams) and read back.
                StrCopyOp(base + 4, s);
                if (getZ(base + 4, 1) != z || getWm(base + 4) != t + 1.0 || getT(base + 4) != 200 + t ||
                    getCC(base + 4, 2) != (r % 2 ? ethane : propane) || getBIP(base + 4, 1, 0) != 0.01 * t ||
                    std::string(StrN(base + 4)) != "hammer" || getMP(s, 1, 0) != 30)
                    ++mismatches;
                // Shared read-only paths: units and error state.
                if (getUMC(15) != 1 || DPinit(1, s) != 1) ++mismatches;
                if (putZ(s, 0, 1) != 0 || std::string(ErrMsg()).find("putZ") != 0) ++mismatches;
                setErrFlag(0);
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches.load(), 0);
}

TEST(StoreHammer, CopiesInBothDirectionsDoNotDeadlock) {
    // Two threads copying between the same pair in opposite order.
    const int methane = CompCID(74828);
    for (int s : {1, 2}) {
        initS(s);
        putZ(s, 1, 1);
        putCC(s, 1, methane);
        setS(s);
    }
    std::thread a([] {
        for (int i = 0; i < 5000; ++i) StrCopy(1, 2);
    });
    std::thread b([] {
        for (int i = 0; i < 5000; ++i) StrCopy(2, 1);
    });
    a.join();
    b.join();
    EXPECT_EQ(isSDef(1), 1);
    EXPECT_EQ(isSDef(2), 1);
}

}  // namespace
