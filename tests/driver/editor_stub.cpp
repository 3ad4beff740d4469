// Stand-in for the zpkx editor in the driver's test build: announces itself.
#include <cstdio>

#include "zpk/zpkx.h"

extern "C" int edSS(void) {
    std::fputs("[stream editor]\r\n", stdout);
    std::fflush(stdout);
    return 1;
}
