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
// residuals, the curve sampled over the x range of the points and its
// intervals at `level` percent, with the ranges they span (the y range takes
// in the prediction band, or only the confidence band).
template <class Real>
struct Drawing {
  std::vector<double> xs, ys, residuals, cx, cy;
  std::vector<BasicPrediction<Real>> band;
  bool bands = false;  // whether the fit has an error estimate to draw bands from
  Range xr, yr, rr;
};

template <class Real>
Drawing<Real> drawing(std::span<const Real> x, std::span<const Real> y,
                      const BasicPolynomialFit<Real>* fit, double level, bool prediction_band) {
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
  if (fit == nullptr || !(d.xr.lo <= d.xr.hi)) return d;
  std::vector<Real> at;
  for (int k = 0; k < kCurveSamples; ++k) {
    const double v = d.xr.lo + (d.xr.hi - d.xr.lo) * k / (kCurveSamples - 1);
    at.push_back(static_cast<Real>(v));
    d.cx.push_back(at.back());
    d.cy.push_back(fit->evaluate(at.back()));
    d.yr.add(d.cy.back());
  }
  d.band = fit->predict(at, static_cast<Real>(level / 100));
  d.bands = std::any_of(d.band.begin(), d.band.end(), [](const BasicPrediction<Real>& b) {
    return std::isfinite(b.prediction_lower) && std::isfinite(b.prediction_upper);
  });
  for (const auto& b : d.band) {
    d.yr.add(prediction_band ? b.prediction_lower : b.confidence_lower);
    d.yr.add(prediction_band ? b.prediction_upper : b.confidence_upper);
  }
  return d;
}

// Screen ordinates of one limit of the band.
template <class Real>
std::vector<double> screen(const std::vector<BasicPrediction<Real>>& band,
                           Real BasicPrediction<Real>::*limit, const Range& yp, const Box& box) {
  std::vector<double> out(band.size());
  for (std::size_t k = 0; k < band.size(); ++k) out[k] = map(band[k].*limit, yp, box.bottom, box.top);
  return out;
}

// The confidence band as one shaded polygon, upper limits left to right and
// lower limits back; `name` is its attribute, such as id="confidence-band".
template <class Real>
void confidence_band(std::string& svg, const std::string& name, const std::vector<double>& bx,
                     const std::vector<BasicPrediction<Real>>& band, const Range& yp,
                     const Box& box) {
  const auto upper = screen(band, &BasicPrediction<Real>::confidence_upper, yp, box);
  const auto lower = screen(band, &BasicPrediction<Real>::confidence_lower, yp, box);
  std::string points;
  for (std::size_t k = 0; k < bx.size(); ++k) {
    if (std::isfinite(upper[k])) points += fmt("%.1f,%.1f ", bx[k], upper[k]);
  }
  for (std::size_t k = bx.size(); k-- > 0;) {
    if (std::isfinite(lower[k])) points += fmt("%.1f,%.1f ", bx[k], lower[k]);
  }
  if (!points.empty()) points.pop_back();
  svg += "<polygon " + name + " points=\"" + points +
         "\" fill=\"#c33\" fill-opacity=\"0.2\" stroke=\"none\"/>\n";
}

std::vector<double> screen_x(const std::vector<double>& cx, const Range& xp, const Box& box) {
  std::vector<double> bx(cx.size());
  for (std::size_t k = 0; k < cx.size(); ++k) bx[k] = map(cx[k], xp, box.left, box.right);
  return bx;
}

// A path through the points (px[k], py[k]); a point that cannot be drawn
// lifts the pen.
std::string polyline(const std::vector<double>& px, const std::vector<double>& py) {
  std::string path;
  bool pen_down = false;
  for (std::size_t k = 0; k < px.size(); ++k) {
    if (!std::isfinite(py[k])) {
      pen_down = false;
      continue;
    }
    path += (pen_down ? " L" : " M") + fmt("%.1f %.1f", px[k], py[k]);
    pen_down = true;
  }
  return path;
}

// Where a flagged point's label goes: beside the point, on the side away
// from the nearer edge of the panel, moved down past the labels already
// placed that it would overlap.
struct LabelBox {
  double left, right, bottom;
  bool anchor_end;
};
LabelBox place_label(std::vector<LabelBox>& placed, double px, double py, double width) {
  constexpr double kHeight = 12;
  const bool anchor_end = px > (kLeft + kRight) / 2;
  LabelBox box{anchor_end ? px - 6 - width : px + 6, anchor_end ? px - 6 : px + 6 + width, py - 6,
               anchor_end};
  const auto overlaps = [&](const LabelBox& other) {
    return box.left < other.right && other.left < box.right &&
           std::fabs(box.bottom - other.bottom) < kHeight;
  };
  for (int tries = 0; tries < 20 && std::any_of(placed.begin(), placed.end(), overlaps); ++tries) {
    box.bottom += kHeight;
  }
  placed.push_back(box);
  return box;
}

constexpr const char* kCurveColour = "#c33";
constexpr const char* kFlagColour = "#e07b00";

// The legend in the corner of the main panel that covers fewer points.
void legend(std::string& svg, const std::string& level, bool bands, bool flagged,
            const std::vector<double>& px, const std::vector<double>& py) {
  const double width = 250, row = 18;
  const int rows = 1 + (bands ? 2 : 0) + (flagged ? 1 : 0);
  const double height = rows * row + 10;
  const auto covered = [&](double left) {
    return std::count_if(px.begin(), px.end(), [&, i = std::size_t{0}](double x) mutable {
      const double y = py[i++];
      return x >= left && x <= left + width && y >= kMain.top && y <= kMain.top + height;
    });
  };
  const double left_corner = kLeft + 8, right_corner = kRight - 8 - width;
  const double left = covered(left_corner) <= covered(right_corner) ? left_corner : right_corner;
  const double top = kMain.top + 8;
  svg += "<g id=\"legend\">\n<rect x=\"" + fmt("%.1f", left) + "\" y=\"" + fmt("%.1f", top) +
         "\" width=\"" + fmt("%.0f", width) + "\" height=\"" + fmt("%.0f", height) +
         "\" fill=\"white\" fill-opacity=\"0.85\" stroke=\"#999\"/>\n";
  double y = top + 17;
  const auto entry = [&](const std::string& sample, const std::string& label) {
    svg += sample + "<text x=\"" + fmt("%.1f", left + 40) + "\" y=\"" + fmt("%.1f", y + 4) +
           "\">" + label + "</text>\n";
    y += row;
  };
  const auto line = [&](const char* style) {
    return "<line x1=\"" + fmt("%.1f", left + 8) + "\" y1=\"" + fmt("%.1f", y) + "\" x2=\"" +
           fmt("%.1f", left + 32) + "\" y2=\"" + fmt("%.1f", y) + "\" " + style + "/>\n";
  };
  entry(line("stroke=\"#c33\" stroke-width=\"2\""), "fitted curve");
  if (bands) {
    entry("<rect x=\"" + fmt("%.1f", left + 8) + "\" y=\"" + fmt("%.1f", y - 6) +
              "\" width=\"24\" height=\"12\" fill=\"#c33\" fill-opacity=\"0.2\"/>\n",
          level + " confidence band (mean)");
    entry(line("stroke=\"#c33\" stroke-dasharray=\"6 4\""), level + " prediction band (one reading)");
  }
  if (flagged) {
    entry("<circle cx=\"" + fmt("%.1f", left + 20) + "\" cy=\"" + fmt("%.1f", y) +
              "\" r=\"4\" fill=\"" + kFlagColour + "\"/>\n",
          "flagged reading (line number)");
  }
  svg += "</g>\n";
}

// The fitted curve; `name` as for marks.
void curve(std::string& svg, const std::string& name, const std::vector<double>& bx,
           const std::vector<double>& cy, const Range& yp, const Box& box) {
  std::vector<double> sy(cy.size());
  for (std::size_t k = 0; k < cy.size(); ++k) sy[k] = map(cy[k], yp, box.bottom, box.top);
  svg += "<path " + name + " d=\"" + polyline(bx, sy) + "\" fill=\"none\" stroke=\"" + kCurveColour +
         "\" stroke-width=\"2\"/>\n";
}

// A panel's flagged readings in the colour of flags, each titled with its
// line for a reader who points at it.
template <class Real>
void flagged_marks(std::string& svg, const BasicPolynomialFit<Real>& fit, const Range& xp,
                   const Range& yp, const Box& box, std::span<const int> lines) {
  const auto flagged = flagged_cases(fit);
  if (flagged.empty()) return;
  svg += std::string("<g class=\"flagged\" fill=\"") + kFlagColour + "\">\n";
  for (const auto& c : flagged) {
    svg += "<circle cx=\"" + fmt("%.1f", map(c.x, xp, box.left, box.right)) + "\" cy=\"" +
           fmt("%.1f", map(c.y, yp, box.bottom, box.top)) + "\" r=\"3.5\"><title>line " +
           std::to_string(line_of(lines, c.row)) + "</title></circle>\n";
  }
  svg += "</g>\n";
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

// One line over the small multiples saying what the marks, the line and the
// shading are, from (x, y).
void grid_legend(std::string& svg, double x, double y, double level) {
  svg += "<g id=\"legend\">\n";
  svg += "<circle cx=\"" + fmt("%.1f", x + 4) + "\" cy=\"" + fmt("%.1f", y - 4) +
         "\" r=\"2.5\" fill=\"#1f5fa8\" fill-opacity=\"0.7\"/>\n";
  svg += text_at(x + 12, y, "", "readings");
  svg += "<line x1=\"" + fmt("%.1f", x + 80) + "\" y1=\"" + fmt("%.1f", y - 4) + "\" x2=\"" +
         fmt("%.1f", x + 100) + "\" y2=\"" + fmt("%.1f", y - 4) +
         "\" stroke=\"#c33\" stroke-width=\"2\"/>\n";
  svg += text_at(x + 106, y, "", "fitted curve");
  svg += "<rect x=\"" + fmt("%.1f", x + 190) + "\" y=\"" + fmt("%.1f", y - 10) +
         "\" width=\"20\" height=\"12\" fill=\"#c33\" fill-opacity=\"0.2\"/>\n";
  svg += text_at(x + 216, y, "", shortest(level) + " % confidence band (mean)");
  svg += "<circle cx=\"" + fmt("%.1f", x + 428) + "\" cy=\"" + fmt("%.1f", y - 4) +
         "\" r=\"4\" fill=\"" + kFlagColour + "\"/>\n";
  svg += text_at(x + 436, y, "", "flagged reading");
  svg += "</g>\n";
}

}  // namespace

template <class Real>
std::string svg_plot(std::span<const Real> x, std::span<const Real> y,
                     const BasicPolynomialFit<Real>& fit, const PlotText& text, double level,
                     std::span<const int> lines) {
  const Drawing<Real> d = drawing(x, y, &fit, level, true);
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
  // The confidence band shaded, the prediction band as two dashed lines.
  const std::vector<double> bx = screen_x(d.cx, xp, kMain);
  if (d.bands) {
    confidence_band(svg, "id=\"confidence-band\"", bx, d.band, yp, kMain);
    const auto upper = screen(d.band, &BasicPrediction<Real>::prediction_upper, yp, kMain);
    const auto lower = screen(d.band, &BasicPrediction<Real>::prediction_lower, yp, kMain);
    for (const auto& [id, limits] :
         {std::pair{"prediction-upper", &upper}, std::pair{"prediction-lower", &lower}}) {
      svg += std::string("<path id=\"") + id + "\" d=\"" + polyline(bx, *limits) +
             "\" fill=\"none\" stroke=\"#c33\" stroke-width=\"1.2\" stroke-dasharray=\"6 4\"/>\n";
    }
  }

  marks(svg, "id=\"points\"", "#1f5fa8", px, py, kMain);
  marks(svg, "id=\"residuals\"", "#1f5fa8", rx, ry, kResiduals);
  curve(svg, "id=\"curve\"", bx, d.cy, yp, kMain);
  // The flagged readings over their marks, each labelled with its line.
  const auto flagged = flagged_cases(fit);
  if (!flagged.empty()) {
    // The labels sit on a white halo, readable over the curve and the bands.
    svg += std::string("<g id=\"flagged\" fill=\"") + kFlagColour +
           "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\">\n";
    std::vector<LabelBox> placed;
    for (const auto& c : flagged) {
      const double fx = map(c.x, xp, kLeft, kRight), fy = map(c.y, yp, kMain.bottom, kMain.top);
      const double fr = map(c.residual, rp, kResiduals.bottom, kResiduals.top);
      svg += "<circle cx=\"" + fmt("%.1f", fx) + "\" cy=\"" + fmt("%.1f", fy) + "\" r=\"4\"/>\n";
      svg += "<circle cx=\"" + fmt("%.1f", fx) + "\" cy=\"" + fmt("%.1f", fr) + "\" r=\"4\"/>\n";
      const std::string label = "line " + std::to_string(line_of(lines, c.row));
      const LabelBox box = place_label(placed, fx, fy, 6.5 * static_cast<double>(label.size()));
      svg += "<text x=\"" + fmt("%.1f", box.anchor_end ? box.right : box.left) + "\" y=\"" +
             fmt("%.1f", box.bottom) + "\" font-size=\"11\" fill=\"#8a4500\"" +
             (box.anchor_end ? " text-anchor=\"end\"" : "") + ">" + label + "</text>\n";
    }
    svg += "</g>\n";
  }
  legend(svg, escape(shortest(level)) + " %", d.bands, !flagged.empty(), px, py);
  frame(svg, kMain);
  frame(svg, kResiduals);

  const double middle = (kLeft + kRight) / 2;
  svg += text_at(middle, kResiduals.bottom + 40, "text-anchor=\"middle\" font-size=\"14\"",
                 text.x_name);
  svg += text_upwards(36, (kMain.top + kMain.bottom) / 2, "font-size=\"14\"", text.y_name);
  svg += text_upwards(36, (kResiduals.top + kResiduals.bottom) / 2, "", "residual");
  svg += text_at(middle, kHeight - 42, "text-anchor=\"middle\"",
                 "R-squared = " + fmt("%#.4g", static_cast<double>(fit.r_squared)) + " %,  n = " +
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
  grid_legend(svg, width / 2 - 262, 48, level);
  for (std::size_t i = 0; i < n; ++i) {
    const PlotPanel<Real>& panel = panels[i];
    const double left = kMarginLeft + kCellWidth * static_cast<double>(i % columns);
    const double top = kMarginTop + kCellHeight * static_cast<double>(i / columns);
    const Box box{left + kPanelInCell.left, left + kPanelInCell.right, top + kPanelInCell.top,
                  top + kPanelInCell.bottom};
    const Drawing<Real> d = drawing(panel.x, panel.y, panel.fit, level, false);
    const Range xp = d.xr.padded(), yp = d.yr.padded();

    svg += "<g class=\"panel\" id=\"panel" + std::to_string(i + 1) + "\" font-size=\"10\">\n";
    svg += text_at((box.left + box.right) / 2, top + 18,
                   "class=\"title\" text-anchor=\"middle\" font-size=\"13\" font-weight=\"bold\"",
                   panel.title);
    const std::string caption =
        panel.fit == nullptr
            ? "the fit failed"
            : "n = " + std::to_string(panel.fit->n_used) + ",  R-squared = " +
                  fmt("%#.4g", static_cast<double>(panel.fit->r_squared)) + " %";
    const char* look =
        panel.fit == nullptr ? "text-anchor=\"middle\" fill=\"#c33\"" : "text-anchor=\"middle\"";
    svg += text_at((box.left + box.right) / 2, top + 34, look, caption);
    y_ticks(svg, yp, box, 4);
    x_ticks(svg, xp, box, true, 4);
    const std::vector<double> bx = screen_x(d.cx, xp, box);
    if (d.bands) confidence_band(svg, "class=\"band\"", bx, d.band, yp, box);
    std::vector<double> px, py;
    positions(d.xs, d.ys, xp, yp, box, px, py);
    marks(svg, "class=\"points\"", "#1f5fa8", px, py, box);
    if (panel.fit != nullptr) {
      curve(svg, "class=\"curve\"", bx, d.cy, yp, box);
      flagged_marks(svg, *panel.fit, xp, yp, box, panel.lines);
    }
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
                              const PolynomialFit&, const PlotText&, double, std::span<const int>);
template std::string svg_plot(std::span<const double>, std::span<const double>,
                              const DoublePolynomialFit&, const PlotText&, double,
                              std::span<const int>);
template std::string svg_small_multiples(std::span<const PlotPanel<float>>, const PlotText&,
                                         double);
template std::string svg_small_multiples(std::span<const PlotPanel<double>>, const PlotText&,
                                         double);

}  // namespace ksatfit::cli
