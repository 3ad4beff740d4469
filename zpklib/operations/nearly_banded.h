// Linear solve of the Newton systems of staged operations.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace zpk::operations {

// Solves A x = b (A row-major n x n, overwritten; b becomes x) by Gaussian
// elimination with partial pivoting, for matrices that are nearly banded
// such as a column's block-tridiagonal Jacobian with a few specification
// rows.  Each row's last nonzero column (reach) and each column's last row
// that may hold a nonzero (low) are tracked, so the pivot search, the
// eliminated rows and the row operations stop there instead of at the
// matrix's last row and column.  The skipped entries are zeros: the result
// is that of the full elimination.  False when a pivot is zero or not
// finite, or the solution is not finite.
inline bool solveNearlyBanded(std::vector<double>& A, std::vector<double>& b, int n) {
    thread_local std::vector<int> reach, low;
    reach.assign(n, -1);
    low.assign(n, -1);
    for (int r = 0; r < n; ++r) {
        const double* row = &A[static_cast<std::size_t>(r) * n];
        int first = n;
        for (int col = 0; col < n; ++col)
            if (row[col] != 0) {
                first = col;
                break;
            }
        for (int col = n - 1; col >= first; --col)
            if (row[col] != 0) {
                reach[r] = col;
                break;
            }
        for (int col = first; col <= reach[r]; ++col)
            low[col] = r;
    }
    for (int k = 0; k < n; ++k) {
        int p = k;
        double best = std::fabs(A[static_cast<std::size_t>(k) * n + k]);
        for (int r = k + 1; r <= low[k]; ++r) {
            const double v = std::fabs(A[static_cast<std::size_t>(r) * n + k]);
            if (v > best) best = v, p = r;
        }
        if (!(best > 0) || !std::isfinite(best)) return false;
        if (p != k) {
            std::swap_ranges(A.begin() + static_cast<std::ptrdiff_t>(k) * n,
                             A.begin() + static_cast<std::ptrdiff_t>(k + 1) * n,
                             A.begin() + static_cast<std::ptrdiff_t>(p) * n);
            std::swap(b[k], b[p]);
            for (int col = k; col <= reach[k]; ++col)
                low[col] = std::max(low[col], p);
            std::swap(reach[k], reach[p]);
        }
        const double* rowK = &A[static_cast<std::size_t>(k) * n];
        const double piv = rowK[k];
        const int end = reach[k];
        int lastRow = -1;
        for (int r = k + 1; r <= low[k]; ++r) {
            double* row = &A[static_cast<std::size_t>(r) * n];
            const double w = row[k] / piv;
            if (w == 0) continue;
            for (int col = k + 1; col <= end; ++col)
                row[col] -= w * rowK[col];
            row[k] = 0;
            b[r] -= w * b[k];
            reach[r] = std::max(reach[r], end);
            lastRow = r;
        }
        for (int col = k + 1; col <= end; ++col)
            low[col] = std::max(low[col], lastRow);
    }
    for (int k = n - 1; k >= 0; --k) {
        const double* row = &A[static_cast<std::size_t>(k) * n];
        double s = b[k];
        for (int col = k + 1; col <= reach[k]; ++col)
            s -= row[col] * b[col];
        b[k] = s / row[k];
    }
    for (double v : b)
        if (!std::isfinite(v)) return false;
    return true;
}

} // namespace zpk::operations
