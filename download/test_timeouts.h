#pragma once
// The fault tests' hook on the time limits. The e2e tests cannot wait half a minute for every stall,
// so the installer takes shorter limits from the environment variable ZUNOR_TEST_TIMEOUTS, which no
// user sets and no switch offers:
//
//   ZUNOR_TEST_TIMEOUTS=connect=2000,receive=2000,retry=100,slow=3000:1024
//
// connect and receive in ms; retry: the pause before each retry of a file, ms; slow=W:B: a body
// that brings fewer than B bytes in W ms is given up; register: a component's registration, ms;
// product: how long /S waits for a running Zunor 2021 to be closed, ms; split: the size from which a
// file is fetched as ranges over several connections, bytes. Keys may be left out; anything
// malformed leaves all limits as they were.
#include <string_view>

#include "download/timeouts.h"

namespace modSetup {

inline constexpr char kTestTimeoutsVariable[] = "ZUNOR_TEST_TIMEOUTS";

Timeouts ApplyTestTimeouts(std::string_view text, const Timeouts& base);

} // namespace modSetup
