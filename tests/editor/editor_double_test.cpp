// The stream editor over the recording zpk double: which library calls each
// action makes, and how it reports the library's failures.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "editor.h"
#include "zpk_double.h"

namespace {

std::string edit(const std::string& script, int* result = nullptr) {
    std::istringstream in(script);
    std::ostringstream out;
    zpkx::StreamEditor editor(in, out);
    const int r = editor.run();
    if (result) *result = r;
    return out.str();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class EditorCalls : public ::testing::Test {
  protected:
    void SetUp() override {
        zpkdouble::reset();
        zpkdouble::setReturn("getMSNr", 10);
    }
};

TEST_F(EditorCalls, OperatingPointIsSetWithSetOp) {
    zpkdouble::setReturn("setOp", 1);
    zpkdouble::setReturn("isSopDef", 1);
    zpkdouble::setReturn("getT", 300);
    zpkdouble::setReturn("getP", 100000);
    const std::string out = edit("7\n4\nhot\n300\n1e5\n0\n");
    const auto calls = zpkdouble::calls("setOp");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].num, (std::vector<double>{4, 300, 100000}));
    EXPECT_TRUE(contains(out, "operating point set: T 300  P 100000"));
    EXPECT_TRUE(contains(out, "invalid entry: a number"));
}

TEST_F(EditorCalls, FailedOperatingPointShowsTheLibraryMessage) {
    zpkdouble::setReturn("setOp", 0);
    zpkdouble::setTextReturn("ErrMsg", "setOp: stream 4 is not defined");
    const std::string out = edit("7\n4\n300\n1e5\n0\n");
    EXPECT_TRUE(contains(out, "setOp failed: setOp: stream 4 is not defined"));
}

TEST_F(EditorCalls, RedefiningComponentsRestoresTheOperatingPoint) {
    zpkdouble::setReturn("CompCID", 1);
    zpkdouble::setReturn("getMCNr", 50);
    zpkdouble::setReturn("isSDef", 1);
    zpkdouble::setReturn("isSopDef", 1);
    zpkdouble::setReturn("getT", 250);
    zpkdouble::setReturn("getP", 2e6);
    zpkdouble::setReturn("getWm", 3);
    zpkdouble::setReturn("setS", 1);
    zpkdouble::setReturn("setOp", 1);
    zpkdouble::setHandler("getMP", zpkdouble::NumHandler([](const std::vector<double>& a) {
                              return a[2] <= 1 ? 50.0 : 0.0; // vapour and liquid set, solid and hydrate not
                          }));
    edit("3\n2\n1\n74-82-8\n1\n0\n");
    const auto names = zpkdouble::callNames();
    std::vector<std::string> defining;
    for (const std::string& n : names)
        if (n == "initS" || n == "setWm" || n == "setMP" || n == "putZ" || n == "putCC" || n == "putKO" ||
            n == "setS" || n == "setOp")
            defining.push_back(n);
    std::vector<std::string> expected = {"initS", "setWm"};
    for (int i = 0; i < 8; ++i) expected.push_back("setMP");
    for (const char* n : {"putZ", "putCC", "putKO", "setS", "setOp"}) expected.push_back(n);
    EXPECT_EQ(defining, expected);
    EXPECT_EQ(zpkdouble::calls("setWm")[0].num, (std::vector<double>{2, 3}));
    EXPECT_EQ(zpkdouble::calls("setOp")[0].num, (std::vector<double>{2, 250, 2e6}));
}

TEST_F(EditorCalls, RejectedModelIsReported) {
    zpkdouble::setReturn("setMP", 0);
    const std::string out = edit("6\n1\n1\n3\n30\n0\n");
    EXPECT_TRUE(contains(out, "model 30 rejected for fugacity of the hydrate"));
    EXPECT_EQ(zpkdouble::count("setMP"), 1u);
}

TEST_F(EditorCalls, ArchivePathsGoToTheLibraryAsTyped) {
    zpkdouble::setReturn("AFSave", 1);
    zpkdouble::setReturn("AFOpen", 0);
    zpkdouble::setTextReturn("ErrMsg", "AFOpen: bad checksum");
    const std::string out = edit("9\n /tmp/a b.zpk \n10\n/tmp/a b.zpk\n0\n");
    ASSERT_EQ(zpkdouble::calls("AFSave").size(), 1u);
    EXPECT_EQ(zpkdouble::calls("AFSave")[0].text.at(0), "/tmp/a b.zpk");
    EXPECT_TRUE(contains(out, "saved /tmp/a b.zpk"));
    EXPECT_TRUE(contains(out, "opening the archive failed: AFOpen: bad checksum"));
}

TEST_F(EditorCalls, EmptyStoreCancelsStreamActions) {
    zpkdouble::setReturn("getMSNr", 0);
    int result = -1;
    const std::string out = edit("2\n0\n", &result);
    EXPECT_EQ(result, 1);
    EXPECT_TRUE(contains(out, "the library holds no streams"));
}

TEST_F(EditorCalls, EndlessGarbageEndsTheEditor) {
    std::string garbage;
    for (int i = 0; i < 1000; ++i) garbage += "what\n";
    int result = -1;
    edit(garbage, &result);
    EXPECT_EQ(result, 0);
}

} // namespace
