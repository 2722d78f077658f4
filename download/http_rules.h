#pragma once
// Portable rules for judging a server's answer: the declared body length and the scheme of a URL.
#include <cstdint>
#include <optional>
#include <string_view>

namespace modSetup {

// The value of a Content-Length header: decimal digits with optional surrounding blanks, no sign,
// fitting in 64 bits. Anything else (empty, "12abc", "-1", a list) is no length at all.
std::optional<std::uint64_t> ParseContentLength(std::wstring_view text);

// True when url starts with "https://" (scheme compared without regard to case).
bool IsHttpsUrl(std::wstring_view url);

// Whether a body without a declared length may be kept. The stack decodes chunked bodies itself
// and, under Wine, takes a chunked body cut off by the server for a whole one; only a declared
// length can be checked against the bytes that arrived.
enum class LengthRule {
    Required,          // program files and components: an unverifiable body is never kept
    CheckedIfDeclared, // listing pages, which servers often send chunked
};

// The body is whole when its declared length was met exactly, or, where the rule allows, when no
// length was declared at all.
bool BodyComplete(std::optional<std::uint64_t> declared, std::uint64_t received, LengthRule rule);

} // namespace modSetup
