#include "testcode.h"

void testcode::testFluidProperties1() {}
void testcode::testFluidProperties2() {}
