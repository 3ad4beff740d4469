/* Flash a natural gas with the zpk C interface, then make a mistake on
 * purpose and read the library's message.
 *
 * Units: quantity codes 15 (temperature) and 17 (pressure) are set to
 * unit 1 (K, Pa); densities (code 30) are kg/m3 in unit 1. */
#include <math.h>
#include <stdio.h>

#include <zpk/zpk.h>

int main(void) {
    const int s = 1;
    const int cas[3] = {74828, 74840, 74986}; /* methane, ethane, propane */
    const double z[3] = {0.85, 0.10, 0.05};
    setUMC(15, 1);
    setUMC(17, 1);
    setUMC(30, 1);
    initS(s);
    for (int i = 0; i < 3; ++i) {
        putCC(s, i + 1, CompCID(cas[i]));
        putZ(s, i + 1, z[i]);
    }
    setPK(s, 7); /* Peng-Robinson */
    if (!setS(s)) {
        printf("stream rejected: %s\n", ErrMsg());
        return 1;
    }
    if (!setOp(s, 250.0, 5e6)) {
        printf("flash failed: %s\n", ErrMsg());
        return 1;
    }
    printf("phases %d, gas density %.4f kg/m3\n", getPNr(), StrGD(s));
    const double dew = DPF(s, 3e6);
    printf("dew point at 30 bar: %.3f K\n", dew);

    setErrFlag(0);
    const double bad = DPF(s, -1.0); /* negative pressure */
    printf("DPF(-1 Pa) = %g, flag %d, message \"%s\"\n", bad, getErrFlag(), ErrMsg());
    return (getErrFlag() != 0 && isnan(bad) && dew > 200.0 && dew < 260.0) ? 0 : 1;
}
