#include "download/fetch.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <new>

#include "download/http_request.h"
#include "download/http_rules.h"
#include "download/inet_error.h"
#include "download/part_file.h"
#include "download/timeouts.h"

namespace modSetup::detail {

namespace {

using zunor::TransferError;
using zunor::TransferResult;

// Memory stays the same whatever the file's size: the body passes through this one buffer.
constexpr DWORD kChunkBytes = 64 * 1024;

bool IsChunked(HINTERNET request) {
    auto encoding = QueryHeader(request, HTTP_QUERY_TRANSFER_ENCODING);
    return encoding && encoding->find(L"chunked") != std::wstring::npos;
}

// Streams the body of a 200 answer into the part file and commits it.
void ReceiveBody(HINTERNET request, const std::wstring& destination, LengthRule rule,
                 TransferResult& result) {
    std::optional<std::uint64_t> declared;
    if (!IsChunked(request)) {
        if (auto header = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH)) {
            declared = ParseContentLength(*header);
            // A length we cannot read means we could never tell a cut body from a whole one.
            if (!declared) {
                result.error = TransferError::ConnectionLost;
                return;
            }
        }
    }

    // Known before a byte is read: a body that could never be verified is not worth fetching.
    if (!declared && rule == LengthRule::Required) {
        result.error = TransferError::ConnectionLost;
        return;
    }

    PartFile part(destination);
    DWORD error = 0;
    if (!part.Create(&error)) {
        result.error = TransferError::WriteFailed;
        result.systemError = error;
        return;
    }
    auto buffer = std::make_unique<char[]>(kChunkBytes);
    const unsigned long receiveLimit = CurrentTimeouts().receiveMs;
    for (;;) {
        DWORD read = 0;
        const ULONGLONG start = GetTickCount64();
        if (!InternetReadFile(request, buffer.get(), kChunkBytes, &read)) {
            error = GetLastError();
            result.error = ClassifyFailedCall(error, GetTickCount64() - start, receiveLimit);
            result.systemError = error;
            return;
        }
        if (read == 0)
            break;
        result.bytes += read;
        if (!part.Write(buffer.get(), read, &error)) {
            result.error = TransferError::WriteFailed;
            result.systemError = error;
            return;
        }
    }
    // The stack reports a connection closed early as a normal end of data: count the bytes.
    if (!BodyComplete(declared, result.bytes, rule)) {
        result.error = TransferError::ConnectionLost;
        return;
    }
    if (!part.Commit(&error)) {
        result.error = TransferError::WriteFailed;
        result.systemError = error;
    }
}

} // namespace

TransferResult FetchOnce(const std::wstring& url, const std::wstring& destination, LengthRule rule,
                         const zunor::TransferOptions& options) {
    (void)options;  // checksum, progress and cancellation come next
    TransferResult result;
    result.attempts = 1;
    const ULONGLONG start = GetTickCount64();
    try {
        if (auto opened = OpenGet(url, result))
            ReceiveBody(opened.request.get(), destination, rule, result);
    } catch (const std::bad_alloc&) {
        result.error = TransferError::WriteFailed;
        result.systemError = ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        result.error = TransferError::WriteFailed;
    }
    result.milliseconds = static_cast<std::uint32_t>(GetTickCount64() - start);
    return result;
}

} // namespace modSetup::detail
