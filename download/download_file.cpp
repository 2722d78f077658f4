#include <windows.h>

#include <algorithm>

#include "download/fetch.h"
#include "download/modsetup.h"
#include "download/ranged_file.h"
#include "download/timeouts.h"
#include "download/transfer_stop.h"

namespace modSetup {

namespace detail {

bool PauseBeforeRetry(unsigned long delayMs, const zunor::TransferOptions& options) {
    const ULONGLONG end = GetTickCount64() + delayMs;
    for (;;) {
        if (CancelRequested(options))
            return false;
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return true;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(end - now, 50)));
    }
}

} // namespace detail

zunor::TransferResult DownloadFile(const std::wstring& url, const std::wstring& destination,
                                   const zunor::TransferOptions& options) {
    detail::TransferScope running; // outlives the temporary file
    zunor::TransferResult result;
    const ULONGLONG start = GetTickCount64();
    try {
        if (options.keepIfCurrent && options.expectedSha256) {
            const auto stop = [&] {
                return detail::TransfersStopping() || (options.cancelled && options.cancelled());
            };
            if (FileSha256(destination, stop) == options.expectedSha256) {
                result.current = true;
                result.milliseconds = static_cast<std::uint32_t>(GetTickCount64() - start);
                return result;
            }
        }
        // Kept across attempts: a resumed transfer appends to what the broken one received.
        detail::PartFile part(destination);
        // The ranges of a large file on other connections: stopped before the temporary file goes.
        std::shared_ptr<detail::RangedFile> sharing;
        struct StopSharing {
            std::shared_ptr<detail::RangedFile>& file;
            ~StopSharing() {
                if (file)
                    file->Close();
            }
        } stopSharing{sharing};
        std::uint64_t bytes = 0;
        int requests = 0;
        // A file whose ranges may be of two versions is fetched again, whole, as one stream.
        for (bool mayShare = true;; mayShare = false) {
            ResumePoint resume;
            NextAttempt how = NextAttempt::None;
            for (int attempt = 1;; ++attempt) {
                result = detail::FetchAttempt(url, part, resume, how, LengthRule::Required, options,
                                              mayShare ? &sharing : nullptr);
                bytes += result.bytes;
                ++requests;
                if (sharing)
                    break; // its ranges, the first one's rest included, are retried each on its own
                how = AfterFailure(result, resume, attempt);
                if (how == NextAttempt::None)
                    break;
                if (!detail::PauseBeforeRetry(CurrentTimeouts().retryDelaysMs[attempt - 1], options)) {
                    result.error = zunor::TransferError::Cancelled;
                    break;
                }
            }
            if (!sharing)
                break;
            std::optional<zunor::TransferResult> whole = sharing->Finish(result);
            sharing.reset();
            if (whole) {
                bytes += whole->bytes;
                requests += whole->attempts;
                result = *whole;
                break;
            }
        }
        result.bytes = bytes;
        result.attempts = requests;
    } catch (...) {
        result.error = zunor::TransferError::WriteFailed;
    }
    result.milliseconds = static_cast<std::uint32_t>(GetTickCount64() - start);
    return result;
}

} // namespace modSetup
