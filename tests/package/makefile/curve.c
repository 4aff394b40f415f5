/* The Fortran example curve.f, line for line in C through ksatfit_fortran.h. */
#include <stdio.h>

#include "ksatfit_fortran.h"

int main(void) {
  int nobs = 3, ndeg = 2, two = 2, nout = 0, i;
  float x[3] = {1.0f, 2.0f, 3.0f}, y[3] = {1.0f, 0.0f, 1.0f}, xc[3] = {2.0f, 2.0f, 2.0f};
  float b[3], sspoly[3], stat[10];
  float f0 = 2.5f, dfn = 2.0f, dfd = 10.0f;

  umach_(&two, &nout);
  printf(" Unit%3d: RCURV on x = (1, 2, 3), y = (1, 0, 1)\n", nout);
  rcurv_(&nobs, x, y, &ndeg, b, sspoly, stat);
  for (i = 1; i <= 3; ++i) printf(" B(%1d)      =%16.8E\n", i, (double)b[i - 1]);
  for (i = 1; i <= 3; ++i) printf(" SSPOLY(%1d) =%16.8E\n", i, (double)sspoly[i - 1]);
  for (i = 1; i <= 10; ++i) printf(" STAT(%2d)   =%16.8E\n", i, (double)stat[i - 1]);
  printf(" FDF(2.5, 2, 10) =%16.8E\n", (double)fdf_(&f0, &dfn, &dfd));
  printf(" RCURV on x = (2, 2, 2)\n");
  rcurv_(&nobs, xc, y, &ndeg, b, sspoly, stat);
  printf(" Not reached: the fit above stops the program\n");
  return 0;
}
