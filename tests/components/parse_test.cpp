// The data-file parser: a malformed file is rejected whole, with the line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "components/database.h"

namespace {

using zpk::components::Component;
using zpk::components::parseTable;

const char* kHeader = "index\tcas\tname\tname1\tname2\tformula\tmw\ttc\tpc\tvc\tomega\ttb\ttm\thf\tgf\ts0\tdi"
                      "pole\trg\tzra\tsol\tcp0\t"
                      "cp\tvp\tld\thv\tlcp\tlvisc\tgvisc\tlk\tgk\tst\tsd\tscp\thfus\n";

std::string row(int index, const std::string& cas, const std::string& mw = "16.04",
                const std::string& cp = "3;50;1000;20;0.01", const std::string& vp = "") {
    return std::to_string(index) + "\t" + cas + "\tNAME" + std::to_string(index) + "\t\t\tCH4\t" + mw +
           "\t190.6\t4.6e6\t0.099\t0.011\t111.7\t90.7\t-74520\t-50490\t186.3\t0\t\tnan\t\t33.26\t" + cp +
           "\t" + vp + "\t\t\t\t\t\t\t\t\t\t\t\n";
}

bool parse(const std::string& text, std::vector<Component>& out, std::string& error) {
    std::istringstream in(text);
    return parseTable(in, out, error);
}

TEST(ParseTable, ReadsValuesAndMissingCells) {
    std::vector<Component> out;
    std::string error;
    const std::string text =
        std::string("# comment\n") + kHeader + row(1, "74828") +
        row(2, "7732185", "18.015", "", "101;273.16;647.1;73.649;-7258.2;-7.3037;4.1653e-06;2");
    ASSERT_TRUE(parse(text, out, error)) << error;
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].index, 1);
    EXPECT_EQ(out[0].cas, 74828);
    EXPECT_EQ(out[0].name, "NAME1");
    EXPECT_DOUBLE_EQ(out[0].pc, 4.6e6);
    EXPECT_TRUE(std::isnan(out[0].rg));  // empty cell
    EXPECT_TRUE(std::isnan(out[0].zra)); // "nan"
    EXPECT_EQ(out[0].cp.form, 3);
    EXPECT_DOUBLE_EQ(out[0].cp.tmin, 50);
    ASSERT_EQ(out[0].cp.coeffs.size(), 2u);
    EXPECT_EQ(out[1].cp.form, 0);
    EXPECT_EQ(out[1].vp.eq, 101);
    EXPECT_NEAR(zpk::components::evaluate(out[1].vp, 373.15), 101325, 1500);
}

TEST(ParseTable, AcceptsWindowsLineEnds) {
    std::vector<Component> out;
    std::string error;
    std::string text = std::string(kHeader) + row(1, "74828");
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    EXPECT_TRUE(parse(crlf, out, error)) << error;
}

struct Bad {
    const char* what;
    std::string text;
    const char* expect;
};

TEST(ParseTable, RejectsMalformedFilesWithLineNumber) {
    const Bad cases[] = {
        {"no header", row(1, "74828"), "header"},
        {"empty", std::string("# only comments\n"), "no header"},
        {"header only", std::string(kHeader), "no components"},
        {"index gap", std::string(kHeader) + row(1, "74828") + row(3, "74840"), "line 3"},
        {"duplicate CAS", std::string(kHeader) + row(1, "74828") + row(2, "74828"), "duplicate"},
        {"bad CAS", std::string(kHeader) + row(1, "74-82-8"), "CAS"},
        {"bad number", std::string(kHeader) + row(1, "74828", "16,04"), "mw"},
        {"bad cp", std::string(kHeader) + row(1, "74828", "16.04", "9;1;2;3"), "heat capacity"},
        {"cp range", std::string(kHeader) + row(1, "74828", "16.04", "3;500;100;3"), "heat capacity"},
        {"bad correlation", std::string(kHeader) + row(1, "74828", "16.04", "", "101;x"), "vp"},
        {"truncated line", std::string(kHeader) + row(1, "74828").substr(0, 40) + "\n", "columns"},
    };
    for (const auto& c : cases) {
        std::vector<Component> out;
        std::string error;
        EXPECT_FALSE(parse(c.text, out, error)) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
        EXPECT_NE(error.find(c.expect), std::string::npos) << c.what << ": " << error;
    }
}

} // namespace

namespace {

TEST(LoadFile, MissingAndMalformedFilesNameThePath) {
    std::vector<Component> out;
    std::string error;
    EXPECT_FALSE(zpk::components::loadFile("/nonexistent/components.tsv", out, error));
    EXPECT_NE(error.find("cannot open /nonexistent/components.tsv"), std::string::npos) << error;

    const std::string path = ::testing::TempDir() + "components_bad.tsv";
    {
        std::ofstream f(path);
        f << kHeader << row(1, "74828") << "2\tgarbage\n";
    }
    EXPECT_FALSE(zpk::components::loadFile(path, out, error));
    EXPECT_NE(error.find(path + ": line 3"), std::string::npos) << error;
    EXPECT_TRUE(out.empty());
    std::remove(path.c_str());
}

TEST(LoadFile, ShippedFileLoads) {
    std::vector<Component> out;
    std::string error;
    ASSERT_FALSE(zpk::components::dataFile().empty()) << zpk::components::loadError();
    EXPECT_TRUE(zpk::components::loadFile(zpk::components::dataFile(), out, error)) << error;
    EXPECT_EQ(static_cast<int>(out.size()), zpk::components::count());
}

} // namespace
