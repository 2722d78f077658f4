#include <windows.h>

#include "download/fetch.h"
#include "download/modsetup.h"

namespace modSetup {

namespace {
// Counted down before each attempt and spent at zero: two attempts in all.
constexpr short kRetryBudget = 3;
} // namespace

zunor::TransferResult DownloadListing(const std::wstring& url, const std::wstring& folder,
                                      const std::wstring& fileName, const zunor::TransferOptions& options) {
    zunor::TransferResult result;
    const ULONGLONG start = GetTickCount64();
    try {
        const std::wstring path = folder + fileName;
        int attempts = 0;
        short budget = kRetryBudget;
        while (--budget > 0) {
            result = detail::FetchOnce(url, path, LengthRule::CheckedIfDeclared, options);
            ++attempts;
            // The server's own answer, whatever it is, is not retried, nor the proxy's; only a failed
            // exchange is.
            if (result.ok() || result.error == zunor::TransferError::HttpStatus ||
                result.error == zunor::TransferError::ProxyAuthRequired)
                break;
        }
        result.attempts = attempts;
    } catch (...) {
        result.error = zunor::TransferError::WriteFailed;
    }
    result.milliseconds = static_cast<std::uint32_t>(GetTickCount64() - start);
    return result;
}

} // namespace modSetup
