// The plot of a fit as one self-contained SVG document: the data points, the
// fitted curve, its confidence band (shaded) and prediction band (dashed) at
// the level given above, the residuals below on the same x axis, the
// readings that fit.cases flags drawn in another colour with their line
// numbers, a legend, a title and a caption with R-squared, n and the equation.
#pragma once

#include <filesystem>
#include <span>
#include <string>

#include "ksatfit/fit.hpp"

namespace ksatfit::cli {

struct PlotText {
  std::string title, x_name, y_name, equation;
};

// The SVG text. Points (rows with NaN are not drawn) are thinned to one mark
// per 2 x 2 pixel cell, so that a million points give a file of bounded size.
// `level` is the bands' level in percent; `lines` the input line number of
// each row (empty: rows numbered from 1). A fit without an error estimate has
// no bands.
template <class Real>
std::string svg_plot(std::span<const Real> x, std::span<const Real> y,
                     const BasicPolynomialFit<Real>& fit, const PlotText& text, double level = 95,
                     std::span<const int> lines = {});

// One panel of small multiples: a group's points and its fit (none when the
// fit failed), under the title given.
template <class Real>
struct PlotPanel {
  std::string title;
  std::span<const Real> x, y;
  const BasicPolynomialFit<Real>* fit = nullptr;
  std::span<const int> lines;  // the rows' line numbers in the file
};

// Small multiples: a grid of panels, as square as it goes, each with its
// points, curve and the confidence band of the mean at `level` percent on
// scales of its own, under one title and a legend; the x and y names label
// the page once. text.equation is not used.
template <class Real>
std::string svg_small_multiples(std::span<const PlotPanel<Real>> panels, const PlotText& text,
                                double level);

// Writes `svg` to a temporary file beside `path` and renames it into place,
// so that `path` is either left as it was or holds the whole plot. Throws
// std::runtime_error naming the file when that fails.
void write_file_safely(const std::filesystem::path& path, const std::string& contents);

}  // namespace ksatfit::cli
