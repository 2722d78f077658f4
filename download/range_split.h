#pragma once
// How a large file is shared out as byte ranges between connections. Portable, so the arithmetic is
// unit tested.
#include <cstdint>
#include <optional>
#include <string>

#include "download/resume_rules.h"

namespace modSetup {

// The size of the next range handed out when `rest` bytes of the file are not yet asked for. Large
// ranges while much is left (few requests), smaller ones towards the end, so that the connections
// finish close together instead of one bringing a last large range alone; never below minPiece, and
// no piece of less than minPiece is left over behind it.
std::uint64_t NextPieceSize(std::uint64_t rest, std::uint64_t minPiece, std::uint64_t maxPiece);

// The headers of a file's first request where other connections may help: its first `bytes` bytes.
// A file smaller than that comes whole (206, or 200 from a server without ranges); the answer to a
// larger one tells its whole length and version, and no request is ever given up in the middle
// (WinINet reads what is left of a body it closes early, so a cut request is paid for in full).
std::wstring FirstRangeHeaders(std::uint64_t bytes);

// The request headers for bytes [first, last] of the version named by validator.
std::wstring RangeHeaders(std::uint64_t first, std::uint64_t last, const std::wstring& validator);

// A 206 answers for bytes [first, last] of a file of total bytes only when its Content-Range says
// exactly that, its length agrees, and it names the same version: otherwise a range of another
// version (or another file) would be written beside the ones already in.
bool RangeAnswerMatches(const std::optional<ContentRange>& range, std::optional<std::uint64_t> declared,
                        const std::wstring& validator, std::uint64_t first, std::uint64_t last,
                        std::uint64_t total, const std::wstring& expectedValidator);

// What the answer to FirstRangeHeaders(asked) holds: nothing when it is not a 206 that starts the
// file, is of the length it declares and no longer than was asked; otherwise its last byte + 1 and
// the file's whole length.
struct FirstRange {
    std::uint64_t end = 0;
    std::uint64_t total = 0;
};
std::optional<FirstRange> ReadFirstRange(const std::optional<ContentRange>& range,
                                         std::optional<std::uint64_t> declared, std::uint64_t asked);

} // namespace modSetup
