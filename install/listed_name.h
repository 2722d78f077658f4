#pragma once
// A name scraped from a listing page becomes part of a URL and of a local path; it is decoded and
// checked here before any request or file is made with it.
#include <optional>
#include <string>
#include <string_view>

namespace zunor {

struct ListedName {
    std::string raw;       // exactly as the page had it
    std::wstring urlName;  // one URL path segment, ASCII, percent escapes kept
    std::wstring fileName; // the local file name, a plain name in the folder
};

// Decodes a raw name; nullopt (and the reason in *whyRefused, if given) when it is not a plain file name.
std::optional<ListedName> DecodeListedName(std::string_view raw, std::wstring* whyRefused);

// Why fileName is not a plain file name in a folder, or nullptr when it is one.
const wchar_t* PlainNameFault(std::wstring_view fileName);

} // namespace zunor
