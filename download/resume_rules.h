#pragma once
// When a broken transfer is taken up again, and from where. Portable, so the rules are unit tested.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/transfer_result.h"

namespace modSetup {

// A file is tried at most three times: the first request and two resumptions or restarts (their
// pauses, 1 s and 3 s, are in timeouts.h).
inline constexpr int kMaxRetries = 2;

// What one attempt leaves for the next.
struct ResumePoint {
    bool bodyBroke = false;      // the body was under way when the network failed
    std::uint64_t offset = 0;    // body bytes kept in the temporary file
    std::uint64_t total = 0;     // the whole body's length (0: not known)
    bool rangesAccepted = false; // the server said "Accept-Ranges: bytes"
    std::wstring validator;      // what names this version of the body; empty: nothing usable
};

enum class NextAttempt { None, Resume, Restart };

// After attemptsMade requests of one file ended in failed. Only a network error in the middle of
// the body is tried again; the server's own answers (a status, a certificate, a redirect) and a
// failure before any answer are final.
NextAttempt AfterFailure(const zunor::TransferResult& failed, const ResumePoint& point, int attemptsMade);

// The validator If-Range may carry: a strong ETag, or else Last-Modified. A weak ETag (W/"...")
// never matches in If-Range, so it is no validator at all.
std::wstring PickValidator(const std::optional<std::wstring>& etag,
                           const std::optional<std::wstring>& lastModified);

// The request headers that ask for the rest of the body from point.offset on.
std::wstring RangeHeaders(const ResumePoint& point);

// "bytes <first>-<last>/<complete>" of a 206 answer; nothing when it is not of that form.
struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t complete = 0;
};
std::optional<ContentRange> ParseContentRange(std::wstring_view text);

// True when "Accept-Ranges" lists the unit "bytes".
bool AcceptsByteRanges(std::wstring_view acceptRanges);

} // namespace modSetup
