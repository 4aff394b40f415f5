// Whether a test may start threads of its own. A 32-bit Windows program run
// by Wine under qemu-user (where the kernel cannot run 32-bit code) crashes
// or hangs the emulator as soon as it runs two threads; the test runner then
// sets KSATFIT_NO_THREADS and lets the program see a single processor, so the
// library itself stays on one thread.
#pragma once

#include <cstdlib>

namespace ksatfit::test {

inline bool threads_available() { return std::getenv("KSATFIT_NO_THREADS") == nullptr; }

}  // namespace ksatfit::test
