#include "testcode.h"

void testcode::testAnalyticDerivatives() {}
void testcode::tDProp(int, int, int, double, double, const char*) {}
void testcode::tDPropSolid(int, int, const char*) {}
void testcode::tDPropHydrate(int, double, const char*) {}
