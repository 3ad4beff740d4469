#include "testcode.h"

void testcode::testPhaseDiagrams() {}
void testcode::testBubbleDewPoints() {}
