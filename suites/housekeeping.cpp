// Housekeeping tests: unit conversions, switching thermodynamic models,
// consistency of the component database, and saving and reloading all
// stream definitions through an archive file.
#include <cmath>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#if defined(_WIN32)
#include <shlobj.h>
#include <windows.h>
#else
#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#endif

#include "testcode.h"
#include "zpk/zpk.h"

namespace {

// Factors that convert a value read in the changed units back to unit set 1.
constexpr double btuPerHourToKilowatt = 0.0002930711;              // enthalpy flow, Btu/h
constexpr double btuPerHourFahrenheitToKilowattPerK = 0.000527528; // entropy flow, Btu/(h F)
constexpr double centipoiseToPascalSecond = 0.001;
constexpr double btuPerHourFootFahrenheitToSI = 1.730735; // thermal conductivity
constexpr double poundPerCubicFootToSI = 16.018;          // density
constexpr double dynePerCentimetreToSI = 0.001;           // surface tension

// The SI values of unit set 1 that the converted values are compared with.
struct SIValues {
    double GH, LH, GS, LS, GV, LV, GC, LC, GD, LD, ST;
};

// One conversion check: a plain property function or its state-taking form,
// the factor back to unit set 1, and the SI reference.
struct ConversionCheck {
    double (*plain)(int);
    double (*atState)(int, double, double);
    double factor;
    double (*reference)(const SIValues&);
};

// clang-format off
constexpr ConversionCheck conversionChecks[] = {
    {StrGH,   nullptr, btuPerHourToKilowatt,               [](const SIValues& v) { return v.GH; }},
    {StrLH,   nullptr, btuPerHourToKilowatt,               [](const SIValues& v) { return v.LH; }},
    {nullptr, EStrH,   btuPerHourToKilowatt,               [](const SIValues& v) { return v.LH + v.GH; }},
    {StrGS,   nullptr, btuPerHourFahrenheitToKilowattPerK, [](const SIValues& v) { return v.GS; }},
    {StrLS,   nullptr, btuPerHourFahrenheitToKilowattPerK, [](const SIValues& v) { return v.LS; }},
    {nullptr, EStrS,   btuPerHourFahrenheitToKilowattPerK, [](const SIValues& v) { return v.LS + v.GS; }},
    {StrGV,   nullptr, centipoiseToPascalSecond,           [](const SIValues& v) { return v.GV; }},
    {nullptr, EStrGV,  centipoiseToPascalSecond,           [](const SIValues& v) { return v.GV; }},
    {StrLV,   nullptr, centipoiseToPascalSecond,           [](const SIValues& v) { return v.LV; }},
    {nullptr, EStrLV,  centipoiseToPascalSecond,           [](const SIValues& v) { return v.LV; }},
    {StrGC,   nullptr, btuPerHourFootFahrenheitToSI,       [](const SIValues& v) { return v.GC; }},
    {nullptr, EStrGC,  btuPerHourFootFahrenheitToSI,       [](const SIValues& v) { return v.GC; }},
    {StrLC,   nullptr, btuPerHourFootFahrenheitToSI,       [](const SIValues& v) { return v.LC; }},
    {nullptr, EStrLC,  btuPerHourFootFahrenheitToSI,       [](const SIValues& v) { return v.LC; }},
    {StrGD,   nullptr, poundPerCubicFootToSI,              [](const SIValues& v) { return v.GD; }},
    {nullptr, EStrGD,  poundPerCubicFootToSI,              [](const SIValues& v) { return v.GD; }},
    {StrLD,   nullptr, poundPerCubicFootToSI,              [](const SIValues& v) { return v.LD; }},
    {nullptr, EStrLD,  poundPerCubicFootToSI,              [](const SIValues& v) { return v.LD; }},
    {StrST,   nullptr, dynePerCentimetreToSI,              [](const SIValues& v) { return v.ST; }},
    {nullptr, EStrST,  dynePerCentimetreToSI,              [](const SIValues& v) { return v.ST; }},
};

// Unit changes (quantity code, new unit), in the order they are made.
constexpr int unitChanges[][2] = {
    {15, 13}, {17, 4}, {21, 5}, {22, 4}, {23, 3}, {25, 7}, {28, 2}, {30, 2}, {32, 2}, {33, 2}, {35, 2},
};
// clang-format on

// Writes the current user's application-data folder into buffer (size
// bytes).  On failure the buffer holds an empty text; like the folder query
// it stands in for, the result is only advisory.
bool applicationDataFolder(char* buffer, std::size_t size) {
    buffer[0] = '\0';
#if defined(_WIN32)
    if (size < MAX_PATH) return false;
    return SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_APPDATA, TRUE) != FALSE;
#else
    // The user's data folder: $XDG_DATA_HOME, else ~/.local/share.
    std::string folder;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        folder = dataHome;
    } else {
        const char* home = std::getenv("HOME");
        if (home == nullptr || home[0] == '\0') return false;
        folder = std::string(home) + "/.local/share";
    }
    if (folder.size() + 1 > size) return false;
    // Create the folder and its missing parents.
    for (std::size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos == folder.size() || folder[pos] == '/') {
            const std::string part = folder.substr(0, pos);
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        }
    }
    std::memcpy(buffer, folder.c_str(), folder.size() + 1);
    return true;
#endif
}

#if defined(_WIN32)
constexpr const char* archiveFileName = "\\test.def";
#else
constexpr const char* archiveFileName = "/test.def";
#endif

void defineLightHydrocarbons(testcode& t, int stream) {
    initS(stream);
    setWm(stream, 1);
    t.setModelAllPhases(stream, 6);
    putZ(stream, 1, 0.02);
    putZ(stream, 2, 0.55);
    putZ(stream, 3, 0.41);
    putZ(stream, 4, 0.02);
    putCC(stream, 1, t.ethane);
    putCC(stream, 2, t.propane);
    putCC(stream, 3, t.isobutane);
    putCC(stream, 4, t.nbutane);
    setS(stream);
}

} // namespace

void testcode::testUnitConversions() {
    const int base = streamBase();
    const int s1 = base + 1;
    resetUnits();

    defineLightHydrocarbons(*this, s1);
    const double t = LfPF(s1, 500000, 0.5);
    setOp(s1, t, 500000);

    // Every property must come out positive in unit set 1.
    auto positive = [&](double value) {
        if (value < 1e-8) appendError("Error testing Unit Conversion");
        return value;
    };
    SIValues si{};
    si.GH = positive(StrGH(s1));
    si.LH = positive(StrLH(s1));
    si.GS = positive(StrGS(s1));
    si.LS = positive(StrLS(s1));
    si.GV = positive(StrGV(s1));
    si.LV = positive(StrLV(s1));
    si.GC = positive(StrGC(s1));
    si.LC = positive(StrLC(s1));
    si.GD = positive(StrGD(s1));
    si.LD = positive(StrLD(s1));
    si.ST = positive(StrST(s1));

    // The unit settings are process-wide: only a single-thread run changes them.
    if (base != 0) return;
    checkUnits();

    for (const auto& change : unitChanges)
        setUMC(change[0], change[1]);
    setWm(s1, 7936.56);
    const double tF = t * 1.8 - 459.67;
    setOp(s1, tF, 72.52);

    for (const ConversionCheck& check : conversionChecks) {
        const double value = check.plain != nullptr ? check.plain(s1) : check.atState(s1, tF, 72.52);
        if (std::fabs(1 - (value * check.factor) / check.reference(si)) > 1e-4)
            appendError("Error testing Unit Conversion");
    }
    // The units stay changed; the next procedure starts with resetUnits().
}

void testcode::testThermoPackages() {
    const int s1 = streamBase() + 1;
    resetUnits();

    initS(s1);
    setWm(s1, 1);
    setMP(s1, 1, 1, 1);
    putZ(s1, 1, 1);
    putCC(s1, 1, ethane);
    setS(s1);
    setOp(s1, 300, 1000000);
    if (StrZv(s1) < 0.999) appendError("Error testing setMFg(), getMfg()");
    if (getMP(s1, 1, 1) != 1) appendError("Error testing setMFg(), getMfg()");

    for (int model : {10, 11, 130, 12}) {
        setMP(s1, 1, 1, model);
        setOp(s1, 300, 1000000);
        if (StrZv(s1) < 0.999) appendError("Error testing setMFg(), getMfg()");
    }

    checkUnits();
}

void testcode::testDatabaseAccess() {
    const int n = getFCNr();
    for (int i = 1; i <= n; ++i) {
        const int cas = CompID(i);
        if (cas > 0) {
            const int idx = CompCID(cas);
            if (idx < i - 1 || idx > i + 1) appendError("Error executing CompID() , CompCID()");
        }
    }
}

void testcode::testArchives() {
    // Rewrites every stream of the library: single-thread runs only.
    if (streamBase() != 0) return;

    // The folder leaves room for the file name in the message buffer.
    applicationDataFolder(message, sizeof message - std::strlen(archiveFileName));
    std::strcat(message, archiveFileName);
    char* path = message;

    const int n = getMSNr();
    setUMC(25, 1);
    for (int i = 1; i <= n; ++i) {
        const double share = static_cast<double>(i) / n;
        initS(i);
        setWm(i, 1);
        setModelAllPhases(i, 6);
        putZ(i, 1, share);
        putZ(i, 2, 1 - share);
        putCC(i, 1, i);
        putCC(i, 2, i + 1);
        setS(i);
    }
    const int saved = AFSave(path);

    // Overwrite every stream so that only the archive can bring them back.
    for (int j = 1; j <= n; ++j) {
        setWm(j, 100);
        initS(j);
        setModelAllPhases(j, 7);
        putZ(j, 1, 1);
        putCC(j, 1, 500);
        setS(j);
    }
    if (saved != 1) return;
    if (AFOpen(path) != 1) return;

    for (int i = 1; i <= n; ++i) {
        const double share = static_cast<double>(i) / n;
        const char* text = "Error executing AFOpen(char*) , AFSave(char*)";
        if (std::fabs(1 - getWm(i)) > 1e-5) appendError(text);
        if (getCNr(i) != 2) appendError(text);
        if (std::fabs(share - getZ(i, 1)) > 1e-5) appendError(text);
        if (std::fabs((1 - share) - getZ(i, 2)) > 1e-5) appendError(text);
        if (getCC(i, 1) != i) appendError(text);
        if (getCC(i, 2) != i + 1) appendError(text);
    }
}
