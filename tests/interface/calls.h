// Every function of the C interface as data: the table generated from
// zpk/functions.tsv (tools/apidoc/gen_calls.py) gives, for each function, its
// name, failure value, arguments and a thunk that calls it with the values of
// an Args.  Used by the failure-value test and the fuzz.
#pragma once

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "zpk/zpk.h"

namespace calls {

inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kInf = std::numeric_limits<double>::infinity();
inline constexpr int kMaxArgs = 24;

struct Argument {
    std::string type; // int, double, char*, int*, double*, double**
    std::string name;
    std::string meaning;
    std::vector<std::string> extents; // pointers only
    bool optional;                    // a null pointer is allowed
    std::vector<long long> invalidInts;
    std::vector<double> invalidDoubles;
    bool nullInvalid; // a null pointer is an invalid value
};

// Argument values of one call, by position; pointers are owned by the caller.
struct Args {
    long long i[kMaxArgs] = {};
    double d[kMaxArgs] = {};
    void* p[kMaxArgs] = {};
    char* text(int k) const { return static_cast<char*>(p[k]); }
    int* ints(int k) const { return static_cast<int*>(p[k]); }
    double* doubles(int k) const { return static_cast<double*>(p[k]); }
    double** rows(int k) const { return static_cast<double**>(p[k]); }
};

struct Value {
    int i = 0;
    double d = 0;
    const char* t = nullptr;
};

struct Function {
    const char* name;
    const char* failure; // "0", "NaN", "NULL", "-1" or "never fails"
    char result;         // 'i' int, 'd' double, 'c' text
    std::vector<Argument> args;
    Value (*call)(const Args&);

    bool neverFails() const { return std::string(failure) == "never fails"; }
    // True when v is this function's failure value.
    bool isFailureValue(const Value& v) const {
        const std::string f(failure);
        if (result == 'd') return f == "NaN" && std::isnan(v.d);
        if (result == 'c') return f == "NULL" && v.t == nullptr;
        if (f == "0") return v.i == 0;
        if (f == "-1") return v.i == -1;
        return false;
    }
    // True when the failure value cannot also be a valid result.
    bool failureIsUnambiguous() const {
        const std::string f(failure);
        return f == "NaN" || f == "NULL" || f == "-1";
    }
};

const std::vector<Function>& all();

} // namespace calls
