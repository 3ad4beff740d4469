// The stream editor driven by scripted input over the real library: stream
// definitions made in the editor are read back through the C interface.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

#include "editor.h"
#include "zpk/zpk.h"

namespace {

struct Session {
    int result = -1;
    std::string output;
};

Session edit(const std::string& script) {
    std::istringstream in(script);
    std::ostringstream out;
    zpkx::StreamEditor editor(in, out);
    Session s;
    s.result = editor.run();
    s.output = out.str();
    return s;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class Editor : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int code = 15; code <= 54; ++code) setUMC(code, 1);
        stream = getMSNr();
        ASSERT_GT(stream, 0);
        initS(stream);
    }
    void TearDown() override { initS(stream); }
    std::string s() const { return std::to_string(stream); }
    int stream = 0;
};

TEST_F(Editor, QuitReturnsOneAndEndOfInputReturnsZero) {
    EXPECT_EQ(edit("0\n").result, 1);
    EXPECT_EQ(edit("").result, 0);
    // End of input in the middle of an action ends the editor too.
    EXPECT_EQ(edit("3\n" + s() + "\n2\n74-82-8\n").result, 0);
    EXPECT_EQ(isSDef(stream), 0);
}

TEST_F(Editor, BlankLinesAreNotAnswers) {
    // The rest of the line that chose the editor arrives first.
    const Session e = edit("\n   \n0\n");
    EXPECT_EQ(e.result, 1);
    EXPECT_FALSE(contains(e.output, "invalid entry"));
}

TEST_F(Editor, GarbageIsRejectedAndTheEditorGivesUpAfterFiveTries) {
    const Session e = edit("x\n11\n-1\n2.5\n1e3\n0\n");
    EXPECT_EQ(e.result, 0);
    EXPECT_TRUE(contains(e.output, "too many invalid entries"));
    // A valid answer after fewer failures is accepted.
    EXPECT_EQ(edit("x\n11\n0\n").result, 1);
}

TEST_F(Editor, DefinesComponentsAndFractionsThatTheLibraryHolds) {
    const Session e = edit("3\n" + s() + "\n2\n74-82-8\n0.9\n74840\n0.1\n2\n" + s() + "\n0\n");
    EXPECT_EQ(e.result, 1);
    EXPECT_EQ(isSDef(stream), 1) << e.output << ErrMsg();
    ASSERT_EQ(getCNr(stream), 2);
    EXPECT_EQ(getCC(stream, 1), CompCID(74828));
    EXPECT_EQ(getCC(stream, 2), CompCID(74840));
    EXPECT_DOUBLE_EQ(getZ(stream, 1), 0.9);
    EXPECT_DOUBLE_EQ(getZ(stream, 2), 0.1);
    // The definition shown names the components and their CAS numbers.
    EXPECT_TRUE(contains(e.output, "74-82-8  " + std::string(CompN(CompCID(74828))) + "  fraction 0.9"));
    EXPECT_TRUE(contains(e.output, "74-84-0"));
}

TEST_F(Editor, UnknownOrMalformedCasNumbersAreAskedAgain) {
    const Session e = edit("3\n" + s() + "\n1\n12-3\n99-99-9\n7732-18-5\n1\n0\n");
    EXPECT_EQ(e.result, 1);
    EXPECT_TRUE(contains(e.output, "invalid entry: a CAS number"));
    EXPECT_TRUE(contains(e.output, "no component with CAS number 99-99-9"));
    ASSERT_EQ(getCNr(stream), 1);
    EXPECT_EQ(getCC(stream, 1), CompCID(7732185));
}

TEST_F(Editor, ChangingComponentsKeepsFlowAndModels) {
    edit("3\n" + s() + "\n1\n74-82-8\n1\n5\n" + s() + "\n2.5\n6\n" + s() + "\n0\n1\n30\n0\n");
    EXPECT_DOUBLE_EQ(getWm(stream), 2.5);
    for (int property = 1; property <= 4; ++property) EXPECT_EQ(getMP(stream, property, 1), 30) << property;
    edit("3\n" + s() + "\n2\n74-82-8\n0.5\n74-98-6\n0.5\n0\n");
    EXPECT_EQ(getCNr(stream), 2);
    EXPECT_DOUBLE_EQ(getWm(stream), 2.5);
    for (int property = 1; property <= 4; ++property) EXPECT_EQ(getMP(stream, property, 1), 30) << property;
}

TEST_F(Editor, ChangesFractionsOfTheExistingComponents) {
    edit("3\n" + s() + "\n2\n74-82-8\n0.5\n74-98-6\n0.5\n0\n");
    const Session e = edit("4\n" + s() + "\n0.25\n0.75\n0\n");
    EXPECT_EQ(e.result, 1);
    EXPECT_DOUBLE_EQ(getZ(stream, 1), 0.25);
    EXPECT_DOUBLE_EQ(getZ(stream, 2), 0.75);
    EXPECT_TRUE(contains(e.output, "(now 0.5)"));
}

TEST_F(Editor, ListsDefinedStreams) {
    edit("3\n" + s() + "\n1\n74-82-8\n1\n0\n");
    const Session e = edit("1\n0\n");
    EXPECT_TRUE(contains(e.output, "stream " + s() + "  components 1"));
    EXPECT_TRUE(contains(e.output, " streams defined"));
}

TEST_F(Editor, StreamNumberOutsideTheStoreIsRejected) {
    const Session e = edit("2\n0\n" + std::to_string(stream + 1) + "\n" + s() + "\n0\n");
    EXPECT_EQ(e.result, 1);
    EXPECT_TRUE(contains(e.output, "invalid entry: a whole number from 1 to " + s()));
    EXPECT_TRUE(contains(e.output, "stream " + s() + "  name"));
}

TEST_F(Editor, SavedArchiveRestoresTheDefinition) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("zpkx_editor_test_" + std::to_string(::getpid()) + ".zpk");
    edit("3\n" + s() + "\n2\n74-82-8\n0.5\n74-98-6\n0.5\n0\n");
    const Session saved = edit("9\n" + path.string() + "\n0\n");
    EXPECT_TRUE(contains(saved.output, "saved " + path.string())) << saved.output;
    edit("4\n" + s() + "\n0.1\n0.9\n0\n");
    ASSERT_DOUBLE_EQ(getZ(stream, 1), 0.1);
    const Session opened = edit("10\n" + path.string() + "\n0\n");
    EXPECT_TRUE(contains(opened.output, "opened " + path.string())) << opened.output;
    EXPECT_DOUBLE_EQ(getZ(stream, 1), 0.5);
    std::filesystem::remove(path);
}

TEST_F(Editor, MissingArchiveReportsTheLibraryMessageAndChangesNothing) {
    edit("3\n" + s() + "\n1\n74-82-8\n1\n0\n");
    const Session e = edit("10\n/nonexistent/folder/none.zpk\n0\n");
    EXPECT_EQ(e.result, 1);
    EXPECT_TRUE(contains(e.output, "opening the archive failed")) << e.output;
    EXPECT_EQ(getCNr(stream), 1);
}

// The editor's way of writing a number.
std::string shown(double value) {
    std::ostringstream s;
    s.precision(10);
    s << value;
    return s.str();
}

std::string unit(int quantity) {
    return std::string(" ") + getSUMS(quantity);
}

TEST_F(Editor, ShowsTheStateComputedAtTheOperatingPoint) {
    // Methane and propane, half and half, Peng-Robinson (model 50) for vapour
    // and liquid: at 250 K and 3 MPa between dew and bubble point.
    edit("3\n" + s() + "\n2\n74-82-8\n0.5\n74-98-6\n0.5\n6\n" + s() + "\n0\n0\n50\n6\n" + s() +
         "\n0\n1\n50\n0\n");
    const Session set = edit("7\n" + s() + "\n250\n3e6\n0\n");
    EXPECT_TRUE(contains(set.output, "temperature [" + std::string(getSUMS(15)) + "] -> ")) << set.output;
    EXPECT_TRUE(contains(set.output, "pressure [" + std::string(getSUMS(17)) + "] -> "));
    ASSERT_EQ(isSopDef(stream), 1) << set.output;
    EXPECT_TRUE(
        contains(set.output, "operating point set: T 250" + unit(15) + "  P 3000000" + unit(17) + "\r\n"));
    ASSERT_EQ(isValidPhase(stream, 2), 1);
    ASSERT_EQ(isValidPhase(stream, 3), 0);
    ASSERT_EQ(StrPt(stream, 1), 0);
    ASSERT_EQ(StrPt(stream, 2), 1);

    const Session e = edit("2\n" + s() + "\n0\n");
    const std::string state = "  operating point T 250" + unit(15) + "  P 3000000" + unit(17) +
                              "\r\n  phases 2\r\n    1  vapour  mole fraction " + shown(StrPf(stream, 1)) +
                              "\r\n    2  liquid  mole fraction " + shown(StrPf(stream, 2)) +
                              "\r\n  vapour  density " + shown(StrGD(stream)) + unit(30) +
                              "  specific enthalpy " + shown(StrSGH(stream)) + unit(34) +
                              "\r\n  liquid  density " + shown(StrLD(stream)) + unit(30) +
                              "  specific enthalpy " + shown(StrSLH(stream)) + unit(34) + "\r\n";
    EXPECT_TRUE(contains(e.output, state)) << e.output;
    EXPECT_TRUE(contains(e.output, "  mass flow 1" + unit(25) + "\r\n"));
    // The liquid is the denser phase, and the phase fractions add up.
    EXPECT_GT(StrLD(stream), StrGD(stream));
    EXPECT_NEAR(StrPf(stream, 1) + StrPf(stream, 2), 1.0, 1e-12);
}

TEST_F(Editor, ShownValuesFollowTheSelectedUnits) {
    edit("3\n" + s() + "\n1\n7732-18-5\n1\n7\n" + s() + "\n300\n101325\n0\n");
    ASSERT_EQ(isSopDef(stream), 1);
    ASSERT_EQ(setUMC(15, 2), 1);
    const std::string other = getSUMS(15);
    ASSERT_NE(other, "K");
    const Session e = edit("2\n" + s() + "\n7\n" + s() + "\n20\n101325\n0\n");
    setUMC(15, 1);
    EXPECT_TRUE(contains(e.output, "T " + shown(UMCS(300, 15, 2)) + " " + other + "  P 101325")) << e.output;
    EXPECT_TRUE(contains(e.output, "temperature [" + other + "] -> "));
    EXPECT_TRUE(contains(e.output, "  phases 1\r\n    1  liquid  mole fraction 1\r\n")) << e.output;
}

TEST(CasNumbers, FormatAndParseRoundTrip) {
    EXPECT_EQ(zpkx::formatCas(7732185), "7732-18-5");
    EXPECT_EQ(zpkx::formatCas(74828), "74-82-8");
    EXPECT_EQ(zpkx::formatCas(7), "7");
    EXPECT_EQ(zpkx::parseCas("7732-18-5"), 7732185);
    EXPECT_EQ(zpkx::parseCas(" 7732185 "), 7732185);
    EXPECT_EQ(zpkx::parseCas("-5"), std::nullopt);
    EXPECT_EQ(zpkx::parseCas("12-3"), std::nullopt);
    EXPECT_EQ(zpkx::parseCas("7-73-2185"), std::nullopt);
    EXPECT_EQ(zpkx::parseCas("77321-8-5"), std::nullopt);
    EXPECT_EQ(zpkx::parseCas("7732-18-5-"), std::nullopt);
    EXPECT_EQ(zpkx::parseCas("77a2"), std::nullopt);
    EXPECT_EQ(zpkx::parseCas("1234567890"), std::nullopt);
    EXPECT_EQ(zpkx::parseCas(""), std::nullopt);
}

} // namespace
