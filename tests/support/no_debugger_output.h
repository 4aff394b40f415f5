// Forced into GoogleTest's own sources in the Windows builds. GoogleTest
// sends every failure to an attached debugger with OutputDebugStringA, which
// raises a Windows exception even when no debugger is attached; where 32-bit
// Windows code runs emulated (Wine under qemu-user), handling that exception
// ends the process, and with it the rest of the test program's run. The
// failure is printed on standard output all the same.
#pragma once

#include <windows.h>

static inline void ksatfit_no_debugger_output(const char*) {}

#define OutputDebugStringA ksatfit_no_debugger_output
