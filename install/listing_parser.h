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

// A link's target is the value of href= (the attribute's name in any case), quoted (" or ') or not;
// other attributes may follow it in the tag, which must close on the same line. The target is read
// with its character references decoded ("&#47;" is "/"). A target written "./name" names the
// folder's file name.
// With the page's origin ("https://host[:port]", the server it came from), a target that is an
// absolute path or an https URL of that origin (host in any case, port 443 or none alike) names a
// file when its folder is the listed one (percent escapes decoded, case ignored: "/zunor/",
// "/zunor/SUPORT/"...): the file its last part names, as the page wrote that part. Every other
// absolute path or URL leads elsewhere; without the origin all of them do.
// Appends the file names linked from one line, in page order, as the page wrote them, and, when
// navigation is given, the targets that lead elsewhere (see IsNavigation) as the page wrote them.
void ScanLine(std::string_view line, ListingKind kind, std::vector<std::string>& names,
              std::vector<std::string>* navigation = nullptr, std::string_view origin = {});

// Relative links of an index that name no file of the folder: the parent and the folder itself
// ("..", "."), an empty target, sort links ("?..."), fragments ("#..."), absolute paths ("/..."),
// folders (".../"), other places ("https:", "mailto:"...; a drive letter is no scheme) and, in the
// program folder, its sub-folders SUPORT and TEMPLATE in any case. They are neither fetched nor
// failures.
bool IsNavigation(std::string_view target, ListingKind kind);

// The listed folder's path on the server: "/zunor/", "/zunor/SUPORT/", "/zunor/TEMPLATE/".
std::string_view ListedFolderPath(ListingKind kind);

// The archives of the whole product that sit in the server's program folder but are never installed.
bool IsExcludedArchive(std::string_view name);

// The names linked from the page (raw bytes, as the server sent them), in page order; duplicates kept.
std::vector<std::string> ParseListing(std::string_view page, ListingKind kind,
                                      std::vector<std::string>* navigation = nullptr,
                                      std::string_view origin = {});

} // namespace zunor
