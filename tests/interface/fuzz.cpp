// Random calls of every function of the C interface with hostile arguments.
//
// Usage: interface_fuzz [CALLS [SEED]]   (defaults 4000 calls, seed 1)
//
// From a fixed seed, each call picks a function of the interface table and
// gives every argument a valid value, an invalid value the table documents,
// or a hostile one (NaN, infinities, negative, huge, out-of-range stream and
// component numbers).  Pointer arguments are null or buffers of the full
// size the table's extents give (never shorter: the library cannot know a
// buffer's size); input buffers hold hostile values too.  A few streams are
// defined first and redefined now and then, so real calculations run, not
// only argument checks.
//
// Checks after every call: the error flag is set exactly when the call
// failed (flag set => documented failure value; an unambiguous failure value
// (NaN, NULL, -1) => flag set), and a failure message starts with the
// function's name.  Crashes and sanitizer reports end the program.  Exit
// status 0 when every call kept the contract, else 1 with one line per
// violation.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "arguments.h"
#include "calls.h"

using namespace calls;

namespace {

constexpr int kRedefineEvery = 200;

class Fuzzer {
  public:
    explicit Fuzzer(unsigned seed) : rng_(seed) {}

    long long intValue(const Argument& a) {
        const int pick = below(10);
        if (pick < 4) return validInt(a);
        if (pick < 6 && !a.invalidInts.empty()) return a.invalidInts[below(a.invalidInts.size())];
        static const long long hostile[] = {0,
                                            -1,
                                            1,
                                            2,
                                            3,
                                            4,
                                            5,
                                            2000,
                                            2001,
                                            100,
                                            101,
                                            500,
                                            501,
                                            1000000,
                                            std::numeric_limits<int>::max(),
                                            std::numeric_limits<int>::min()};
        if (pick < 9) return hostile[below(std::size(hostile))];
        return static_cast<long long>(below(2200)) - 100;
    }

    double doubleValue(const Argument& a) {
        const int pick = below(10);
        if (pick < 4) return validDouble(a) * (pick == 0 ? uniform(0.5, 2.0) : 1.0);
        if (pick < 5 && !a.invalidDoubles.empty()) return a.invalidDoubles[below(a.invalidDoubles.size())];
        return hostileDouble();
    }

    double hostileDouble() {
        static const double hostile[] = {kNaN,   kInf, -kInf,   -1.0, 0.0, 1e300, -1e300, 1e-300,
                                         5e-324, 1e12, -273.15, 1.0,  2.0, 1e5,   300.0,  0.5};
        if (below(4) == 0) return uniform(-10.0, 1e4);
        return hostile[below(std::size(hostile))];
    }

    Args args(const Function& f, Buffers& buffers) {
        Args a;
        for (std::size_t k = 0; k < f.args.size(); ++k) {
            const Argument& arg = f.args[k];
            if (arg.type == "int") a.i[k] = intValue(arg);
            if (arg.type == "double") a.d[k] = doubleValue(arg);
        }
        for (std::size_t k = 0; k < f.args.size(); ++k) {
            const Argument& arg = f.args[k];
            if (arg.type == "int" || arg.type == "double") continue;
            if (arg.type == "char*") {
                a.p[k] = text(buffers);
                continue;
            }
            if (below(4) == 0) continue; // null
            allocate(f, static_cast<int>(k), a, buffers, below(3) == 0 ? hostileDouble() : 0.3);
            scramble(arg, a.p[k], elementCount(f, arg, a));
        }
        return a;
    }

    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

  private:
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }

    char* text(Buffers& buffers) {
        switch (below(6)) {
        case 0:
            return nullptr;
        case 1:
            return buffers.text("");
        case 2:
            return buffers.text(std::string(300, 'x'));
        case 3:
            return buffers.text("/nonexistent-folder-of-zpk-fuzz/file.zpk");
        case 4:
            return buffers.text("\xff\xfe name");
        default:
            return buffers.text("fuzz");
        }
    }

    // Some elements of an input buffer get hostile values.
    void scramble(const Argument& arg, void* p, long long n) {
        if (!p || n <= 0 || below(2) == 0) return;
        for (int m = 0; m < 3; ++m) {
            const auto k =
                static_cast<std::size_t>(below(static_cast<std::size_t>(std::min<long long>(n, 200))));
            if (arg.type == "int*")
                static_cast<int*>(p)[k] = static_cast<int>(intValue(arg));
            else if (arg.type == "double*")
                static_cast<double*>(p)[k] = hostileDouble();
        }
    }

    std::mt19937_64 rng_;
};

std::string describe(const Function& f, const Args& a) {
    std::string s = std::string(f.name) + "(";
    for (std::size_t k = 0; k < f.args.size(); ++k) {
        if (k) s += ", ";
        const auto& t = f.args[k].type;
        if (t == "int")
            s += std::to_string(a.i[k]);
        else if (t == "double") {
            char buf[32];
            std::snprintf(buf, sizeof buf, "%.17g", a.d[k]);
            s += buf;
        } else
            s += a.p[k] ? "buf" : "null";
    }
    return s + ")";
}

// Empty when the call kept the contract, else what went wrong.
std::string check(const Function& f, const Value& v) {
    if (f.neverFails()) return "";
    const int flag = getErrFlag();
    const bool failed = f.isFailureValue(v);
    if (flag != 0 && !failed)
        return "error flag set but the result is not the failure value " + std::string(f.failure);
    if (flag == 0 && failed && f.failureIsUnambiguous())
        return "failure value " + std::string(f.failure) + " returned without the error flag";
    if (flag != 0 && std::string(ErrMsg()).rfind(std::string(f.name) + ": ", 0) != 0)
        return "message does not name the function: " + std::string(ErrMsg());
    return "";
}

} // namespace

int main(int argc, char** argv) {
    const long long calls = argc > 1 ? std::atoll(argv[1]) : 4000;
    const unsigned seed = argc > 2 ? static_cast<unsigned>(std::atoll(argv[2])) : 1u;
    Fuzzer fuzz(seed);
    const auto& table = all();
    long long violations = 0, failures = 0;
    const auto start = std::chrono::steady_clock::now();
    for (long long n = 0; n < calls; ++n) {
        if (n % kRedefineEvery == 0 && !defineStreams()) {
            std::printf("setup failed: %s\n", ErrMsg());
            return 1;
        }
        const Function& f = table[fuzz.below(table.size())];
        Buffers buffers;
        const Args a = fuzz.args(f, buffers);
        setErrFlag(0);
        const auto t0 = std::chrono::steady_clock::now();
        const Value v = f.call(a);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (std::string(f.name) == "defErrMsg") defErrMsg(0); // keep messages off standard error
        if (getErrFlag() != 0) ++failures;
        const std::string problem = check(f, v);
        if (!problem.empty()) {
            ++violations;
            std::printf("call %lld: %s: %s\n", n, describe(f, a).c_str(), problem.c_str());
        }
        if (seconds > 2.0) std::printf("call %lld: %s took %.1f s\n", n, describe(f, a).c_str(), seconds);
    }
    const double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%lld calls (seed %u), %lld failed cleanly, %lld contract violations, %.1f s\n", calls, seed,
                failures, violations, total);
    return violations == 0 ? 0 : 1;
}
