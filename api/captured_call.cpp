#include "api/captured_call.hpp"

#include <cstddef>

namespace ksatfit {
namespace {

// The library's routines share one error state and keep intermediate values
// in static storage: fits run one at a time.
std::mutex& library_mutex() {
  static std::mutex mutex;
  return mutex;
}

bool is_failure(int type) { return type == 4 || type == 5 || type == 7; }

FitMessage to_fit_message(const PrintedMessage& m) { return {m.type, m.code, m.routine, m.text}; }

// The settings at load, which print every warning, fatal and terminal
// message, with every stop turned off: the fit goes on past a condition that
// would have ended the program, and the condition is reported afterwards.
ErrorSettings recording_settings() {
  ErrorSettings settings = initial_error_settings();
  settings.stops.fill(0);
  return settings;
}

}  // namespace

FitError::FitError(const FitMessage& message)
    : std::runtime_error(message.text),
      type_(message.type),
      code_(message.code),
      routine_(std::make_shared<const std::string>(message.routine)) {}

// The lock is taken before the snapshot, the recorder set after it; the
// destructor undoes them in the opposite order.
CapturedCall::CapturedCall() : lock_(library_mutex()) {
  set_error_settings(recording_settings());
  previous_recorder_ = record_printed_messages(&messages_);
}

CapturedCall::~CapturedCall() {
  record_printed_messages(previous_recorder_);
  saved_.restore();
}

void CapturedCall::throw_if_failed() const {
  for (const PrintedMessage& m : messages_) {
    if (is_failure(m.type)) throw FitError(to_fit_message(m));
  }
}

std::vector<FitMessage> CapturedCall::warnings() const {
  std::vector<FitMessage> warnings;
  for (const PrintedMessage& m : messages_) {
    if (!is_failure(m.type)) warnings.push_back(to_fit_message(m));
  }
  return warnings;
}

}  // namespace ksatfit
