#include "download/ranged_file.h"

#include <wininet.h>

#include <algorithm>

#include "download/fetch.h"
#include "download/inet_error.h"
#include "download/pace_rule.h"
#include "download/timeouts.h"
#include "download/transfer_stop.h"

namespace modSetup::detail {

namespace {

using zunor::TransferError;
using zunor::TransferResult;

// A share is never smaller than a quarter of the size from which files are shared at all, so that a
// file just past it still goes over four connections, and a share is always worth its request.
constexpr std::uint64_t kSharesOfTheThreshold = 4;

// Ranges pay only where the line, not this computer, holds a connection back. A stream that brings
// more than this is bound by the processor (TLS) or the disk, which more connections only share; and
// a request given up in the middle is not free: WinINet reads what the server keeps sending of it
// when it is closed (Wine's reads the whole rest from a fast server), so every split would fetch
// part of the file twice. The pace is taken over the stream's first second.
constexpr std::uint64_t kShareBelowBytesPerSecond = 16ull << 20;
constexpr ULONGLONG kPaceWindowMs = 1000;

bool IsChunked(HINTERNET request) {
    auto encoding = QueryHeader(request, HTTP_QUERY_TRANSFER_ENCODING);
    return encoding && encoding->find(L"chunked") != std::wstring::npos;
}

} // namespace

RangedFile::RangedFile(std::wstring url, PartFile& part, std::uint64_t total, std::wstring validator,
                       const zunor::TransferOptions& options)
    : url_(std::move(url)), part_(part), total_(total), validator_(std::move(validator)), options_(options),
      minShare_(
          std::max<std::uint64_t>(CurrentTimeouts().splitMinBytes / kSharesOfTheThreshold, kChunkBytes)) {
    ranges_.push_back({0, 0, total_, false});
    started_ = GetTickCount64();
}

// Whether the file's stream is slow enough for ranges to pay; waits for its first second if need be.
bool RangedFile::WorthSharing() {
    for (;;) {
        {
            std::lock_guard guard(lock_);
            if (worth_)
                return *worth_;
        }
        const ULONGLONG elapsed = GetTickCount64() - started_;
        if (elapsed >= kPaceWindowMs)
            break;
        if (Stopping())
            return false;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(kPaceWindowMs - elapsed, 50)));
    }
    std::uint64_t received = 0;
    {
        std::lock_guard guard(reporting_);
        received = received_;
    }
    const ULONGLONG elapsed = GetTickCount64() - started_;
    std::lock_guard guard(lock_);
    if (!worth_)
        worth_ = received * 1000 / elapsed < kShareBelowBytesPerSecond;
    return *worth_;
}

// One connection at a time tells, so the figure never goes back.
void RangedFile::Report(std::uint64_t added) {
    std::lock_guard guard(reporting_);
    received_ += added;
    if (options_.progress)
        options_.progress(received_, total_);
}

std::uint64_t RangedFile::Advance(std::uint64_t pos, std::uint64_t added) {
    std::uint64_t limit = 0;
    {
        std::lock_guard guard(lock_);
        ranges_[0].pos = pos;
        limit = ranges_[0].limit;
    }
    Report(added);
    return limit;
}

bool RangedFile::Shared(std::unique_ptr<Sha256> hash) {
    std::lock_guard guard(lock_);
    firstEnded_ = true;
    if (ranges_[0].limit >= total_) {
        closed_ = true; // the whole file came in one stream: nothing is left to share
        return false;
    }
    hash_ = std::move(hash);
    hashedUpTo_ = ranges_[0].pos;
    return true;
}

bool RangedFile::Stopping() const {
    return stop_ || failure_ || restart_ || CancelRequested(options_);
}

bool RangedFile::Matches(HINTERNET request, std::uint64_t first, std::uint64_t last) const {
    auto header = QueryHeader(request, HTTP_QUERY_CONTENT_RANGE);
    std::optional<std::uint64_t> declared;
    if (!IsChunked(request)) {
        if (auto length = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH))
            declared = ParseContentLength(*length);
    }
    return RangeAnswerMatches(header ? ParseContentRange(*header) : std::nullopt, declared,
                              Validator(request), first, last, total_, validator_);
}

bool RangedFile::Help() {
    {
        std::lock_guard guard(lock_);
        if (closed_)
            return false;
        ++active_;
    }
    try {
        TakeShares();
    } catch (...) {
        std::lock_guard guard(lock_);
        if (!failed_) {
            TransferResult failed;
            failed.error = TransferError::WriteFailed;
            failed_ = failed;
        }
        failure_ = true;
    }
    std::lock_guard guard(lock_);
    --active_;
    changed_.notify_all();
    return false;
}

void RangedFile::TakeShares() {
    if (!WorthSharing())
        return;
    for (;;) {
        std::size_t owner = 0;
        std::uint64_t at = 0;
        std::uint64_t end = 0;
        {
            std::lock_guard guard(lock_);
            if (closed_ || unsplittable_ || Stopping())
                return;
            const auto split = ChooseSplit(ranges_, minShare_);
            if (!split)
                return;
            owner = split->range;
            at = split->at;
            end = ranges_[owner].limit;
            ranges_[owner].splitting = true;
        }
        TransferResult result;
        OpenRequest opened = OpenGet(url_, result, RangeHeaders(at, end - 1, validator_));
        ++requests_;
        const bool matches = opened && result.status == HTTP_STATUS_PARTIAL_CONTENT &&
                             Matches(opened.request.get(), at, end - 1);
        std::size_t mine = 0;
        {
            std::lock_guard guard(lock_);
            ranges_[owner].splitting = false;
            if (!matches) {
                // A whole body (200), another version or length, or a status: the file stays one
                // stream per range it has. A line that failed before any answer only loses this share.
                if (result.status != 0)
                    unsplittable_ = true;
                return;
            }
            // The owner stops at `at` only if it has not come within a piece of it: it writes up to a
            // piece at a time before it looks at its limit again.
            if (closed_ || ranges_[owner].limit != end || ranges_[owner].pos + kChunkBytes > at)
                continue;
            ranges_[owner].limit = at;
            ranges_.push_back({at, at, end, false});
            mine = ranges_.size() - 1;
        }
        const Outcome outcome = FetchRange(mine, std::move(opened));
        if (outcome != Outcome::Done)
            return;
    }
}

// One range with its own retries: a break is taken up again from the range's own last byte.
RangedFile::Outcome RangedFile::FetchRange(std::size_t range, OpenRequest opened) {
    const Timeouts limits = CurrentTimeouts();
    TransferResult result;
    for (int attempt = 1;; ++attempt) {
        if (opened) {
            result = TransferResult{};
            RequestWatch watch(opened.request.get());
            const Outcome outcome = ReceiveRange(range, opened.request.get(), result);
            if (watch.Finish())
                (void)opened.request.release(); // the stop has closed it
            opened = OpenRequest{};
            if (outcome != Outcome::Failed)
                return outcome;
        }
        // Only the line breaking is tried again; a status or a write that fails is final.
        const bool broke = result.status == 0 || result.status == HTTP_STATUS_PARTIAL_CONTENT;
        if (!broke || attempt > kMaxRetries ||
            (result.error != TransferError::ConnectionLost && result.error != TransferError::Timeout)) {
            std::lock_guard guard(lock_);
            if (!failed_)
                failed_ = result;
            failure_ = true;
            return Outcome::Failed;
        }
        if (!PauseBeforeRetry(limits.retryDelaysMs[attempt - 1], options_) || Stopping())
            return Outcome::Stopped;
        std::uint64_t pos = 0;
        std::uint64_t limit = 0;
        {
            std::lock_guard guard(lock_);
            pos = ranges_[range].pos;
            limit = ranges_[range].limit;
        }
        if (pos >= limit)
            return Outcome::Done;
        result = TransferResult{};
        opened = OpenGet(url_, result, RangeHeaders(pos, limit - 1, validator_));
        ++requests_;
        if (opened && !(result.status == HTTP_STATUS_PARTIAL_CONTENT &&
                        Matches(opened.request.get(), pos, limit - 1))) {
            // The server has another version now: the ranges in may be of two.
            restart_ = true;
            return Outcome::Changed;
        }
        // Not opened: a status is final (above); no answer at all is the same break once more.
    }
}

// Streams one answer into its range, through a buffer of its own. Failed (with result telling why)
// when the line broke before the range was in.
RangedFile::Outcome RangedFile::ReceiveRange(std::size_t range, HINTERNET request, TransferResult& result) {
    const auto own = std::make_unique<char[]>(kChunkBytes);
    char* const buffer = own.get();
    DWORD held = 0;
    bool full = false; // the range is in (or its limit came down to what it holds)
    const auto store = [&] {
        std::uint64_t pos = 0;
        std::uint64_t limit = 0;
        {
            std::lock_guard guard(lock_);
            pos = ranges_[range].pos;
            limit = ranges_[range].limit;
        }
        // What lies past the limit is another connection's.
        const DWORD keep = static_cast<DWORD>(std::min<std::uint64_t>(held, limit > pos ? limit - pos : 0));
        DWORD error = 0;
        if (keep > 0 && !part_.WriteAt(pos, buffer, keep, &error)) {
            result.error = TransferError::WriteFailed;
            result.systemError = error;
            return false;
        }
        {
            std::lock_guard guard(lock_);
            ranges_[range].pos = pos + keep;
            full = ranges_[range].pos >= ranges_[range].limit;
        }
        held = 0;
        Report(keep);
        return true;
    };
    const Timeouts limits = CurrentTimeouts();
    PaceRule pace(GetTickCount64(), limits.slowWindowMs, limits.slowMinBytes);
    for (;;) {
        if (Stopping())
            return Outcome::Stopped;
        DWORD read = 0;
        const ULONGLONG began = GetTickCount64();
        if (!ReadArrived(request, buffer + held, kChunkBytes - held, &read)) {
            const DWORD error = GetLastError();
            if (Stopping())
                return Outcome::Stopped;
            if (!store())
                return Outcome::Failed;
            if (full)
                return Outcome::Done;
            result.error = ClassifyFailedCall(error, GetTickCount64() - began, limits.receiveMs);
            result.systemError = error;
            return Outcome::Failed;
        }
        bytes_ += read;
        held += read;
        const bool ended = read == 0;
        const bool slow = !ended && !pace.Keep(read, GetTickCount64());
        if (ended || slow || held == kChunkBytes) {
            if (!store())
                return Outcome::Failed;
            if (full)
                return Outcome::Done;
            if (ended || slow) {
                // The stack takes a line closed early for the end of the body: the range is not in.
                result.error = slow ? TransferError::Timeout : TransferError::ConnectionLost;
                return Outcome::Failed;
            }
        }
    }
}

std::optional<TransferResult> RangedFile::Finish(TransferResult first) {
    bool shared = false;
    {
        std::lock_guard guard(lock_);
        shared = ranges_.size() > 1;
    }
    if (!shared) {
        // One stream brought it all (or failed): only what the others asked for is added.
        Close();
        first.bytes = bytes_;
        first.attempts = requests_;
        return first;
    }
    if (first.ok()) {
        // This connection's own range is in: it helps with what is left.
        std::lock_guard guard(lock_);
        ++active_;
    } else {
        stop_ = true;
    }
    if (first.ok()) {
        try {
            TakeShares();
        } catch (...) {
            failure_ = true;
        }
        std::lock_guard guard(lock_);
        --active_;
    }
    bool complete = true;
    int ranges = 0;
    {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return active_ == 0; });
        closed_ = true;
        std::uint64_t covered = 0;
        for (const FileRange& range : ranges_) {
            complete = complete && range.pos >= range.limit;
            covered += range.limit - range.start;
        }
        complete = complete && covered == total_;
        ranges = static_cast<int>(ranges_.size());
    }
    if (restart_)
        return std::nullopt;
    TransferResult result = first;
    result.bytes = bytes_;
    result.attempts = requests_;
    result.ranges = ranges;
    if (failed_) {
        result = *failed_;
        result.bytes = bytes_;
        result.attempts = requests_;
        result.ranges = ranges;
        return result;
    }
    if (!first.ok())
        return result;
    if (CancelRequested(options_)) {
        result.error = TransferError::Cancelled;
        return result;
    }
    if (!complete) {
        result.error = TransferError::ConnectionLost;
        return result;
    }
    // Hashed once over the whole file: the first stream's part as it streamed, the rest read back.
    if (options_.expectedSha256) {
        if (!hash_) {
            hash_ = std::make_unique<Sha256>();
            hashedUpTo_ = 0;
        }
        HashKeptBytes(*hash_, part_.TemporaryPath(), total_ - hashedUpTo_, hashedUpTo_);
        if (hash_->Finish() != options_.expectedSha256) {
            result.error = TransferError::ChecksumMismatch;
            return result;
        }
    }
    DWORD error = 0;
    if (!part_.Commit(&error)) {
        result.error = TransferError::WriteFailed;
        result.systemError = error;
    }
    return result;
}

void RangedFile::Close() {
    stop_ = true;
    std::unique_lock guard(lock_);
    closed_ = true;
    changed_.wait(guard, [this] { return active_ == 0; });
}

} // namespace modSetup::detail
