#include "testcode.h"

void testcode::testUnitConversions() {}
void testcode::testThermoPackages() {}
void testcode::testDatabaseAccess() {}
void testcode::testArchives() {}
