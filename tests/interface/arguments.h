// Argument values for calls of the interface table: the library state the
// calls run against (a few defined streams with an operating point, a bound
// derivative slot), valid values derived from each argument's name and
// meaning, and buffers of the sizes the table's extents give.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "calls.h"

namespace calls {

// Streams 1..kStreams are defined (three light hydrocarbons, Peng-Robinson)
// with an operating point; derivative slot 1 is bound to stream 1.
inline constexpr int kStreams = 4;
// Array extents that depend on a stream (nc, ncd, ncol) are given the
// capacity of a stream, so a buffer is never shorter than the library needs.
inline constexpr int kPositions = 100;

// Defines the streams and binds the slot; returns false when the library
// refused (then the message is in ErrMsg()).
bool defineStreams();

// Owns the memory that the pointer arguments of calls point to.
class Buffers {
  public:
    double* doubles(std::size_t n, double fill);
    int* ints(std::size_t n, int fill);
    double** rows(std::size_t rows, std::size_t n);
    char* text(const std::string& s);
    void clear();

  private:
    std::deque<std::vector<double>> doubles_;
    std::deque<std::vector<int>> ints_;
    std::deque<std::vector<double*>> rows_;
    std::deque<std::string> texts_;
};

// Valid value of an int or double argument (by its name and meaning).
long long validInt(const Argument& a);
double validDouble(const Argument& a);

// Number of elements of a pointer argument, from its extents and the int
// values already in args; -1 when an extent is negative or too large to
// allocate (the caller then passes null).
long long elementCount(const Function& f, const Argument& a, const Args& args);

// Valid values for every argument (pointers: filled buffers of full size).
Args validArgs(const Function& f, Buffers& buffers);

// Fills pointer argument k of args with a buffer of the size its extents
// give (null when that size is not allocatable).
void allocate(const Function& f, int k, Args& args, Buffers& buffers, double fill);

} // namespace calls
