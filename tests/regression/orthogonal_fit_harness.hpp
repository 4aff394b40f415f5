// Shared pieces of the orthogonal polynomial fit tests: a call of R2ORP on a
// small data matrix with guarded work areas, the R-squared its outputs imply,
// an independent long-double least-squares fit, and a reader of the message
// blocks that the error layer prints.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "ksatfit/regression.hpp"

namespace ksatfit::test {

inline const float kNaN = std::numeric_limits<float>::quiet_NaN();
inline constexpr float kSentinel = 12345.0f;  // marks output entries never written
inline constexpr float kEps = 1.0f / 8388608.0f;  // 2^-23

// One data set and the options of a call. Frequencies and weights are
// optional columns; an empty vector means the column is absent (index 0).
struct FitInput {
  std::vector<float> x, y, frq, wt;
  int MAXDEG = 2;
  int ICRIT = 0;
  float CRIT = 0.0f;
  int LOF = 0;
};

struct FitOutput {
  int NDEG = -1;
  float XSCALE = kSentinel, XSHIFT = kSentinel;
  std::vector<float> ALPHA, BETA, OCOEF, D;
  float DFE = kSentinel, SSE = kSentinel, DFPE = kSentinel, SSPE = kSentinel;
  int NMISS = -1;
  int type = -1, code = -1;  // what R2ORP left behind (N1RTY(1), N1RCD(1))
  std::vector<float> z;      // the sorted, scaled abscissas left in WK(1..n)
  std::string console;       // everything printed during the call

  // R-squared (fraction) from the outputs: the regression sum of squares is
  // the sum of OCOEF(K+1)^2 D(K+1) over K = 1..NDEG.
  double r_squared() const {
    double ssr = 0.0;
    for (int k = 1; k <= NDEG; ++k) {
      ssr += static_cast<double>(OCOEF[k]) * OCOEF[k] * D[k];
    }
    return ssr / (ssr + SSE);
  }
};

// Calls R2ORP with y in column 1 and x in column 2 (so a mix-up of IRSP and
// IND shows), weights and frequencies in the columns after them, a leading
// dimension larger than NOBS whose extra rows hold NaN, and work areas and
// output arrays followed by guard cells that must stay untouched. What the
// call prints is captured unless the caller collects it itself (a child
// process that is expected to stop).
inline FitOutput run_fit(const FitInput& in, bool capture_console = true) {
  const int NOBS = static_cast<int>(in.x.size());
  const int LDX = NOBS + 2;
  int NCOL = 2;
  const int IWT = in.wt.empty() ? 0 : ++NCOL;
  const int IFRQ = in.frq.empty() ? 0 : ++NCOL;
  std::vector<float> X(static_cast<size_t>(LDX) * NCOL, kNaN);
  for (int i = 0; i < NOBS; ++i) {
    X[i] = in.y[i];
    X[LDX + i] = in.x[i];
    if (IWT > 0) X[(IWT - 1) * LDX + i] = in.wt[i];
    if (IFRQ > 0) X[(IFRQ - 1) * LDX + i] = in.frq[i];
  }
  constexpr int kGuard = 8;
  const int m = std::max(in.MAXDEG, 0);
  FitOutput out;
  out.ALPHA.assign(m + kGuard, kSentinel);
  out.BETA.assign(m + kGuard, kSentinel);
  out.OCOEF.assign(m + 1 + kGuard, kSentinel);
  out.D.assign(m + 1 + kGuard, kSentinel);
  std::vector<float> WK(8 * NOBS + kGuard, kSentinel);
  std::vector<int> IWK(NOBS + kGuard, -7);

  if (capture_console) testing::internal::CaptureStdout();
  R2ORP(NOBS, NCOL, X.data(), LDX, 1, 2, IFRQ, IWT, in.MAXDEG, in.ICRIT, in.CRIT, in.LOF,
        out.NDEG, out.XSCALE, out.XSHIFT, out.ALPHA.data(), out.BETA.data(),
        out.OCOEF.data(), out.D.data(), out.DFE, out.SSE, out.DFPE, out.SSPE, out.NMISS,
        WK.data(), IWK.data());
  if (capture_console) out.console = testing::internal::GetCapturedStdout();
  out.type = N1RTY(1);
  out.code = N1RCD(1);

  for (int g = 0; g < kGuard; ++g) {
    EXPECT_EQ(WK[8 * NOBS + g], kSentinel) << "WK written past 8*NOBS";
    EXPECT_EQ(IWK[NOBS + g], -7) << "IWK written past NOBS";
    EXPECT_EQ(out.ALPHA[m + g], kSentinel) << "ALPHA written past MAXDEG";
    EXPECT_EQ(out.BETA[m + g], kSentinel) << "BETA written past MAXDEG";
    EXPECT_EQ(out.OCOEF[m + 1 + g], kSentinel) << "OCOEF written past MAXDEG+1";
    EXPECT_EQ(out.D[m + 1 + g], kSentinel) << "D written past MAXDEG+1";
  }
  const int n = NOBS - std::max(out.NMISS, 0);
  if (out.NDEG >= 0 && n > 0) out.z.assign(WK.begin(), WK.begin() + n);
  return out;
}

// Weighted least-squares fit of degree `deg` computed independently in long
// double: Householder QR of the Vandermonde matrix in t = (x - mid)/half,
// which spans the same polynomials as any affine scaling of x. Returns the
// fitted values at the rows and the residual sum of squares.
struct ReferenceFit {
  std::vector<long double> fitted;
  long double sse = 0, sst = 0;
};

inline ReferenceFit reference_fit(const std::vector<float>& x, const std::vector<float>& y,
                                  const std::vector<float>& w, int deg) {
  const int n = static_cast<int>(x.size());
  const int m = deg + 1;
  const auto [lo, hi] = std::minmax_element(x.begin(), x.end());
  const long double mid = (static_cast<long double>(*lo) + *hi) / 2;
  const long double half = (static_cast<long double>(*hi) - *lo) / 2;
  std::vector<std::vector<long double>> a(n, std::vector<long double>(m));
  std::vector<long double> b(n), sw(n);
  for (int i = 0; i < n; ++i) {
    sw[i] = std::sqrt(static_cast<long double>(w[i]));
    const long double t = (x[i] - mid) / half;
    long double p = 1;
    for (int j = 0; j < m; ++j, p *= t) a[i][j] = sw[i] * p;
    b[i] = sw[i] * y[i];
  }
  std::vector<long double> qtb = b;
  std::vector<std::vector<long double>> r = a;
  for (int j = 0; j < m; ++j) {
    long double norm = 0;
    for (int i = j; i < n; ++i) norm += r[i][j] * r[i][j];
    norm = std::sqrt(norm);
    std::vector<long double> v(n, 0);
    for (int i = j; i < n; ++i) v[i] = r[i][j];
    v[j] += r[j][j] >= 0 ? norm : -norm;
    long double vv = 0;
    for (int i = j; i < n; ++i) vv += v[i] * v[i];
    if (vv == 0) continue;
    auto reflect = [&](auto get) {
      long double s = 0;
      for (int i = j; i < n; ++i) s += v[i] * get(i);
      return 2 * s / vv;
    };
    for (int k = j; k < m; ++k) {
      const long double s = reflect([&](int i) { return r[i][k]; });
      for (int i = j; i < n; ++i) r[i][k] -= s * v[i];
    }
    const long double s = reflect([&](int i) { return qtb[i]; });
    for (int i = j; i < n; ++i) qtb[i] -= s * v[i];
  }
  std::vector<long double> coef(m);
  for (int j = m - 1; j >= 0; --j) {
    long double s = qtb[j];
    for (int k = j + 1; k < m; ++k) s -= r[j][k] * coef[k];
    coef[j] = s / r[j][j];
  }
  ReferenceFit ref;
  long double swy = 0, swsum = 0;
  for (int i = 0; i < n; ++i) {
    swy += static_cast<long double>(w[i]) * y[i];
    swsum += w[i];
  }
  const long double ybar = swy / swsum;
  for (int i = 0; i < n; ++i) {
    const long double t = (x[i] - mid) / half;
    long double f = 0;
    for (int j = m - 1; j >= 0; --j) f = f * t + coef[j];
    ref.fitted.push_back(f);
    ref.sse += w[i] * (y[i] - f) * (y[i] - f);
    ref.sst += w[i] * (y[i] - ybar) * (y[i] - ybar);
  }
  return ref;
}

// The fitted polynomial of R2ORP, sum of OCOEF(K+1) P_K(z), evaluated in long
// double by the three-term recurrence.
inline long double orthogonal_value(const FitOutput& fit, long double z) {
  long double p_prev = 0, p = 1, value = fit.OCOEF[0];
  for (int k = 1; k <= fit.NDEG; ++k) {
    const long double next = (z - fit.ALPHA[k - 1]) * p - fit.BETA[k - 1] * p_prev;
    p_prev = p;
    p = next;
    value += fit.OCOEF[k] * p;
  }
  return value;
}

// One message block as printed: the type name, the code, the routine and the
// text with its continuation lines joined and runs of blanks collapsed, so
// that the text can be compared whatever the line breaks.
struct PrintedMessage {
  std::string type, code, routine, text;
};

inline std::string collapse_blanks(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  return out;
}

// Splits a heading line " *** TYPE ERROR CODE from ROUTINE.  TEXT"; false
// for any other line.
inline bool parse_heading(const std::string& line, PrintedMessage& p) {
  std::istringstream words(line);
  std::string stars, error, from;
  if (!(words >> stars >> p.type >> error >> p.code >> from) || stars != "***" ||
      error != "ERROR" || from != "from" || line.rfind(" *** ", 0) != 0) {
    return false;
  }
  const std::size_t name = line.find(" from ") + 6;
  const std::size_t stop = line.find(".  ", name);
  if (stop == std::string::npos) return false;
  p.routine = line.substr(name, stop - name);
  p.text = line.substr(stop + 3);
  return true;
}

inline std::vector<PrintedMessage> printed_messages(const std::string& console) {
  static const std::string continuation = " ***          ";
  std::vector<PrintedMessage> found;
  std::istringstream lines(console);
  std::string line;
  while (std::getline(lines, line)) {
    PrintedMessage heading;
    if (parse_heading(line, heading)) {
      found.push_back(heading);
    } else if (!found.empty() && line.rfind(continuation, 0) == 0) {
      found.back().text += ' ';
      found.back().text += line.substr(continuation.size());
    }
  }
  for (PrintedMessage& p : found) p.text = collapse_blanks(p.text);
  return found;
}

}  // namespace ksatfit::test
