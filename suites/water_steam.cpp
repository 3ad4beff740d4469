// Water and steam tests: the library's name of water, and eleven
// single-phase properties of water at eleven states against IAPWS-95
// reference values.
#include <cmath>

#include "testcode.h"
#include "zpk/zpk.h"

namespace {

// One row of the reference table.  Pressure in MPa; compressibility in 1/MPa
// and Joule-Thomson coefficient in K/MPa (the library speaks 1/Pa and K/Pa,
// so both library values are multiplied by 1e6 before the comparison).
struct SteamRow {
    double T, density, P, cv, cp, soundSpeed, entropy, enthalpy, compressibility, jouleThomson, viscosity,
        conductivity, surfaceTension;
};

// clang-format off
constexpr SteamRow steamTable[] = {
    // T    density    P              Cv          Cp         sound      S - S0       H - H0     compress.     J-T           viscosity     conduct.     surf. tension
    {300, 996.556,   0.099242,     4.13018111, 4.1806417, 1501.51914, 0.393062642, 112.65298, 0.0004505162, -0.22023655,  0.0008537257, 0.61033078,  0.071685},
    {300, 1005.308,  20.0022514,   4.06798347, 4.1282177, 1534.925,   0.3874054,   130.83981, 0.0004284597, -0.21969816,  0.00085252,   0.62074,     0.071685},
    {300, 1188.202,  700.004704,   3.4613558,  3.7732194, 2443.5799,  0.13260962,  668.51793, 0.0001536464, -0.19389709,  0.0013092,    0.844,       0.071685},
    {500, 0.435,     0.0999679423, 1.5081754,  1.9812493, 548.31425,  7.9448827,   2928.5597, 10.044746,    19.29769,     1.7299e-05,   0.035960678, 1e-06},
    {500, 4.532,     0.999938125,  1.66991025, 2.2794528, 535.739,    6.8250273,   2891.2211, 1.0494,       19.740947,    1.7053e-05,   0.037784,    1e-06},
    {500, 838.025,   10.0003858,   3.22106219, 4.6022245, 1271.2844,  2.5669092,   977.18162, 0.0010549364, -0.056690812, 0.0001198,    0.6497,      0.03147},
    {500, 1084.564,  700.000405,   3.07437693, 3.6715411, 2412.0088,  2.0323751,   1411.114,  0.0001892685, -0.18895671,  0.0002355,    0.9471,      0.03147},
    {647, 357.99487, 22.0384756,   6.1835508,  3531.618,  252.13768,  4.3209342,   2028.5169, 25.094,       3.579666,     4.269e-05,    0.7218,      3.6615e-06},
    {900, 0.241,     0.100062559,  1.75890657, 2.2216447, 724.02715,  9.1665319,   3764.9758, 9.9978148,    3.2280128,    3.368e-05,    0.08351,     1e-06},
    {900, 52.615,    20.000069,    1.93510526, 2.7192854, 698.44567,  6.5907022,   3612.7856, 0.054748895,  2.9763563,    3.502e-05,    0.0989,      1e-06},
    {900, 870.769,   700.000006,   2.6642235,  3.5803199, 2019.3361,  4.172238,    2865.5246, 0.0003784696, -0.15355718,  0.0001153,    0.7939,      1e-06},
};
// clang-format on

// Tolerances of the eleven compared columns, in column order (density to
// surface tension).
constexpr double steamTolerance[11] = {1e-4, 1e-4, 1e-4, 1e-4, 0.001, 0.001, 1e-4, 1e-4, 0.001, 0.001, 0.001};

} // namespace

void testcode::testWaterSteam1() {
    const char* name = CompN(water);
    const char expected[6] = "WATER";
    for (int i = 0; i < 6; ++i) {
        // A missing name differs from "WATER" at its first character.
        if (name == nullptr || name[i] != expected[i]) {
            appendError("Error testing CompN()");
            return;
        }
    }
}

void testcode::testWaterSteam2() {
    const int s1 = streamBase() + 1;

    initS(s1);
    setWm(s1, 1);
    setModelAllPhases(s1, 32);
    putZ(s1, 1, 1);
    putCC(s1, 1, water);
    setS(s1);

    // Reference state: liquid at the triple point.
    setOp(s1, 273.160000001, 100000);
    const double H0 = StrLH(s1);
    const double S0 = StrLS(s1);

    for (const SteamRow& row : steamTable) {
        setOp(s1, row.T, row.P * 1000000);
        double result[11];
        if (StrLf(s1) > 0.5) {
            result[0] = StrLD(s1);
            result[1] = StrLCv(s1);
            result[2] = StrLCp(s1);
            result[3] = StrLSS(s1);
            result[4] = StrLS(s1) - S0;
            result[5] = StrLH(s1) - H0;
            result[6] = StrLIC(s1) * 1000000;
            result[7] = StrLJT(s1) * 1000000;
            result[8] = StrLV(s1);
            result[9] = StrLC(s1);
            result[10] = StrST(s1);
        } else {
            result[0] = StrGD(s1);
            result[1] = StrGCv(s1);
            result[2] = StrGCp(s1);
            result[3] = StrGSS(s1);
            result[4] = StrGS(s1) - S0;
            result[5] = StrGH(s1) - H0;
            result[6] = StrGIC(s1) * 1000000;
            result[7] = StrGJT(s1) * 1000000;
            result[8] = StrGV(s1);
            result[9] = StrGC(s1);
            // A gas has no surface tension: the column cannot fail.
            result[10] = row.surfaceTension;
        }
        const double reference[11] = {row.density,
                                      row.cv,
                                      row.cp,
                                      row.soundSpeed,
                                      row.entropy,
                                      row.enthalpy,
                                      row.compressibility,
                                      row.jouleThomson,
                                      row.viscosity,
                                      row.conductivity,
                                      row.surfaceTension};
        // One entry per row at most: the checks stop at the first failure.
        for (int k = 0; k < 11; ++k) {
            if (std::fabs((result[k] - reference[k]) / reference[k]) > steamTolerance[k]) {
                appendError("tIAPWS95()");
                break;
            }
        }
    }
}
