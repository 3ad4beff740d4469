#include "testcode.h"

void testcode::testRegression() {}
