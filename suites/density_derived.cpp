#include "testcode.h"

void testcode::testFluidProperties3() {}
void testcode::testFluidProperties4() {}
void testcode::testFluidProperties6() {}
void testcode::testFluidProperties7() {}
void testcode::testFluidProperties8() {}
