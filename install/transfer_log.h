#pragma once
// How a request reads in the install log.
#include <string>
#include <string_view>

#include "common/transfer_result.h"

namespace zunor {

// "<url> -> <destination>: status 200, 1234 B, 56 ms", or with the reason first when it failed.
std::wstring DescribeTransfer(std::wstring_view url, std::wstring_view destination,
                              const TransferResult& result);

} // namespace zunor
