// The per-type print, stop and traceback settings as a whole, and a copy of
// the entire error state that can be put back: what a caller needs to run
// library routines without printing or stopping and leave no trace.
#include <cstddef>

#include "errors/error_layer.hpp"
#include "errors/error_state.hpp"
#include "ksatfit/errors.hpp"

namespace ksatfit {

ErrorSettings initial_error_settings() {
  //        NOTE ALERT WARNING FATAL TERMINAL WARNING FATAL
  return {.prints = {0, 0, 1, 1, 1, 1, 1},
          .stops = {0, 0, 0, 1, 1, 0, 1},
          .traces = {1, 1, 1, 1, 1, 1, 1}};
}

ErrorSettings current_error_settings() {
  E1INIT();
  const ErrorState& s = error_state();
  ErrorSettings settings{};
  for (int T = 1; T <= kErrorTypes; ++T) {
    const auto k = static_cast<std::size_t>(T - 1);
    settings.prints[k] = s.PRINTS(T);
    settings.stops[k] = s.STOPS(T);
    settings.traces[k] = s.TRACES(T);
  }
  return settings;
}

void set_error_settings(const ErrorSettings& settings) {
  // Initialised first, so that the first push cannot overwrite them.
  E1INIT();
  ErrorState& s = error_state();
  for (int T = 1; T <= kErrorTypes; ++T) {
    const auto k = static_cast<std::size_t>(T - 1);
    s.PRINTS(T) = settings.prints[k];
    s.STOPS(T) = settings.stops[k];
    s.TRACES(T) = settings.traces[k];
  }
}

ErrorStateSnapshot::ErrorStateSnapshot() : state_(std::make_unique<ErrorState>(error_state())) {
  for (int N = 1; N <= 3; ++N) UMACH(N, units_[static_cast<std::size_t>(N - 1)]);
}

ErrorStateSnapshot::~ErrorStateSnapshot() = default;

void ErrorStateSnapshot::restore() const {
  error_state() = *state_;
  for (int N = 1; N <= 3; ++N) {
    int unit = units_[static_cast<std::size_t>(N - 1)];
    UMACH(-N, unit);
  }
}

}  // namespace ksatfit
