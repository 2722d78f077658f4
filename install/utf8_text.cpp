#include "install/utf8_text.h"

namespace zunor {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one sequence at bytes[i]; advances i. Returns nullopt (and advances by one byte) when the
// sequence is malformed.
std::optional<char32_t> NextCodePoint(std::string_view bytes, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    ++i;
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    char32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1, cp = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2, cp = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3, cp = lead & 0x07, minimum = 0x10000;
    } else {
        return std::nullopt;
    }
    if (bytes.size() - i < static_cast<std::size_t>(extra)) {
        return std::nullopt;
    }
    for (int k = 0; k < extra; ++k) {
        const auto next = static_cast<unsigned char>(bytes[i + k]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || !IsValidCodePoint(cp)) {
        return std::nullopt;
    }
    i += extra;
    return cp;
}

template <typename Char> void AppendCodePoint(std::basic_string<Char>& out, char32_t cp) {
    if constexpr (sizeof(Char) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<Char>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<Char>(0xDC00 + (cp & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<Char>(cp));
}

} // namespace

bool IsValidCodePoint(char32_t cp) {
    return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

template <typename Char> std::optional<std::basic_string<Char>> DecodeUtf8As(std::string_view bytes) {
    std::basic_string<Char> out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto cp = NextCodePoint(bytes, i);
        if (!cp) {
            return std::nullopt;
        }
        AppendCodePoint(out, *cp);
    }
    return out;
}

template std::optional<std::wstring> DecodeUtf8As<wchar_t>(std::string_view);
template std::optional<std::u16string> DecodeUtf8As<char16_t>(std::string_view);

std::string EncodeUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
                text[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(text[++i]) - 0xDC00);
            }
        }
        AppendUtf8(out, IsValidCodePoint(cp) ? cp : kReplacement);
    }
    return out;
}

std::wstring DisplayText(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto cp = NextCodePoint(bytes, i);
        const bool control = cp && (*cp < 0x20 || (*cp >= 0x7F && *cp < 0xA0));
        AppendCodePoint(out, cp && !control ? *cp : kReplacement);
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace zunor
