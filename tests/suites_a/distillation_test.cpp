#include "suite_harness.h"
