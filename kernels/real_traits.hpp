// What the regression does differently in single and in double precision,
// gathered in one place: the routines are written once as templates on the
// real type, and everything that depends on the precision comes from here.
//
// Single precision is the library's own arithmetic: its machine constants,
// its missing value, its F and t distributions, sums carried in float where
// the routines keep them in float and in double where the vector kernels
// widen them, and the error sum of squares formed by subtraction as the fit
// goes. Double precision uses the same formulas with the constants of
// double, the F and t upper tails of a well-kept special-function library,
// every running sum, the orthogonal basis, the scaled abscissas, the fit's
// recurrence and orthogonal coefficients and the change to powers of x in
// extended precision, and the error sum of squares formed
// from the residuals once the fit is known: subtraction of sums of squares
// loses the digits that a nearly perfect fit needs.
#pragma once

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>
#include <vector>

#include "runtime/one_based.hpp"

#include "ksatfit/errors.hpp"
#include "ksatfit/probability.hpp"

namespace ksatfit {

// Whether X is NaN, for the double path (IFNAN in ksatfit/errors.hpp is the float one).
inline bool IFNAN(double X) { return X != X; }

// A running sum of doubles with Neumaier's compensation: the stand-in for an
// extended-precision accumulator where long double is no wider than double.
class CompensatedSum {
 public:
  CompensatedSum(double value = 0.0) : sum_(value) {}  // NOLINT: converts like a number
  CompensatedSum& operator+=(double term) {
    const double t = sum_ + term;
    // The smaller of the two loses digits to the rounding of t; recover them.
    correction_ += std::fabs(sum_) >= std::fabs(term) ? (sum_ - t) + term : (term - t) + sum_;
    sum_ = t;
    return *this;
  }
  CompensatedSum& operator+=(const CompensatedSum& other) {
    *this += other.sum_;
    correction_ += other.correction_;
    return *this;
  }
  friend CompensatedSum operator+(CompensatedSum a, const CompensatedSum& b) { return a += b; }
  friend CompensatedSum operator+(CompensatedSum a, double term) { return a += term; }
  friend CompensatedSum operator+(double term, CompensatedSum a) { return a += term; }
  operator double() const { return sum_ + correction_; }  // NOLINT: reads like a number

 private:
  double sum_;
  double correction_ = 0.0;
};

template <class Real>
struct RealTraits;

template <>
struct RealTraits<float> {
  // Running sums over the rows that the routines carry in working precision.
  using Sum = float;
  // Running sums that the vector kernels (and walks that stand for them)
  // carry wider and round once.
  using WideSum = double;
  // The precision of the products in those sums and in the guarded
  // division's range tests.
  using Wide = double;
  // The precision of the change of basis to powers of x, and its working
  // matrix: the caller's work area WK (LD rows by `columns`) itself.
  using Work = float;
  // The fit's own quantities on their way from the orthogonal fit to the
  // summary statistics: ALPHA, BETA, OCOEF and D, and the sums they are
  // formed from. Their arrays are the caller's, as given.
  using Carried = float;
  static float* carried_array(float* given, int /*count*/, std::vector<float>&) { return given; }
  static Mat1<float> work_matrix(float* WK, int LD, int /*columns*/, std::vector<float>&) {
    return Mat1<float>(WK, LD);
  }

  // The scaled abscissas live in XS itself.
  static Vec1<float> abscissa_column(float* XS, const Mat1<float>&, int) { return Vec1(XS); }
  // z of x: the abscissas centred at the midpoint of their range, then scaled.
  static float scaled_abscissa(float x, float XMID, float XSCALE, float /*XSHIFT*/) {
    return (x - XMID) * XSCALE;
  }

  static float tiny() { return AMACH(1); }
  static float huge() { return AMACH(2); }
  static float epsilon() { return AMACH(4); }  // largest relative spacing
  static float missing() { return AMACH(6); }  // NaN, every bit set but the sign
  static float plus_infinity() { return AMACH(7); }
  static float minus_infinity() { return AMACH(8); }

  // Probability that an F with DFN and DFD degrees of freedom exceeds F.
  static float f_upper_tail(float F, float DFN, float DFD) { return 1.0f - FDF(F, DFN, DFD); }
  // Probability that a t with DF degrees of freedom exceeds T >= 0 in either
  // direction: 1 minus the distribution function, so a T far out gives exactly 0.
  static float t_two_tails(float T, float DF) { return 2.0f * (1.0f - TDF(T, DF)); }

  // The error sum of squares of the fit: RSS, the total sum of squares less
  // each degree's share as the fit went.
  template <class Residuals>
  static float error_sum_of_squares(float RSS, Residuals) {
    return RSS;
  }
};

template <>
struct RealTraits<double> {
  static constexpr bool kWideLongDouble = LDBL_MANT_DIG > DBL_MANT_DIG;
  using Sum = std::conditional_t<kWideLongDouble, long double, CompensatedSum>;
  using WideSum = Sum;
  using Wide = std::conditional_t<kWideLongDouble, long double, double>;
  // The change of basis is carried wide in a matrix of its own; WK is not used.
  using Work = Wide;
  // ALPHA, BETA, OCOEF and D are carried wide from the orthogonal fit to the
  // change of basis, in arrays of their own, and rounded to double only where
  // they are handed out: the change of basis magnifies their last bits, so
  // rounding them costs the least-conditioned fits up to two digits.
  using Carried = Wide;
  static Carried* carried_array(double* /*given*/, int count, std::vector<Carried>& storage) {
    storage.assign(static_cast<std::size_t>(count), Carried{0});
    return storage.data();
  }
  static Mat1<Work> work_matrix(double* /*WK*/, int LD, int columns, std::vector<Work>& storage) {
    storage.assign(static_cast<std::size_t>(LD) * static_cast<std::size_t>(columns), Work{0});
    return Mat1<Work>(storage.data(), LD);
  }

  // The scaled abscissas are the last column of the wide working matrix.
  static Vec1<Work> abscissa_column(double*, const Mat1<Work>& work, int column) {
    return Vec1(work.ptr(1, column));
  }
  // z of x formed wide from the very XSCALE and XSHIFT that carry the fit back
  // to powers of x, so that the basis and the change of basis agree.
  static Work scaled_abscissa(double x, double /*XMID*/, double XSCALE, double XSHIFT) {
    return Work{XSCALE} * x + XSHIFT;
  }

  static double tiny() { return std::numeric_limits<double>::min(); }
  static double huge() { return std::numeric_limits<double>::max(); }
  static double epsilon() { return std::numeric_limits<double>::epsilon(); }
  static double missing() { return std::bit_cast<double>(std::uint64_t{0x7FFFFFFFFFFFFFFF}); }
  static double plus_infinity() { return std::numeric_limits<double>::infinity(); }
  static double minus_infinity() { return -std::numeric_limits<double>::infinity(); }

  static double f_upper_tail(double F, double DFN, double DFD);
  static double t_two_tails(double T, double DF);

  // The error sum of squares from the residuals, summed afresh.
  template <class Residuals>
  static double error_sum_of_squares(double /*RSS*/, Residuals residuals) {
    return residuals();
  }
};

// The value that Student's t with DF degrees of freedom exceeds with
// probability Q (0 < Q < 1), in double for either precision: the library's
// own single-precision distributions have no inverse. NaN where it cannot be
// formed (DF not above 0 or NaN, Q outside (0, 1)).
double students_t_upper_quantile(double Q, double DF);

// The type in which a fit in Real carries ALPHA, BETA, OCOEF and D.
template <class Real>
using Carried = typename RealTraits<Real>::Carried;

}  // namespace ksatfit
