// Checks of integer and real arguments shared by the library's routines.
// Each check raises a terminal error (type 5) with the counter's current value
// as its code when its condition fails, and advances the counter by one
// whether it fired or not, so every check of a routine keeps a fixed code.
#pragma once

#include <string_view>

namespace ksatfit {

// N must be at least NMIN, LD at least 1, and N at most LD; advances IER by
// exactly 3. A NAMEN starting with '*' skips the check of N against NMIN (the
// counter still advances) and names N in messages without the '*'.
void C1DIM(int NMIN, int N, std::string_view NAMEN, int LD, std::string_view NAMELD, int& IER);

// I must lie in ILO..IHI; an IHI below ILO means no upper bound.
void C1IARG(int I, std::string_view NAME, int ILO, int IHI, int& IER);

// I1 must not exceed I2.
void C12ILE(int I1, std::string_view NAMEN, int I2, std::string_view NAMELD, int& IER);

// X (float or double) must not be negative; NaN passes.
template <class Real>
void C1GE0(Real X, std::string_view NAME, int& IER);

}  // namespace ksatfit
