// ksatfit/probability.hpp: the probability functions: the F and t
// distribution functions, the incomplete beta function, the gamma family,
// the complementary error function and the Chebyshev series they rest on.
//
// Errors go through the error layer (ksatfit/errors.hpp), which prints them
// on the console; the functions are not reentrant: call them from one thread
// at a time.
#pragma once

namespace ksatfit {

// probability
float FDF(float F, float DFN, float DFD);
float TDF(float T, float DF);
float BETAI(float X, float PIN, float QIN);
float ALBETA(float A, float B);
float GAMMA(float X);
float ALNGAM(float X);
float R9LGMC(float X);
float ALNREL(float X);
float ERFC(float X);
float CSEVL(float X, const float* CS, int N);
int   INITS(const float* OS, int NOS, float ETA);
void  R9GAML(float& XMIN, float& XMAX);

}  // namespace ksatfit
