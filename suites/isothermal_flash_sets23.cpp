#include "testcode.h"

void testcode::testIsothermalFlash2() {}
void testcode::testIsothermalFlash3() {}
