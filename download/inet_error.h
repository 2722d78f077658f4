#pragma once
// Sorts a WinINet or system error code into the kinds the installer reports.
#include "common/transfer_result.h"

namespace modSetup::detail {

zunor::TransferError ClassifyInternetError(unsigned long code);

// As above, for a call that failed after callMs while limitMs was the time limit covering it. Wine
// reports a receive timeout as a broken connection; a break that comes only once the limit has
// run out is the limit's doing.
zunor::TransferError ClassifyFailedCall(unsigned long code, unsigned long long callMs, unsigned long limitMs);

} // namespace modSetup::detail
