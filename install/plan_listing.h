#pragma once
// /LIST: what an installation would do, printed instead of done. The listings and SHA256SUMS are read
// into memory; no folder, file, registry value or shortcut is made.
#include <functional>
#include <string>
#include <string_view>

#include "common/run_ports.h"
#include "install/install_plan.h"

namespace zunor {

struct PlanTotals {
    std::size_t downloads = 0;
    std::size_t kept = 0;
    std::size_t skipped = 0;
};

// Prints one line per file: address, destination and action, separated by tabs; then the totals.
// Every line also goes to the log. Throws RunFailure when a listing page cannot be had.
// A file SHA256SUMS vouches for whose destination holds those bytes already shows as current (counted
// as kept), unless repair says every file is to come again. Mirrors and the publisher's signatures
// are treated as by the installation: the addresses printed are those of the origin that serves.
PlanTotals ListPlan(RunNetwork& network, RunFiles& files, RunSystem& system, RunLog& log,
                    const std::function<void(std::wstring_view)>& print, std::wstring_view serverBase,
                    std::wstring_view location, bool repair = false, const Publisher& publisher = {});

} // namespace zunor
