// The values that the special functions compute on their first call and keep
// for the life of the process. Each block belongs to one routine, which alone
// writes and reads it; the read-only views below let tests check what the
// first call computed.
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

struct IncompleteBetaSaved {
  float eps = 0.0f;  // 0 until the first call
  float alneps = 0.0f;
  float tiny = 0.0f;
  float alntiny = 0.0f;
};

const GammaSaved& gamma_saved_values();
const LogGammaCorrectionSaved& r9lgmc_saved_values();
const LogGammaSaved& alngam_saved_values();
const RelativeLogSaved& alnrel_saved_values();
const ErfcSaved& erfc_saved_values();
const IncompleteBetaSaved& betai_saved_values();

}  // namespace ksatfit::detail
