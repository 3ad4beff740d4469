// archive_exchange: writes and re-writes stream archives so that a script
// can compare the files of two builds (Linux and Windows) byte by byte and
// let each build open the other's file.
//
//   archive_exchange write FILE        define the sample streams, save FILE
//   archive_exchange reopen IN OUT     open IN, check the sample, save OUT
//
// Exit status 0 on success; otherwise a message on standard error.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "zpk/zpk.h"

namespace {

// Streams 1..count in the battery's archive pattern (components i and i + 1,
// fractions i/count and 1 - i/count); stream 3 also carries a name that
// needs escaping, options, a setting, interaction parameters that need all
// 17 digits and an operating point.
constexpr int count = 40;
constexpr int detailed = 3;
constexpr char sampleName[] = "name with blanks % and\ttab";

bool defineSample() {
    for (int c = 15; c <= 54; ++c)
        setUMC(c, 1);
    for (int i = 1; i <= count; ++i) {
        initS(i);
        setWm(i, 1.0 / i);
        for (int p = 1; p <= 4; ++p) {
            setMP(i, p, 1, 30);
            setMP(i, p, 0, 30);
            setMP(i, p, 2, 1);
        }
        putZ(i, 1, static_cast<double>(i) / count);
        putZ(i, 2, 1 - static_cast<double>(i) / count);
        putCC(i, 1, i);
        putCC(i, 2, i + 1);
        if (setS(i) != 1) return false;
    }
    putN(detailed, const_cast<char*>(sampleName));
    putKO(detailed, 129);
    putKS(detailed, 4, -7);
    putBIP(detailed, 1, 0, 0.1234567890123456789);
    putBIP(detailed, 1, 9, -1e-300);
    return setS(detailed) == 1 && setOp(detailed, 273.15 + 1.0 / 3.0, 101325.0 * std::sqrt(2.0)) == 1;
}

bool sampleIsLoaded() {
    for (int i = 1; i <= count; ++i) {
        if (getCNr(i) != 2 || getCC(i, 1) != i || getCC(i, 2) != i + 1) return false;
        if (getZ(i, 1) != static_cast<double>(i) / count || getWm(i) != 1.0 / i) return false;
    }
    return std::strcmp(StrN(detailed), sampleName) == 0 && getKO(detailed) == 129;
}

int failure(const char* what) {
    std::fprintf(stderr, "archive_exchange: %s: %s\n", what, ErrMsg() ? ErrMsg() : "");
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write" && argc == 3) {
        if (!defineSample()) return failure("defining the sample streams");
        if (AFSave(argv[2]) != 1) return failure("AFSave");
        return 0;
    }
    if (mode == "reopen" && argc == 4) {
        if (AFOpen(argv[2]) != 1) return failure("AFOpen");
        if (!sampleIsLoaded()) return failure("the sample streams did not come back");
        if (AFSave(argv[3]) != 1) return failure("AFSave");
        return 0;
    }
    std::fprintf(stderr, "usage: archive_exchange write FILE | reopen IN OUT\n");
    return 2;
}
