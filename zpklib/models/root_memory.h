// Per-thread memory of the last volume roots of an equation of state: the
// engine evaluates one state for several properties in a row, and solving
// for the volume is the expensive part.  Each thread holds its own instance
// (thread_local), so no locking is needed.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "models/phase_model.h"

namespace zpk::models {

template <std::size_t N> class RootMemory {
  public:
    // The remembered root of model `id` at (T, P, root, x[0..n)), if any.
    bool find(std::uint64_t id, double T, double P, Root root, const double* x, int n, double& V,
              bool& liquidLike) const {
        for (const Entry& e : entries_)
            if (e.id == id && e.T == T && e.P == P && e.root == root &&
                std::equal(x, x + n, e.x.begin(), e.x.end())) {
                V = e.V;
                liquidLike = e.liquid;
                return true;
            }
        return false;
    }
    // Remembers a root, replacing the oldest entry.
    void store(std::uint64_t id, double T, double P, Root root, const double* x, int n, double V,
               bool liquidLike) {
        Entry& e = entries_[next_];
        next_ = (next_ + 1) % N;
        e.id = id, e.T = T, e.P = P, e.root = root, e.V = V, e.liquid = liquidLike;
        e.x.assign(x, x + n);
    }

  private:
    struct Entry {
        std::uint64_t id = 0;
        double T = 0, P = 0;
        Root root = Root::Stable;
        std::vector<double> x;
        double V = 0;
        bool liquid = false;
    };
    std::array<Entry, N> entries_;
    std::size_t next_ = 0;
};

} // namespace zpk::models
