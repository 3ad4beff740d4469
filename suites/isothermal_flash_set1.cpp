#include "testcode.h"

void testcode::testIsothermalFlash1() {}
