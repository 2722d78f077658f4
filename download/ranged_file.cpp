#include "download/ranged_file.h"

#include <wininet.h>

#include <algorithm>

#include "download/fetch.h"
#include "download/inet_error.h"
#include "download/pace_rule.h"
#include "download/range_split.h"
#include "download/resume_rules.h"
#include "download/timeouts.h"
#include "download/transfer_stop.h"

namespace modSetup::detail {

namespace {

using zunor::TransferError;
using zunor::TransferResult;

// The ranges shrink towards the end of the file down to a sixteenth of the size from which files
// are shared at all (1 MiB by default): a request costs a round trip, and below that the round trip
// weighs more than the evener finish gains.
constexpr std::uint64_t kSmallestPieceShare = 16;

bool Matches(HINTERNET request, std::uint64_t first, std::uint64_t last, std::uint64_t total,
             const std::wstring& validator) {
    auto header = QueryHeader(request, HTTP_QUERY_CONTENT_RANGE);
    std::optional<std::uint64_t> declared;
    if (!IsChunked(request)) {
        if (auto length = QueryHeader(request, HTTP_QUERY_CONTENT_LENGTH))
            declared = ParseContentLength(*length);
    }
    return RangeAnswerMatches(header ? ParseContentRange(*header) : std::nullopt, declared,
                              Validator(request), first, last, total, validator);
}

} // namespace

RangedFile::RangedFile(std::wstring url, PartFile& part, std::uint64_t firstEnd, std::uint64_t total,
                       std::wstring validator, const zunor::TransferOptions& options)
    : url_(std::move(url)), part_(part), total_(total), validator_(std::move(validator)), options_(options),
      minPiece_(std::max<std::uint64_t>(CurrentTimeouts().splitMinBytes / kSmallestPieceShare, kChunkBytes)),
      maxPiece_(CurrentTimeouts().splitMinBytes) {
    Range first;
    first.limit = firstEnd;
    first.taken = true;
    ranges_.push_back(first);
    next_ = firstEnd;
    if (options_.expectedSha256)
        hash_ = std::make_unique<Sha256>();
}

// One connection at a time tells, so the figure never goes back.
void RangedFile::Report(std::uint64_t added) {
    std::lock_guard guard(reporting_);
    received_ += added;
    if (options_.progress)
        options_.progress(received_, total_);
}

void RangedFile::Advance(std::uint64_t pos, std::uint64_t added) {
    {
        std::lock_guard guard(lock_);
        ranges_[0].pos = pos;
    }
    Report(added);
}

bool RangedFile::Stopping() const {
    return stop_ || failure_ || restart_ || CancelRequested(options_);
}

void RangedFile::Fail(const TransferResult& result) {
    std::lock_guard guard(lock_);
    if (!failed_)
        failed_ = result;
    failure_ = true;
}

// A range broken off before (to be taken up from its last byte), or else the next new one.
std::optional<std::size_t> RangedFile::Take() {
    std::lock_guard guard(lock_);
    if (closed_ || Stopping())
        return std::nullopt;
    for (std::size_t i = 0; i < ranges_.size(); ++i) {
        if (!ranges_[i].taken && ranges_[i].pos < ranges_[i].limit) {
            ranges_[i].taken = true;
            return i;
        }
    }
    if (next_ >= total_)
        return std::nullopt;
    Range range;
    range.start = range.pos = next_;
    range.limit = next_ + NextPieceSize(total_ - next_, minPiece_, maxPiece_);
    range.taken = true;
    next_ = range.limit;
    ranges_.push_back(range);
    return ranges_.size() - 1;
}

bool RangedFile::Help() {
    {
        std::lock_guard guard(lock_);
        if (closed_)
            return false;
        ++active_;
    }
    bool more = false;
    try {
        // One range at a time: between two, the connection looks for a whole file to start first.
        if (const auto range = Take()) {
            more = FetchRange(*range) == Outcome::Done;
            if (more)
                HashWhatIsIn();
        }
    } catch (...) {
        TransferResult failed;
        failed.error = TransferError::WriteFailed;
        Fail(failed);
        more = false;
    }
    std::lock_guard guard(lock_);
    --active_;
    changed_.notify_all();
    return more;
}

void RangedFile::TakeRanges() {
    while (const auto range = Take()) {
        if (FetchRange(*range) != Outcome::Done)
            return;
        HashWhatIsIn();
    }
}

// One range with its own retries: a break is taken up again from the range's own last byte.
RangedFile::Outcome RangedFile::FetchRange(std::size_t range) {
    const Timeouts limits = CurrentTimeouts();
    for (;;) {
        std::uint64_t pos = 0;
        std::uint64_t limit = 0;
        int breaks = 0;
        {
            std::lock_guard guard(lock_);
            pos = ranges_[range].pos;
            limit = ranges_[range].limit;
            breaks = ranges_[range].breaks;
        }
        if (pos >= limit)
            return Outcome::Done;
        if (breaks > 0 && (!PauseBeforeRetry(limits.retryDelaysMs[breaks - 1], options_) || Stopping()))
            return Outcome::Stopped;
        TransferResult result;
        OpenRequest opened = OpenGet(url_, result, RangeHeaders(pos, limit - 1, validator_));
        ++requests_;
        if (opened) {
            if (result.status != HTTP_STATUS_PARTIAL_CONTENT ||
                !Matches(opened.request.get(), pos, limit - 1, total_, validator_)) {
                // A whole body (200), another version or another length: the ranges in may be of two.
                restart_ = true;
                return Outcome::Changed;
            }
            RequestWatch watch(opened.request.get());
            const Outcome outcome = ReceiveRange(range, opened.request.get(), result);
            if (watch.Finish())
                (void)opened.request.release(); // the stop has closed it
            if (outcome != Outcome::Failed)
                return outcome;
        } else if (Stopping()) {
            return Outcome::Stopped;
        }
        // Only the line breaking is tried again; a status or a write that fails is final.
        const bool broke =
            (result.status == 0 || result.status == HTTP_STATUS_PARTIAL_CONTENT) &&
            (result.error == TransferError::ConnectionLost || result.error == TransferError::Timeout);
        {
            std::lock_guard guard(lock_);
            if (broke && ranges_[range].breaks < kMaxRetries) {
                ++ranges_[range].breaks;
                continue;
            }
        }
        Fail(result);
        return Outcome::Failed;
    }
}

// Streams one answer into its range, through a buffer of its own. Failed (with result telling why)
// when the line broke before the range was in.
RangedFile::Outcome RangedFile::ReceiveRange(std::size_t range, HINTERNET request, TransferResult& result) {
    const auto own = std::make_unique<char[]>(kChunkBytes);
    char* const buffer = own.get();
    DWORD held = 0;
    bool full = false;
    const auto store = [&] {
        std::uint64_t pos = 0;
        std::uint64_t limit = 0;
        {
            std::lock_guard guard(lock_);
            pos = ranges_[range].pos;
            limit = ranges_[range].limit;
        }
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

// Hashes what is in, in file order from where the hash stands, unless another connection is at it.
void RangedFile::HashWhatIsIn() {
    if (!hash_)
        return;
    std::uint64_t from = 0;
    std::uint64_t upTo = 0;
    {
        std::lock_guard guard(lock_);
        if (hashing_)
            return;
        from = upTo = hashedUpTo_;
        for (const Range& range : ranges_) {
            if (range.limit <= upTo)
                continue;
            if (range.start > upTo)
                break;
            upTo = std::max(upTo, range.pos);
            if (range.pos < range.limit)
                break;
        }
        if (upTo == from)
            return;
        hashing_ = true;
    }
    HashKeptBytes(*hash_, part_.TemporaryPath(), upTo - from, from);
    std::lock_guard guard(lock_);
    hashedUpTo_ = upTo;
    hashing_ = false;
}

std::optional<TransferResult> RangedFile::Finish(TransferResult first) {
    const bool broke = first.error == TransferError::ConnectionLost || first.error == TransferError::Timeout;
    {
        std::lock_guard guard(lock_);
        ranges_[0].taken = false;
        if (!first.ok() && broke)
            ranges_[0].breaks = 1; // taken up again like any range that broke
        else if (!first.ok())
            stop_ = true;
        ++active_;
    }
    try {
        if (!stop_)
            TakeRanges();
    } catch (...) {
        TransferResult failed;
        failed.error = TransferError::WriteFailed;
        Fail(failed);
    }
    bool complete = true;
    int ranges = 0;
    {
        std::unique_lock guard(lock_);
        --active_;
        changed_.wait(guard, [this] { return active_ == 0; });
        closed_ = true;
        for (const Range& range : ranges_)
            complete = complete && range.pos >= range.limit;
        complete = complete && next_ >= total_;
        ranges = static_cast<int>(ranges_.size());
    }
    TransferResult result = first;
    if (failed_)
        result = *failed_;
    else if (CancelRequested(options_))
        result.error = TransferError::Cancelled;
    else if (restart_)
        return std::nullopt;
    else if (broke && complete)
        result.error = TransferError::None, result.systemError = 0;
    else if (first.ok() && !complete)
        result.error = TransferError::ConnectionLost;
    result.bytes = bytes_;
    result.attempts = requests_;
    result.ranges = ranges;
    if (!result.ok())
        return result;
    // The whole file, hashed once: what the connections did not hash on their way is read back now.
    HashWhatIsIn();
    if (hash_ && (hashedUpTo_ != total_ || hash_->Finish() != options_.expectedSha256)) {
        result.error = TransferError::ChecksumMismatch;
        return result;
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
