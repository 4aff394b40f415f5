// ksatfit/kernels.hpp: the vector kernels, the guarded division and the
// F test of a ratio of mean squares.
//
// Vectors are pointers to their first element with a length N and a stride
// (INCX, INCY, INCZ). Scalars that are only read are passed by value, scalars
// that are written by reference. The routines are not reentrant: call them
// from one thread at a time.
#pragma once

namespace ksatfit {

// kernels
void  SSET(int N, float SA, float* SX, int INCX);
void  ISET(int N, int IA, int* IX, int INCX);
void  SCOPY(int N, const float* SX, int INCX, float* SY, int INCY);
float SSUM(int N, const float* SX, int INCX);
float SDOT(int N, const float* SX, int INCX, const float* SY, int INCY);
float SXYZ(int N, const float* SX, int INCX, const float* SY, int INCY,
           const float* SZ, int INCZ);
int   ISMAX(int N, const float* SX, int INCX);
int   ISMIN(int N, const float* SX, int INCX);
void  SVRGP(int N, const float* RA, float* RB, int* IPERM);   // RB may equal RA
float C1DIV(float XNUM, float XDEN);
void  C1F(float XNUM, float XDEN, float DFN, float DFD, float& F, float& PVAL);

}  // namespace ksatfit
