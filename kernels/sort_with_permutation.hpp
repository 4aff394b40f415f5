// The sort behind SVRGP (ksatfit/kernels.hpp), with the number of threads chosen by
// the caller.
#pragma once

namespace ksatfit {

// Sorts RB(1..N) (float or double) ascending and permutes IPERM(1..N) alongside, as SVRGP does,
// on at most `threads` threads. The result, including the order of equal
// values, is the same for every number of threads.
template <class Real>
void sort_with_permutation(int N, Real* RB, int* IPERM, int threads);

// The number of threads SVRGP sorts N elements on: one for short vectors or
// when the machine runs one thread at a time.
int sort_threads(int N);

}  // namespace ksatfit
