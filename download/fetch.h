#pragma once
// One attempt: GET url and, when the whole body arrives, put it at destination.
#include <string>

#include "download/http_rules.h"
#include "download/transfer_options.h"
#include "download/transfer_result.h"

namespace modSetup::detail {

// Never throws. result.attempts is 1; milliseconds covers this attempt.
zunor::TransferResult FetchOnce(const std::wstring& url, const std::wstring& destination, LengthRule rule,
                                const zunor::TransferOptions& options = {});

} // namespace modSetup::detail
