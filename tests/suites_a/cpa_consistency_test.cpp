// CPA consistency sub-procedure against the recording double.
#include <cmath>
#include <map>
#include <memory>

#include "suite_harness.h"
#include "zpk/zpk.h"

namespace {

using zpkdouble::Call;

// A model world in which every slot gives the same volume and fugacities,
// linear in T, P and x, with exact analytic derivatives: every agreement
// and finite-difference check passes.  The number of components of a slot
// follows the stream that DPinit binds to it.
struct LinearWorld {
    std::map<int, int> components; // per stream
    std::map<int, int> slotSize;   // per slot
    // Error added to dF_i/dx_m of slot 1 (the model under test).
    double slotOneCompositionError = 0;
    // StrFvd of slot 3 at this temperature reads F_1 off by 1e-6 relative.
    double perturbedTemperature = -1;
    // StrVv returns 0 at this pressure.
    double failingPressure = -1;

    static double volume(double T, double P, const double* x, int n) {
        double v = 1e-4 * T + 1e-9 * P;
        for (int m = 0; m < n; ++m)
            v += 0.01 * (m + 1) * x[m];
        return v;
    }
    static double dVdx(int m) { return 0.01 * (m + 1); }
    static double fugacity(int i, double T, double P, const double* x, int n) {
        double f = 10.0 * (i + 1) * T + 0.5 * P;
        for (int m = 0; m < n; ++m)
            f += dFdx(i, m) * x[m];
        return f;
    }
    static double dFdx(int i, int m) { return 100.0 * (i + 1) + 7.0 * (m + 1); }

    static std::shared_ptr<LinearWorld> install() {
        auto w = std::make_shared<LinearWorld>();
        zpkdouble::setHandler("initS", [w](const std::vector<double>& a) {
            w->components[static_cast<int>(a[0])] = 0;
            return 1.0;
        });
        zpkdouble::setHandler("putCC", [w](const std::vector<double>& a) {
            int& n = w->components[static_cast<int>(a[0])];
            n = std::max(n, static_cast<int>(a[1]));
            return 1.0;
        });
        zpkdouble::setHandler("DPinit", [w](const std::vector<double>& a) {
            w->slotSize[static_cast<int>(a[0])] = w->components[static_cast<int>(a[1])];
            return 1.0;
        });
        zpkdouble::setReturn("LfPF", 250);
        zpkdouble::setReturn("getX", 1.0 / 3);
        zpkdouble::setHandler("StrVv", [w](const Call& c) {
            if (c.num[3] == w->failingPressure) return 0.0;
            const int n = w->slotSize[static_cast<int>(c.num[0])];
            *c.array<double>(1) = volume(c.num[2], c.num[3], c.array<double>(0), n);
            return 1.0;
        });
        zpkdouble::setHandler("StrVvd", [w](const Call& c) {
            const int n = w->slotSize[static_cast<int>(c.num[0])];
            *c.array<double>(1) = volume(c.num[2], c.num[3], c.array<double>(0), n);
            *c.array<double>(2) = 1e-4;
            *c.array<double>(3) = 1e-9;
            for (int m = 0; m < n; ++m)
                c.array<double>(4)[m] = dVdx(m);
            return 1.0;
        });
        zpkdouble::setHandler("StrFv", [w](const Call& c) {
            const int n = w->slotSize[static_cast<int>(c.num[0])];
            for (int i = 0; i < n; ++i)
                c.array<double>(1)[i] = fugacity(i, c.num[2], c.num[3], c.array<double>(0), n);
            return 1.0;
        });
        zpkdouble::setHandler("StrFvd", [w](const Call& c) {
            const int slot = static_cast<int>(c.num[0]);
            const int n = w->slotSize[slot];
            double** dx = c.array<double*>(4);
            for (int i = 0; i < n; ++i) {
                c.array<double>(1)[i] = fugacity(i, c.num[2], c.num[3], c.array<double>(0), n);
                c.array<double>(2)[i] = 10.0 * (i + 1);
                c.array<double>(3)[i] = 0.5;
                for (int m = 0; m < n; ++m)
                    dx[m][i] = dFdx(i, m) + (slot == 1 ? w->slotOneCompositionError : 0);
            }
            if (slot == 3 && c.num[2] == w->perturbedTemperature) c.array<double>(1)[0] *= 1 + 1e-6;
            return 1.0;
        });
        return w;
    }
};

class CpaConsistency : public SuiteTest {};

TEST_F(CpaConsistency, ConsistentModelsRecordNothing) {
    LinearWorld::install();
    fixture().DCPA(116, 51, 111, 2, "CPAPRNLVM");
    fixture().DCPA(111, 51, 111, 1, "CPAPR vs PRX");
    EXPECT_EQ(errorText(), "");
}

// StrFvd calls of the pure-water loop (at 1 bar).
std::vector<double> pureWaterTemperatures() {
    std::vector<double> out;
    for (const Call& c : zpkdouble::calls("StrFvd"))
        if (c.num[3] == 100000) out.push_back(c.num[2]);
    return out;
}

TEST_F(CpaConsistency, CaseOneSkipsThePureWaterLoop) {
    LinearWorld::install();
    fixture().DCPA(111, 51, 111, 1, "CPAPR vs PRX");
    EXPECT_TRUE(pureWaterTemperatures().empty());

    SetUp();
    LinearWorld::install();
    fixture().DCPA(115, 51, 111, 2, "CPAPRNHV");
    const auto T = pureWaterTemperatures();
    ASSERT_EQ(T.size(), 60u);
    EXPECT_EQ(T.front(), 220);
    EXPECT_EQ(T.back(), 307);
}

TEST_F(CpaConsistency, LastPureWaterTemperatureAloneFailsTheCall) {
    auto world = LinearWorld::install();
    world->perturbedTemperature = 307;
    fixture().DCPA(116, 51, 111, 2, "CPAPRNLVM");
    EXPECT_EQ(errorText(), "\r\ncycle 1 Error executing DCPA() CPAPRNLVM  ");
    EXPECT_EQ(zpkdouble::count("LfPF"), 0u) << "the procedure ends at its first failure";
}

TEST_F(CpaConsistency, PressureStepsAtThreeBarAreThreePascal) {
    LinearWorld::install();
    fixture().DCPA(111, 51, 111, 1, "CPAPR vs PRX");
    bool forwardVolume = false, fugacityUp = false, fugacityDown = false;
    for (const Call& c : zpkdouble::calls("StrVv"))
        forwardVolume = forwardVolume || c.num[3] == 300003;
    for (const Call& c : zpkdouble::calls("StrFv")) {
        fugacityUp = fugacityUp || c.num[3] == 300003;
        fugacityDown = fugacityDown || c.num[3] == 299997;
    }
    EXPECT_TRUE(forwardVolume);
    EXPECT_TRUE(fugacityUp);
    EXPECT_TRUE(fugacityDown);
}

TEST_F(CpaConsistency, SmallCompositionDerivativeErrorOfAFugacityNeverFails) {
    // |F| is about 1.5e5 at 3 bar: an error of 100 is below 0.001 |F+| although
    // it is far above 10 % of the derivative.
    auto world = LinearWorld::install();
    world->slotOneCompositionError = 100;
    fixture().DCPA(111, 51, 111, 1, "CPAPR vs PRX");
    EXPECT_EQ(errorText(), "");

    SetUp();
    world = LinearWorld::install();
    world->slotOneCompositionError = 1000;
    fixture().DCPA(111, 51, 111, 1, "CPAPR vs PRX");
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing DCPA() CPAPR vs PRX "});
}

TEST_F(CpaConsistency, ZeroResultOfAPropertyCallEndsTheProcedure) {
    auto world = LinearWorld::install();
    world->failingPressure = 300003;
    fixture().DCPA(111, 51, 111, 1, "CPAPR vs PRX");
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing DCPA() CPAPR vs PRX "});
    // The vapour volume's pressure step is the first check of slot 1.
    for (const Call& c : zpkdouble::calls("StrFvd"))
        EXPECT_NE(c.num[0], 1.0);
}

} // namespace
