// The alert that R9LGMC and ERFC leave when X lies beyond the point where
// their result underflows: both quote X and that point, and return 0.
#pragma once

#include "errors/error_layer.hpp"

namespace ksatfit::detail {

inline float underflow_above(float X, float xmax) {
  E1STR(1, X);
  E1STR(2, xmax);
  E1MES(2, 1,
        "The function underflows because X = %(R1) is greater than %(R2). The result is set "
        "to zero.");
  return 0.0f;
}

}  // namespace ksatfit::detail
