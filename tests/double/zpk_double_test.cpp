// Checks of the recording test double itself: the suites' tests rely on its
// log and programmed results being exact.
#include "zpk_double.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <thread>

#include "zpk/zpk.h"

namespace {

class DoubleTest : public ::testing::Test {
  protected:
    void SetUp() override { zpkdouble::reset(); }
    void TearDown() override { zpkdouble::reset(); }
};

TEST_F(DoubleTest, DefaultsAreZeroAndEmptyText) {
    EXPECT_EQ(initS(3), 0);
    EXPECT_EQ(StrH(3), 0.0);
    char* name = StrN(3);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "");
    EXPECT_GE(zpkdouble::interfaceSize(), 273); // every declaration of zpk.h
}

TEST_F(DoubleTest, RecordsArgumentsByKind) {
    char text[] = "feed";
    putN(4, text);
    double first[2] = {0, 0}, second[2] = {0, 0};
    PELine(7, 1, first, second, 2);
    auto log = zpkdouble::calls();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].name, "putN");
    EXPECT_EQ(log[0].num, std::vector<double>{4.0});
    EXPECT_EQ(log[0].text, std::vector<std::string>{"feed"});
    EXPECT_EQ(log[1].name, "PELine");
    EXPECT_EQ(log[1].num, (std::vector<double>{7.0, 1.0, 2.0}));
    ASSERT_EQ(log[1].ptr.size(), 2u);
    EXPECT_EQ(log[1].ptr[0], first);
    EXPECT_EQ(log[1].ptr[1], second);
    EXPECT_EQ(zpkdouble::count("putN"), 1u);
    EXPECT_EQ(zpkdouble::count("StrH"), 0u);
}

TEST_F(DoubleTest, SequenceRepeatsLastValueAndIntTruncates) {
    zpkdouble::setReturnSequence("getT", {1.5, 2.5});
    EXPECT_EQ(getT(0), 1.5);
    EXPECT_EQ(getT(0), 2.5);
    EXPECT_EQ(getT(0), 2.5);
    zpkdouble::setReturn("getErrFlag", 3.9);
    EXPECT_EQ(getErrFlag(), 3);
    zpkdouble::setReturn("initS", std::nan(""));
    EXPECT_EQ(initS(1), 0);
    zpkdouble::setReturn("StrS", std::nan(""));
    EXPECT_TRUE(std::isnan(StrS(1)));
}

TEST_F(DoubleTest, HandlersSeeArgumentsAndFillArrays) {
    zpkdouble::setHandler("HPF", [](const std::vector<double>& a) { return a[1] + a[2]; });
    EXPECT_EQ(HPF(1, 2.0, 3.0, 0.0), 5.0);
    zpkdouble::setHandler("PELine", [](const zpkdouble::Call& c) {
        double* first = c.array<double>(0);
        double* second = c.array<double>(1);
        for (int i = 0; i < 3; ++i)
            first[i] = second[i] = i;
        return 3.0;
    });
    double f[3] = {-1, -1, -1}, s[3] = {-1, -1, -1};
    EXPECT_EQ(PELine(0, 0, f, s, 3), 3);
    EXPECT_EQ(f[2], 2.0);
    EXPECT_EQ(s[1], 1.0);
}

TEST_F(DoubleTest, TextsAreProgrammableAndStayValid) {
    zpkdouble::setTextReturnSequence("ErrMsg", {"first", "second"});
    char* a = ErrMsg();
    char* b = ErrMsg();
    EXPECT_STREQ(a, "first");
    EXPECT_STREQ(b, "second");
    zpkdouble::setTextHandler("CompN", [](const zpkdouble::Call& c) {
        return "comp" + std::to_string(static_cast<int>(c.num[0]));
    });
    EXPECT_STREQ(CompN(12), "comp12");
}

TEST_F(DoubleTest, ResetForgetsProgramsAndLog) {
    zpkdouble::setReturn("getP", 7.0);
    getP(1);
    zpkdouble::reset();
    EXPECT_EQ(zpkdouble::totalCalls(), 0u);
    EXPECT_EQ(getP(1), 0.0);
}

TEST_F(DoubleTest, ConcurrentCallsAreAllLogged) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 500; ++i)
                putT(t, i);
        });
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(zpkdouble::count("putT"), 4000u);
}

} // namespace
