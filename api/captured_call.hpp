// The frame in which the application interface runs library routines: one
// caller at a time, no stop, every message that would be printed recorded
// instead, and afterwards the error layer exactly as it was before.
#pragma once

#include <mutex>
#include <vector>

#include "errors/error_layer.hpp"
#include "ksatfit/fit.hpp"

namespace ksatfit {

class CapturedCall {
 public:
  CapturedCall();
  ~CapturedCall();
  CapturedCall(const CapturedCall&) = delete;
  CapturedCall& operator=(const CapturedCall&) = delete;

  // Throws FitError for the first fatal or terminal message recorded so far:
  // under the settings at load that condition would have stopped the program.
  void throw_if_failed() const;

  // The other messages recorded, in the order they were raised.
  std::vector<FitMessage> warnings() const;

 private:
  std::unique_lock<std::mutex> lock_;
  ErrorStateSnapshot saved_;
  std::vector<PrintedMessage> messages_;
  std::vector<PrintedMessage>* previous_recorder_;
};

}  // namespace ksatfit
