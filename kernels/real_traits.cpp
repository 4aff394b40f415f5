// The F and t upper tails of the double path, and the t quantile of the
// intervals of either precision. The library's own special
// functions carry single-precision coefficient tables; in double the tails
// come from Boost.Math, through its complement, which keeps the small
// probabilities of large statistics instead of 1 minus a number near 1.
// Arguments outside a distribution's domain give NaN instead of an
// exception, as a probability that cannot be formed does in float.
#include "kernels/real_traits.hpp"

#include <cmath>
#include <limits>

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/students_t.hpp>

namespace ksatfit {
namespace {

namespace bm = boost::math;
using Quiet = bm::policies::policy<bm::policies::domain_error<bm::policies::ignore_error>,
                                   bm::policies::pole_error<bm::policies::ignore_error>,
                                   bm::policies::overflow_error<bm::policies::ignore_error>,
                                   bm::policies::underflow_error<bm::policies::ignore_error>,
                                   bm::policies::evaluation_error<bm::policies::ignore_error>>;

}  // namespace

double RealTraits<double>::f_upper_tail(double F, double DFN, double DFD) {
  return bm::cdf(bm::complement(bm::fisher_f_distribution<double, Quiet>(DFN, DFD), F));
}

double RealTraits<double>::t_two_tails(double T, double DF) {
  return 2.0 * bm::cdf(bm::complement(bm::students_t_distribution<double, Quiet>(DF),
                                      std::fabs(T)));
}

double students_t_upper_quantile(double Q, double DF) {
  if (!(DF > 0) || !(Q > 0 && Q < 1)) return std::numeric_limits<double>::quiet_NaN();
  return bm::quantile(bm::complement(bm::students_t_distribution<double, Quiet>(DF), Q));
}

}  // namespace ksatfit
