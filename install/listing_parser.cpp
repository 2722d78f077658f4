#include "install/listing_parser.h"

namespace zunor {
namespace {

constexpr std::string_view kHref = "href=";
// An index writes short targets; a longer one is no link of it.
constexpr std::size_t kLongestTarget = 93;
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

} // namespace

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
              std::vector<std::string>* navigation) {
    // The first ">" at or after the last place searched. Links are examined left to right, so it
    // stays valid until a link starts past it: every byte is searched once.
    std::size_t nextClose = 0;
    bool closeKnown = false;
    std::size_t p = line.find(kHref);
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
                p = line.find(kHref, nextClose + 1); // a broken tag: nothing in it is a link
                continue;
            }
        } else {
            end = line.find_first_of(" \t\f>", begin);
        }
        if (end - begin > kLongestTarget) {
            p = line.find(kHref, p + 1);
            continue;
        }
        std::string_view target = line.substr(begin, end - begin);
        if (IsNavigation(target, kind)) {
            if (navigation != nullptr) {
                navigation->emplace_back(target);
            }
        } else {
            if (target.starts_with(kSameFolder)) {
                target.remove_prefix(kSameFolder.size());
            }
            if (kind != ListingKind::Program || !IsExcludedArchive(target)) {
                names.emplace_back(target);
            }
        }
        p = line.find(kHref, nextClose + 1);
    }
}

std::vector<std::string> ParseListing(std::string_view page, ListingKind kind,
                                      std::vector<std::string>* navigation) {
    std::vector<std::string> names;
    for (const std::string_view line : LinesToScan(page)) {
        ScanLine(line, kind, names, navigation);
    }
    return names;
}

} // namespace zunor
