#include "install/listing_parser.h"

#include <algorithm>
#include <optional>

#include "install/listed_name.h"

namespace zunor {
namespace {

constexpr std::string_view kHref = "HREF=";
// An index writes short targets; a longer one is no link of it. A target that is a whole path or
// address may be longer; the name it gives is held to the same length.
constexpr std::size_t kLongestTarget = 93;
constexpr std::size_t kLongestAddress = 512;
constexpr std::string_view kSameFolder = "./";

bool IsAsciiLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiUpper(a[i]) != AsciiUpper(b[i])) {
            return false;
        }
    }
    return true;
}

// "https:", "mailto:"...: a letter, then letters, digits, "+", "-" or ".", then ":". One letter alone
// is a drive ("C:x"), a name Windows refuses, which is reported like any bad name.
bool HasScheme(std::string_view target) {
    const std::size_t colon = target.find(':');
    if (colon == std::string_view::npos || colon < 2 || !IsAsciiLetter(target[0])) {
        return false;
    }
    for (std::size_t i = 1; i < colon; ++i) {
        const char c = target[i];
        if (!IsAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

// The next "href=" from a place on, in any case. Found by its "=", which a page has far fewer of than
// letters.
std::size_t FindHref(std::string_view line, std::size_t from) {
    constexpr std::size_t kName = kHref.size() - 1;
    for (std::size_t i = line.find('=', from + kName); i != std::string_view::npos; i = line.find('=', i + 1)) {
        if (SameLetters(line.substr(i - kName, kName), kHref.substr(0, kName))) {
            return i - kName;
        }
    }
    return std::string_view::npos;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

struct Origin {
    std::string scheme; // lower case
    std::string host;   // lower case; an IPv6 address keeps its brackets
    unsigned long port = 0;
};

// The origin an address begins with ("scheme://host[:port]") and where what follows it begins. None
// for an address with credentials in it, or whose port is no number.
std::optional<Origin> OriginOf(std::string_view address, std::size_t* rest) {
    const std::size_t colon = address.find(':');
    if (colon == std::string_view::npos || address.substr(colon + 1, 2) != "//") {
        return std::nullopt;
    }
    Origin origin;
    for (const char c : address.substr(0, colon)) {
        origin.scheme.push_back(AsciiLower(c));
    }
    const std::size_t start = colon + 3;
    const std::size_t end = std::min(address.find_first_of("/?#", start), address.size());
    const std::string_view authority = address.substr(start, end - start);
    if (authority.find('@') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::size_t hostEnd = authority.starts_with('[') ? authority.find(']') + 1
                                                           : std::min(authority.find(':'), authority.size());
    if (hostEnd == 0 || hostEnd > authority.size()) { // empty, or "[" never closed
        return std::nullopt;
    }
    for (const char c : authority.substr(0, hostEnd)) {
        origin.host.push_back(AsciiLower(c));
    }
    std::string_view port = authority.substr(hostEnd);
    if (!port.empty() && !port.starts_with(':')) {
        return std::nullopt;
    }
    port.remove_prefix(port.empty() ? 0 : 1);
    if (port.empty()) {
        origin.port = origin.scheme == "https" ? 443 : origin.scheme == "http" ? 80 : 0;
    } else {
        for (const char c : port) {
            if (c < '0' || c > '9' || origin.port > 65535) {
                return std::nullopt;
            }
            origin.port = origin.port * 10 + static_cast<unsigned long>(c - '0');
        }
        if (origin.port > 65535) {
            return std::nullopt;
        }
    }
    *rest = end;
    return origin;
}

// Where the path of an address of the page's own https origin begins, or nothing for one elsewhere.
std::optional<std::size_t> PathOfSameOrigin(std::string_view address, std::string_view pageOrigin) {
    std::size_t path = 0;
    std::size_t ignored = 0;
    const std::optional<Origin> target = OriginOf(address, &path);
    const std::optional<Origin> page = OriginOf(pageOrigin, &ignored);
    if (!target || !page || target->scheme != "https" || target->scheme != page->scheme ||
        target->host != page->host || target->port != page->port) {
        return std::nullopt;
    }
    return path;
}

// A link, read: the name of the folder's file it gives (the page's own bytes), or nothing.
struct Link {
    std::optional<std::string_view> name;
    bool absolute = false; // a whole path or address: only its name is held to the name's length
};

Link ReadLink(std::string_view target, ListingKind kind, std::string_view origin) {
    // What each character of the decoded target was written as. A reference that names no character
    // leaves the target as written; the name rules refuse it.
    std::string decodedBytes;
    std::vector<std::size_t> rawStart;
    std::string_view decoded = target;
    if (target.find('&') != std::string_view::npos) {
        if (auto text = DecodeCharacterReferences(target, &rawStart)) {
            decodedBytes = std::move(*text);
            decoded = decodedBytes;
        } else {
            rawStart.clear();
        }
    }
    const auto raw = [&](std::size_t from) {
        const std::size_t at = rawStart.empty()         ? from
                               : from < rawStart.size() ? rawStart[from]
                                                        : target.size();
        return target.substr(at);
    };

    std::optional<std::size_t> path;
    if (decoded.starts_with('/')) {
        path = 0;
    } else if (HasScheme(decoded)) {
        path = origin.empty() ? std::nullopt : PathOfSameOrigin(decoded, origin);
        if (!path) {
            return {};
        }
    }
    if (!path) {
        const std::size_t start = decoded.starts_with(kSameFolder) ? kSameFolder.size() : 0;
        if (IsNavigation(decoded, kind)) {
            return {};
        }
        return {raw(start), false};
    }
    if (origin.empty()) {
        return {};
    }
    const std::string_view address = decoded.substr(*path);
    const std::size_t lastSlash = address.rfind('/');
    if (!address.starts_with('/') ||
        !SameLetters(DecodePercentEscapes(address.substr(0, lastSlash + 1)), ListedFolderPath(kind)) ||
        IsNavigation(address.substr(lastSlash + 1), kind)) {
        return {};
    }
    return {raw(*path + lastSlash + 1), true};
}

} // namespace

std::string_view ListedFolderPath(ListingKind kind) {
    switch (kind) {
    case ListingKind::Program:
        break;
    case ListingKind::Support:
        return "/zunor/SUPORT/";
    case ListingKind::Template:
        return "/zunor/TEMPLATE/";
    }
    return "/zunor/";
}

bool IsNavigation(std::string_view target, ListingKind kind) {
    if (target.starts_with(kSameFolder)) {
        target.remove_prefix(kSameFolder.size());
    }
    if (target.empty() || target == "." || target == "..") {
        return true;
    }
    if (target.front() == '?' || target.front() == '#' || target.front() == '/' || target.back() == '/') {
        return true;
    }
    if (HasScheme(target)) {
        return true;
    }
    return kind == ListingKind::Program && (SameLetters(target, "SUPORT") || SameLetters(target, "TEMPLATE"));
}

bool IsExcludedArchive(std::string_view name) {
    return name == "SETUP_ZUNOR.rar" || name == "Zunor2021VK.rar";
}

std::vector<std::string_view> LinesToScan(std::string_view page) {
    std::vector<std::string_view> lines;
    while (!page.empty()) {
        const std::size_t end = page.find_first_of("\r\n");
        if (end == std::string_view::npos) {
            lines.push_back(page);
            break;
        }
        lines.push_back(page.substr(0, end));
        // CR LF is one line end
        const std::size_t next = page.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        page.remove_prefix(next);
    }
    return lines;
}

void ScanLine(std::string_view line, ListingKind kind, std::vector<std::string>& names,
              std::vector<std::string>* navigation, std::string_view origin) {
    // The first ">" at or after the last place searched. Links are examined left to right, so it
    // stays valid until a link starts past it: every byte is searched once.
    std::size_t nextClose = 0;
    bool closeKnown = false;
    std::size_t p = FindHref(line, 0);
    while (p != std::string_view::npos) {
        const std::size_t valueStart = p + kHref.size();
        if (!closeKnown || nextClose < valueStart) {
            nextClose = line.find('>', valueStart);
            closeKnown = true;
        }
        if (nextClose == std::string_view::npos) {
            return; // nothing left on the line closes a link
        }
        // Only the first ">" closes the tag: a quoted target must end before it.
        const char quote = line[valueStart];
        std::size_t begin = valueStart;
        std::size_t end = 0;
        if (quote == '"' || quote == '\'') {
            begin = valueStart + 1;
            end = line.find(quote, begin);
            if (end == std::string_view::npos || end > nextClose) {
                p = FindHref(line, nextClose + 1); // a broken tag: nothing in it is a link
                continue;
            }
        } else {
            end = line.find_first_of(" \t\f>", begin);
        }
        const std::string_view target = line.substr(begin, end - begin);
        const Link link = target.size() > kLongestAddress ? Link{} : ReadLink(target, kind, origin);
        const std::size_t length = link.name && link.absolute ? link.name->size() : target.size();
        if (length > kLongestTarget) {
            p = FindHref(line, p + 1);
            continue;
        }
        if (!link.name) {
            if (navigation != nullptr) {
                navigation->emplace_back(target);
            }
        } else if (kind != ListingKind::Program || !IsExcludedArchive(*link.name)) {
            names.emplace_back(*link.name);
        }
        p = FindHref(line, nextClose + 1);
    }
}

std::vector<std::string> ParseListing(std::string_view page, ListingKind kind,
                                      std::vector<std::string>* navigation, std::string_view origin) {
    std::vector<std::string> names;
    for (const std::string_view line : LinesToScan(page)) {
        ScanLine(line, kind, names, navigation, origin);
    }
    return names;
}

} // namespace zunor
