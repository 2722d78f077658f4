#pragma once
// Where the run puts things and where it fetches them from. Every path starts from the location as
// the user typed it, with the separator it may lack.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "install/listing_parser.h"

namespace zunor {

// The location with a trailing backslash; an empty location stays empty.
std::wstring WithSeparator(std::wstring_view location);

// The four folders the run makes sure of, in order: the location, the program folder, DATA, TEMPLATE.
std::array<std::wstring, 4> FolderLayout(std::wstring_view location);

// location\zunor2021, without and with its closing backslash; location\zunor2021\TEMPLATE with it.
std::wstring ProgramFolder(std::wstring_view location);
std::wstring ProgramFolderWithSlash(std::wstring_view location);
std::wstring TemplateFolderWithSlash(std::wstring_view location);
std::wstring ProgramFilePath(std::wstring_view location, std::wstring_view name);

// Server folder of a listing, and the file its page is kept in, in the program folder.
std::wstring ListingUrl(std::wstring_view serverBase, ListingKind kind);
std::wstring ListingFileName(ListingKind kind);
std::wstring FileUrl(std::wstring_view serverBase, ListingKind kind, std::wstring_view urlName);
// The origins of a server setting that names mirrors ("https://a;https://b"), in order, each without a
// trailing slash; empty parts are passed over. Always at least one (perhaps empty) origin.
std::vector<std::wstring> SplitOrigins(std::wstring_view serverBase);

// The product's database, which a reinstallation must not replace; Windows names are case-blind.
bool IsDatabaseName(std::wstring_view fileName);

// Whether two paths name the same file as Windows compares names (case-blind in A-Z).
bool SamePath(std::wstring_view a, std::wstring_view b);

// A setup program's temporary file "<target>.<process id>.zunor-part": the target's name and the id.
struct PartFileName {
    std::wstring target;
    unsigned long processId = 0;
};
std::optional<PartFileName> ParsePartFileName(std::wstring_view name);

// The folder part of a path (without its last backslash), and the name after it.
std::wstring FolderOf(std::wstring_view path);
std::wstring NameOf(std::wstring_view path);

} // namespace zunor
