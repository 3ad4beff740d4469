// Archives: round trip of every stream, and corrupt, truncated or missing
// files that must leave every stream unchanged.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "archive/archive.h"
#include "components/database.h"
#include "core/data_files.h"
#include "streams/store.h"
#include "zpk/zpk.h"

namespace {

namespace fs = std::filesystem;
using zpk::streams::kCapacity;

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const fs::path& p, const std::string& text) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << text;
}

// FNV-1a 64, written out here independently of the library.
std::string checksum(const std::string& body) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : body) h = (h ^ c) * 0x100000001b3ull;
    char buf[20];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(h));
    return buf;
}

class Archives : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int c = 15; c <= 54; ++c) setUMC(c, 1);
        dir = fs::path(::testing::TempDir()) / ("zpk_archive_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        file = (dir / "test.def").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    // Every stream as the battery's archive test defines it: components i
    // and i + 1, fractions i/n and 1 - i/n.
    void defineAll() {
        const int n = getMSNr();
        ASSERT_GE(zpk::components::count(), n + 1);
        for (int i = 1; i <= n; ++i) {
            initS(i);
            setWm(i, 1);
            for (int p = 1; p <= 4; ++p) {
                setMP(i, p, 1, 30);
                setMP(i, p, 0, 30);
                setMP(i, p, 2, 1);
            }
            putZ(i, 1, static_cast<double>(i) / n);
            putZ(i, 2, 1 - static_cast<double>(i) / n);
            putCC(i, 1, i);
            putCC(i, 2, i + 1);
            ASSERT_EQ(setS(i), 1) << i << ": " << ErrMsg();
        }
    }
    std::vector<zpk::streams::StreamDef> allDefs() {
        std::vector<zpk::streams::StreamDef> v;
        for (int i = 1; i <= kCapacity; ++i) v.push_back(zpk::streams::snapshot(i).def);
        return v;
    }
    // Opening `text` as an archive must fail and change no stream.
    void expectRejected(const std::string& text, const std::string& what) {
        writeAll(file, text);
        const auto before = allDefs();
        setErrFlag(0);
        EXPECT_EQ(AFOpen(file.data()), 0) << what;
        EXPECT_EQ(getErrFlag(), 5) << what;
        EXPECT_EQ(std::string(ErrMsg()).rfind("AFOpen: ", 0), 0u) << ErrMsg();
        EXPECT_TRUE(before == allDefs()) << what << ": streams changed";
    }

    fs::path dir;
    std::string file;
};

TEST_F(Archives, RoundTripOfEveryStream) {
    defineAll();
    // Some extra detail on a few streams.
    putN(3, const_cast<char*>("name with blanks % and\ttab"));
    putKO(3, 129);
    putKS(3, 4, -7);
    putCi(3, 1, 1);
    putCj(3, 1, 2);
    putMB(3, 1, 30);
    putBIP(3, 1, 0, 0.1234567890123456789);
    putBIP(3, 1, 9, -1e-300);
    setS(3);
    loadSB(3, 2);
    setMP(4, 1, 1, 11);
    initS(kCapacity - 1);  // one undefined stream
    const auto saved = allDefs();
    ASSERT_EQ(AFSave(file.data()), 1) << ErrMsg();

    const int n = getMSNr();
    for (int j = 1; j <= n; ++j) {
        setWm(j, 100);
        initS(j);
        for (int p = 1; p <= 4; ++p) {
            setMP(j, p, 1, 50);
            setMP(j, p, 0, 50);
        }
        putZ(j, 1, 1);
        putCC(j, 1, 500);
        setS(j);
    }
    ASSERT_EQ(AFOpen(file.data()), 1) << ErrMsg();
    EXPECT_TRUE(saved == allDefs());
    for (int i = 1; i <= n; ++i) {
        if (i == kCapacity - 1) {
            EXPECT_EQ(isSDef(i), 0);
            EXPECT_EQ(getCNr(i), 0) << "an undefined stream in the range is cleared";
            continue;
        }
        ASSERT_EQ(getCNr(i), 2);
        EXPECT_DOUBLE_EQ(getZ(i, 1), static_cast<double>(i) / n);
        EXPECT_EQ(getCC(i, 2), i + 1);
        EXPECT_EQ(isSDef(i), 1);
        EXPECT_EQ(isSopDef(i), 0);
    }
    EXPECT_STREQ(StrN(3), "name with blanks % and\ttab");
    EXPECT_EQ(getBIP(3, 1, 0), 0.1234567890123456789);
}

TEST_F(Archives, SaveIsAtomicAndLeavesNoTemporaryFiles) {
    defineAll();
    writeAll(file, "old contents\n");
    ASSERT_EQ(AFSave(file.data()), 1);
    int files = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        ++files;
        EXPECT_EQ(e.path().filename(), "test.def");
    }
    EXPECT_EQ(files, 1);
    EXPECT_EQ(readAll(file).rfind("ZPK-ARCHIVE 1\n", 0), 0u);

    std::string bad = (dir / "missing-folder" / "x.def").string();
    EXPECT_EQ(AFSave(bad.data()), 0);
    EXPECT_FALSE(fs::exists(dir / "missing-folder"));
    EXPECT_EQ(AFSave(nullptr), 0);
}

TEST_F(Archives, MissingFileChangesNothing) {
    defineAll();
    const auto before = allDefs();
    std::string missing = (dir / "nope.def").string();
    EXPECT_EQ(AFOpen(missing.data()), 0);
    EXPECT_NE(std::string(ErrMsg()).find("nope.def"), std::string::npos) << ErrMsg();
    EXPECT_TRUE(before == allDefs());
    EXPECT_EQ(AFOpen(nullptr), 0);
}

TEST_F(Archives, TruncatedFilesChangeNothing) {
    for (int i = 1; i <= 50; ++i) {
        initS(i);
        putZ(i, 1, 1);
        putCC(i, 1, i);
        setS(i);
    }
    ASSERT_EQ(AFSave(file.data()), 1);
    const std::string good = readAll(file);
    // Redefine so that a wrongly accepted file would show.
    for (int i = 1; i <= 50; ++i) putCC(i, 1, i + 7);
    for (std::size_t cut : {std::size_t{0}, std::size_t{5}, good.size() / 3, good.size() / 2, good.size() - 40,
                            good.size() - 1}) {
        expectRejected(good.substr(0, cut), "cut at " + std::to_string(cut));
    }
    // Cut exactly at a line end before the closing line.
    const std::size_t endLine = good.rfind("end ");
    expectRejected(good.substr(0, endLine), "without the closing line");
}

TEST_F(Archives, CorruptFilesChangeNothing) {
    for (int i = 1; i <= 20; ++i) {
        initS(i);
        putZ(i, 1, 0.5);
        putZ(i, 2, 0.5);
        putCC(i, 1, i);
        putCC(i, 2, i + 1);
        setS(i);
    }
    ASSERT_EQ(AFSave(file.data()), 1);
    const std::string good = readAll(file);
    initS(1);

    std::string flipped = good;
    flipped[good.find("comp 1") + 9] ^= 1;  // a digit of a component code
    expectRejected(flipped, "one changed byte");

    std::string version = good;
    version.replace(0, 13, "ZPK-ARCHIVE 9");
    expectRejected(version, "unknown version");

    expectRejected("hello\nworld\n", "not an archive");
    expectRejected(std::string("\0\1\2\n", 4), "binary garbage");
}

TEST_F(Archives, HandWrittenFileFollowsTheDocumentedFormat) {
    // Streams above the range stay untouched; streams in the range without a
    // block are cleared; the CAS number wins over the stored code.
    const int methane = CompCID(74828);
    for (int i : {1, 2, 3}) {
        initS(i);
        putZ(i, 1, 1);
        putCC(i, 1, 10);
        setS(i);
    }
    std::string body =
        "ZPK-ARCHIVE 1\n"
        "range 2\n"
        "stream 1\n"
        "name my%20gas\n"
        "flow 3.5\n"
        "options 1\n"
        "model 1 0 50\n"
        "comp 1 999 74828 0.7\n"
        "comp 2 " + std::to_string(CompCID(74840)) + " 0 0.3\n"
        "tp 300 200000\n"
        "endstream\n";
    writeAll(file, body + "end 1 " + checksum(body) + "\n");
    ASSERT_EQ(AFOpen(file.data()), 1) << ErrMsg();
    EXPECT_STREQ(StrN(1), "my gas");
    EXPECT_EQ(getCC(1, 1), methane);
    EXPECT_DOUBLE_EQ(getWm(1), 3.5);
    EXPECT_EQ(getKO(1), 1);
    EXPECT_EQ(getMP(1, 1, 0), 50);
    EXPECT_DOUBLE_EQ(getT(1), 300);
    EXPECT_EQ(getCNr(2), 0);
    EXPECT_EQ(getCC(3, 1), 10);

    // The same file with a wrong count is refused.
    writeAll(file, body + "end 2 " + checksum(body) + "\n");
    EXPECT_EQ(AFOpen(file.data()), 0);
}

#if defined(_WIN32)
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

TEST_F(Archives, ShippedDefaultsLoad) {
    const std::string folder = getDATAF();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), kSeparator);
    std::string path = folder + "def.zpk";
    ASSERT_EQ(AFOpen(path.data()), 1) << ErrMsg();
    EXPECT_EQ(isSDef(1), 1);
    EXPECT_EQ(isSDef(kCapacity), 0);
}

// The data is looked for beside the module holding the library first.  The
// Windows build keeps a copy in bin\data\ beside the DLL and the test
// programs, so that is where a Windows build finds it.
TEST_F(Archives, DataFolderBesideTheModule) {
    const std::string module = zpk::moduleFolder();
    ASSERT_FALSE(module.empty());
    EXPECT_EQ(module.back(), kSeparator);
    const std::vector<std::string>& folders = zpk::dataFolders();
    ASSERT_GE(folders.size(), 3u);
    for (const std::string& f : folders) EXPECT_TRUE(f.back() == '/' || f.back() == '\\') << f;
#if defined(_WIN32)
    EXPECT_EQ(folders[0], module + "data\\");
    EXPECT_EQ(folders[1], module + "..\\share\\zpk\\");
    EXPECT_EQ(std::string(getDATAF()), module + "data\\");
#else
    EXPECT_EQ(folders[0], module + "../share/zpk/");
#endif
}

}  // namespace
