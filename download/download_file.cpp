#include <windows.h>

#include <algorithm>

#include "download/fetch.h"
#include "download/modsetup.h"
#include "download/timeouts.h"
#include "download/transfer_stop.h"

namespace modSetup {

namespace {

// Waits before the next attempt; false when the transfer is to stop instead.
bool PauseBeforeRetry(unsigned long delayMs, const zunor::TransferOptions& options) {
    const ULONGLONG end = GetTickCount64() + delayMs;
    for (;;) {
        if (detail::TransfersStopping() || (options.cancelled && options.cancelled()))
            return false;
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return true;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)));
    }
}

} // namespace

zunor::TransferResult DownloadFile(const std::wstring& url, const std::wstring& destination,
                                   const zunor::TransferOptions& options) {
    detail::TransferScope running; // outlives the temporary file
    zunor::TransferResult result;
    const ULONGLONG start = GetTickCount64();
    try {
        if (options.keepIfCurrent && options.expectedSha256) {
            const auto stop = [&] { return detail::TransfersStopping() || (options.cancelled && options.cancelled()); };
            if (FileSha256(destination, stop) == options.expectedSha256) {
                result.current = true;
                result.milliseconds = static_cast<std::uint32_t>(GetTickCount64() - start);
                return result;
            }
        }
        // Kept across attempts: a resumed transfer appends to what the broken one received.
        detail::PartFile part(destination);
        ResumePoint resume;
        std::uint64_t bytes = 0;
        NextAttempt how = NextAttempt::None;
        for (int attempt = 1;; ++attempt) {
            result = detail::FetchAttempt(url, part, resume, how, LengthRule::Required, options);
            bytes += result.bytes;
            result.attempts = attempt;
            how = AfterFailure(result, resume, attempt);
            if (how == NextAttempt::None)
                break;
            if (!PauseBeforeRetry(CurrentTimeouts().retryDelaysMs[attempt - 1], options)) {
                result.error = zunor::TransferError::Cancelled;
                break;
            }
        }
        result.bytes = bytes;
    } catch (...) {
        result.error = zunor::TransferError::WriteFailed;
    }
    result.milliseconds = static_cast<std::uint32_t>(GetTickCount64() - start);
    return result;
}

} // namespace modSetup
