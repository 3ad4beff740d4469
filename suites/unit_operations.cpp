#include "testcode.h"

void testcode::testNozzle() {}
void testcode::testMixer() {}
void testcode::testVLLSeparator() {}
void testcode::testPhaseSeparator() {}
