// Second-order jets: a function of two arguments evaluated on two-variable
// jets and carried to more variables by the chain rule equals the function
// evaluated on the many-variable jets directly.
#include <gtest/gtest.h>

#include <cmath>

#include "thermo/jet.h"

namespace {

using zpk::thermo::Jet;

template <class S> S sample(const S& u, const S& w) {
    using zpk::thermo::exp;
    using zpk::thermo::log;
    return u * exp(-0.3 * w * w) / (1.0 + u * u) + log(w) * u * u * u;
}

TEST(Jet, ComposedTwoArgumentFunctionEqualsDirectEvaluation) {
    using J3 = Jet<3>;
    using J2 = Jet<2>;
    const J3 a = J3::seed(0.7, 0), b = J3::seed(1.9, 1), c = J3::seed(-0.4, 2);
    // Inner functions with non-zero first and second derivatives in all three.
    const J3 u = a * b + c * c * a, w = b / (2.0 + a * c) + 1.5;
    const J3 direct = sample(u, w);
    const J3 composed = zpk::thermo::compose(sample(J2::seed(u.v, 0), J2::seed(w.v, 1)), u, w);
    EXPECT_NEAR(composed.v, direct.v, 1e-15 * std::fabs(direct.v));
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(composed.d(i), direct.d(i), 1e-14 * (1 + std::fabs(direct.d(i)))) << i;
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(composed.d2(i, j), direct.d2(i, j), 1e-13 * (1 + std::fabs(direct.d2(i, j))))
                << i << " " << j;
    }
}

} // namespace
