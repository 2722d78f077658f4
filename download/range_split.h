#pragma once
// How a large file is shared out as byte ranges between connections. Portable, so the arithmetic is
// unit tested.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "download/resume_rules.h"

namespace modSetup {

// One range of the file: its bytes [start, limit) are fetched by one connection, which has written
// them up to pos. The limit only ever comes down (when another connection takes the rest of it).
struct FileRange {
    std::uint64_t start = 0;
    std::uint64_t pos = 0;
    std::uint64_t limit = 0;
    bool splitting = false; // a connection is asking for its second half; nobody else splits it
};

// Where an idle connection takes a share: the range whose rest is largest is cut in half, so that all
// connections stay busy to the end with few requests. No share is smaller than minShare, and a range
// being split already is passed over.
struct Split {
    std::size_t range = 0;
    std::uint64_t at = 0; // the new share is [at, the range's limit)
};
std::optional<Split> ChooseSplit(const std::vector<FileRange>& ranges, std::uint64_t minShare);

// The request headers for bytes [first, last] of the version named by validator.
std::wstring RangeHeaders(std::uint64_t first, std::uint64_t last, const std::wstring& validator);

// A 206 answers for bytes [first, last] of a file of total bytes only when its Content-Range says
// exactly that, its length agrees, and it names the same version: otherwise a range of another
// version (or another file) would be written beside the ones already in.
bool RangeAnswerMatches(const std::optional<ContentRange>& range, std::optional<std::uint64_t> declared,
                        const std::wstring& validator, std::uint64_t first, std::uint64_t last,
                        std::uint64_t total, const std::wstring& expectedValidator);

} // namespace modSetup
