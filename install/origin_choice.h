#pragma once
// With mirrors, the listings and sums come from the first origin that gives them all. The installation
// and /LIST choose alike, and their logs say alike which origin was passed over and why.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/run_ports.h"

namespace zunor {

// read(i) reads what origins[i] serves and returns why that origin is passed over, or nothing when it
// serves. A RunFailure it throws passes the origin over too, except from the last one: there it ends
// the run.
void ReadFromFirstOrigin(const std::vector<std::wstring>& origins, RunLog& log,
                         const std::function<std::optional<std::wstring>(std::size_t)>& read);

} // namespace zunor
