#include "install/listed_name.h"

#include <array>

#include "common/texts.h"
#include "install/utf8_text.h"

namespace zunor {
namespace {

bool IsPercentEscape(std::string_view s, std::size_t i) {
    return s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0;
}

// Parses the digits of a numeric character reference ("65" or "x41"); nullopt when not a valid one.
std::optional<char32_t> NumericReference(std::string_view digits) {
    const bool hex = !digits.empty() && (digits.front() == 'x' || digits.front() == 'X');
    if (hex) {
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.size() > 8) {
        return std::nullopt;
    }
    char32_t value = 0;
    for (const char c : digits) {
        const int d = hex ? HexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) {
            return std::nullopt;
        }
        value = value * (hex ? 16 : 10) + static_cast<char32_t>(d);
    }
    if (value == 0 || !IsValidCodePoint(value)) {
        return std::nullopt;
    }
    return value;
}

// Characters that stand unescaped in a URL path segment.
bool IsSegmentChar(unsigned char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
        return true;
    }
    return std::string_view("-._~!$&'()*+,;=:@").find(static_cast<char>(c)) != std::string_view::npos;
}

std::wstring UrlSegment(std::string_view decoded) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::wstring out;
    out.reserve(decoded.size());
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        const auto c = static_cast<unsigned char>(decoded[i]);
        if (IsSegmentChar(c) || IsPercentEscape(decoded, i)) {
            out.push_back(static_cast<wchar_t>(c)); // an escape's hex digits follow as segment chars
        } else {
            out.push_back(L'%');
            out.push_back(static_cast<wchar_t>(kHex[c >> 4]));
            out.push_back(static_cast<wchar_t>(kHex[c & 0xF]));
        }
    }
    return out;
}

wchar_t AsciiUpper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

// Windows opens a device for these base names, whatever extension follows.
bool IsDeviceName(std::wstring_view name) {
    std::wstring_view base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ') {
        base.remove_suffix(1); // "nul .txt" is the device too
    }
    std::wstring upper;
    for (const wchar_t c : base) {
        upper.push_back(AsciiUpper(c));
    }
    if (upper == L"CON" || upper == L"PRN" || upper == L"AUX" || upper == L"NUL" || upper == L"CONIN$" ||
        upper == L"CONOUT$") {
        return true;
    }
    if (upper.size() == 4 && (upper.starts_with(L"COM") || upper.starts_with(L"LPT"))) {
        const wchar_t digit = upper[3];
        // Windows also counts the superscript digits 1, 2 and 3 as port numbers.
        return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
               digit == L'\u00B3';
    }
    return false;
}

bool IsForbiddenInName(wchar_t c) {
    return c < 0x20 || c == 0x7F || std::wstring_view(L"\\/:*?\"<>|").find(c) != std::wstring_view::npos;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// The names of a path, split at either separator; empty ones (doubled separators) are dropped.
std::vector<std::wstring> Names(std::wstring_view path) {
    std::vector<std::wstring> names;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsSeparator(path[i])) {
            if (i > start) {
                names.emplace_back(path.substr(start, i - start));
            }
            start = i + 1;
        }
    }
    return names;
}

} // namespace

std::optional<std::string> DecodeCharacterReferences(std::string_view raw,
                                                     std::vector<std::size_t>* rawStart) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed{
        {{"amp", '&'}, {"lt", '<'}, {"gt", '>'}, {"quot", '"'}, {"apos", '\''}}};
    constexpr std::size_t kLongestReference = 11; // "&#x" and 8 digits
    std::string out;
    out.reserve(raw.size());
    if (rawStart != nullptr) {
        rawStart->clear();
    }
    // Every byte written since the last mark came from raw[from].
    const auto mark = [&](std::size_t from) {
        if (rawStart != nullptr) {
            rawStart->resize(out.size(), from);
        }
    };
    for (std::size_t i = 0; i < raw.size(); ++i) {
        const std::size_t semicolon = raw[i] == '&' ? raw.find(';', i + 1) : std::string_view::npos;
        if (semicolon == std::string_view::npos || semicolon - i > kLongestReference) {
            out.push_back(raw[i]);
            mark(i);
            continue;
        }
        const std::string_view body = raw.substr(i + 1, semicolon - i - 1);
        bool known = false;
        for (const auto& [name, ch] : kNamed) {
            if (body == name) {
                out.push_back(ch);
                known = true;
                break;
            }
        }
        if (!known && body.starts_with('#')) {
            const auto cp = NumericReference(body.substr(1));
            if (!cp) {
                return std::nullopt;
            }
            AppendUtf8(out, *cp);
            known = true;
        }
        if (known) {
            mark(i);
            i = semicolon;
        } else {
            out.push_back('&');
            mark(i);
        }
    }
    return out;
}

// Percent escapes decoded; a "%" that starts no escape is a plain percent sign (the URL says %25).
std::string DecodePercentEscapes(std::string_view decoded) {
    std::string out;
    out.reserve(decoded.size());
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (IsPercentEscape(decoded, i)) {
            out.push_back(static_cast<char>(HexValue(decoded[i + 1]) * 16 + HexValue(decoded[i + 2])));
            i += 2;
        } else {
            out.push_back(decoded[i]);
        }
    }
    return out;
}

const wchar_t* PlainNameFault(std::wstring_view name) {
    if (name.empty()) {
        return texts::kRefusedEmpty;
    }
    if (name == L"." || name == L"..") {
        return texts::kRefusedNotOneSegment;
    }
    for (const wchar_t c : name) {
        if (IsForbiddenInName(c)) {
            return texts::kRefusedBadCharacter;
        }
    }
    if (name.back() == L'.' || name.back() == L' ') {
        return texts::kRefusedTrailingDotOrSpace;
    }
    if (IsDeviceName(name)) {
        return texts::kRefusedDeviceName;
    }
    return nullptr;
}

std::optional<ListedName> DecodeListedName(std::string_view raw, std::wstring* whyRefused) {
    const auto refuse = [whyRefused](const wchar_t* why) -> std::optional<ListedName> {
        if (whyRefused != nullptr) {
            *whyRefused = why;
        }
        return std::nullopt;
    };
    const auto decoded = DecodeCharacterReferences(raw);
    if (!decoded) {
        return refuse(texts::kRefusedBadReference);
    }
    if (decoded->find_first_of("/?#") != std::string::npos) {
        return refuse(texts::kRefusedNotOneSegment);
    }
    auto fileName = DecodeUtf8(DecodePercentEscapes(*decoded));
    if (!fileName) {
        return refuse(texts::kRefusedBadUtf8);
    }
    if (const wchar_t* fault = PlainNameFault(*fileName)) {
        return refuse(fault);
    }
    return ListedName{std::string(raw), UrlSegment(*decoded), std::move(*fileName)};
}

std::optional<FullPath> SplitFullPath(std::wstring_view path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) {
        return FullPath{std::wstring(path.substr(0, 2)), Names(path.substr(3))};
    }
    // "\\server\share"; "\\?\" and "\\.\" lead into the device namespace, which is no place to install.
    if (path.size() < 2 || !IsSeparator(path[0]) || !IsSeparator(path[1])) {
        return std::nullopt;
    }
    std::vector<std::wstring> names = Names(path.substr(2));
    if (names.size() < 2 || IsSeparator(path[2]) || names[0] == L"?" || names[0] == L".") {
        return std::nullopt;
    }
    FullPath full{L"\\\\" + names[0] + L"\\" + names[1], {}};
    full.names.assign(names.begin() + 2, names.end());
    return full;
}

std::optional<LocationFault> CheckLocation(std::wstring_view location) {
    const std::optional<FullPath> full = SplitFullPath(location);
    if (!full) {
        return LocationFault{texts::kLocationNotFull, {}};
    }
    std::vector<std::wstring> names = full->names;
    if (full->root.starts_with(L"\\\\")) {
        const std::vector<std::wstring> share = Names(full->root); // the server and the share
        names.insert(names.begin(), share.begin(), share.end());
    }
    for (const std::wstring& name : names) {
        if (const wchar_t* why = PlainNameFault(name)) {
            // "." and ".." are no folder of their own; as names they end in a dot.
            return LocationFault{
                why == texts::kRefusedNotOneSegment ? texts::kRefusedTrailingDotOrSpace : why, name};
        }
    }
    return std::nullopt;
}

std::wstring LocationMessage(std::wstring_view location, const LocationFault& fault) {
    std::wstring text = texts::kLocationUnusable + std::wstring(location) + L"\r\n";
    if (fault.name.empty()) {
        return text + fault.why;
    }
    text += texts::kLocationPartPrefix + fault.name + L"\": " + fault.why;
    // Name the character, when it is one a reader can see.
    for (const wchar_t c : fault.name) {
        if (IsForbiddenInName(c) && c > 0x20 && c != 0x7F) {
            text += L" (";
            text.push_back(c);
            text += L")";
            break;
        }
    }
    return text + L".";
}

} // namespace zunor
