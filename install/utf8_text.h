#pragma once
// UTF-8 to wide text, portable (UTF-16 where wchar_t has 16 bits, as on Windows; UTF-32 elsewhere).
#include <optional>
#include <string>
#include <string_view>

namespace zunor {

// Strict: nullopt for any malformed, overlong or surrogate sequence, or a code point above U+10FFFF.
// A 16-bit character type gets UTF-16, a 32-bit one UTF-32 (instantiated for wchar_t and char16_t).
template <typename Char> std::optional<std::basic_string<Char>> DecodeUtf8As(std::string_view bytes);

inline std::optional<std::wstring> DecodeUtf8(std::string_view bytes) {
    return DecodeUtf8As<wchar_t>(bytes);
}

// UTF-8 of wide text; a lone surrogate becomes U+FFFD.
std::string EncodeUtf8(std::wstring_view text);

// For showing text from outside in a message or a log line: never fails. Malformed bytes and control
// characters become U+FFFD.
std::wstring DisplayText(std::string_view bytes);

// Appends the UTF-8 form of a valid code point (not a surrogate, at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t codePoint);

bool IsValidCodePoint(char32_t codePoint);

// The value of one hexadecimal digit, or -1.
int HexValue(char c);

} // namespace zunor
