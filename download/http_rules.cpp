#include "download/http_rules.h"

#include <limits>

namespace modSetup {

namespace {
bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}
} // namespace

std::optional<std::uint64_t> ParseContentLength(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - L'0');
        if (value > (kMax - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

bool IsHttpsUrl(std::wstring_view url) {
    constexpr std::wstring_view kScheme = L"https://";
    if (url.size() < kScheme.size())
        return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        wchar_t c = url[i];
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
        if (c != kScheme[i])
            return false;
    }
    return true;
}

bool BodyComplete(std::optional<std::uint64_t> declared, std::uint64_t received, LengthRule rule) {
    if (!declared)
        return rule == LengthRule::CheckedIfDeclared;
    return *declared == received;
}

} // namespace modSetup
