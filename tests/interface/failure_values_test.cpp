// Every function of the interface table, called with each invalid value its
// arguments' meanings imply (and otherwise valid arguments), returns its
// documented failure value, sets the error flag and names itself in the
// message.  Functions that cannot be given an invalid argument are called
// with valid ones and must not crash.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>

#include "arguments.h"
#include "calls.h"

using namespace calls;

namespace {

class InterfaceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setErrFlag(0);
        ASSERT_TRUE(defineStreams()) << ErrMsg();
    }
    void TearDown() override {
        for (int q = 15; q <= 54; ++q)
            setUMC(q, 1);
        setErrFlag(0);
    }
};

std::string show(const Value& v, char result) {
    std::ostringstream o;
    if (result == 'd')
        o << v.d;
    else if (result == 'c')
        o << (v.t ? std::string("\"") + v.t + "\"" : std::string("NULL"));
    else
        o << v.i;
    return o.str();
}

std::string describe(const Argument& a, const Args& args, int k) {
    std::ostringstream o;
    o << a.name << " = ";
    if (a.type == "int")
        o << args.i[k];
    else if (a.type == "double")
        o << args.d[k];
    else
        o << (args.p[k] ? "buffer" : "null");
    return o.str();
}

// One call with argument k replaced by an invalid value; checks the contract.
void expectCleanFailure(const Function& f, Args args, int k) {
    const std::string what = std::string(f.name) + " with " + describe(f.args[k], args, k);
    SCOPED_TRACE(what);
    setErrFlag(0);
    const Value v = f.call(args);
    EXPECT_TRUE(f.isFailureValue(v)) << "returned " << show(v, f.result) << ", documented " << f.failure;
    EXPECT_NE(getErrFlag(), 0) << "error flag not set";
    EXPECT_EQ(std::string(ErrMsg()).rfind(std::string(f.name) + ": ", 0), 0u) << "message: " << ErrMsg();
}

int invalidCases(const Function& f) {
    int n = 0;
    for (const auto& a : f.args)
        n += static_cast<int>(a.invalidInts.size() + a.invalidDoubles.size()) + (a.nullInvalid ? 1 : 0);
    return n;
}

} // namespace

TEST_F(InterfaceTest, EveryFunctionFailsCleanlyOnEachInvalidArgument) {
    int calls = 0;
    for (const Function& f : all()) {
        if (f.neverFails()) continue;
        ASSERT_TRUE(defineStreams()) << "before " << f.name << ": " << ErrMsg();
        Buffers buffers;
        const Args valid = validArgs(f, buffers);
        for (std::size_t k = 0; k < f.args.size(); ++k) {
            const Argument& a = f.args[k];
            for (long long bad : a.invalidInts) {
                Args args = valid;
                args.i[k] = bad;
                expectCleanFailure(f, args, static_cast<int>(k));
                ++calls;
            }
            for (double bad : a.invalidDoubles) {
                Args args = valid;
                args.d[k] = bad;
                expectCleanFailure(f, args, static_cast<int>(k));
                ++calls;
            }
            if (a.nullInvalid) {
                Args args = valid;
                args.p[k] = nullptr;
                expectCleanFailure(f, args, static_cast<int>(k));
                ++calls;
            }
        }
    }
    EXPECT_GT(calls, 500);
}

// The table gives every function that has arguments and can fail at least
// one invalid value, so the test above misses none.
TEST_F(InterfaceTest, EveryFailingFunctionWithArgumentsHasAnInvalidCase) {
    std::string missing;
    for (const Function& f : all())
        if (!f.neverFails() && !f.args.empty() && invalidCases(f) == 0) missing += std::string(" ") + f.name;
    EXPECT_EQ(missing, "");
}

// Functions without arguments, and those that never fail, are called with
// valid arguments: no crash, and a never-failing one leaves the flag alone
// unless it sets the flag itself.
TEST_F(InterfaceTest, FunctionsWithoutInvalidArgumentsRunCleanly) {
    for (const Function& f : all()) {
        if (!f.neverFails() && !f.args.empty()) continue;
        SCOPED_TRACE(f.name);
        Buffers buffers;
        const Args args = validArgs(f, buffers);
        setErrFlag(0);
        const Value v = f.call(args);
        const std::string name(f.name);
        if (name == "setErrFlag") continue;
        EXPECT_EQ(getErrFlag(), 0) << ErrMsg();
        EXPECT_FALSE(f.isFailureValue(v) && f.failureIsUnambiguous());
        if (f.result == 'c' && name != "ErrMsg") {
            EXPECT_NE(v.t, nullptr);
        }
    }
}

// The interface table covers exactly the functions of zpk/zpk.h (the order and
// types are compared by apidoc_check); spot-check a few documented rows.
TEST(InterfaceTable, RowsMatchTheDocumentedFailureValues) {
    std::map<std::string, std::string> failure;
    for (const Function& f : all())
        failure[f.name] = f.failure;
    EXPECT_EQ(all().size(), 273u);
    for (const char* n :
         {"BPF", "DPF", "LfTF", "LfPF", "PfPF", "PfTF", "HPF", "SPF", "VPF", "HTF", "STF", "VTF"})
        EXPECT_EQ(failure[n], "NaN") << n;
    EXPECT_EQ(failure["getASNr"], "-1");
    EXPECT_EQ(failure["StrPt"], "-1");
    EXPECT_EQ(failure["getErrFlag"], "never fails");
}

// Finding: the bubble- and dew-point flashes returned 0 (read as "0 K") on
// failure, where NaN is documented.
TEST_F(InterfaceTest, SaturationFlashesFailWithNaN) {
    for (auto* fn : {&BPF, &DPF}) {
        setErrFlag(0);
        EXPECT_TRUE(std::isnan(fn(1, -1e5)));
        EXPECT_NE(getErrFlag(), 0);
    }
    setErrFlag(0);
    EXPECT_TRUE(std::isnan(LfTF(1, -5.0, 0.5)));
    EXPECT_TRUE(std::isnan(PfPF(1, 2e6, 0.5, 1, 0)));
    EXPECT_TRUE(std::isnan(HPF(1, -1.0, 0.0, 0.0)));
    EXPECT_NE(getErrFlag(), 0);
}
