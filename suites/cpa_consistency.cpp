#include "testcode.h"

void testcode::DCPA(int, int, int, int, const char*) {}
