#include "download/resume_rules.h"

#include "download/http_rules.h"

namespace modSetup {

namespace {

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t'))
        text.remove_suffix(1);
    return text;
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i] >= L'A' && a[i] <= L'Z' ? static_cast<wchar_t>(a[i] - L'A' + L'a') : a[i];
        wchar_t y = b[i] >= L'A' && b[i] <= L'Z' ? static_cast<wchar_t>(b[i] - L'A' + L'a') : b[i];
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

NextAttempt AfterFailure(const zunor::TransferResult& failed, const ResumePoint& point, int attemptsMade) {
    using zunor::TransferError;
    if (failed.ok() || attemptsMade > kMaxRetries || !point.bodyBroke)
        return NextAttempt::None;
    if (failed.error != TransferError::ConnectionLost && failed.error != TransferError::Timeout)
        return NextAttempt::None;
    const bool resumable =
        point.offset > 0 && point.rangesAccepted && !point.validator.empty() && point.total > point.offset;
    return resumable ? NextAttempt::Resume : NextAttempt::Restart;
}

std::wstring PickValidator(const std::optional<std::wstring>& etag,
                           const std::optional<std::wstring>& lastModified) {
    if (etag) {
        std::wstring_view tag = Trim(*etag);
        if (tag.size() >= 2 && tag.front() == L'"' && tag.back() == L'"')
            return std::wstring(tag);
    }
    if (lastModified && !Trim(*lastModified).empty())
        return std::wstring(Trim(*lastModified));
    return L"";
}

std::wstring RangeHeaders(const ResumePoint& point) {
    return L"Range: bytes=" + std::to_wstring(point.offset) + L"-\r\nIf-Range: " + point.validator + L"\r\n";
}

std::optional<ContentRange> ParseContentRange(std::wstring_view text) {
    text = Trim(text);
    constexpr std::wstring_view kUnit = L"bytes ";
    if (text.size() < kUnit.size() || !EqualsNoCase(text.substr(0, kUnit.size()), kUnit))
        return std::nullopt;
    text.remove_prefix(kUnit.size());
    const auto dash = text.find(L'-');
    const auto slash = text.find(L'/');
    if (dash == std::wstring_view::npos || slash == std::wstring_view::npos || dash > slash)
        return std::nullopt;
    // The numbers follow Content-Length's form: digits only.
    auto first = ParseContentLength(text.substr(0, dash));
    auto last = ParseContentLength(text.substr(dash + 1, slash - dash - 1));
    auto complete = ParseContentLength(text.substr(slash + 1));
    if (!first || !last || !complete || *first > *last || *last >= *complete)
        return std::nullopt;
    return ContentRange{*first, *last, *complete};
}

bool AcceptsByteRanges(std::wstring_view acceptRanges) {
    while (!acceptRanges.empty()) {
        const auto comma = acceptRanges.find(L',');
        if (EqualsNoCase(Trim(acceptRanges.substr(0, comma)), L"bytes"))
            return true;
        if (comma == std::wstring_view::npos)
            break;
        acceptRanges.remove_prefix(comma + 1);
    }
    return false;
}

} // namespace modSetup
