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

// Page geometry in pixels.
constexpr double kWidth = 900, kHeight = 680;
constexpr double kLeft = 100, kRight = 870;
constexpr double kMainTop = 50, kMainBottom = 410;
constexpr double kResidualTop = 440, kResidualBottom = 570;
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

void x_ticks(std::string& svg, const Range& r, bool labels) {
  const double step = tick_step(r, 8);
  for (double k = std::ceil(r.lo / step); k * step <= r.hi; ++k) {
    const double px = map(k * step, r, kLeft, kRight);
    const double bottom = labels ? kResidualBottom : kMainBottom;
    svg += "<line x1=\"" + fmt("%.1f", px) + "\" y1=\"" + fmt("%.1f", bottom) + "\" x2=\"" +
           fmt("%.1f", px) + "\" y2=\"" + fmt("%.1f", bottom + 5) + "\" stroke=\"#333\"/>\n";
    if (labels) {
      svg += "<text x=\"" + fmt("%.1f", px) + "\" y=\"" + fmt("%.1f", bottom + 19) +
             "\" text-anchor=\"middle\">" + tick_label(k * step, step) + "</text>\n";
    }
  }
}

void y_ticks(std::string& svg, const Range& r, double top, double bottom, int count) {
  const double step = tick_step(r, count);
  for (double k = std::ceil(r.lo / step); k * step <= r.hi; ++k) {
    const double py = map(k * step, r, bottom, top);
    svg += "<line x1=\"" + fmt("%.1f", kLeft - 5) + "\" y1=\"" + fmt("%.1f", py) + "\" x2=\"" +
           fmt("%.1f", kLeft) + "\" y2=\"" + fmt("%.1f", py) + "\" stroke=\"#333\"/>\n";
    svg += "<line x1=\"" + fmt("%.1f", kLeft) + "\" y1=\"" + fmt("%.1f", py) + "\" x2=\"" +
           fmt("%.1f", kRight) + "\" y2=\"" + fmt("%.1f", py) + "\" stroke=\"#eee\"/>\n";
    svg += "<text x=\"" + fmt("%.1f", kLeft - 8) + "\" y=\"" + fmt("%.1f", py + 4) +
           "\" text-anchor=\"end\">" + tick_label(k * step, step) + "</text>\n";
  }
}

// Marks for the points, at most one per pixel cell of the panel.
void marks(std::string& svg, const char* id, const char* colour, const std::vector<double>& px,
           const std::vector<double>& py, double top, double bottom) {
  const int columns = static_cast<int>((kRight - kLeft) / kCell) + 2;
  const int rows = static_cast<int>((bottom - top) / kCell) + 2;
  std::vector<bool> taken(static_cast<std::size_t>(columns) * rows, false);
  svg += std::string("<g id=\"") + id + "\" fill=\"" + colour + "\" fill-opacity=\"0.7\">\n";
  for (std::size_t i = 0; i < px.size(); ++i) {
    const int c = std::clamp(static_cast<int>((px[i] - kLeft) / kCell), 0, columns - 1);
    const int r = std::clamp(static_cast<int>((py[i] - top) / kCell), 0, rows - 1);
    const std::size_t cell = static_cast<std::size_t>(r) * columns + c;
    if (taken[cell]) continue;
    taken[cell] = true;
    svg += "<circle cx=\"" + fmt("%.1f", px[i]) + "\" cy=\"" + fmt("%.1f", py[i]) + "\" r=\"2.5\"/>\n";
  }
  svg += "</g>\n";
}

void frame(std::string& svg, double top, double bottom) {
  svg += "<rect x=\"" + fmt("%.1f", kLeft) + "\" y=\"" + fmt("%.1f", top) + "\" width=\"" +
         fmt("%.1f", kRight - kLeft) + "\" height=\"" + fmt("%.1f", bottom - top) +
         "\" fill=\"none\" stroke=\"#333\"/>\n";
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
      return x >= left && x <= left + width && y >= kMainTop && y <= kMainTop + height;
    });
  };
  const double left_corner = kLeft + 8, right_corner = kRight - 8 - width;
  const double left = covered(left_corner) <= covered(right_corner) ? left_corner : right_corner;
  const double top = kMainTop + 8;
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

}  // namespace

template <class Real>
std::string svg_plot(std::span<const Real> x, std::span<const Real> y,
                     const BasicPolynomialFit<Real>& fit, const PlotText& text, double level,
                     std::span<const int> lines) {
  Range xr, yr, rr;
  std::vector<double> xs, ys, residuals;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (!std::isfinite(x[i]) || !std::isfinite(y[i])) continue;
    xs.push_back(x[i]);
    ys.push_back(y[i]);
    residuals.push_back(static_cast<double>(y[i]) - fit.evaluate(x[i]));
    xr.add(x[i]);
    yr.add(y[i]);
    rr.add(std::fabs(residuals.back()));
  }
  // The curve and its bands over the x range of the data.
  std::vector<Real> cx;
  std::vector<double> cy;
  if (xr.lo <= xr.hi) {
    for (int k = 0; k < kCurveSamples; ++k) {
      const double v = xr.lo + (xr.hi - xr.lo) * k / (kCurveSamples - 1);
      const Real at = static_cast<Real>(v);
      cx.push_back(at);
      cy.push_back(fit.evaluate(at));
      yr.add(cy.back());
    }
  }
  const std::vector<BasicPrediction<Real>> band = fit.predict(cx, static_cast<Real>(level / 100));
  const bool bands = std::any_of(band.begin(), band.end(), [](const BasicPrediction<Real>& b) {
    return std::isfinite(b.prediction_lower) && std::isfinite(b.prediction_upper);
  });
  for (const auto& b : band) {
    yr.add(b.prediction_lower);
    yr.add(b.prediction_upper);
  }
  const Range xp = xr.padded(), yp = yr.padded();
  const double rmax = rr.hi > 0 && std::isfinite(rr.hi) ? rr.hi * 1.08 : 1;
  const Range rp{-rmax, rmax};

  std::string svg;
  svg.reserve(1 << 16);
  svg += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + fmt("%.0f", kWidth) + "\" height=\"" +
         fmt("%.0f", kHeight) + "\" viewBox=\"0 0 " + fmt("%.0f %.0f", kWidth, kHeight) +
         "\" font-family=\"sans-serif\" font-size=\"12\">\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
  svg += "<text x=\"" + fmt("%.1f", (kLeft + kRight) / 2) +
         "\" y=\"30\" text-anchor=\"middle\" font-size=\"16\" font-weight=\"bold\">" +
         escape(text.title) + "</text>\n";

  y_ticks(svg, yp, kMainTop, kMainBottom, 7);
  y_ticks(svg, rp, kResidualTop, kResidualBottom, 5);
  x_ticks(svg, xp, false);
  x_ticks(svg, xp, true);
  const double zero = map(0, rp, kResidualBottom, kResidualTop);
  svg += "<line x1=\"" + fmt("%.1f", kLeft) + "\" y1=\"" + fmt("%.1f", zero) + "\" x2=\"" +
         fmt("%.1f", kRight) + "\" y2=\"" + fmt("%.1f", zero) +
         "\" stroke=\"#c33\" stroke-dasharray=\"4 3\"/>\n";

  std::vector<double> px(xs.size()), py(xs.size()), pr(xs.size());
  for (std::size_t i = 0; i < xs.size(); ++i) {
    px[i] = map(xs[i], xp, kLeft, kRight);
    py[i] = map(ys[i], yp, kMainBottom, kMainTop);
    pr[i] = map(residuals[i], rp, kResidualBottom, kResidualTop);
  }
  // The confidence band as one shaded polygon, upper limits left to right
  // and lower limits back; the prediction band as two dashed lines.
  std::vector<double> bx(cx.size()), upper(cx.size()), lower(cx.size());
  for (std::size_t k = 0; k < cx.size(); ++k) bx[k] = map(cx[k], xp, kLeft, kRight);
  const auto screen = [&](std::vector<double>& out, Real BasicPrediction<Real>::*limit) {
    for (std::size_t k = 0; k < band.size(); ++k) out[k] = map(band[k].*limit, yp, kMainBottom, kMainTop);
  };
  if (bands) {
    screen(upper, &BasicPrediction<Real>::confidence_upper);
    screen(lower, &BasicPrediction<Real>::confidence_lower);
    std::string points;
    for (std::size_t k = 0; k < bx.size(); ++k) {
      if (std::isfinite(upper[k])) points += fmt("%.1f,%.1f ", bx[k], upper[k]);
    }
    for (std::size_t k = bx.size(); k-- > 0;) {
      if (std::isfinite(lower[k])) points += fmt("%.1f,%.1f ", bx[k], lower[k]);
    }
    if (!points.empty()) points.pop_back();
    svg += "<polygon id=\"confidence-band\" points=\"" + points +
           "\" fill=\"#c33\" fill-opacity=\"0.2\" stroke=\"none\"/>\n";
    screen(upper, &BasicPrediction<Real>::prediction_upper);
    screen(lower, &BasicPrediction<Real>::prediction_lower);
    for (const auto& [id, limits] : {std::pair{"prediction-upper", &upper}, std::pair{"prediction-lower", &lower}}) {
      svg += std::string("<path id=\"") + id + "\" d=\"" + polyline(bx, *limits) +
             "\" fill=\"none\" stroke=\"#c33\" stroke-width=\"1.2\" stroke-dasharray=\"6 4\"/>\n";
    }
  }

  marks(svg, "points", "#1f5fa8", px, py, kMainTop, kMainBottom);
  marks(svg, "residuals", "#1f5fa8", px, pr, kResidualTop, kResidualBottom);

  std::vector<double> sy(cy.size());
  for (std::size_t k = 0; k < cy.size(); ++k) sy[k] = map(cy[k], yp, kMainBottom, kMainTop);
  svg += "<path id=\"curve\" d=\"" + polyline(bx, sy) +
         "\" fill=\"none\" stroke=\"" + kCurveColour + "\" stroke-width=\"2\"/>\n";

  // The flagged readings over their marks, each labelled with its line.
  const auto flagged = flagged_cases(fit);
  if (!flagged.empty()) {
    // The labels sit on a white halo, readable over the curve and the bands.
    svg += std::string("<g id=\"flagged\" fill=\"") + kFlagColour +
           "\" stroke=\"white\" stroke-width=\"3\" paint-order=\"stroke\">\n";
    std::vector<LabelBox> placed;
    for (const auto& c : flagged) {
      const double fx = map(c.x, xp, kLeft, kRight), fy = map(c.y, yp, kMainBottom, kMainTop);
      const double fr = map(c.residual, rp, kResidualBottom, kResidualTop);
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
  legend(svg, escape(shortest(level)) + " %", bands, !flagged.empty(), px, py);
  frame(svg, kMainTop, kMainBottom);
  frame(svg, kResidualTop, kResidualBottom);

  const double middle = (kLeft + kRight) / 2;
  svg += "<text x=\"" + fmt("%.1f", middle) + "\" y=\"" + fmt("%.1f", kResidualBottom + 40) +
         "\" text-anchor=\"middle\" font-size=\"14\">" + escape(text.x_name) + "</text>\n";
  svg += "<text transform=\"translate(36 " + fmt("%.1f", (kMainTop + kMainBottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\" font-size=\"14\">" + escape(text.y_name) + "</text>\n";
  svg += "<text transform=\"translate(36 " + fmt("%.1f", (kResidualTop + kResidualBottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">residual</text>\n";
  svg += "<text x=\"" + fmt("%.1f", middle) + "\" y=\"" + fmt("%.1f", kHeight - 42) +
         "\" text-anchor=\"middle\">R-squared = " + fmt("%.4g", fit.r_squared) +
         " %,  n = " + std::to_string(fit.n_used) + ",  degree " + std::to_string(fit.degree_fitted) +
         "</text>\n";
  svg += "<text x=\"" + fmt("%.1f", middle) + "\" y=\"" + fmt("%.1f", kHeight - 20) +
         "\" text-anchor=\"middle\">" + escape(text.equation) + "</text>\n";
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

}  // namespace ksatfit::cli
