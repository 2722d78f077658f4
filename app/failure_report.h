#pragma once
// What both kinds of run end with: the exit codes, and the report of a failure they do not trap.
#include <string>

#include "install/run_failure.h"

namespace zunor {

// Exit codes, installing or removing, in both modes.
inline constexpr int kExitDone = 0;
inline constexpr int kExitIncomplete = 1;
inline constexpr int kExitBadCommandLine = 2;
inline constexpr int kExitStopped = 3;

// "Greska <number>: <description> <the system's own text>." then what was being done.
std::wstring FailureReport(const RunFailure& failure);

} // namespace zunor
