#include "testcode.h"

void testcode::testHydrates() {}
