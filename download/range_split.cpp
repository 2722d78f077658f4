#include "download/range_split.h"

#include <algorithm>

namespace modSetup {

std::uint64_t NextPieceSize(std::uint64_t rest, std::uint64_t minPiece, std::uint64_t maxPiece) {
    // An eighth of the rest: with up to eight connections each still gets a share of the end.
    std::uint64_t size = std::clamp<std::uint64_t>(rest / 8, minPiece, std::max(minPiece, maxPiece));
    if (rest < size + minPiece)
        size = rest;
    return size;
}

std::wstring FirstRangeHeaders(std::uint64_t bytes) {
    return L"Range: bytes=0-" + std::to_wstring(bytes - 1) + L"\r\n";
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

std::optional<FirstRange> ReadFirstRange(const std::optional<ContentRange>& range,
                                         std::optional<std::uint64_t> declared, std::uint64_t asked) {
    if (!range || !declared || range->first != 0 || range->last >= asked || range->last >= range->complete ||
        *declared != range->last + 1)
        return std::nullopt;
    return FirstRange{range->last + 1, range->complete};
}

} // namespace modSetup
