// The stream editor over the recording zpk double: which library calls each
// action makes, and how it reports the library's failures.
#include <gtest/gtest.h>

#include <limits>
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

// A stream with an operating point and three phases: vapour, two liquids.
void programThreePhases() {
    zpkdouble::setReturn("isSDef", 1);
    zpkdouble::setReturn("isSopDef", 1);
    zpkdouble::setReturn("getT", 250);
    zpkdouble::setReturn("getP", 5e6);
    zpkdouble::setReturn("getWm", 2);
    zpkdouble::setReturn("getFPNr", 6);
    zpkdouble::setHandler("isValidPhase", zpkdouble::NumHandler([](const std::vector<double>& a) {
                              return a[1] <= 3 ? 1.0 : 0.0;
                          }));
    zpkdouble::setHandler(
        "StrPt", zpkdouble::NumHandler([](const std::vector<double>& a) { return a[1] == 1 ? 0.0 : 1.0; }));
    zpkdouble::setHandler("StrPf",
                          zpkdouble::NumHandler([](const std::vector<double>& a) { return a[1] / 6; }));
    zpkdouble::setReturn("StrGD", 40.5);
    zpkdouble::setReturn("StrSGH", -120.25);
    zpkdouble::setReturn("StrLD", 612);
    zpkdouble::setReturn("StrSLH", -510);
    zpkdouble::setTextHandler("getSUMS", [](const zpkdouble::Call& c) -> std::string {
        switch (static_cast<int>(c.num.at(0))) {
        case 15:
            return "K";
        case 17:
            return "Pa";
        case 25:
            return "kg/s";
        case 30:
            return "kg/m3";
        case 34:
            return "kJ/kg";
        default:
            return "?";
        }
    });
}

TEST_F(EditorCalls, ShowListsThePhasesWithDensityAndSpecificEnthalpyInTheirUnits) {
    programThreePhases();
    const std::string out = edit("2\n4\n0\n");
    EXPECT_TRUE(contains(out, "  mass flow 2 kg/s\r\n")) << out;
    const std::string state = "  operating point T 250 K  P 5000000 Pa\r\n"
                              "  phases 3\r\n"
                              "    1  vapour  mole fraction 0.1666666667\r\n"
                              "    2  liquid  mole fraction 0.3333333333\r\n"
                              "    3  liquid  mole fraction 0.5\r\n"
                              "  vapour  density 40.5 kg/m3  specific enthalpy -120.25 kJ/kg\r\n"
                              "  liquids together  density 612 kg/m3  specific enthalpy -510 kJ/kg\r\n";
    EXPECT_TRUE(contains(out, state)) << out;
    // No solid phase: its functions are not called.
    EXPECT_EQ(zpkdouble::count("StrSD") + zpkdouble::count("StrSSH"), 0u);
    EXPECT_EQ(zpkdouble::count("isValidPhase"), 4u);
}

TEST_F(EditorCalls, ShowSaysWhyAValueIsMissing) {
    programThreePhases();
    zpkdouble::setReturn("StrLD", std::numeric_limits<double>::quiet_NaN());
    zpkdouble::setTextReturn("ErrMsg", "StrLD: not implemented");
    const std::string out = edit("2\n4\n0\n");
    EXPECT_TRUE(contains(out, "  liquids together  density not available (StrLD: not implemented)  specific "
                              "enthalpy -510 kJ/kg\r\n"))
        << out;
}

TEST_F(EditorCalls, ShowWithoutOperatingPointComputesNothing) {
    programThreePhases();
    zpkdouble::setReturn("isSopDef", 0);
    const std::string out = edit("2\n4\n0\n");
    EXPECT_TRUE(contains(out, "  no operating point\r\n"));
    EXPECT_FALSE(contains(out, "phases"));
    EXPECT_EQ(zpkdouble::count("isValidPhase") + zpkdouble::count("StrGD"), 0u);
}

TEST_F(EditorCalls, PromptsNameTheUnitsOfTheirAnswers) {
    programThreePhases();
    zpkdouble::setReturn("setOp", 1);
    zpkdouble::setReturn("setWm", 1);
    const std::string out = edit("7\n4\n250\n5e6\n5\n4\n3\n0\n");
    EXPECT_TRUE(contains(out, "temperature [K] -> "));
    EXPECT_TRUE(contains(out, "pressure [Pa] -> "));
    EXPECT_TRUE(contains(out, "operating point set: T 250 K  P 5000000 Pa\r\n"));
    EXPECT_TRUE(contains(out, "mass flow [kg/s] (now 2) -> "));
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
