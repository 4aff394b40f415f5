// ksatfit: least-squares polynomial fitting through orthogonal polynomials,
// with summary statistics, probability functions and an error layer that
// reports on the console.
//
// This header only gathers the headers of the library's routines, one per
// layer, for programs that want them all:
//   ksatfit/errors.hpp       machine constants, output units, error queries
//   ksatfit/probability.hpp  F and t distributions, beta and gamma families
//   ksatfit/kernels.hpp      vector kernels, guarded division, F test
//   ksatfit/tables.hpp       labelled-matrix and analysis-of-variance writers
//   ksatfit/regression.hpp   the polynomial fit and its statistics
//
// Arrays are pointers to their first element, column-major, with lengths and
// leading dimensions passed explicitly. Scalars that are only read are passed
// by value, scalars that are written by reference. Texts are string views;
// in titles and headings "%/" starts a new line.
//
// The routines keep their error state and intermediate values in static
// storage and are not reentrant: call them from one thread at a time.
// ksatfit/fit.hpp offers the fit to applications without printing or
// stopping, safe to call from several threads; ksatfit_fortran.h declares
// these routines as Fortran 77 programs call them.
#pragma once

#include "ksatfit/errors.hpp"
#include "ksatfit/probability.hpp"
#include "ksatfit/kernels.hpp"
#include "ksatfit/tables.hpp"
#include "ksatfit/regression.hpp"
