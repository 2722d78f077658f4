#include "install/listing_parser.h"

namespace zunor {
namespace {

constexpr std::string_view kHref = "href=";
// The ">" closing a link may lie at most this many characters after the "h" of "href=".
constexpr std::size_t kCloseWindow = 100;

bool Accepts(std::string_view name, ListingKind kind) {
    if (name.empty()) {
        return false; // an empty target names no file
    }
    if (name.front() == '?' || name.front() == '/' || name.back() == '/') {
        return false; // sort links, absolute links, folders
    }
    return kind != ListingKind::Program || !IsExcludedArchive(name);
}

} // namespace

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

void ScanLine(std::string_view line, ListingKind kind, std::vector<std::string>& names) {
    // The first ">" at or after the last place searched. Links are examined left to right, so it
    // stays valid until a link starts past it: every byte is searched once.
    std::size_t nextClose = 0;
    bool closeKnown = false;
    std::size_t p = line.find(kHref);
    while (p != std::string_view::npos) {
        const std::size_t searchFrom = p + kHref.size();
        if (!closeKnown || nextClose < searchFrom) {
            nextClose = line.find('>', searchFrom);
            closeKnown = true;
        }
        if (nextClose == std::string_view::npos) {
            return; // nothing left on the line closes a link
        }
        if (nextClose > p + kCloseWindow) {
            p = line.find(kHref, p + 1); // too far away: not a link of the index
            continue;
        }
        const std::size_t q = nextClose;
        // One delimiter after "href=" and one before ">". A ">" closer than that leaves no name.
        const std::size_t nameStart = p + kHref.size() + 1;
        if (q > nameStart) {
            const std::string_view name = line.substr(nameStart, q - nameStart - 1);
            if (Accepts(name, kind)) {
                names.emplace_back(name);
            }
        }
        p = line.find(kHref, q + 1);
    }
}

std::vector<std::string> ParseListing(std::string_view page, ListingKind kind) {
    std::vector<std::string> names;
    for (const std::string_view line : LinesToScan(page)) {
        ScanLine(line, kind, names);
    }
    return names;
}

} // namespace zunor
