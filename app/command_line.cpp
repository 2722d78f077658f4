#include "app/command_line.h"

#include <cwctype>

#include "common/texts.h"

namespace zunor {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::wstring Upper(std::wstring_view s) {
    std::wstring out(s);
    for (auto& c : out) c = static_cast<wchar_t>(std::towupper(c));
    return out;
}

bool StartsWithNoCase(std::wstring_view s, std::wstring_view prefix) {
    return s.size() >= prefix.size() && Upper(s.substr(0, prefix.size())) == prefix;
}

// One token: runs to the next blank outside quotes; quotes are removed.
std::wstring NextToken(std::wstring_view& rest) {
    std::wstring token;
    bool quoted = false;
    size_t i = 0;
    for (; i < rest.size(); ++i) {
        wchar_t c = rest[i];
        if (c == L'"') {
            quoted = !quoted;
        } else if (IsBlank(c) && !quoted) {
            break;
        } else {
            token.push_back(c);
        }
    }
    rest.remove_prefix(i);
    return token;
}

void SkipBlanks(std::wstring_view& rest) {
    while (!rest.empty() && IsBlank(rest.front())) rest.remove_prefix(1);
}

// The value of /D=: the rest of the line without surrounding quotes. A program that quotes the whole
// argument ("/D=C:\a b\\") doubles the backslashes before the closing quote, as the usual argument
// rules require; an even run there stands for half as many.
std::wstring LocationValue(std::wstring_view s, bool quoted) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    if (!quoted && s.size() >= 2 && s.front() == L'"') {
        s.remove_prefix(1);
        quoted = true;
    }
    if (!quoted) return std::wstring(s);
    if (!s.empty() && s.back() == L'"') s.remove_suffix(1);
    size_t backslashes = 0;
    while (backslashes < s.size() && s[s.size() - 1 - backslashes] == L'\\') ++backslashes;
    if (backslashes >= 2 && backslashes % 2 == 0) s.remove_suffix(backslashes / 2);
    return std::wstring(s);
}

bool IsHostChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' || c == L'.';
}

// "<number>,<number>", both decimal.
std::optional<std::pair<std::uintptr_t, std::uintptr_t>> HandlePair(std::wstring_view value) {
    const size_t comma = value.find(L',');
    if (comma == std::wstring_view::npos) return std::nullopt;
    auto number = [](std::wstring_view digits) -> std::optional<std::uintptr_t> {
        if (digits.empty() || digits.size() > 19) return std::nullopt;
        std::uintptr_t n = 0;
        for (wchar_t c : digits) {
            if (c < L'0' || c > L'9') return std::nullopt;
            n = n * 10 + static_cast<std::uintptr_t>(c - L'0');
        }
        return n;
    };
    auto first = number(value.substr(0, comma));
    auto second = number(value.substr(comma + 1));
    if (!first || !second) return std::nullopt;
    return std::make_pair(*first, *second);
}

}  // namespace

bool IsHttpsOriginList(std::wstring_view text) {
    for (;;) {
        const size_t end = text.find(L';');
        if (!IsHttpsOrigin(text.substr(0, end))) return false;
        if (end == std::wstring_view::npos) return true;
        text.remove_prefix(end + 1);
    }
}

bool IsHttpsOrigin(std::wstring_view text) {
    constexpr std::wstring_view scheme = L"HTTPS://";
    if (!StartsWithNoCase(text, scheme)) return false;
    std::wstring_view rest = text.substr(scheme.size());
    size_t hostEnd = 0;
    if (!rest.empty() && rest.front() == L'[') {  // IPv6 literal
        hostEnd = rest.find(L']');
        if (hostEnd == std::wstring_view::npos || hostEnd < 2) return false;
        for (size_t i = 1; i < hostEnd; ++i) {
            wchar_t c = rest[i];
            if (!(std::iswxdigit(c) || c == L':' || c == L'.')) return false;
        }
        ++hostEnd;
    } else {
        while (hostEnd < rest.size() && IsHostChar(rest[hostEnd])) ++hostEnd;
        if (hostEnd == 0 || rest[0] == L'.' || rest[0] == L'-') return false;
    }
    std::wstring_view after = rest.substr(hostEnd);
    if (after.empty()) return true;
    if (after.front() != L':' || after.size() < 2 || after.size() > 6) return false;
    unsigned long port = 0;
    for (wchar_t c : after.substr(1)) {
        if (c < L'0' || c > L'9') return false;
        port = port * 10 + static_cast<unsigned long>(c - L'0');
    }
    return port >= 1 && port <= 65535;
}

std::wstring_view ArgumentsOf(std::wstring_view line) {
    size_t i = 0;
    if (!line.empty() && line.front() == L'"') {
        size_t close = line.find(L'"', 1);
        i = close == std::wstring_view::npos ? line.size() : close + 1;
    }
    while (i < line.size() && !IsBlank(line[i])) ++i;
    line.remove_prefix(i);
    SkipBlanks(line);
    return line;
}

CommandLineResult ParseCommandLine(std::wstring_view rest) {
    CommandLine options;
    auto fail = [](std::wstring message) { return CommandLineResult{std::nullopt, std::move(message)}; };
    SkipBlanks(rest);
    while (!rest.empty()) {
        const bool quotedWhole = StartsWithNoCase(rest, L"\"/D=");
        if (quotedWhole || StartsWithNoCase(rest, L"/D=")) {
            std::wstring location = LocationValue(rest.substr(quotedWhole ? 4 : 3), quotedWhole);
            if (location.empty()) return fail(texts::kBadValue + std::wstring(L"/D="));
            options.location = std::move(location);
            break;
        }
        std::wstring token = NextToken(rest);
        SkipBlanks(rest);
        size_t eq = token.find(L'=');
        std::wstring name = Upper(token.substr(0, eq));
        std::wstring value = eq == std::wstring::npos ? L"" : token.substr(eq + 1);
        bool hasValue = eq != std::wstring::npos;
        auto flag = [&](bool& target) {
            if (hasValue) return false;
            target = true;
            return true;
        };
        if (name == L"/S") {
            if (!flag(options.silent)) return fail(texts::kBadValue + token);
        } else if (name == L"/LIST") {
            if (!flag(options.list)) return fail(texts::kBadValue + token);
        } else if (name == L"/UNINSTALL") {
            if (!flag(options.uninstall)) return fail(texts::kBadValue + token);
        } else if (name == L"/FROMCOPY") {
            options.fromCopy = HandlePair(value);
            if (!options.fromCopy) return fail(texts::kBadValue + token);
        } else if (name == L"/NODESKTOP") {
            if (!flag(options.noDesktop)) return fail(texts::kBadValue + token);
        } else if (name == L"/NOGROUP") {
            if (!flag(options.noGroup)) return fail(texts::kBadValue + token);
        } else if (name == L"/LAUNCH") {
            if (!flag(options.launch)) return fail(texts::kBadValue + token);
        } else if (name == L"/REPAIR") {
            if (!flag(options.repair)) return fail(texts::kBadValue + token);
        } else if (name == L"/SERVER") {
            if (!IsHttpsOriginList(value))
                return fail(texts::kBadServerPrefix + value + texts::kBadServerSuffix);
            options.server = value;
        } else if (name == L"/CONNECTIONS") {
            if (value.size() != 1 || value[0] < L'1' || static_cast<std::size_t>(value[0] - L'0') > kMaxConnections)
                return fail(texts::kBadValue + token);
            options.connections = static_cast<std::size_t>(value[0] - L'0');
        } else if (name == L"/LOG") {
            if (value.empty()) return fail(texts::kBadValue + token);
            options.logFile = value;
        } else {
            return fail(texts::kUnknownSwitch + token);
        }
    }
    if (options.uninstall && options.list) return fail(texts::kBadValue + std::wstring(L"/LIST"));
    if (options.uninstall && options.repair) return fail(texts::kBadValue + std::wstring(L"/REPAIR"));
    if (options.fromCopy && !options.uninstall) return fail(texts::kBadValue + std::wstring(L"/FROMCOPY"));
    return CommandLineResult{options, L""};
}

}  // namespace zunor
