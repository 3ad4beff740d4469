// Data regression procedure against the test double: the regression's
// return code, the mean deviation of the regressed fractions (summed over
// liquid and vapour, divided by the number of points), the bubble and dew
// checks with their point numbers, and the exact input arithmetic.
#include <cmath>
#include <string>
#include <vector>

#include "battery_harness.h"

namespace {

using zpkdouble::Call;

class RegressionTest : public suitesb::BatteryTest {
  protected:
    // The measured points as the procedure hands them to BRegr.
    std::vector<int> flags;
    std::vector<double> x, y, T;
    double lastWaterFraction = std::nan("");

    // BRegr answers with the measured fractions scaled by 1 + deviation.
    void regressWithDeviation(double deviation, int result = 1) {
        zpkdouble::setHandler("BRegr", [this, deviation, result](const Call& c) {
            const int n = static_cast<int>(c.num.at(6));
            flags.assign(c.array<int>(0), c.array<int>(0) + n);
            x.assign(c.array<double>(1), c.array<double>(1) + n);
            y.assign(c.array<double>(2), c.array<double>(2) + n);
            T.assign(c.array<double>(3), c.array<double>(3) + n);
            for (int i = 0; i < n; ++i) {
                c.array<double>(6)[i] = x[i] * (1 + deviation);
                c.array<double>(7)[i] = y[i] * (1 + deviation);
            }
            return double(result);
        });
    }
    // Bubble and dew temperatures: the measured temperature of the point
    // whose water fraction was put last.
    void saturateAtMeasuredTemperatures() {
        zpkdouble::setHandler("putZ", [this](const std::vector<double>& a) {
            if (a[1] == 1) lastWaterFraction = a[2];
            return 1.0;
        });
        zpkdouble::setHandler("LfPF", [this](const std::vector<double>& a) {
            const std::vector<double>& fractions = a[2] == 0.99999 ? x : y;
            for (std::size_t i = 0; i < fractions.size(); ++i)
                if (fractions[i] == lastWaterFraction) return T[i];
            return 0.0;
        });
    }
    static std::string mod(int number, int m) {
        return "Error(" + std::to_string(number) + ") BREGR() mod : " + std::to_string(m);
    }
    static std::string point(int number, int m, int i) {
        return mod(number, m) + " pt : " + std::to_string(i);
    }
};

TEST_F(RegressionTest, FailedRegressionReportsOnceAndPointsAreStillChecked) {
    zpkdouble::setReturn("LfPF", std::nan(""));
    fixture->testRegression();
    EXPECT_EQ(messages(), (std::vector<std::string>{mod(1, 0), mod(1, 1), mod(1, 2)}));
    EXPECT_EQ(zpkdouble::count("LfPF"), 3u * 12u * 2u);
}

TEST_F(RegressionTest, ExactRegressionAndSaturationGiveNoMessage) {
    regressWithDeviation(0);
    saturateAtMeasuredTemperatures();
    fixture->testRegression();
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(zpkdouble::count("setUMC") + zpkdouble::count("getUMC"), 0u); // units left as found
    EXPECT_EQ(callsOffOwnStreams("BRegr"), 0u);
    EXPECT_EQ(callsOffOwnStreams("LfPF"), 0u);
}

TEST_F(RegressionTest, MeanDeviationSumsBothPhasesOverTwelvePoints) {
    // 15 % off in both phases: 0.3 per point over twelve points fails the
    // 0.2 limit (divided by 24 it would pass).
    regressWithDeviation(0.15);
    saturateAtMeasuredTemperatures();
    fixture->testRegression();
    EXPECT_EQ(messages(), (std::vector<std::string>{mod(2, 0), mod(2, 1), mod(2, 2)}));

    errorText.fill('\0');
    regressWithDeviation(0.05);
    fixture->testRegression();
    EXPECT_TRUE(messages().empty());
}

TEST_F(RegressionTest, BubbleAndDewMessagesCountPointsAndConfigurationsFromZero) {
    regressWithDeviation(0);
    zpkdouble::setReturn("LfPF", 0);
    fixture->testRegression();
    const std::vector<std::string> all = messages();
    ASSERT_EQ(all.size(), 3u * 24u);
    EXPECT_EQ(all[0], point(3, 0, 0));
    EXPECT_EQ(all[1], point(4, 0, 0));
    EXPECT_EQ(all[23], point(4, 0, 11));
    EXPECT_EQ(all[24], point(3, 1, 0));
    EXPECT_EQ(all.back(), point(4, 2, 11));
}

TEST_F(RegressionTest, InputsAreComputedFromTheMeasurementsExactly) {
    regressWithDeviation(0);
    fixture->testRegression();
    ASSERT_EQ(T.size(), 12u);
    EXPECT_EQ(T[3], 71.2 + 273.15); // 344.34999999999997, not 344.35
    EXPECT_EQ(y[0], 1 - 0.979);     // 0.02100000000000002
    const Call first = zpkdouble::calls("BRegr").at(0);
    EXPECT_EQ(first.num, (std::vector<double>{base + 1, 2, 1, 1, 0, 5, 12}));
    EXPECT_EQ(flags, std::vector<int>(12, 1));
}

} // namespace
