#include "download/range_split.h"

namespace modSetup {

std::optional<Split> ChooseSplit(const std::vector<FileRange>& ranges, std::uint64_t minShare) {
    std::optional<Split> best;
    std::uint64_t bestRest = 0;
    for (std::size_t i = 0; i < ranges.size(); ++i) {
        const FileRange& range = ranges[i];
        const std::uint64_t rest = range.limit > range.pos ? range.limit - range.pos : 0;
        if (range.splitting || rest <= bestRest)
            continue;
        bestRest = rest;
        best = Split{i, range.pos + rest / 2};
    }
    // Both halves at least minShare: the owner keeps the first, the new connection takes the second.
    if (!best || bestRest / 2 < minShare || bestRest / 2 == 0)
        return std::nullopt;
    return best;
}

std::wstring RangeHeaders(std::uint64_t first, std::uint64_t last, const std::wstring& validator) {
    return L"Range: bytes=" + std::to_wstring(first) + L"-" + std::to_wstring(last) + L"\r\nIf-Range: " +
           validator + L"\r\n";
}

bool RangeAnswerMatches(const std::optional<ContentRange>& range, std::optional<std::uint64_t> declared,
                        const std::wstring& validator, std::uint64_t first, std::uint64_t last,
                        std::uint64_t total, const std::wstring& expectedValidator) {
    return range && declared && range->first == first && range->last == last && range->complete == total &&
           *declared == last - first + 1 && !validator.empty() && validator == expectedValidator;
}

} // namespace modSetup
