#include "download/fetch.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <memory>
#include <new>

#include "download/http_request.h"
#include "download/http_rules.h"
#include "download/inet_error.h"
#include "download/pace_rule.h"
#include "download/range_split.h"
#include "download/ranged_file.h"
#include "download/sha256.h"
#include "download/timeouts.h"
#include "download/transfer_stop.h"
#include "system/loaded_on_use.h"

namespace modSetup::detail {

namespace onUse = zunor::onUse;

namespace {

using zunor::TransferError;
using zunor::TransferResult;

constexpr int kRangeNotSatisfiable = 416;

// A 206 continues the body we hold only when it starts where we stopped, of the same whole, and
// of the same version.
bool ContinuesKeptBody(HINTERNET request, const ResumePoint& resume, std::optional<std::uint64_t> declared) {
    auto header = QueryHeader(request, HTTP_QUERY_CONTENT_RANGE);
    auto range = header ? ParseContentRange(*header) : std::nullopt;
    return range && declared && range->first == resume.offset && range->complete == resume.total &&
           *declared == range->last - range->first + 1 && Validator(request) == resume.validator;
}

// Streams the body of a 200 (or, resuming, 206) answer into the part file and commits it. With
// firstRange the request asked for the file's first range only (FirstRangeHeaders); a 206 that holds
// only part of the file then hands the rest to other connections through *sharing.
void ReceiveBody(HINTERNET request, PartFile& part, ResumePoint& resume, LengthRule rule,
                 const zunor::TransferOptions& options, TransferResult& result, const std::wstring& url,
                 std::shared_ptr<RangedFile>* sharing, bool firstRange) {
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

    bool partial = result.status == HTTP_STATUS_PARTIAL_CONTENT;
    std::optional<FirstRange> first;
    if (partial && firstRange) {
        auto header = QueryHeader(request, HTTP_QUERY_CONTENT_RANGE);
        first = ReadFirstRange(header ? ParseContentRange(*header) : std::nullopt, declared,
                               CurrentTimeouts().splitMinBytes);
        const bool whole = first && first->end == first->total;
        if (!first || (!whole && (!sharing || Validator(request).empty()))) {
            // Not the range asked for, or part of a file whose versions could not be told apart:
            // the next attempt asks for the whole body.
            resume = ResumePoint{};
            resume.bodyBroke = true;
            result.error = TransferError::ConnectionLost;
            return;
        }
        if (whole)
            first.reset();
        partial = false; // the body from its first byte, as a 200 would bring it
    } else if (partial && !ContinuesKeptBody(request, resume, declared)) {
        // Not the rest of what we hold: the next attempt starts over.
        resume = ResumePoint{};
        resume.bodyBroke = true;
        result.error = TransferError::ConnectionLost;
        return;
    }
    if (!partial) {
        // The whole body, also where a resumption was asked for and the version changed.
        resume = ResumePoint{};
        resume.total = declared.value_or(0);
        auto ranges = QueryHeader(request, HTTP_QUERY_ACCEPT_RANGES);
        resume.rangesAccepted = (ranges && AcceptsByteRanges(*ranges)) || firstRange;
        resume.validator = Validator(request);
    }

    DWORD error = 0;
    if (!part.Create(&error) || (!partial && !part.Truncate(&error))) {
        result.error = TransferError::WriteFailed;
        result.systemError = error;
        return;
    }
    if (first) {
        *sharing =
            std::make_shared<RangedFile>(url, part, first->end, first->total, resume.validator, options);
        options.offerWork([file = *sharing] { return file->Help(); });
    }
    RangedFile* const share = sharing ? sharing->get() : nullptr;
    // From here on part holds `start` bytes of the body already (a resumed transfer); whatever
    // is computed over the whole body has to take them in first.
    const std::uint64_t start = part.Size();
    const std::uint64_t whole = declared ? start + *declared : 0;
    // Hashed as it streams, so checking costs no second read (only kept bytes of a resumption are
    // read back). The ranges of a shared file are hashed together once they are in.
    std::optional<Sha256> hash;
    if (options.expectedSha256 && !share) {
        hash.emplace();
        if (start > 0)
            HashKeptBytes(*hash, part.TemporaryPath(), start);
    }
    if (options.progress && !share)
        options.progress(start, whole);

    const auto own = std::make_unique<char[]>(kChunkBytes);
    char* const buffer = own.get();
    // The pieces gather in the buffer, which goes to disk and into the hash when it is full: a read
    // of what has arrived brings a few KiB under Wine, and a write and a hash step for each piece
    // would cost more than the reads.
    DWORD held = 0;
    const auto store = [&] {
        if (held == 0)
            return true;
        if (!part.Write(buffer, held, &error)) {
            result.error = TransferError::WriteFailed;
            result.systemError = error;
            return false;
        }
        if (hash)
            hash->Add(buffer, held);
        if (share)
            share->Advance(part.Size(), held);
        else if (options.progress)
            options.progress(part.Size(), whole);
        held = 0;
        return true;
    };
    // The body broke off: what arrived is kept for a resumption.
    const auto broke = [&](TransferError why, DWORD systemError) {
        if (!store())
            return;
        result.error = why;
        result.systemError = systemError;
        resume.bodyBroke = true;
        resume.offset = part.Size();
    };
    const Timeouts limits = CurrentTimeouts();
    const unsigned long receiveLimit = limits.receiveMs;
    PaceRule pace(GetTickCount64(), limits.slowWindowMs, limits.slowMinBytes);
    for (;;) {
        if (CancelRequested(options) || (share && share->Failed())) {
            result.error = TransferError::Cancelled;
            return;
        }
        DWORD read = 0;
        const ULONGLONG began = GetTickCount64();
        if (!ReadArrived(request, buffer + held, kChunkBytes - held, &read)) {
            error = GetLastError();
            if (CancelRequested(options)) {
                result.error = TransferError::Cancelled;
                return;
            }
            broke(ClassifyFailedCall(error, GetTickCount64() - began, receiveLimit), error);
            return;
        }
        if (read == 0)
            break;
        result.bytes += read;
        held += read;
        if (!pace.Keep(read, GetTickCount64())) {
            broke(TransferError::Timeout, 0);
            return;
        }
        if (held == kChunkBytes && !store())
            return;
    }
    if (!store())
        return;

    // The stack reports a connection closed early as a normal end of data: count the bytes.
    if (!BodyComplete(declared, result.bytes, rule)) {
        result.error = TransferError::ConnectionLost;
        resume.bodyBroke = true;
        resume.offset = part.Size();
        return;
    }
    if (share)
        return; // the file is put together once every range is in
    // A body that is not what the server vouched for never takes the old copy's place.
    if (hash && hash->Finish() != options.expectedSha256) {
        result.error = TransferError::ChecksumMismatch;
        return;
    }
    if (!part.Commit(&error)) {
        result.error = TransferError::WriteFailed;
        result.systemError = error;
    }
}

} // namespace

bool IsChunked(HINTERNET request) {
    auto encoding = QueryHeader(request, HTTP_QUERY_TRANSFER_ENCODING);
    return encoding && encoding->find(L"chunked") != std::wstring::npos;
}

// A plain InternetReadFile waits until the whole buffer is filled, so a body that drips a byte at a
// time would hold it for hours without ever letting the pace be checked.
BOOL ReadArrived(HINTERNET request, char* buffer, DWORD size, DWORD* read) {
    DWORD available = 0;
    if (!onUse::InternetQueryDataAvailable(request, &available, 0, 0))
        return FALSE;
    // Nothing available means the end of the body; the read then says so.
    return onUse::InternetReadFile(request, buffer, available == 0 ? size : std::min(available, size), read);
}

bool CancelRequested(const zunor::TransferOptions& options) {
    return TransfersStopping() || (options.cancelled && options.cancelled());
}

std::wstring Validator(HINTERNET request) {
    return PickValidator(QueryHeader(request, HTTP_QUERY_ETAG),
                         QueryHeader(request, HTTP_QUERY_LAST_MODIFIED));
}

TransferResult FetchAttempt(const std::wstring& url, PartFile& part, ResumePoint& resume, NextAttempt how,
                            LengthRule rule, const zunor::TransferOptions& options,
                            std::shared_ptr<RangedFile>* sharing) {
    TransferResult result;
    result.attempts = 1;
    const ULONGLONG start = GetTickCount64();
    try {
        // A retry keeps bodyBroke: a line that fails again before answering is still the same break.
        if (how == NextAttempt::None)
            resume = ResumePoint{};
        else if (how == NextAttempt::Restart)
            resume.offset = 0;
        if (CancelRequested(options)) {
            result.error = TransferError::Cancelled;
        } else {
            // Where other connections may help, a file's first request asks for its first range.
            const bool firstRange = how == NextAttempt::None && sharing && options.offerWork;
            std::wstring headers = how == NextAttempt::Resume ? RangeHeaders(resume)
                                   : firstRange ? FirstRangeHeaders(CurrentTimeouts().splitMinBytes)
                                                : L"";
            OpenRequest opened = OpenGet(url, result, headers);
            if (!opened && firstRange && result.status == kRangeNotSatisfiable) {
                // An empty file has no first byte to ask for: it comes as a plain request.
                result = TransferResult{};
                result.attempts = 1;
                opened = OpenGet(url, result, L"");
            }
            if (opened) {
                RequestWatch watch(opened.request.get());
                ReceiveBody(opened.request.get(), part, resume, rule, options, result, url, sharing,
                            firstRange && !headers.empty() && result.status == HTTP_STATUS_PARTIAL_CONTENT);
                if (watch.Finish())
                    (void)opened.request.release(); // the stop has closed it
            }
        }
    } catch (const std::bad_alloc&) {
        result.error = TransferError::WriteFailed;
        result.systemError = ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        result.error = TransferError::WriteFailed;
    }
    result.milliseconds = static_cast<std::uint32_t>(GetTickCount64() - start);
    return result;
}

TransferResult FetchOnce(const std::wstring& url, const std::wstring& destination, LengthRule rule,
                         const zunor::TransferOptions& options) {
    TransferScope running;
    PartFile part(destination);
    ResumePoint resume;
    return FetchAttempt(url, part, resume, NextAttempt::None, rule, options);
}

} // namespace modSetup::detail
