#include "testcode.h"

void testcode::testWaterSteam1() {}
void testcode::testWaterSteam2() {}
