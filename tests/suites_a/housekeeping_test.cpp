// Units, thermo package, database and archive procedures against the
// recording double.
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#if defined(_WIN32)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <shlobj.h>
#endif

#include "suite_harness.h"
#include "zpk/zpk.h"

namespace {

using zpkdouble::Call;

class Housekeeping : public SuiteTest {};

TEST_F(Housekeeping, ThreadedRunLeavesArchivesAlone) {
    setStreamBase(200);
    fixture().testArchives();
    EXPECT_EQ(zpkdouble::totalCalls(), 0u);
}

TEST_F(Housekeeping, ThreadedRunMakesOnlyTheSiChecksOfTheUnitTest) {
    setStreamBase(200);
    fixture().testUnitConversions();
    // All SI values read 0: each of the 11 reads is recorded.
    EXPECT_EQ(entries(), std::vector<std::string>(11, "Error testing Unit Conversion"));
    EXPECT_EQ(zpkdouble::count("setUMC"), 40u) << "only resetUnits()";
    EXPECT_EQ(zpkdouble::count("getUMC"), 0u);
    EXPECT_EQ(zpkdouble::count("EStrH"), 0u);
    EXPECT_EQ(zpkdouble::calls("initS").at(0).num[0], 201.0);
}

// SI values of the light hydrocarbon stream, and the factors that convert
// each quantity from the units the test switches to back to SI.
struct Quantity {
    const char* plain;
    const char* atState;
    double si;
    double factor;
};
const Quantity quantities[] = {
    {"StrGH", nullptr, 100, 0.0002930711}, {"StrLH", nullptr, 50, 0.0002930711},
    {"StrGS", nullptr, 10, 0.000527528},   {"StrLS", nullptr, 5, 0.000527528},
    {"StrGV", "EStrGV", 1e-5, 0.001},      {"StrLV", "EStrLV", 2e-4, 0.001},
    {"StrGC", "EStrGC", 0.02, 1.730735},   {"StrLC", "EStrLC", 0.1, 1.730735},
    {"StrGD", "EStrGD", 10, 16.018},       {"StrLD", "EStrLD", 500, 16.018},
    {"StrST", "EStrST", 0.01, 0.001},
};

// A library that converts exactly: values read after the unit change come
// in the new units.  entropyFactor is the library's entropy conversion.
void programConvertingLibrary(double entropyFactor) {
    auto changed = std::make_shared<bool>(false);
    zpkdouble::setHandler("setUMC", [changed](const std::vector<double>& a) {
        if (a[0] == 22 && a[1] == 4) *changed = true;
        return 1.0;
    });
    zpkdouble::setReturn("LfPF", 250);
    auto program = [changed](const char* name, double si, double factor) {
        zpkdouble::setHandler(name,
                              [changed, si, factor](const Call&) { return *changed ? si / factor : si; });
    };
    for (const Quantity& q : quantities) {
        const double factor = q.factor == 0.000527528 ? entropyFactor : q.factor;
        program(q.plain, q.si, factor);
        if (q.atState != nullptr) program(q.atState, q.si, factor);
    }
    program("EStrH", 150, 0.0002930711);
    program("EStrS", 15, entropyFactor);
}

TEST_F(Housekeeping, ExactConversionsRecordNothing) {
    programConvertingLibrary(0.000527528);
    fixture().testUnitConversions();
    EXPECT_EQ(errorText(), "");
    // One unit check before the changes, none after them.
    EXPECT_EQ(zpkdouble::count("getUMC"), 12u);
    const auto setUMC = zpkdouble::calls("setUMC");
    ASSERT_EQ(setUMC.size(), 40u + 11u);
    EXPECT_EQ(setUMC[40].num, (std::vector<double>{15, 13}));
    EXPECT_EQ(setUMC[50].num, (std::vector<double>{35, 2}));
    const auto setOp = zpkdouble::calls("setOp");
    ASSERT_EQ(setOp.size(), 2u);
    EXPECT_DOUBLE_EQ(setOp[1].num[1], 250 * 1.8 - 459.67);
    EXPECT_EQ(setOp[1].num[2], 72.52);
    EXPECT_EQ(zpkdouble::calls("setWm").back().num[1], 7936.56);
}

TEST_F(Housekeeping, EntropyIsReadBackAsBtuPerHourFahrenheit) {
    // Entropy flows converted with 1/1.8 of the Btu/(h F) factor are wrong.
    programConvertingLibrary(0.00016281722);
    fixture().testUnitConversions();
    EXPECT_EQ(entries(), std::vector<std::string>(3, "Error testing Unit Conversion"));
}

#if defined(_WIN32)
// The application-data folder of the user running the tests, as the shell
// reports it (scripts/windows.sh runs them in a throw-away Wine profile).
class ArchiveFolder {
  public:
    ArchiveFolder() {
        char buffer[MAX_PATH] = "";
        SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA, TRUE);
        folder_ = buffer;
    }
    std::string folder() const { return folder_; }
    std::string archive() const { return folder_ + "\\test.def"; }

  private:
    std::string folder_;
};
#else
// Points XDG_DATA_HOME at a fresh folder for one test.
class ArchiveFolder {
  public:
    ArchiveFolder() {
        char pattern[] = "/tmp/suites_a_XXXXXX";
        root_ = ::mkdtemp(pattern);
        const char* old = std::getenv("XDG_DATA_HOME");
        hadOld_ = old != nullptr;
        if (hadOld_) old_ = old;
        ::setenv("XDG_DATA_HOME", (root_ + "/data/home").c_str(), 1);
    }
    ~ArchiveFolder() {
        if (hadOld_)
            ::setenv("XDG_DATA_HOME", old_.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
        std::filesystem::remove_all(root_);
    }
    std::string folder() const { return root_ + "/data/home"; }
    std::string archive() const { return folder() + "/test.def"; }

  private:
    std::string root_, old_;
    bool hadOld_ = false;
};
#endif

TEST_F(Housekeeping, EmptyLibrarySavesAndLoadsAnArchiveQuietly) {
    ArchiveFolder folder;
    zpkdouble::setReturn("AFSave", 1);
    zpkdouble::setReturn("AFOpen", 1);
    fixture().testArchives();
    EXPECT_EQ(errorText(), "");
    ASSERT_EQ(zpkdouble::count("AFSave"), 1u);
    EXPECT_EQ(zpkdouble::calls("AFSave")[0].text[0], folder.archive());
    EXPECT_EQ(zpkdouble::calls("AFOpen").at(0).text[0], folder.archive());
    EXPECT_TRUE(std::filesystem::is_directory(folder.folder())) << "the data folder is created";
    EXPECT_EQ(zpkdouble::count("initS"), 0u);
}

// A library whose archive brings back what the test defined for n streams,
// except where wrongCC says otherwise.
void programArchive(int n, int wrongStream) {
    zpkdouble::setReturn("getMSNr", n);
    zpkdouble::setReturn("AFSave", 1);
    zpkdouble::setReturn("AFOpen", 1);
    zpkdouble::setReturn("getWm", 1);
    zpkdouble::setReturn("getCNr", 2);
    zpkdouble::setHandler("getZ", [n](const std::vector<double>& a) {
        const double share = a[0] / n;
        return a[1] == 1 ? share : 1 - share;
    });
    zpkdouble::setHandler("getCC", [wrongStream](const std::vector<double>& a) {
        if (a[0] == wrongStream && a[1] == 2) return 0.0;
        return a[0] + a[1] - 1;
    });
}

TEST_F(Housekeeping, FaithfulArchiveRecordsNothing) {
    ArchiveFolder folder;
    programArchive(3, 0);
    fixture().testArchives();
    EXPECT_EQ(errorText(), "");
    const auto putCC = zpkdouble::calls("putCC");
    // Three streams with components i and i + 1, then the overwrite with 500.
    ASSERT_EQ(putCC.size(), 9u);
    EXPECT_EQ(putCC[4].num, (std::vector<double>{3, 1, 3}));
    EXPECT_EQ(putCC[5].num, (std::vector<double>{3, 2, 4}));
    EXPECT_EQ(putCC[8].num, (std::vector<double>{3, 1, 500}));
}

TEST_F(Housekeeping, ArchiveDifferenceIsOneEntryPerCheck) {
    ArchiveFolder folder;
    programArchive(3, 2);
    fixture().testArchives();
    EXPECT_EQ(entries(), std::vector<std::string>{"Error executing AFOpen(char*) , AFSave(char*)"});
}

TEST_F(Housekeeping, FailedSaveRecordsNothingAndLoadsNothing) {
    ArchiveFolder folder;
    programArchive(3, 2);
    zpkdouble::setReturn("AFSave", 0);
    fixture().testArchives();
    EXPECT_EQ(errorText(), "");
    EXPECT_EQ(zpkdouble::count("AFOpen"), 0u);
    EXPECT_EQ(zpkdouble::count("initS"), 6u) << "the streams are overwritten all the same";
}

TEST_F(Housekeeping, DatabaseIndexMayMapBackToANeighbour) {
    for (double back : {6.0, 7.0}) {
        SetUp();
        zpkdouble::setReturn("getFCNr", 10);
        zpkdouble::setHandler("CompID",
                              [](const std::vector<double>& a) { return a[0] == 3 ? 0.0 : a[0] * 100; });
        zpkdouble::setHandler(
            "CompCID", [back](const std::vector<double>& a) { return a[0] == 500 ? back : a[0] / 100; });
        fixture().testDatabaseAccess();
        if (back == 6.0)
            EXPECT_EQ(errorText(), "");
        else
            EXPECT_EQ(entries(), std::vector<std::string>{"Error executing CompID() , CompCID()"});
        EXPECT_EQ(zpkdouble::count("CompCID"), 9u) << "component 3 has no CAS number";
    }
}

TEST_F(Housekeeping, CompressibilityOfExactly0999Passes) {
    zpkdouble::setReturn("StrZv", 0.999);
    zpkdouble::setReturn("getMP", 1);
    fixture().testThermoPackages();
    EXPECT_EQ(errorText(), "");
    std::vector<double> models;
    for (const Call& c : zpkdouble::calls("setMP"))
        models.push_back(c.num[3]);
    EXPECT_EQ(models, (std::vector<double>{1, 10, 11, 130, 12}));
}

TEST_F(Housekeeping, EveryModelBelowTheCompressibilityLimitIsRecorded) {
    zpkdouble::setReturn("StrZv", 0.998);
    fixture().testThermoPackages(); // getMP reads 0 as well
    EXPECT_EQ(entries(), std::vector<std::string>(6, "Error testing setMFg(), getMfg()"));
}

} // namespace
