// The elimination of the column's Newton systems against a plain dense
// elimination with partial pivoting: nearly banded matrices (block
// tridiagonal plus full rows), pivoting across blocks, singular matrices.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "operations/nearly_banded.h"

namespace {

using zpk::operations::solveNearlyBanded;

// Gaussian elimination with partial pivoting over the whole matrix.
bool solveDense(std::vector<double> A, std::vector<double>& b, int n) {
    for (int k = 0; k < n; ++k) {
        int p = k;
        for (int r = k + 1; r < n; ++r)
            if (std::fabs(A[r * n + k]) > std::fabs(A[p * n + k])) p = r;
        if (!(std::fabs(A[p * n + k]) > 0)) return false;
        for (int c = 0; c < n; ++c)
            std::swap(A[k * n + c], A[p * n + c]);
        std::swap(b[k], b[p]);
        for (int r = k + 1; r < n; ++r) {
            const double w = A[r * n + k] / A[k * n + k];
            for (int c = k; c < n; ++c)
                A[r * n + c] -= w * A[k * n + c];
            b[r] -= w * b[k];
        }
    }
    for (int k = n - 1; k >= 0; --k) {
        for (int c = k + 1; c < n; ++c)
            b[k] -= A[k * n + c] * b[c];
        b[k] /= A[k * n + k];
    }
    return true;
}

// Block-tridiagonal matrix of blocks x size, with the given rows full.
std::vector<double> nearlyBanded(int blocks, int size, const std::vector<int>& fullRows, std::mt19937& rng) {
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const int n = blocks * size;
    std::vector<double> A(static_cast<std::size_t>(n) * n, 0.0);
    for (int r = 0; r < n; ++r) {
        const int block = r / size;
        const int first = std::max(0, block - 1) * size, last = std::min(blocks, block + 2) * size;
        for (int c = first; c < last; ++c)
            A[r * n + c] = u(rng);
    }
    for (int r : fullRows)
        for (int c = 0; c < n; ++c)
            A[r * n + c] = u(rng);
    return A;
}

TEST(NearlyBanded, EqualsTheDenseEliminationBitForBit) {
    std::mt19937 rng(7);
    for (const std::vector<int>& full :
         {std::vector<int>{}, std::vector<int>{0}, std::vector<int>{0, 45}, std::vector<int>{44, 20}}) {
        const int blocks = 10, size = 5, n = blocks * size;
        const std::vector<double> A = nearlyBanded(blocks, size, full, rng);
        std::vector<double> b(n);
        for (int i = 0; i < n; ++i)
            b[i] = std::sin(i + 1.0);
        std::vector<double> expected = b, got = b, work = A;
        ASSERT_TRUE(solveDense(A, expected, n));
        ASSERT_TRUE(solveNearlyBanded(work, got, n));
        for (int i = 0; i < n; ++i)
            EXPECT_EQ(got[i], expected[i]) << "row " << i;
        // And it solves the system.
        for (int r = 0; r < n; ++r) {
            double s = 0;
            for (int c = 0; c < n; ++c)
                s += A[r * n + c] * got[c];
            EXPECT_NEAR(s, b[r], 1e-9);
        }
    }
}

TEST(NearlyBanded, PivotsAcrossBlocksAndRejectsSingularMatrices) {
    // A zero diagonal forces the pivot from the next block.
    std::vector<double> A = {0, 1, 0, 0, 2, 0, 1, 0, 0, 3, 0, 1, 0, 0, 4, 5};
    std::vector<double> b = {1, 2, 3, 4}, expected = b;
    ASSERT_TRUE(solveDense(A, expected, 4));
    std::vector<double> work = A;
    ASSERT_TRUE(solveNearlyBanded(work, b, 4));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(b[i], expected[i]);

    std::vector<double> singular = {1, 2, 0, 2, 4, 0, 0, 0, 1};
    std::vector<double> rhs = {1, 1, 1};
    EXPECT_FALSE(solveNearlyBanded(singular, rhs, 3));
    std::vector<double> zeroRow = {1, 0, 0, 0};
    rhs = {1, 1};
    EXPECT_FALSE(solveNearlyBanded(zeroRow, rhs, 2));
}

} // namespace
