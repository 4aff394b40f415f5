#include "drivers/driver.hpp"

int main() { return ksatfit::run_driver(ksatfit::kStressQuad); }
