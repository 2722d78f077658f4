#pragma once
// A transfer on a worker thread while the calling thread keeps its window alive: the window's
// messages are handled at least every 50 ms until the transfer ends, so the window repaints and
// the user can end the program in the middle of a large file.
#include <functional>

#include "common/transfer_options.h"
#include "common/transfer_result.h"

namespace zunor {

using Transfer = std::function<TransferResult(const TransferOptions&)>;

// Runs transfer on a worker thread and returns its result. Meanwhile pump is called on the calling
// thread whenever messages arrive and at least every 50 ms. The callbacks of options are called on
// the calling thread only (progress with the newest figures, once they changed); the worker sees
// them through options of its own. Never throws.
TransferResult RunInBackground(const Transfer& transfer, const TransferOptions& options,
                               const std::function<void()>& pump);

} // namespace zunor
