// The kernels that the regression uses, as templates on the real type. The
// float instantiations are the routines of ksatfit/kernels.hpp (which call them);
// the double ones serve the double-precision fit. Arguments and results as
// in ksatfit/kernels.hpp; the precision-dependent parts come from RealTraits.
#pragma once

namespace ksatfit {

template <class Real>
void SSET(int N, Real SA, Real* SX, int INCX);
template <class Real>
void SCOPY(int N, const Real* SX, int INCX, Real* SY, int INCY);
template <class Real>
Real SSUM(int N, const Real* SX, int INCX);
template <class Real>
Real SDOT(int N, const Real* SX, int INCX, const Real* SY, int INCY);
template <class Real>
Real SXYZ(int N, const Real* SX, int INCX, const Real* SY, int INCY, const Real* SZ, int INCZ);

template <class Real>
Real C1DIV(Real XNUM, Real XDEN);
template <class Real>
void C1F(Real XNUM, Real XDEN, Real DFN, Real DFD, Real& F, Real& PVAL);

// RB may equal RA.
template <class Real>
void SVRGP(int N, const Real* RA, Real* RB, int* IPERM);

}  // namespace ksatfit
