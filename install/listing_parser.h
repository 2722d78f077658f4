#pragma once
// Scrapes file names out of a download server's directory-index page. A plain text scan for link
// targets, not an HTML parser: it relies on the shape of the server's automatic index.
#include <string>
#include <string_view>
#include <vector>

namespace zunor {

enum class ListingKind { Program, Support, Template };

// The lines of the page, every one of which is scanned for links. A line ends at CR, LF or CR LF, so
// a link never spans lines; a line end at the very end of the page adds no empty line.
std::vector<std::string_view> LinesToScan(std::string_view page);

// Appends the names linked from one line, in page order.
void ScanLine(std::string_view line, ListingKind kind, std::vector<std::string>& names);

// The archives of the whole product that sit in the server's program folder but are never installed.
bool IsExcludedArchive(std::string_view name);

// The names linked from the page (raw bytes, as the server sent them), in page order; duplicates kept.
std::vector<std::string> ParseListing(std::string_view page, ListingKind kind);

} // namespace zunor
