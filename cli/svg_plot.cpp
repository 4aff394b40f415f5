#include "cli/svg_plot.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "cli/report.hpp"

namespace ksatfit::cli {
namespace {

// A panel's place on the page, in pixels.
struct Box {
  double left, right, top, bottom;
};

// Page geometry of the plot of one fit.
constexpr double kWidth = 900, kHeight = 680;
constexpr double kLeft = 100, kRight = 870;
constexpr Box kMain{kLeft, kRight, 50, 410};
constexpr Box kResiduals{kLeft, kRight, 440, 570};

// Geometry of the small multiples: cells of a grid, each holding a panel
// with room for its title above and tick labels to the left and below.
constexpr double kCellWidth = 300, kCellHeight = 240;
constexpr double kMarginLeft = 50, kMarginTop = 60, kMarginBottom = 50;
constexpr Box kPanelInCell{58, 288, 44, 204};

constexpr int kCell = 2;          // thinning: one mark per kCell x kCell pixels
constexpr int kCurveSamples = 400;

std::string escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0 text.
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') out += ' ';
        else out += c;
    }
  }
  return out;
}

std::string fmt(const char* format, double a, double b = 0) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, a, b);
  return buffer;
}

// An axis range, in double so that ranges of floats near 1e9 or 1e-9 keep
// their resolution.
struct Range {
  double lo = INFINITY, hi = -INFINITY;
  void add(double v) {
    if (std::isfinite(v)) {
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
  }
  // Widened a little beyond the data; a single value gets a range around it.
  Range padded() const {
    if (!(lo <= hi)) return {0, 1};
    double span = hi - lo;
    if (span <= std::fabs(hi) * 1e-6 || span == 0) {
      const double half = lo != 0 ? std::fabs(lo) * 0.1 : 1;
      return {lo - half, hi + half};
    }
    return {lo - 0.04 * span, hi + 0.04 * span};
  }
};

// The screen position of v in [lo, hi] mapped onto [a, b].
double map(double v, const Range& r, double a, double b) {
  return a + (v - r.lo) / (r.hi - r.lo) * (b - a);
}

// A round step (1, 2 or 5 times a power of ten) giving about `count` ticks.
double tick_step(const Range& r, int count) {
  const double raw = (r.hi - r.lo) / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10 * power;
}

// A tick label with just the digits the step needs.
std::string tick_label(double v, double step) {
  if (std::fabs(v) < step * 1e-6) v = 0;
  const double biggest = std::max(std::fabs(v), step);
  const int digits =
      std::clamp(static_cast<int>(std::floor(std::log10(biggest)) - std::floor(std::log10(step))) + 1, 1, 10);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.*g", digits, v);
  return buffer;
}

void x_ticks(std::string& svg, const Range& r, const Box& box, bool labels, int count) {
  const double step = tick_step(r, count);
  for (double k = std::ceil(r.lo / step); k * step <= r.hi; ++k) {
    const double px = map(k * step, r, box.left, box.right);
    const double bottom = box.bottom;
    svg += "<line x1=\"" + fmt("%.1f", px) + "\" y1=\"" + fmt("%.1f", bottom) + "\" x2=\"" +
           fmt("%.1f", px) + "\" y2=\"" + fmt("%.1f", bottom + 5) + "\" stroke=\"#333\"/>\n";
    if (labels) {
      svg += "<text x=\"" + fmt("%.1f", px) + "\" y=\"" + fmt("%.1f", bottom + 19) +
             "\" text-anchor=\"middle\">" + tick_label(k * step, step) + "</text>\n";
    }
  }
}

void y_ticks(std::string& svg, const Range& r, const Box& box, int count) {
  const double step = tick_step(r, count);
  for (double k = std::ceil(r.lo / step); k * step <= r.hi; ++k) {
    const double py = map(k * step, r, box.bottom, box.top);
    svg += "<line x1=\"" + fmt("%.1f", box.left - 5) + "\" y1=\"" + fmt("%.1f", py) + "\" x2=\"" +
           fmt("%.1f", box.left) + "\" y2=\"" + fmt("%.1f", py) + "\" stroke=\"#333\"/>\n";
    svg += "<line x1=\"" + fmt("%.1f", box.left) + "\" y1=\"" + fmt("%.1f", py) + "\" x2=\"" +
           fmt("%.1f", box.right) + "\" y2=\"" + fmt("%.1f", py) + "\" stroke=\"#eee\"/>\n";
    svg += "<text x=\"" + fmt("%.1f", box.left - 8) + "\" y=\"" + fmt("%.1f", py + 4) +
           "\" text-anchor=\"end\">" + tick_label(k * step, step) + "</text>\n";
  }
}

// Marks for the points, at most one per pixel cell of the panel; `name` is
// the group's attribute and value, such as id="points".
void marks(std::string& svg, const std::string& name, const char* colour,
           const std::vector<double>& px, const std::vector<double>& py, const Box& box) {
  const int columns = static_cast<int>((box.right - box.left) / kCell) + 2;
  const int rows = static_cast<int>((box.bottom - box.top) / kCell) + 2;
  std::vector<bool> taken(static_cast<std::size_t>(columns) * rows, false);
  svg += "<g " + name + " fill=\"" + colour + "\" fill-opacity=\"0.7\">\n";
  for (std::size_t i = 0; i < px.size(); ++i) {
    const int c = std::clamp(static_cast<int>((px[i] - box.left) / kCell), 0, columns - 1);
    const int r = std::clamp(static_cast<int>((py[i] - box.top) / kCell), 0, rows - 1);
    const std::size_t cell = static_cast<std::size_t>(r) * columns + c;
    if (taken[cell]) continue;
    taken[cell] = true;
    svg += "<circle cx=\"" + fmt("%.1f", px[i]) + "\" cy=\"" + fmt("%.1f", py[i]) + "\" r=\"2.5\"/>\n";
  }
  svg += "</g>\n";
}

void frame(std::string& svg, const Box& box) {
  svg += "<rect x=\"" + fmt("%.1f", box.left) + "\" y=\"" + fmt("%.1f", box.top) + "\" width=\"" +
         fmt("%.1f", box.right - box.left) + "\" height=\"" + fmt("%.1f", box.bottom - box.top) +
         "\" fill=\"none\" stroke=\"#333\"/>\n";
}

// What a panel draws of a fit: the points (rows with NaN left out), their
// residuals, and the curve sampled over the x range of the points, with the
// ranges they span.
template <class Real>
struct Drawing {
  std::vector<double> xs, ys, residuals, cx, cy;
  std::vector<double> lower, upper;  // the confidence band at cx, when asked for
  Range xr, yr, rr;
};

// `level` (percent) asks for the confidence band of the mean at that level;
// 0 for none.
template <class Real>
Drawing<Real> drawing(std::span<const Real> x, std::span<const Real> y,
                      const BasicPolynomialFit<Real>* fit, double level = 0) {
  Drawing<Real> d;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
    d.xs.push_back(x[i]);
    d.ys.push_back(y[i]);
    d.xr.add(x[i]);
    d.yr.add(y[i]);
    if (fit == nullptr) continue;
    d.residuals.push_back(static_cast<double>(y[i]) - fit->evaluate(x[i]));
    d.rr.add(std::fabs(d.residuals.back()));
  }
  if (fit != nullptr && d.xr.lo <= d.xr.hi) {
    for (int k = 0; k < kCurveSamples; ++k) {
      const double v = d.xr.lo + (d.xr.hi - d.xr.lo) * k / (kCurveSamples - 1);
      const Real at = static_cast<Real>(v);
      d.cx.push_back(at);
      d.cy.push_back(fit->evaluate(at));
      d.yr.add(d.cy.back());
    }
  }
  if (fit != nullptr && level > 0 && !d.cx.empty()) {
    const std::vector<Real> at(d.cx.begin(), d.cx.end());
    for (const auto& p : fit->predict(at, static_cast<Real>(level / 100))) {
      d.lower.push_back(p.confidence_lower);
      d.upper.push_back(p.confidence_upper);
      d.yr.add(p.confidence_lower);
      d.yr.add(p.confidence_upper);
    }
  }
  return d;
}

// The band between lower and upper at cx as one shaded polygon per run of
// drawable values.
void band(std::string& svg, const std::string& name, const std::vector<double>& cx,
          const std::vector<double>& lower, const std::vector<double>& upper, const Range& xp,
          const Range& yp, const Box& box) {
  std::string points;
  auto close = [&](std::size_t first, std::size_t end) {
    if (end - first < 2) return;
    std::string polygon;
    for (std::size_t k = first; k < end; ++k) {
      polygon += fmt("%.1f,%.1f ", map(cx[k], xp, box.left, box.right),
                     map(upper[k], yp, box.bottom, box.top));
    }
    for (std::size_t k = end; k-- > first;) {
      polygon += fmt("%.1f,%.1f ", map(cx[k], xp, box.left, box.right),
                     map(lower[k], yp, box.bottom, box.top));
    }
    polygon.pop_back();
    points += "<polygon points=\"" + polygon + "\"/>\n";
  };
  std::size_t first = 0;
  for (std::size_t k = 0; k <= lower.size(); ++k) {
    if (k == lower.size() || !std::isfinite(lower[k]) || !std::isfinite(upper[k])) {
      close(first, k);
      first = k + 1;
    }
  }
  if (!points.empty()) {
    svg += "<g " + name + " fill=\"#c33\" fill-opacity=\"0.15\" stroke=\"none\">\n" + points +
           "</g>\n";
  }
}

// The curve as one path; a value that cannot be drawn starts a new piece.
// `name` as for marks.
void curve(std::string& svg, const std::string& name, const std::vector<double>& cx,
           const std::vector<double>& cy, const Range& xp, const Range& yp, const Box& box) {
  std::string path;
  bool pen_down = false;
  for (std::size_t k = 0; k < cx.size(); ++k) {
    if (!std::isfinite(cy[k])) {
      pen_down = false;
      continue;
    }
    path += (pen_down ? " L" : " M") + fmt("%.1f %.1f", map(cx[k], xp, box.left, box.right),
                                            map(cy[k], yp, box.bottom, box.top));
    pen_down = true;
  }
  svg += "<path " + name + " d=\"" + path +
         "\" fill=\"none\" stroke=\"#c33\" stroke-width=\"2\"/>\n";
}

// The screen positions of points in a box.
void positions(const std::vector<double>& xs, const std::vector<double>& ys, const Range& xp,
               const Range& yp, const Box& box, std::vector<double>& px, std::vector<double>& py) {
  px.resize(xs.size());
  py.resize(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i) {
    px[i] = map(xs[i], xp, box.left, box.right);
    py[i] = map(ys[i], yp, box.bottom, box.top);
  }
}

std::string svg_start(double width, double height) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + fmt("%.0f", width) +
         "\" height=\"" + fmt("%.0f", height) + "\" viewBox=\"0 0 " +
         fmt("%.0f %.0f", width, height) +
         "\" font-family=\"sans-serif\" font-size=\"12\">\n"
         "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
}

std::string text_at(double x, double y, const std::string& attributes, const std::string& text) {
  return "<text x=\"" + fmt("%.1f", x) + "\" y=\"" + fmt("%.1f", y) + "\" " + attributes + ">" +
         escape(text) + "</text>\n";
}

// Text centred on (x, y), reading upwards.
std::string text_upwards(double x, double y, const std::string& attributes,
                         const std::string& text) {
  return "<text transform=\"translate(" + fmt("%.0f", x) + " " + fmt("%.1f", y) +
         ") rotate(-90)\" text-anchor=\"middle\"" + (attributes.empty() ? "" : " ") + attributes +
         ">" + escape(text) + "</text>\n";
}

// One line saying what the marks, the line and the shading are, from (x, y).
void legend(std::string& svg, double x, double y, double level) {
  svg += "<g id=\"legend\">\n";
  svg += "<circle cx=\"" + fmt("%.1f", x + 4) + "\" cy=\"" + fmt("%.1f", y - 4) +
         "\" r=\"2.5\" fill=\"#1f5fa8\" fill-opacity=\"0.7\"/>\n";
  svg += text_at(x + 12, y, "", "readings");
  svg += "<line x1=\"" + fmt("%.1f", x + 80) + "\" y1=\"" + fmt("%.1f", y - 4) + "\" x2=\"" +
         fmt("%.1f", x + 100) + "\" y2=\"" + fmt("%.1f", y - 4) +
         "\" stroke=\"#c33\" stroke-width=\"2\"/>\n";
  svg += text_at(x + 106, y, "", "fitted curve");
  svg += "<rect x=\"" + fmt("%.1f", x + 190) + "\" y=\"" + fmt("%.1f", y - 10) +
         "\" width=\"20\" height=\"12\" fill=\"#c33\" fill-opacity=\"0.15\"/>\n";
  svg += text_at(x + 216, y, "", shortest(level) + " % confidence band of the mean");
  svg += "</g>\n";
}

}  // namespace

template <class Real>
std::string svg_plot(std::span<const Real> x, std::span<const Real> y,
                     const BasicPolynomialFit<Real>& fit, const PlotText& text) {
  const Drawing<Real> d = drawing(x, y, &fit);
  const Range xp = d.xr.padded(), yp = d.yr.padded();
  const double rmax = d.rr.hi > 0 && std::isfinite(d.rr.hi) ? d.rr.hi * 1.08 : 1;
  const Range rp{-rmax, rmax};

  std::string svg = svg_start(kWidth, kHeight);
  svg.reserve(1 << 16);
  svg += text_at((kLeft + kRight) / 2, 30,
                 "text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\"", text.title);

  y_ticks(svg, yp, kMain, 7);
  y_ticks(svg, rp, kResiduals, 5);
  x_ticks(svg, xp, kMain, false, 8);
  x_ticks(svg, xp, kResiduals, true, 8);
  const double zero = map(0, rp, kResiduals.bottom, kResiduals.top);
  svg += "<line x1=\"" + fmt("%.1f", kLeft) + "\" y1=\"" + fmt("%.1f", zero) + "\" x2=\"" +
         fmt("%.1f", kRight) + "\" y2=\"" + fmt("%.1f", zero) +
         "\" stroke=\"#c33\" stroke-dasharray=\"4 3\"/>\n";

  std::vector<double> px, py, rx, ry;
  positions(d.xs, d.ys, xp, yp, kMain, px, py);
  positions(d.xs, d.residuals, xp, rp, kResiduals, rx, ry);
  marks(svg, "id=\"points\"", "#1f5fa8", px, py, kMain);
  marks(svg, "id=\"residuals\"", "#1f5fa8", rx, ry, kResiduals);
  curve(svg, "id=\"curve\"", d.cx, d.cy, xp, yp, kMain);
  frame(svg, kMain);
  frame(svg, kResiduals);

  const double middle = (kLeft + kRight) / 2;
  svg += text_at(middle, kResiduals.bottom + 40, "text-anchor=\"middle\" font-size=\"14\"",
                 text.x_name);
  svg += text_upwards(36, (kMain.top + kMain.bottom) / 2, "font-size=\"14\"", text.y_name);
  svg += text_upwards(36, (kResiduals.top + kResiduals.bottom) / 2, "", "residual");
  svg += text_at(middle, kHeight - 42, "text-anchor=\"middle\"",
                 "R-squared = " + shortest(fit.r_squared) + " %,  n = " +
                     std::to_string(fit.n_used) + ",  degree " + std::to_string(fit.degree_fitted));
  svg += text_at(middle, kHeight - 20, "text-anchor=\"middle\"", text.equation);
  svg += "</svg>\n";
  return svg;
}

template <class Real>
std::string svg_small_multiples(std::span<const PlotPanel<Real>> panels, const PlotText& text,
                                double level) {
  const std::size_t n = panels.size();
  const std::size_t columns = std::max<std::size_t>(
      1, static_cast<std::size_t>(std::ceil(std::sqrt(static_cast<double>(n)))));
  const std::size_t rows = (n + columns - 1) / columns;
  const double width = kMarginLeft + kCellWidth * static_cast<double>(columns) + 10;
  const double height = kMarginTop + kCellHeight * static_cast<double>(rows) + kMarginBottom;

  std::string svg = svg_start(width, height);
  svg.reserve(n * 12000);
  svg += text_at(width / 2, 30, "text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\"",
                 text.title);
  legend(svg, width / 2 - 170, 48, level);
  for (std::size_t i = 0; i < n; ++i) {
    const PlotPanel<Real>& panel = panels[i];
    const double left = kMarginLeft + kCellWidth * static_cast<double>(i % columns);
    const double top = kMarginTop + kCellHeight * static_cast<double>(i / columns);
    const Box box{left + kPanelInCell.left, left + kPanelInCell.right, top + kPanelInCell.top,
                  top + kPanelInCell.bottom};
    const Drawing<Real> d = drawing(panel.x, panel.y, panel.fit, level);
    const Range xp = d.xr.padded(), yp = d.yr.padded();

    svg += "<g class=\"panel\" id=\"panel" + std::to_string(i + 1) + "\" font-size=\"10\">\n";
    svg += text_at((box.left + box.right) / 2, top + 18,
                   "class=\"title\" text-anchor=\"middle\" font-size=\"13\" font-weight=\"bold\"",
                   panel.title);
    const std::string caption =
        panel.fit == nullptr
            ? "the fit failed"
            : "n = " + std::to_string(panel.fit->n_used) + ",  R-squared = " +
                  fmt("%.4g", static_cast<double>(panel.fit->r_squared)) + " %";
    const char* look =
        panel.fit == nullptr ? "text-anchor=\"middle\" fill=\"#c33\"" : "text-anchor=\"middle\"";
    svg += text_at((box.left + box.right) / 2, top + 34, look, caption);
    y_ticks(svg, yp, box, 4);
    x_ticks(svg, xp, box, true, 4);
    band(svg, "class=\"band\"", d.cx, d.lower, d.upper, xp, yp, box);
    std::vector<double> px, py;
    positions(d.xs, d.ys, xp, yp, box, px, py);
    marks(svg, "class=\"points\"", "#1f5fa8", px, py, box);
    if (panel.fit != nullptr) curve(svg, "class=\"curve\"", d.cx, d.cy, xp, yp, box);
    frame(svg, box);
    svg += "</g>\n";
  }
  svg += text_at(kMarginLeft + kCellWidth * static_cast<double>(columns) / 2, height - 14,
                 "text-anchor=\"middle\" font-size=\"14\"", text.x_name);
  svg += text_upwards(20, kMarginTop + kCellHeight * static_cast<double>(rows) / 2,
                      "font-size=\"14\"", text.y_name);
  svg += "</svg>\n";
  return svg;
}

void write_file_safely(const std::filesystem::path& path, const std::string& contents) {
  // A name no other writer of the same plot picks at the same time.
  std::filesystem::path temporary = path;
  temporary += ".tmp" + std::to_string(std::random_device{}());
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      throw std::runtime_error("cannot write " + path.string());
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw std::runtime_error("cannot write " + path.string());
  }
}

template std::string svg_plot(std::span<const float>, std::span<const float>,
                              const PolynomialFit&, const PlotText&);
template std::string svg_plot(std::span<const double>, std::span<const double>,
                              const DoublePolynomialFit&, const PlotText&);
template std::string svg_small_multiples(std::span<const PlotPanel<float>>, const PlotText&,
                                         double);
template std::string svg_small_multiples(std::span<const PlotPanel<double>>, const PlotText&,
                                         double);

}  // namespace ksatfit::cli
