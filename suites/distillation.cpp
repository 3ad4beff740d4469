#include "testcode.h"

void testcode::testDistillation() {}
