// Shared pieces of the probability tests: a fresh error state per test, the
// type and code that a call leaves behind, and console transcripts.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "errors/error_layer.hpp"
#include "ksatfit/errors.hpp"
#include "tests/support/transcript.hpp"

namespace ksatfit::test {

inline constexpr const char* kStop = "Stop - Program terminated.\n";

class ProbabilityTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_error_state_for_tests(); }
};

struct Left {
  int type;
  int code;
};

// Calls `call` one level below a routine named TEST and returns the error
// type and code that the call left at its own level.
inline Left left_by(const std::function<void()>& call) {
  RoutineScope outer("TEST");
  call();
  return {N1RTY(1), N1RCD(1)};
}

// Runs `call` as the user's call in a child process. The value it returns is
// written on standard error, so that standard output holds only the console
// transcript.
inline ChildRun user_call(const std::function<float()>& call) {
  return run_in_child([&] {
    reset_error_state_for_tests();
    const float value = call();
    std::fprintf(stderr, "%.9g", value);
  });
}

inline float value_of(const ChildRun& run) { return std::strtof(run.err.c_str(), nullptr); }

}  // namespace ksatfit::test
