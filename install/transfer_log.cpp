#include "install/transfer_log.h"

namespace zunor {

std::wstring DescribeTransfer(std::wstring_view url, std::wstring_view destination,
                              const TransferResult& result) {
    std::wstring text(url);
    text.append(L" -> ").append(destination).append(L": ");
    if (result.current) {
        return text + L"in place, SHA-256 as listed, not requested, " + std::to_wstring(result.milliseconds) + L" ms";
    }
    if (!result.ok()) {
        text += ReasonText(result) + L", ";
    }
    text += L"status " + std::to_wstring(result.status);
    if (result.systemError != 0) {
        text += L", system error " + std::to_wstring(result.systemError);
    }
    text += L", " + std::to_wstring(result.bytes) + L" B, " + std::to_wstring(result.milliseconds) + L" ms";
    if (result.ranges > 1) {
        text += L", " + std::to_wstring(result.ranges) + L" ranges";
    }
    return text;
}

} // namespace zunor
