// A child process in which no allocation above 4 GiB can succeed, whatever
// the machine's overcommit policy, so that a request of tens of gigabytes
// fails the same way everywhere.
#pragma once

#include <functional>

#include "tests/support/transcript.hpp"

namespace ksatfit::test {

ChildRun run_with_allocation_cap(const std::function<void()>& body);

}  // namespace ksatfit::test
