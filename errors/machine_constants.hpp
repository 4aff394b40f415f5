// What the error layer needs of the unit table beyond UMACH itself.
#pragma once

namespace ksatfit {

// Puts the unit table back to its units at load (5, 6, 6).
void restore_initial_units();

}  // namespace ksatfit
