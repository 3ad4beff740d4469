// Steady-state model evaluation and the flash's inner loops allocate no heap
// memory: their workspaces are per thread and sized once.  This binary
// replaces the global operator new to count allocations.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "components/database.h"
#include "equilibrium/engine.h"
#include "equilibrium/stability.h"
#include "equilibrium/tp_flash.h"
#include "tests/support/stream_defs.h"

namespace {
std::atomic<long> allocations{0};
}

// The replacements below pair malloc with free; the compiler cannot see that
// every pointer freed here came from the replaced operator new.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

using namespace zpk;

namespace {

// The battery's sixteen-component natural gas (SRK) at 245.6 K, 6932575 Pa.
streams::StreamDef naturalGas() {
    return testsupport::streamDef(testsupport::kNaturalGas16, 30);
}

// Allocations made by f after one warm-up call.
template <class F> long allocationsOf(F&& f) {
    f();
    const long before = allocations.load();
    f();
    return allocations.load() - before;
}

constexpr double kT = 245.6, kP = 6932575;

} // namespace

TEST(Allocations, NoneInModelEvaluationStabilityOrEquilibriumLoops) {
    const engine::StreamSystem sys(naturalGas());
    const auto& fl = sys.fluid();
    const double* z = sys.feed().data();
    equilibrium::FlashResult r;
    ASSERT_TRUE(equilibrium::flashTP(fl, kT, kP, z, r));
    ASSERT_EQ(r.phases.size(), 2u);

    models::PhaseProps props;
    for (int order : {0, 1})
        EXPECT_EQ(allocationsOf([&] {
                      EXPECT_TRUE(equilibrium::evalPhase(fl, kT, kP, r.phases[1].x.data(),
                                                         models::Root::Stable, order, props));
                  }),
                  0)
            << "order " << order;

    std::vector<double> d(fl.size()), best(fl.size());
    ASSERT_TRUE(equilibrium::evalPhase(fl, kT, kP, z, models::Root::Stable, 0, props));
    for (int i = 0; i < fl.size(); ++i)
        d[i] = std::log(z[i]) + props.lnphi[i];
    EXPECT_EQ(allocationsOf([&] { equilibrium::stabilityTest(fl, kT, kP, z, d.data(), best); }), 0);

    // Equilibrium iterations from perturbed compositions that keep the
    // material balance: the second phase moved towards the first.
    std::vector<equilibrium::Phase> start = r.phases, phases;
    const double b0 = start[0].beta, b1 = start[1].beta;
    for (int i = 0; i < fl.size(); ++i) {
        start[1].x[i] = 0.98 * r.phases[1].x[i] + 0.02 * r.phases[0].x[i];
        start[0].x[i] = (z[i] - b1 * start[1].x[i]) / b0;
    }
    phases.reserve(start.size());
    int iterations = 0;
    EXPECT_EQ(allocationsOf([&] {
                  phases = start;
                  EXPECT_TRUE(equilibrium::solveEquilibrium(fl, kT, kP, z, phases, &iterations));
              }),
              0);
    EXPECT_GT(iterations, 2) << "the start must need iterations";
}
