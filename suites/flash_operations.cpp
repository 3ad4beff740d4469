#include "testcode.h"

void testcode::testFlashH() {}
void testcode::testFlashS() {}
void testcode::testFlashV() {}
void testcode::testFlashMixed() {}
