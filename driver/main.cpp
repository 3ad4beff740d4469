#include "driver.h"

int main() { return proptestMain(); }
