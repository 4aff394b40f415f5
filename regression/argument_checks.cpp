#include "regression/argument_checks.hpp"

#include "errors/error_layer.hpp"

namespace ksatfit {

void C1DIM(int NMIN, int N, std::string_view NAMEN, int LD, std::string_view NAMELD, int& IER) {
  std::string_view name = NAMEN;
  if (!NAMEN.empty() && NAMEN.front() == '*') {
    name.remove_prefix(1);
    ++IER;
  } else {
    C1IARG(N, NAMEN, NMIN, -1, IER);
  }
  C1IARG(LD, NAMELD, 1, -1, IER);
  if (LD <= 0) {
    ++IER;
  } else {
    C12ILE(N, name, LD, NAMELD, IER);
  }
}

void C1IARG(int I, std::string_view NAME, int ILO, int IHI, int& IER) {
  if (IHI >= ILO) {
    if (I < ILO || I > IHI) {
      E1STI(1, I);
      E1STI(2, ILO);
      E1STI(3, IHI);
      E1STL(1, NAME);
      E1MES(5, IER,
            "%(L1) = %(I1).  %(L1) must be greater than or equal to %(I2) and less "
            "than or equal to %(I3).");
    }
  } else if (I < ILO) {
    E1STI(1, I);
    E1STI(2, ILO);
    E1STL(1, NAME);
    E1MES(5, IER, "%(L1) = %(I1).  %(L1) must be greater than or equal to %(I2).");
  }
  ++IER;
}

void C12ILE(int I1, std::string_view NAMEN, int I2, std::string_view NAMELD, int& IER) {
  if (I2 < I1) {
    E1STI(1, I1);
    E1STI(2, I2);
    E1STL(1, NAMEN);
    E1STL(2, NAMELD);
    E1MES(5, IER, "%(L1) = %(I1) and %(L2) = %(I2).  %(L1) must be less than or equal to %(L2).");
  }
  ++IER;
}

template <class Real>
void C1GE0(Real X, std::string_view NAME, int& IER) {
  if (X < 0) {
    E1STR(1, X);
    E1STL(1, NAME);
    E1MES(5, IER, "%(L1) = %(R1).  %(L1) must be greater than or equal to zero.");
  }
  ++IER;
}

template void C1GE0<float>(float, std::string_view, int&);
template void C1GE0<double>(double, std::string_view, int&);

}  // namespace ksatfit
