#pragma once
// A name scraped from a listing page becomes part of a URL and of a local path; it is decoded and
// checked here before any request or file is made with it.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zunor {

struct ListedName {
    std::string raw;       // exactly as the page had it
    std::wstring urlName;  // one URL path segment, ASCII, percent escapes kept
    std::wstring fileName; // the local file name, a plain name in the folder
};

// Decodes a raw name; nullopt (and the reason in *whyRefused, if given) when it is not a plain file name.
std::optional<ListedName> DecodeListedName(std::string_view raw, std::wstring* whyRefused);

// Decodes the character references a page writes ("&amp;", "&#47;", "&#x2F;"); an "&" that starts none
// stays as it is. nullopt when a numeric one names no character. With rawStart, (*rawStart)[i] is where
// in raw the character that gave the result's byte i begins.
std::optional<std::string> DecodeCharacterReferences(std::string_view raw,
                                                     std::vector<std::size_t>* rawStart = nullptr);

// Percent escapes decoded once; a "%" that starts no escape stays a percent sign.
std::string DecodePercentEscapes(std::string_view text);

// Why fileName is not a plain file name in a folder, or nullptr when it is one.
const wchar_t* PlainNameFault(std::wstring_view fileName);

// An install location is a full path: a drive ("C:\...") or a network share ("\\server\share\...").
// Either separator counts; empty names (a doubled or closing backslash) are none.
struct FullPath {
    std::wstring root;               // "C:" or "\\server\share"
    std::vector<std::wstring> names; // the folders below the root, in order
};
std::optional<FullPath> SplitFullPath(std::wstring_view path);

// What makes a location one Windows cannot use: not a full path, or a name in it that the rules for
// listed names refuse (a device name, a forbidden character, a closing dot or space).
struct LocationFault {
    const wchar_t* why = nullptr; // texts::kLocationNotFull, or a reason a name is refused
    std::wstring name;            // the refused name
};
std::optional<LocationFault> CheckLocation(std::wstring_view location);

// The message that names the fault, for the window, the console and the log.
std::wstring LocationMessage(std::wstring_view location, const LocationFault& fault);

} // namespace zunor
