// The values that the special functions compute on their first call and keep
// for the life of the process. Each block belongs to one routine, which alone
// writes it; tests read them to check what the first call computed.
#pragma once

namespace ksatfit::detail {

struct GammaSaved {
  int terms = 0;  // 0 until the first call has truncated the series
  float XMIN = 0.0f;
  float XMAX = 0.0f;
  float dxrel = 0.0f;
  float xsml = 0.0f;
};

struct LogGammaCorrectionSaved {
  int terms = 0;
  float xbig = 0.0f;
  float xmax = 0.0f;
};

struct LogGammaSaved {
  float xmax = 0.0f;  // 0 until the first call
  float dxrel = 0.0f;
};

struct RelativeLogSaved {
  int terms = 0;
  float xmin = 0.0f;
};

struct ErfcSaved {
  int terms_erf = 0;   // error-function series, |X| <= 1; 0 until the first call
  int terms_erfc = 0;  // erfc series for X*X > 4
  int terms_erc2 = 0;  // erfc series for 1 < X*X <= 4
  float xsml = 0.0f;
  float xmax = 0.0f;
  float sqeps = 0.0f;
};

// The one block of type T for the process, created on first use.
template <class T>
T& saved() {
  static T block;
  return block;
}

struct IncompleteBetaSaved {
  float eps = 0.0f;  // 0 until the first call
  float alneps = 0.0f;
  float tiny = 0.0f;
  float alntiny = 0.0f;
};


}  // namespace ksatfit::detail
